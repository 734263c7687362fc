// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mcp/mcptransport.h"
#include "mcp/sseeventreader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <utility>

class GatewayRequest;
class McpHttpExchange;

/**
 * An MCP server reached over HTTP.
 *
 * First as Streamable HTTP: every message is POSTed to the server's address and its answer is
 * JSON (one message or a batch) or an event stream; the session the server names in
 * Mcp-Session-Id is echoed, the negotiated version goes in MCP-Protocol-Version, and an event
 * stream opened with GET carries what the server sends on its own (a server may refuse it with
 * 405). A session the server no longer knows (404) is reported as sessionExpired(); close()
 * ends the session with DELETE.
 *
 * A server that refuses the POST of initialize with 400, 404 or 405 is taken for one of the older
 * HTTP+SSE kind: the address is opened as an event stream, whose "endpoint" event names where to
 * POST messages, and the answers come back on that stream. The initialize message is sent again
 * there; the client above sees none of this.
 *
 * The user's headers (tokens) go with every request and never leave the server's origin:
 * redirects to another origin are refused, and so is a message address elsewhere. Main thread
 * only; every signal comes from the event loop.
 */
class McpHttpTransport : public McpTransport
{
    Q_OBJECT

public:
    using Header = std::pair<QByteArray, QByteArray>;

    enum class Mode {
        Streamable, ///< POST per message, answers in the reply
        LegacySse,  ///< answers on one event stream, messages POSTed to its endpoint
    };
    Q_ENUM(Mode)

    McpHttpTransport(const QString &url, const QList<Header> &headers, QObject *parent = nullptr);
    ~McpHttpTransport() override;

    /// The longest wait for a server's answer to start (and for a JSON answer to end). An event
    /// stream may then stay silent: the client's own time-outs cover its requests.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    void start() override;
    void send(const QByteArray &message) override;
    void close() override;
    void setProtocolVersion(const QString &version) override;

    Mode mode() const { return m_mode; }

private:
    friend class McpHttpExchange;

    McpHttpExchange *post(const QByteArray &message, const QJsonObject &parsed);
    void openListenStream(const QByteArray &lastEventId = {});
    void resume(McpHttpExchange *broken);
    void openLegacyStream();
    void appendSessionHeaders(QList<Header> &headers) const;
    QList<Header> listenHeaders(const QByteArray &lastEventId) const;

    // What the exchanges report.
    void onEvent(McpHttpExchange *exchange, const SseEventReader::Event &event);
    /// The session an initialize answer names, if any.
    void takeSession(const QByteArray &session);
    void onEndpoint(const QByteArray &data);
    void onEnded(McpHttpExchange *exchange, int status, bool stream, const QByteArray &body,
                 bool cut, const QString &cutReason);
    void onBroken(McpHttpExchange *exchange, const QString &reason);

    void deliver(const QByteArray &json, const QString &where);
    QString legacyRefusal(const QString &why) const;
    void forget(McpHttpExchange *exchange);
    void dropStream();
    void stopAll();
    void fail(const QString &reason);
    /// Why nothing can be sent to this address with these headers; empty when it can.
    QString unusable() const;

    QString m_url;
    QList<Header> m_headers;
    QString m_unusable;
    std::chrono::milliseconds m_timeLimit{30'000};
    Mode m_mode = Mode::Streamable;
    bool m_closed = false;
    bool m_failed = false;

    QByteArray m_sessionId;
    QByteArray m_protocolVersion;
    /// The initialize message, sent again after falling back to the older transport.
    QByteArray m_initialize;
    QList<McpHttpExchange *> m_exchanges;
    /// The GET stream: the server's own messages (Streamable) or every answer (LegacySse).
    QPointer<McpHttpExchange> m_stream;
    bool m_listenRefused = false;
    int m_quietReconnects = 0;
    /// The requests sent whose responses have not come yet.
    QSet<QString> m_outstanding;

    // The older transport: where messages go, and those waiting for it.
    QString m_endpoint;
    QList<QByteArray> m_waiting;
    QTimer m_endpointWait;
    int m_fallbackStatus = 0; // the status that refused the POST of initialize
};
