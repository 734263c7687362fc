// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/toolhost.h"
#include "mcp/mcpclient.h"
#include "model/records.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class McpTransport;

/**
 * The tool servers the user configured, as the chat's tool host: one client per enabled
 * server. Servers start in the background when told (startAll(), after the window shows) or on
 * first use; a server that failed starts again on its next use. A new list of servers from the
 * settings restarts only the servers whose connection changed.
 */
class McpHub : public ToolHost
{
    Q_OBJECT

public:
    enum class Status {
        Disabled, ///< switched off by the user
        Idle,     ///< not started yet
        Starting,
        Ready,
        Failed, ///< see statusReason()
    };
    Q_ENUM(Status)

    struct ToolInfo
    {
        QString name;
        QString description;
        bool enabled = true;
    };

    /// Makes the transport for a server: by default a child process for a server with a command.
    /// Returns null (the server fails with reason) when it cannot reach that kind of server.
    using TransportFactory =
        std::function<McpTransport *(const McpServer &server, QString &reason)>;

    explicit McpHub(QObject *parent = nullptr);
    ~McpHub() override;

    void setTransportFactory(TransportFactory factory) { m_factory = std::move(factory); }
    /// How long a call may run without progress; for tests.
    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }

    /// Applies the settings' list: new servers are added, removed ones stopped, and a server
    /// whose connection changed is restarted when it was running.
    void setServers(const QList<McpServer> &servers);
    const QList<McpServer> &servers() const { return m_servers; }
    /// Starts every enabled server that is not running; from now on new ones start at once.
    void startAll();

    Status status(const QString &server) const;
    /// Why a server failed, in Chinese; empty unless it did.
    QString statusReason(const QString &server) const;
    /// A server's tools as last listed, each with whether the user lets the model use it.
    QList<ToolInfo> tools(const QString &server) const;
    /// The last lines of a server's log (its stderr and what went wrong), oldest first.
    QStringList log(const QString &server) const;
    /// Stops a server and starts it again (for a disabled one: nothing).
    void reconnect(const QString &server);

    /// The function names of (server, tool) pairs, in their order: "<server>__<tool>" with
    /// every character outside [A-Za-z0-9_-] replaced by '_', cut to 64 characters, and a
    /// numeric suffix where a name was taken already.
    static QStringList functionNames(const QList<std::pair<QString, QString>> &tools);
    static constexpr qsizetype maxFunctionName = 64;
    static constexpr qsizetype maxLogLines = 50;

    // ToolHost
    bool hasTools() const override;
    void
    collectTools(int waitMs, QObject *context,
                 std::function<void(QList<ToolSpec> tools, QStringList notReady)> done) override;
    ToolApproval approvalFor(const QString &server) const override;
    quint64 call(const ToolSpec &tool, const QJsonObject &arguments, QObject *context,
                 std::function<void(ToolOutcome)> done) override;
    void cancel(quint64 handle) override;

signals:
    /// Servers were added, removed or reordered.
    void serversChanged();
    /// A server's status, tools or log changed.
    void serverChanged(const QString &server);

private:
    struct Entry;
    struct Waiter;
    struct QueuedCall;

    Entry *entry(const QString &server) const;
    void startServer(Entry &e);
    /// Running calls are answered with reason, unless it is empty.
    void stopServer(Entry &e, const QString &reason);
    void failQueued(Entry &e, const QString &reason);
    void clientStateChanged(Entry &e);
    void addLog(Entry &e, const QString &line);
    void dispatchQueued(Entry &e);
    void checkWaiters();
    void answer(Waiter &waiter);
    QList<ToolSpec> readyTools(QStringList &notReady) const;

    QList<McpServer> m_servers;
    std::vector<std::unique_ptr<Entry>> m_entries; // in the servers' order
    std::vector<std::unique_ptr<Waiter>> m_waiters;
    /// Calls by handle: the server they went to and the client's handle (0 while queued).
    QHash<quint64, std::pair<QString, quint64>> m_calls;
    TransportFactory m_factory;
    quint64 m_nextHandle = 1;
    int m_callTimeoutMs = 10 * 60 * 1000;
    int m_requestTimeoutMs = 30000;
    bool m_autoStart = false;
};
