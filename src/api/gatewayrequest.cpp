// SPDX-License-Identifier: GPL-3.0-or-later
#include "gatewayrequest.h"

#include "model/textutil.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <optional>

namespace {

// Qt writes header values as they are: a line break in the key would start a new header.
bool hasControlCharacters(QStringView key)
{
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            return true;
    }
    return false;
}

// The address of path under the user's base address: trimmed, its slashes at both ends dropped.
QString endpoint(const QString &baseURL, QStringView path)
{
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(baseURL);
    QStringView base = trimmed;
    while (base.startsWith(u'/'))
        base = base.sliced(1);
    while (base.endsWith(u'/'))
        base.chop(1);
    return base.toString() + path.toString();
}

// Why nothing may be sent to url with the gateway's key, if nothing may.
std::optional<ChatAPIError> refusal(const Gateway &gateway, const QUrl &url)
{
    if (gateway.removed)
        return ChatAPIError::gatewayRemoved();
    if (gateway.keyMissing())
        return ChatAPIError::noKey();
    if (!gateway.noKey && hasControlCharacters(gateway.apiKey))
        return ChatAPIError::badKey();
    if (!url.isValid())
        return ChatAPIError::badURL();
    // Only HTTP leaves the program; an empty scheme still goes to the HTTP layer, which
    // refuses it with its own error.
    const QString scheme = url.scheme();
    if (!scheme.isEmpty() && scheme != u"http" && scheme != u"https")
        return ChatAPIError::noResponse();
    return std::nullopt;
}

int defaultPort(const QUrl &url)
{
    return url.scheme() == u"https" ? 443 : 80;
}

// Through an HTTP proxy, Qt reports the proxy's own failures as if they were the server's.
QNetworkReply::NetworkError proxiedError(QNetworkReply::NetworkError code, const QUrl &url)
{
    using E = QNetworkReply;
    if (code != E::ConnectionRefusedError && code != E::HostNotFoundError &&
        code != E::TimeoutError)
        return code;
    // Qt sends nothing for a loopback address through a proxy.
    const QHostAddress address(url.host());
    if (url.host().compare(u"localhost", Qt::CaseInsensitive) == 0 || address.isLoopback())
        return code;
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    if (proxies.isEmpty() || proxies.first().type() == QNetworkProxy::NoProxy)
        return code;
    return code == E::ConnectionRefusedError ? E::ProxyConnectionRefusedError
           : code == E::HostNotFoundError    ? E::ProxyNotFoundError
                                             : E::ProxyTimeoutError;
}

// The application's one network access manager, created on first use and owned by the
// application object.
QNetworkAccessManager *networkAccessManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        // The proxy variables of the environment, and the desktop's proxy settings where Qt
        // can read them. Qt never sends loopback addresses through a proxy.
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    }
    return manager;
}

} // namespace

GatewayRequest::GatewayRequest(const Gateway &gateway, QObject *parent)
    : QObject(parent), m_gateway(gateway)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { fail(ChatAPIError::timedOut()); });
}

GatewayRequest::~GatewayRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void GatewayRequest::setTimeLimit(std::chrono::milliseconds limit, TimeLimit kind)
{
    m_timer.setInterval(limit);
    m_idleLimit = kind == TimeLimit::Idle;
}

void GatewayRequest::send(const QByteArray &verb, QStringView path, const QList<Header> &headers,
                          const QByteArray &body)
{
    Q_ASSERT(!m_reply && !m_ended);
    const QUrl url(endpoint(m_gateway.baseURL, path), QUrl::StrictMode);
    if (const auto refused = refusal(m_gateway, url)) {
        QMetaObject::invokeMethod(
            this,
            [this, error = *refused] {
                if (!m_ended)
                    fail(error);
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    if (!m_gateway.noKey)
        request.setRawHeader("Authorization", "Bearer " + m_gateway.apiKey.toUtf8());
    // Redirects are checked one by one (onRedirected).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    m_origin = url;

    QNetworkAccessManager *manager = networkAccessManager();
    m_reply = verb == "GET"    ? manager->get(request)
              : verb == "POST" ? manager->post(request, body)
                               : manager->sendCustomRequest(request, verb, body);
    m_reply->setParent(this);
    // Any sign of life, including upload progress of a long body, restarts an idle limit.
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &GatewayRequest::onSignOfLife);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &GatewayRequest::onSignOfLife);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        onSignOfLife();
        m_bodyDelivered = true;
        emit readyRead();
    });
    connect(m_reply, &QNetworkReply::redirected, this, &GatewayRequest::onRedirected);
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        m_timer.stop();
        m_bodyDelivered = true;
        emit finished();
    });
    if (m_timer.interval() > 0)
        m_timer.start();
}

void GatewayRequest::onSignOfLife()
{
    if (m_idleLimit && m_timer.isActive())
        m_timer.start();
}

void GatewayRequest::onRedirected(const QUrl &target)
{
    onSignOfLife();
    if (sameOrigin(m_origin, target)) {
        emit m_reply->redirectAllowed();
        return;
    }
    // Following would copy the Authorization header to another origin.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    fail(ChatAPIError::http(status.isValid() ? status.toInt() : -1, QString()));
}

bool GatewayRequest::sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

ChatAPIError GatewayRequest::networkError() const
{
    Q_ASSERT(m_reply);
    return ChatAPIError::network(proxiedError(m_reply->error(), m_reply->url()),
                                 m_reply->errorString());
}

void GatewayRequest::fail(const ChatAPIError &error)
{
    stop();
    emit failed(error);
}

void GatewayRequest::stop()
{
    m_ended = true;
    m_timer.stop();
    if (!m_reply)
        return;
    // Quietly: the reply's own error and finished signals must not reach us any more.
    m_reply->disconnect(this);
    // Aborting a reply while it hands over the body of an error status makes Qt warn when it
    // reports that status later; deleting the reply ends its transfer just the same.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool errorBody =
        m_bodyDelivered && status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
    if (!errorBody)
        m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}
