// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcphttptransport.h"

#include "api/gatewayrequest.h"
#include "mcp/sseeventreader.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>

namespace {

// A JSON answer larger than this is not a message this program can use.
constexpr qsizetype maxJsonBody = 16 * 1024 * 1024;
// How long to wait before opening a stream again when the server did not say.
constexpr int defaultRetryMs = 1000;
// A stream that keeps ending without carrying anything is given up after this many tries.
constexpr int maxQuietReconnects = 3;

QString excerpt(const QByteArray &body)
{
    QString text = QString::fromUtf8(body).simplified();
    if (text.size() > 200)
        text = text.first(200) + QStringLiteral("…");
    return text;
}

bool isToken(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        if (c <= 0x20 || c >= 0x7F || QByteArrayView("()<>@,;:\\\"/[]?={}").contains(c))
            return false;
    }
    return true;
}

bool hasControlCharacters(QByteArrayView value)
{
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7F)
            return true;
    }
    return false;
}

// The id of a request, or of the response to it, as one comparable key.
QString idKey(const QJsonValue &id)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact));
}

bool isRequest(const QJsonObject &message)
{
    return message.contains(u"method") && message.contains(u"id");
}

bool isResponse(const QJsonObject &message)
{
    return !message.contains(u"method") && message.contains(u"id") &&
           (message.contains(u"result") || message.contains(u"error"));
}

} // namespace

/// One HTTP request of the transport and what its answer carries.
class McpHttpExchange : public QObject
{
public:
    enum class Kind {
        Post,   ///< a message to the server; its answer may carry messages back
        Listen, ///< the Streamable GET stream of the server's own messages
        Resume, ///< a GET that picks up a POST's event stream where it broke off
        Legacy, ///< the older transport's one event stream
    };

    McpHttpExchange(McpHttpTransport *transport, Kind kind)
        : QObject(transport), m_transport(transport), kind(kind)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &McpHttpExchange::onTimeout);
    }

    void send(const QString &url, const QByteArray &verb,
              const QList<McpHttpTransport::Header> &headers, const QByteArray &body = {})
    {
        request = new GatewayRequest(Gateway{url, {}, true}, this);
        connect(request, &GatewayRequest::readyRead, this, &McpHttpExchange::onData);
        connect(request, &GatewayRequest::finished, this, &McpHttpExchange::onFinished);
        connect(request, &GatewayRequest::failed, this, &McpHttpExchange::onFailed);
        request->send(verb, u"", headers, body);
        if (QNetworkReply *reply = request->reply())
            connect(reply, &QNetworkReply::metaDataChanged, this, &McpHttpExchange::onHeaders);
        m_timer.start(m_transport->m_timeLimit);
    }

    /// Ends the request quietly: nothing more comes of it.
    void stop()
    {
        m_timer.stop();
        m_stopped = true;
        if (request)
            request->stop();
    }

    McpHttpTransport *m_transport;
    const Kind kind;
    GatewayRequest *request = nullptr;
    /// Post: the request's id (when the message is a request), whether it is initialize, and
    /// the session it went with.
    QJsonValue id;
    bool initialize = false;
    QByteArray session;
    /// Resume: how many times this POST's stream was picked up again.
    int resumes = 0;
    bool delivered = false; // any message came out of this exchange

private:
    int status() const
    {
        const QVariant s = request->reply()->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        return s.isValid() ? s.toInt() : -1;
    }

    bool ok() const { return status() >= 200 && status() <= 299; }

    void onHeaders()
    {
        if (m_headersRead || !ok())
            return; // a redirect's headers are not the answer's
        m_headersRead = true;
        const QByteArray type =
            request->reply()->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        m_stream = type.trimmed().toLower().startsWith("text/event-stream");
        // The session is named in the headers, and the client may go on as soon as the answer
        // is read, while a stream that carried it is still open.
        if (kind == Kind::Post && initialize)
            m_transport->takeSession(request->reply()->rawHeader("Mcp-Session-Id"));
        // A stream may rightly stay silent for long; the client times its own requests.
        if (m_stream)
            m_timer.stop();
    }

    void onData()
    {
        onHeaders();
        QNetworkReply *reply = request->reply();
        if (!m_stream || !ok()) {
            const qsizetype room =
                (ok() ? maxJsonBody : GatewayRequest::maxErrorBodyLength) - m_body.size();
            m_body += reply->read(qMax<qsizetype>(room, 0));
            reply->readAll(); // the rest is dropped
            return;
        }
        m_events.append(reply->readAll());
        const QPointer<McpHttpExchange> alive(this);
        while (const std::optional<SseEventReader::Event> event = m_events.next()) {
            m_transport->onEvent(this, *event);
            if (!alive || m_stopped)
                return;
        }
    }

    void onFinished()
    {
        m_timer.stop();
        QNetworkReply *reply = request->reply();
        const int code = status();
        if (code < 0) {
            m_transport->onBroken(this, request->networkError().description());
            return;
        }
        const QPointer<McpHttpExchange> alive(this);
        onData();
        if (!alive || m_stopped)
            return;
        const bool cut = reply->error() != QNetworkReply::NoError;
        m_transport->onEnded(this, code, m_stream, m_body, cut,
                             cut ? request->networkError().description() : QString());
    }

    void onFailed(const ChatAPIError &error)
    {
        m_timer.stop();
        if (error.kind() == ChatAPIError::Kind::Http)
            m_transport->onBroken(this,
                                  McpHttpTransport::tr("MCP 服务器把请求重定向到了另一个来源，"
                                                       "为保护请求头中的凭据没有跟随"));
        else if (error.kind() == ChatAPIError::Kind::TimedOut)
            onTimeout();
        else
            m_transport->onBroken(this, error.description());
    }

    void onTimeout()
    {
        stop();
        m_transport->onBroken(this, McpHttpTransport::tr("MCP 服务器在 %1 秒内没有回答")
                                        .arg(m_transport->m_timeLimit.count() / 1000.0));
    }

public:
    const SseEventReader &events() const { return m_events; }

private:
    QTimer m_timer;
    SseEventReader m_events;
    QByteArray m_body;
    bool m_headersRead = false;
    bool m_stream = false;
    bool m_stopped = false;
};

McpHttpTransport::McpHttpTransport(const QString &url, const QList<Header> &headers,
                                   QObject *parent)
    : McpTransport(parent), m_url(url.trimmed()), m_headers(headers), m_unusable(unusable())
{
    m_endpointWait.setSingleShot(true);
    connect(&m_endpointWait, &QTimer::timeout, this, [this] {
        fail(tr("MCP 服务器的事件流在 %1 秒内没有给出消息地址").arg(m_timeLimit.count() / 1000.0));
    });
}

McpHttpTransport::~McpHttpTransport()
{
    if (!m_closed)
        close();
}

void McpHttpTransport::start()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_closed || m_failed)
                return;
            if (m_unusable.isEmpty())
                emit started();
            else
                fail(m_unusable);
        },
        Qt::QueuedConnection);
}

QString McpHttpTransport::unusable() const
{
    const QUrl url(m_url, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") ||
        url.host().isEmpty())
        return tr("MCP 服务器地址应以 http:// 或 https:// 开头：%1").arg(m_url);
    // Qt writes header values as they are: a line break would start a header of its own.
    for (const auto &[name, value] : std::as_const(m_headers)) {
        if (!isToken(name) || hasControlCharacters(value))
            return tr("请求头“%1”含有不能发送的字符").arg(QString::fromUtf8(name));
    }
    return {};
}

void McpHttpTransport::send(const QByteArray &message)
{
    if (m_closed || m_failed || !m_unusable.isEmpty())
        return;
    const QJsonObject parsed = QJsonDocument::fromJson(message).object();
    if (parsed.value(u"method").toString() == u"initialize") {
        // A new session: nothing of the old one goes with it.
        m_initialize = message;
        m_sessionId.clear();
        m_protocolVersion.clear();
        m_listenRefused = false;
        if (m_mode == Mode::Streamable)
            dropStream();
    }
    if (m_mode == Mode::LegacySse && m_endpoint.isEmpty()) {
        m_waiting.append(message);
        return;
    }
    post(message, parsed);
    // The server may speak on its own once the client said it is ready.
    if (m_mode == Mode::Streamable &&
        parsed.value(u"method").toString() == u"notifications/initialized")
        openListenStream();
}

McpHttpExchange *McpHttpTransport::post(const QByteArray &message, const QJsonObject &parsed)
{
    auto *exchange = new McpHttpExchange(this, McpHttpExchange::Kind::Post);
    m_exchanges.append(exchange);
    if (isRequest(parsed)) {
        exchange->id = parsed.value(u"id");
        m_outstanding.insert(idKey(exchange->id));
    }
    exchange->initialize = parsed.value(u"method").toString() == u"initialize";
    exchange->session = m_sessionId;
    QList<Header> headers = m_headers;
    headers.append(Header{"Content-Type", "application/json"});
    if (m_mode == Mode::LegacySse) {
        exchange->send(m_endpoint, "POST", headers, message);
        return exchange;
    }
    headers.append(Header{"Accept", "application/json, text/event-stream"});
    appendSessionHeaders(headers);
    exchange->send(m_url, "POST", headers, message);
    return exchange;
}

void McpHttpTransport::appendSessionHeaders(QList<Header> &headers) const
{
    if (!m_sessionId.isEmpty())
        headers.append(Header{"Mcp-Session-Id", m_sessionId});
    if (!m_protocolVersion.isEmpty())
        headers.append(Header{"MCP-Protocol-Version", m_protocolVersion});
}

void McpHttpTransport::openListenStream(const QByteArray &lastEventId)
{
    if (m_listenRefused || (m_stream && lastEventId.isEmpty()))
        return;
    dropStream();
    auto *exchange = new McpHttpExchange(this, McpHttpExchange::Kind::Listen);
    m_exchanges.append(exchange);
    m_stream = exchange;
    exchange->send(m_url, "GET", listenHeaders(lastEventId));
}

QList<McpHttpTransport::Header> McpHttpTransport::listenHeaders(const QByteArray &lastEventId) const
{
    QList<Header> headers = m_headers;
    headers.append(Header{"Accept", "text/event-stream"});
    appendSessionHeaders(headers);
    if (!lastEventId.isEmpty())
        headers.append(Header{"Last-Event-ID", lastEventId});
    return headers;
}

void McpHttpTransport::resume(McpHttpExchange *broken)
{
    // The answer to a POST whose stream broke off comes on a GET that names the last event
    // seen, after the delay the server asked for.
    const QByteArray lastEventId = broken->events().lastEventId();
    const int resumes = broken->resumes + 1;
    const QJsonValue id = broken->id;
    const int delay = broken->events().retryMs() >= 0 ? broken->events().retryMs() : defaultRetryMs;
    QTimer::singleShot(delay, this, [this, lastEventId, resumes, id] {
        if (m_closed || m_failed || !m_outstanding.contains(idKey(id)))
            return;
        auto *exchange = new McpHttpExchange(this, McpHttpExchange::Kind::Resume);
        m_exchanges.append(exchange);
        exchange->id = id;
        exchange->resumes = resumes;
        exchange->send(m_url, "GET", listenHeaders(lastEventId));
    });
}

void McpHttpTransport::openLegacyStream()
{
    auto *exchange = new McpHttpExchange(this, McpHttpExchange::Kind::Legacy);
    m_exchanges.append(exchange);
    m_stream = exchange;
    QList<Header> headers = m_headers;
    headers.append(Header{"Accept", "text/event-stream"});
    exchange->send(m_url, "GET", headers);
    m_endpointWait.start(m_timeLimit);
}

void McpHttpTransport::takeSession(const QByteArray &session)
{
    if (m_mode == Mode::Streamable && !session.isEmpty())
        m_sessionId = session;
}

void McpHttpTransport::setProtocolVersion(const QString &version)
{
    if (m_mode == Mode::Streamable)
        m_protocolVersion = version.toUtf8();
}

void McpHttpTransport::onEvent(McpHttpExchange *exchange, const SseEventReader::Event &event)
{
    const QString where = exchange->kind == McpHttpExchange::Kind::Post ? tr("回答") : tr("事件流");
    if (event.oversized) {
        emit logLine(tr("MCP 服务器的%1中有一个过大的事件，已丢弃").arg(where));
        return;
    }
    if (exchange->kind == McpHttpExchange::Kind::Legacy && event.name == "endpoint") {
        onEndpoint(event.data);
        return;
    }
    // Events of other names are not messages; an empty one only primes the stream.
    if (event.name != "message" || event.data.trimmed().isEmpty())
        return;
    exchange->delivered = true;
    deliver(event.data, where);
}

void McpHttpTransport::onEndpoint(const QByteArray &data)
{
    if (!m_endpoint.isEmpty())
        return;
    const QUrl base(m_url);
    const QUrl target = base.resolved(QUrl(QString::fromUtf8(data.trimmed())));
    // The headers go wherever messages go.
    if (!target.isValid() || !GatewayRequest::sameOrigin(base, target)) {
        fail(tr("MCP 服务器给出的消息地址不在它自己的来源：%1").arg(target.toDisplayString()));
        return;
    }
    m_endpointWait.stop();
    m_endpoint = target.toString(QUrl::FullyEncoded);
    const QList<QByteArray> waiting = std::exchange(m_waiting, {});
    for (const QByteArray &message : waiting) {
        if (m_closed || m_failed)
            return;
        post(message, QJsonDocument::fromJson(message).object());
    }
}

void McpHttpTransport::deliver(const QByteArray &json, const QString &where)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    QJsonArray messages;
    if (document.isObject())
        messages.append(document.object());
    else if (document.isArray())
        messages = document.array();
    if (messages.isEmpty() || error.error != QJsonParseError::NoError) {
        emit logLine(tr("MCP 服务器的%1无法识别：%2").arg(where, excerpt(json)));
        return;
    }
    const QPointer<McpHttpTransport> alive(this);
    for (const QJsonValue &value : std::as_const(messages)) {
        if (!value.isObject()) {
            emit logLine(tr("MCP 服务器的%1中有一项不是消息").arg(where));
            continue;
        }
        const QJsonObject object = value.toObject();
        if (isResponse(object))
            m_outstanding.remove(idKey(object.value(u"id")));
        emit message(object);
        if (!alive || m_closed || m_failed)
            return;
    }
}

void McpHttpTransport::onEnded(McpHttpExchange *exchange, int status, bool stream,
                               const QByteArray &body, bool cut, const QString &cutReason)
{
    using Kind = McpHttpExchange::Kind;
    forget(exchange);
    const bool ok = status >= 200 && status <= 299;

    if (exchange->kind == Kind::Legacy) {
        fail(ok && stream
                 ? tr("与 MCP 服务器的事件流断开了")
                 : legacyRefusal(ok ? tr("它的回答不是事件流") : tr("HTTP %1").arg(status)));
        return;
    }
    if (exchange->kind == Kind::Listen || exchange->kind == Kind::Resume) {
        if (!ok || !stream) {
            // Servers may refuse the stream (405); their answers then come in the replies.
            if (exchange->kind == Kind::Listen)
                m_listenRefused = true;
            emit logLine(tr("MCP 服务器没有打开事件流（HTTP %1）").arg(status));
            return;
        }
        if (exchange->kind == Kind::Resume) {
            if (m_outstanding.contains(idKey(exchange->id)) &&
                !exchange->events().lastEventId().isEmpty() &&
                exchange->resumes < maxQuietReconnects)
                resume(exchange);
            return;
        }
        m_quietReconnects = exchange->delivered ? 0 : m_quietReconnects + 1;
        if (m_quietReconnects > maxQuietReconnects)
            return;
        const int delay =
            exchange->events().retryMs() >= 0 ? exchange->events().retryMs() : defaultRetryMs;
        const QByteArray lastEventId = exchange->events().lastEventId();
        QTimer::singleShot(delay, this, [this, lastEventId] {
            if (!m_closed && !m_failed && !m_stream)
                openListenStream(lastEventId);
        });
        return;
    }

    // A POST.
    if (ok) {
        if (m_mode == Mode::LegacySse)
            return; // the answer comes on the stream; the body is only an acknowledgement
        if (stream) {
            const bool unanswered =
                !exchange->id.isUndefined() && m_outstanding.contains(idKey(exchange->id));
            if (unanswered && !exchange->events().lastEventId().isEmpty()) {
                resume(exchange);
                return;
            }
            if (unanswered && cut) {
                fail(cutReason);
                return;
            }
            return;
        }
        if (cut) {
            fail(cutReason);
            return;
        }
        if (!body.trimmed().isEmpty())
            deliver(body, tr("回答"));
        return;
    }
    if (status == 404 && !exchange->session.isEmpty() && m_mode == Mode::Streamable) {
        // Told once per session, whatever else was on its way when the server forgot it.
        if (exchange->session != m_sessionId)
            return;
        m_sessionId.clear();
        m_protocolVersion.clear();
        dropStream();
        emit sessionExpired();
        return;
    }
    if (exchange->initialize && exchange->session.isEmpty() && m_mode == Mode::Streamable &&
        (status == 400 || status == 404 || status == 405)) {
        m_mode = Mode::LegacySse;
        m_fallbackStatus = status;
        m_waiting.prepend(m_initialize);
        emit logLine(
            tr("MCP 服务器不接受 POST（HTTP %1），改用旧的 HTTP+SSE 方式连接").arg(status));
        openLegacyStream();
        return;
    }
    const QString text = excerpt(body);
    fail(text.isEmpty() ? tr("MCP 服务器回答了 HTTP %1").arg(status)
                        : tr("MCP 服务器回答了 HTTP %1：%2").arg(status).arg(text));
}

QString McpHttpTransport::legacyRefusal(const QString &why) const
{
    return tr("MCP 服务器既不接受 POST（HTTP %1），也没有打开旧式的事件流（%2）")
        .arg(m_fallbackStatus)
        .arg(why);
}

void McpHttpTransport::onBroken(McpHttpExchange *exchange, const QString &reason)
{
    using Kind = McpHttpExchange::Kind;
    forget(exchange);
    switch (exchange->kind) {
    case Kind::Post:
        fail(reason);
        return;
    case Kind::Legacy:
        fail(m_endpoint.isEmpty() ? legacyRefusal(reason) : reason);
        return;
    case Kind::Listen:
    case Kind::Resume:
        // Only the server's own messages are missed; the replies still carry the answers.
        emit logLine(tr("MCP 服务器的事件流断开了：%1").arg(reason));
        return;
    }
}

void McpHttpTransport::forget(McpHttpExchange *exchange)
{
    m_exchanges.removeOne(exchange);
    if (m_stream == exchange)
        m_stream = nullptr;
    exchange->deleteLater();
}

void McpHttpTransport::dropStream()
{
    if (!m_stream)
        return;
    m_stream->stop();
    forget(m_stream);
}

void McpHttpTransport::stopAll()
{
    m_endpointWait.stop();
    for (McpHttpExchange *exchange : std::exchange(m_exchanges, {})) {
        exchange->stop();
        exchange->deleteLater();
    }
    m_stream = nullptr;
}

void McpHttpTransport::close()
{
    if (m_closed)
        return;
    m_closed = true;
    stopAll();
    if (m_mode != Mode::Streamable || m_sessionId.isEmpty() || m_failed)
        return;
    // Ending the session is a courtesy to the server: nobody waits for its answer, and it
    // outlives this transport.
    auto *goodbye = new GatewayRequest(Gateway{m_url, {}, true}, QCoreApplication::instance());
    goodbye->setTimeLimit(std::chrono::seconds(5), GatewayRequest::TimeLimit::Total);
    connect(goodbye, &GatewayRequest::finished, goodbye, &QObject::deleteLater);
    connect(goodbye, &GatewayRequest::failed, goodbye, &QObject::deleteLater);
    // Gone before the application takes the network apart, which a request still running then
    // would not survive.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, goodbye,
            [goodbye] { delete goodbye; });
    QList<Header> headers = m_headers;
    appendSessionHeaders(headers);
    goodbye->send("DELETE", u"", headers);
}

void McpHttpTransport::fail(const QString &reason)
{
    if (m_failed || m_closed)
        return;
    m_failed = true;
    stopAll();
    emit failed(reason);
}
