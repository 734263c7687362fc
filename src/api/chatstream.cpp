// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatstream.h"

#include "api/eventline.h"
#include "api/gatewayrequest.h"

#include <QDateTime>
#include <QNetworkReply>

#include <algorithm>

namespace {

// Failures of the connection itself, as opposed to the codes Qt derives from an HTTP status.
bool isTransportError(QNetworkReply::NetworkError code)
{
    return (code > QNetworkReply::NoError && code <= QNetworkReply::UnknownProxyError) ||
           code == QNetworkReply::ContentReSendError || code == QNetworkReply::ProtocolFailure;
}

// A connection closed in the middle of a reply.
ChatAPIError connectionClosed()
{
    return ChatAPIError::network(QNetworkReply::RemoteHostClosedError, QString());
}

} // namespace

ChatStream::ChatStream(GatewayRequest *request, QObject *parent)
    : QObject(parent), m_request(request)
{
    request->setParent(this);
    connect(request, &GatewayRequest::readyRead, this, &ChatStream::onReadyRead);
    connect(request, &GatewayRequest::finished, this, &ChatStream::onReplyFinished);
    connect(request, &GatewayRequest::failed, this, &ChatStream::finish);
}

// The request, a child, aborts a running reply quietly when it goes.
ChatStream::~ChatStream() = default;

QNetworkReply *ChatStream::reply() const
{
    return m_request->reply();
}

void ChatStream::cancel()
{
    finish(ChatAPIError::cancelled());
}

void ChatStream::finish(std::optional<ChatAPIError> error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_error = std::move(error);
    m_request->stop();
    QMetaObject::invokeMethod(
        this, [this] { emit finished(m_error); }, Qt::QueuedConnection);
}

void ChatStream::decideMode()
{
    if (m_mode != Mode::Undecided)
        return;
    const QVariant status = reply()->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    m_status = status.toInt();
    const bool success = m_status >= 200 && m_status <= 299;
    m_mode = success ? Mode::Events : Mode::ErrorBody;
    if (success)
        m_lines.emplace(maxLineLength);
}

void ChatStream::onReadyRead()
{
    decideMode();
    if (m_mode == Mode::Undecided)
        return; // the data waits in the reply until the status is known
    if (readBody())
        processLines();
}

void ChatStream::onReplyFinished()
{
    decideMode();
    const QNetworkReply::NetworkError code = reply()->error();
    if (m_mode == Mode::Undecided) {
        finish(code == QNetworkReply::NoError ? ChatAPIError::noResponse()
                                              : m_request->networkError());
        return;
    }
    // Qt holds back the body of some error statuses (401) until the reply has finished.
    if (!readBody() || !processLines())
        return;
    if (code != QNetworkReply::NoError && (m_mode == Mode::Events || isTransportError(code))) {
        finish(ChatAPIError::network(code, reply()->errorString()));
        return;
    }
    if (isCutShort()) {
        // Qt 6.4 may finish a reply whose connection closed early as if it were complete.
        finish(connectionClosed());
        return;
    }
    if (m_mode == Mode::ErrorBody) {
        finish(httpError());
        return;
    }
    if (const auto rest = m_lines->takeRest()) {
        // Qt 6.4 also finishes a chunked body cut mid-chunk as if complete, without an error,
        // so a broken last event cannot be told from a server that ended on one. Either way
        // part of the reply may be missing: say that, rather than end as if it were whole.
        if (rest->truncated ||
            parseEventLine(rest->bytes, m_errorEvent).kind == StreamEvent::Broken) {
            finish(ChatAPIError::incomplete());
            return;
        }
        if (!handleLine(*rest))
            return;
    }
    finishNormally();
}

void ChatStream::finishNormally()
{
    // A reply that only calls tools has said something too.
    const bool said = m_gotFragment || !m_toolCalls.calls().isEmpty();
    finish(said ? std::nullopt : std::optional(ChatAPIError::emptyReply()));
}

bool ChatStream::readBody()
{
    if (m_mode == Mode::Events) {
        const QByteArray data = reply()->readAll();
        m_received += data.size();
        m_lines->append(data);
        return true;
    }
    // An error body's lines are joined with nothing between them: every CR and LF goes. It is
    // read in pieces, so a large body Qt handed over at once is not copied whole.
    constexpr qsizetype limit = GatewayRequest::maxErrorBodyLength;
    while (m_errorBody.size() < limit) {
        const QByteArray data = reply()->read(limit - m_errorBody.size());
        if (data.isEmpty())
            return true;
        m_received += data.size();
        for (const char c : data) {
            if (c != '\r' && c != '\n')
                m_errorBody.append(c);
        }
    }
    // Nothing more of the body would be shown: end now instead of reading a body that may
    // never end.
    finish(httpError());
    return false;
}

bool ChatStream::isCutShort() const
{
    // Only an uncompressed body of announced length can be checked: Qt hands over the
    // decompressed bytes, and it hides the chunk framing.
    const QNetworkReply *r = reply();
    if (r->hasRawHeader("Transfer-Encoding") || m_status == 204 || m_status == 304)
        return false;
    const QByteArray encoding = r->rawHeader("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.compare("identity", Qt::CaseInsensitive) != 0)
        return false;
    bool ok = false;
    const qint64 length = r->rawHeader("Content-Length").trimmed().toLongLong(&ok);
    return ok && m_received < length;
}

bool ChatStream::processLines()
{
    if (m_mode != Mode::Events)
        return true;
    while (const auto line = m_lines->next()) {
        if (!handleLine(*line))
            return false;
    }
    return true;
}

bool ChatStream::handleLine(const LineSplitter::Line &line)
{
    if (line.bytes.isEmpty())
        m_errorEvent = false; // a blank line ends an event
    if (line.truncated)
        return true;
    const StreamEvent event = parseEventLine(line.bytes, m_errorEvent);
    if (!event.usage.isEmpty())
        m_usage = event.usage;
    switch (event.kind) {
    case StreamEvent::Done:
        finishNormally(); // the rest of the response is not read
        return false;
    case StreamEvent::Error:
        finish(ChatAPIError::gateway(event.text));
        return false;
    case StreamEvent::Event:
        m_errorEvent = event.text == u"error";
        return true;
    case StreamEvent::Text:
        break;
    default:
        return true;
    }
    m_toolCalls.add(event.toolCalls);
    const QPointer<ChatStream> self(this);
    if (!event.reasoning.isEmpty()) {
        m_gotFragment = true;
        emit reasoningDelta(event.reasoning);
        if (!self || m_finished)
            return false;
    }
    if (!event.text.isEmpty()) {
        m_gotFragment = true;
        emit delta(event.text);
    }
    return self && !m_finished;
}

ChatAPIError ChatStream::httpError() const
{
    // "Retry-After" holds seconds or an HTTP date.
    const QByteArray value = reply()->rawHeader("Retry-After").trimmed();
    int retryAfter = -1;
    bool ok = false;
    const qint64 seconds = value.toLongLong(&ok);
    if (ok && seconds >= 0) {
        retryAfter = int(std::min<qint64>(seconds, 24 * 3600));
    } else if (!value.isEmpty()) {
        // An HTTP date ends in "GMT", which Qt's reader of such dates does not take.
        QString date = QString::fromLatin1(value);
        if (date.endsWith(u" GMT"))
            date = date.chopped(3) + QStringLiteral("+0000");
        const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
        if (when.isValid())
            retryAfter =
                int(std::clamp<qint64>(QDateTime::currentDateTimeUtc().secsTo(when), 0, 24 * 3600));
    }
    return ChatAPIError::http(m_status, errorBodyText(), retryAfter);
}

QString ChatStream::errorBodyText() const
{
    QByteArrayView body = m_errorBody;
    if (body.size() >= GatewayRequest::maxErrorBodyLength) {
        // Cut off at the limit: drop a character whose bytes were cut apart.
        qsizetype lead = body.size() - 1;
        while (lead > 0 && body.size() - lead < 4 && (uchar(body[lead]) & 0xC0) == 0x80)
            --lead;
        const uchar c = uchar(body[lead]);
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (body.size() - lead < length)
            body.truncate(lead);
    }
    return QString::fromUtf8(body);
}
