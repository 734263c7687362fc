// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapi.h"

#include "model/textutil.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

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

} // namespace

ChatAPIError ChatAPI::networkError(const QNetworkReply *reply)
{
    return ChatAPIError::network(proxiedError(reply->error(), reply->url()), reply->errorString());
}

QString ChatAPI::endpoint(const QString &baseURL, QStringView path)
{
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(baseURL);
    QStringView base = trimmed;
    while (base.startsWith(u'/'))
        base = base.sliced(1);
    while (base.endsWith(u'/'))
        base.chop(1);
    return base.toString() + path.toString();
}

std::optional<ChatAPIError> ChatAPI::checkKey(const AppSettings &settings)
{
    if (settings.keyMissing())
        return ChatAPIError::noKey();
    if (hasControlCharacters(settings.apiKey))
        return ChatAPIError::badKey();
    return std::nullopt;
}

bool ChatAPI::sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

ChatAPI::ChatAPI(const AppSettings &settings, const QString &model)
    : m_settings(settings), m_model(model)
{}

ChatStream *ChatAPI::streamChat(const QList<Message> &messages, QObject *parent) const
{
    auto *stream = new ChatStream(m_timeout, parent);

    if (const auto refused = checkKey(m_settings)) {
        stream->finish(*refused);
        return stream;
    }

    const QUrl url(endpoint(m_settings.baseURL, u"/chat/completions"), QUrl::StrictMode);
    if (!url.isValid()) {
        stream->finish(ChatAPIError::badURL());
        return stream;
    }
    // Only HTTP leaves the program; an empty scheme still goes to the HTTP layer, which
    // refuses it with its own error.
    const QString scheme = url.scheme();
    if (!scheme.isEmpty() && scheme != u"http" && scheme != u"https") {
        stream->finish(ChatAPIError::noResponse());
        return stream;
    }

    QNetworkRequest request(url);
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", "Bearer " + m_settings.apiKey.toUtf8());
    // Redirects are checked one by one so the key never leaves the configured origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);

    QJsonArray list;
    const QString systemPrompt = TextUtil::trimSpaceAndLineBreaks(m_settings.systemPrompt);
    if (!systemPrompt.isEmpty())
        list.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), systemPrompt}});
    // The model's reasoning is never sent back, neither kept apart nor as a "<think>" block
    // at the start of a reply (some gateways refuse it).
    for (const Message &m : messages) {
        const QString content = m.role == Message::Role::Assistant
                                    ? TextUtil::splitThink(m.content).answer.toString()
                                    : m.content;
        list.append(QJsonObject{{QStringLiteral("role"), Message::roleName(m.role)},
                                {QStringLiteral("content"), content}});
    }
    const QJsonObject body{{QStringLiteral("model"), m_model},
                           {QStringLiteral("messages"), list},
                           {QStringLiteral("stream"), true}};

    stream->start(networkAccessManager(), request,
                  QJsonDocument(body).toJson(QJsonDocument::Compact));
    return stream;
}

QNetworkAccessManager *ChatAPI::networkAccessManager()
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
