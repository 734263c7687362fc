// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/toolhost.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class McpTransport;
class QTimer;

/**
 * One connection to an MCP server, over any transport: the handshake, the server's tools and
 * calls of them. Lives on the main thread; nothing waits, every answer comes from the event
 * loop.
 *
 * start() connects, agrees on the protocol version, and lists the tools (all pages); the client
 * is ready once it has them, and lists them again whenever the server says they changed. A
 * request without an answer in time fails: the handshake and the listing fail the connection, a
 * call fails alone. The client declares no capabilities beyond the basics: it only uses tools.
 */
class McpClient : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Starting, Ready, Failed };
    Q_ENUM(State)

    struct Tool
    {
        QString name;
        QString description;
        QJsonObject inputSchema;

        bool operator==(const Tool &) const = default;
    };

    /// The version asked for, and every version this client can speak, newest first.
    static const QStringList &protocolVersions();
    /// A result's text as tool outcomes hold it is cut beyond this many bytes of UTF-8.
    static constexpr qsizetype maxResultBytes = 256 * 1024;

    /// Takes the transport, which must not be started yet.
    explicit McpClient(McpTransport *transport, QObject *parent = nullptr);
    ~McpClient() override;

    /// Connects; once per client (a new connection is a new client).
    void start();
    /// Ends the connection without a signal. Running calls are answered with reason as an
    /// error, or not at all when it is empty.
    void stop(const QString &reason = {});

    State state() const { return m_state; }
    /// Why it failed, in Chinese; empty unless Failed.
    QString failure() const { return m_failure; }
    /// The server's tools; those that can only run as background tasks are left out.
    const QList<Tool> &tools() const { return m_tools; }
    QString protocolVersion() const { return m_version; }
    /// What the server calls itself ("serverInfo"): its name and version, as sent.
    QString serverName() const { return m_serverName; }
    QString serverVersion() const { return m_serverVersion; }

    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }
    /// How long a call may go without an answer; each progress report from it starts it anew.
    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }

    using CallDone = std::function<void(ToolOutcome)>;
    /// Calls a tool. done runs once from the event loop, unless the call is cancelled or
    /// context is gone first. Returns a handle for cancelCall().
    quint64 callTool(const QString &name, const QJsonObject &arguments, QObject *context,
                     CallDone done);
    /// Tells the server to stop the call; its done is not called.
    void cancelCall(quint64 handle, const QString &reason);

    /// What a tools/call result gives the model and the file (see ToolOutcome).
    static ToolOutcome outcome(const QJsonObject &result);
    /// A call that failed before it had a result.
    static ToolOutcome failedOutcome(const QString &reason);

signals:
    void stateChanged();
    void toolsChanged();
    /// The server's log (stderr) and what went wrong in the conversation with it.
    void logLine(const QString &line);

private:
    struct Pending;
    using Answer = std::function<void(const QJsonObject &result, const QJsonObject &error)>;

    quint64 request(const QString &method, const QJsonObject &params, int timeoutMs, Answer answer);
    void handle(const QJsonObject &message);
    void handleRequest(const QJsonObject &message);
    void answerRequest(const QJsonValue &id, const QJsonObject &result, const QJsonObject &error);
    void notify(const QString &method, const QJsonObject &params);
    void initialize();
    void listTools(const QString &cursor, QList<Tool> gathered);
    void restartTimer(Pending &pending);
    void timedOut(quint64 id);
    void fail(const QString &reason);
    void setState(State state);
    void dropPending(const QString &reason);

    std::unique_ptr<McpTransport> m_transport;
    State m_state = State::Idle;
    QString m_failure;
    QString m_version;
    QString m_serverName;
    QString m_serverVersion;
    QList<Tool> m_tools;
    quint64 m_nextId = 1;
    QHash<quint64, std::shared_ptr<Pending>> m_pending;
    bool m_initialized = false;
    bool m_listing = false;
    bool m_listAgain = false;
    int m_requestTimeoutMs = 30000;
    int m_callTimeoutMs = 10 * 60 * 1000;
};
