// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatstream.h"

#include "api/chatapi.h"
#include "api/eventline.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

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

ChatStream::ChatStream(std::chrono::milliseconds timeout, QObject *parent) : QObject(parent)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(timeout);
    connect(&m_idle, &QTimer::timeout, this, [this] { finish(ChatAPIError::timedOut()); });
}

ChatStream::~ChatStream()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void ChatStream::start(QNetworkAccessManager *manager, const QNetworkRequest &request,
                       const QByteArray &body)
{
    m_origin = request.url();
    m_reply = manager->post(request, body);
    m_reply->setParent(this);
    // Any sign of life, including upload progress of a long history, restarts the time-out.
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { m_idle.start(); });
    connect(m_reply, &QNetworkReply::uploadProgress, this, [this] { m_idle.start(); });
    connect(m_reply, &QNetworkReply::readyRead, this, &ChatStream::onReadyRead);
    connect(m_reply, &QNetworkReply::redirected, this, &ChatStream::onRedirected);
    connect(m_reply, &QNetworkReply::finished, this, &ChatStream::onReplyFinished);
    m_idle.start();
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
    m_idle.stop();
    if (m_reply) {
        // Quietly: the reply's own error and finished signals must not reach us any more.
        m_reply->disconnect(this);
        // Aborting a reply of an error status makes Qt warn when it reports that status later;
        // deleting the reply ends its transfer just the same.
        if (m_mode != Mode::ErrorBody)
            m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    QMetaObject::invokeMethod(
        this, [this] { emit finished(m_error); }, Qt::QueuedConnection);
}

void ChatStream::decideMode()
{
    if (m_mode != Mode::Undecided)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    m_status = status.toInt();
    const bool success = m_status >= 200 && m_status <= 299;
    m_mode = success ? Mode::Events : Mode::ErrorBody;
    if (success)
        m_lines.emplace(ChatAPI::maxLineLength);
}

void ChatStream::onReadyRead()
{
    m_idle.start();
    decideMode();
    if (m_mode == Mode::Undecided)
        return; // the data waits in the reply until the status is known
    if (readBody())
        processLines();
}

void ChatStream::onRedirected(const QUrl &target)
{
    m_idle.start();
    if (ChatAPI::sameOrigin(m_origin, target)) {
        emit m_reply->redirectAllowed();
        return;
    }
    // Following would copy the Authorization header to another origin.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    finish(ChatAPIError::http(status.isValid() ? status.toInt() : -1, QString()));
}

void ChatStream::onReplyFinished()
{
    decideMode();
    const QNetworkReply::NetworkError code = m_reply->error();
    if (m_mode == Mode::Undecided) {
        finish(code == QNetworkReply::NoError ? ChatAPIError::noResponse()
                                              : ChatAPI::networkError(m_reply));
        return;
    }
    // Qt holds back the body of some error statuses (401) until the reply has finished.
    if (!readBody() || !processLines())
        return;
    if (code != QNetworkReply::NoError && (m_mode == Mode::Events || isTransportError(code))) {
        finish(ChatAPIError::network(code, m_reply->errorString()));
        return;
    }
    if (isCutShort()) {
        // Qt 6.4 may finish a reply whose connection closed early as if it were complete.
        finish(connectionClosed());
        return;
    }
    if (m_mode == Mode::ErrorBody) {
        finish(ChatAPIError::http(m_status, errorBodyText()));
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
    finish(m_gotFragment ? std::nullopt : std::optional(ChatAPIError::emptyReply()));
}

bool ChatStream::readBody()
{
    if (m_mode == Mode::Events) {
        const QByteArray data = m_reply->readAll();
        m_received += data.size();
        m_lines->append(data);
        return true;
    }
    // An error body's lines are joined with nothing between them: every CR and LF goes. It is
    // read in pieces, so a large body Qt handed over at once is not copied whole.
    while (m_errorBody.size() < ChatAPI::maxErrorBodyLength) {
        const QByteArray data = m_reply->read(ChatAPI::maxErrorBodyLength - m_errorBody.size());
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
    finish(ChatAPIError::http(m_status, errorBodyText()));
    return false;
}

bool ChatStream::isCutShort() const
{
    // Only an uncompressed body of announced length can be checked: Qt hands over the
    // decompressed bytes, and it hides the chunk framing.
    if (m_reply->hasRawHeader("Transfer-Encoding") || m_status == 204 || m_status == 304)
        return false;
    const QByteArray encoding = m_reply->rawHeader("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.compare("identity", Qt::CaseInsensitive) != 0)
        return false;
    bool ok = false;
    const qint64 length = m_reply->rawHeader("Content-Length").trimmed().toLongLong(&ok);
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

QString ChatStream::errorBodyText() const
{
    QByteArrayView body = m_errorBody;
    if (body.size() >= ChatAPI::maxErrorBodyLength) {
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
