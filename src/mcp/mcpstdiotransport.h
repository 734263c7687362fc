// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mcp/jsonrpcreader.h"
#include "mcp/mcptransport.h"
#include "model/records.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QStringList>

/**
 * A server started as a child process, speaking newline-delimited JSON-RPC on its stdin and
 * stdout; what it writes to stderr is its log.
 *
 * The command runs with the user's rights, without a shell, in the server's folder (the home
 * folder when it names none), with the server's variables added to the program's environment.
 * Each server is a process group of its own, so that stopping it reaches what it started too
 * (npx leaves the real server behind as a child): close() shuts its stdin, then asks the group
 * to end, then kills it, all without waiting in the event loop.
 */
class McpStdioTransport : public McpTransport
{
    Q_OBJECT

public:
    explicit McpStdioTransport(const McpServer &server, QObject *parent = nullptr);
    ~McpStdioTransport() override;

    void start() override;
    void send(const QByteArray &message) override;
    void close() override;

    /// How long close() waits after shutting stdin before it asks the group to end, and then
    /// before it kills it.
    void setGracePeriod(int ms) { m_graceMs = ms; }
    /// The running server's process group (its process id), or 0.
    qint64 processGroup() const { return m_group; }

    /// The folders searched for a command after PATH: where user-level installers put theirs,
    /// which a desktop launcher's PATH often lacks. Only the ones that exist.
    static QStringList extraSearchFolders();
    /// The executable a command names: a path as it is (relative to folder), else the first
    /// match on path, then in extraSearchFolders(). Empty when there is none.
    static QString findCommand(const QString &command, const QString &path, const QString &folder);

private:
    void readOutput();
    void readErrors();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void fail(const QString &reason);
    void stopProcess();

    McpServer m_server;
    QPointer<QProcess> m_process;
    JsonRpcReader m_reader;
    LineSplitter m_errors{8192};
    QString m_lastError; // the last line of stderr, for the reason of a failure
    qint64 m_group = 0;
    int m_graceMs = 2000;
    bool m_done = false; // failed or closed: no more signals
};
