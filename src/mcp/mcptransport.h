// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

/**
 * How an MCP client reaches one server: a child process over stdio, or HTTP. Carries whole
 * JSON-RPC messages both ways; the client above it knows nothing of the channel.
 */
class McpTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;                         // spawn / connect; started() or failed()
    virtual void send(const QByteArray &message) = 0; // one JSON-RPC message, unframed
    virtual void close() = 0;                         // orderly shutdown; no signals after
    /// The negotiated version, which HTTP sends as MCP-Protocol-Version after initialize.
    virtual void setProtocolVersion(const QString &) {}

signals:
    void started();
    void message(const QJsonObject &message); // every complete message received
    void failed(const QString &reason);       // Chinese, shown to the user; once
    void sessionExpired();                    // HTTP 404 on a session: initialize again
    void logLine(const QString &line);        // the server's stderr / diagnostics
};
