// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapi.h"

#include "model/textutil.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
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

QString endpoint(const QString &baseURL)
{
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(baseURL);
    QStringView base = trimmed;
    while (base.startsWith(u'/'))
        base = base.sliced(1);
    while (base.endsWith(u'/'))
        base.chop(1);
    return base.toString() + QStringLiteral("/chat/completions");
}

} // namespace

ChatAPI::ChatAPI(const AppSettings &settings, const QString &model)
    : m_settings(settings), m_model(model)
{}

ChatStream *ChatAPI::streamChat(const QList<Message> &messages, QObject *parent) const
{
    auto *stream = new ChatStream(m_timeout, parent);

    if (m_settings.keyMissing()) {
        stream->finish(ChatAPIError::noKey());
        return stream;
    }
    if (hasControlCharacters(m_settings.apiKey)) {
        stream->finish(ChatAPIError::badKey());
        return stream;
    }

    const QUrl url(endpoint(m_settings.baseURL), QUrl::StrictMode);
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
    for (const Message &m : messages)
        list.append(QJsonObject{{QStringLiteral("role"), Message::roleName(m.role)},
                                {QStringLiteral("content"), m.content}});
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
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}
