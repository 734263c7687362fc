// SPDX-License-Identifier: GPL-3.0-or-later
#include "modellist.h"

#include "api/chatapi.h"
#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>

ModelListRequest::ModelListRequest(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { finish({}, ChatAPIError::timedOut().description()); });
}

ModelListRequest::~ModelListRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

ModelListRequest *ModelListRequest::start(const AppSettings &settings, QObject *parent,
                                          std::chrono::milliseconds timeout)
{
    auto *request = new ModelListRequest(parent);
    if (const auto refused = ChatAPI::checkKey(settings)) {
        request->finish({}, refused->description());
        return request;
    }
    const QUrl url(ChatAPI::endpoint(settings.baseURL, u"/models"), QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        request->finish({}, ChatAPIError::badURL().description());
        return request;
    }

    QNetworkRequest r(url);
    r.setRawHeader("Authorization", "Bearer " + settings.apiKey.toUtf8());
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                   QNetworkRequest::UserVerifiedRedirectPolicy);
    request->m_origin = url;
    QNetworkReply *reply = ChatAPI::networkAccessManager()->get(r);
    request->m_reply = reply;
    reply->setParent(request);
    connect(reply, &QNetworkReply::redirected, request, [request, reply](const QUrl &target) {
        if (ChatAPI::sameOrigin(request->m_origin, target)) {
            emit reply->redirectAllowed();
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        request->finish({}, ChatAPIError::http(status, QString()).description());
    });
    connect(reply, &QNetworkReply::readyRead, request, [request, reply] {
        request->m_body += reply->readAll();
        if (request->m_body.size() > maxBodyLength)
            request->finish({}, tr("服务器返回的模型列表过大。"));
    });
    connect(reply, &QNetworkReply::finished, request, &ModelListRequest::onReplyFinished);
    request->m_timer.start(timeout);
    return request;
}

void ModelListRequest::onReplyFinished()
{
    m_body += m_reply->readAll();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        finish({}, ChatAPI::networkError(m_reply).description());
        return;
    }
    const int code = status.toInt();
    if (code < 200 || code > 299) {
        // The body joined into one line, and short enough for the form.
        QString body = QString::fromUtf8(m_body.left(ChatAPI::maxErrorBodyLength));
        body.remove(u'\r').remove(u'\n');
        if (body.size() > 300)
            body = body.left(300) + u'…';
        finish({}, ChatAPIError::http(code, body).description());
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        finish({}, ChatAPI::networkError(m_reply).description());
        return;
    }
    const auto ids = parseIds(m_body);
    if (!ids)
        finish({}, tr("服务器的回应不是模型列表，请检查 API 地址。"));
    else if (ids->isEmpty())
        finish({}, tr("服务器没有列出任何模型。"));
    else
        finish(*ids, {});
}

void ModelListRequest::finish(const QStringList &ids, const QString &error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    QMetaObject::invokeMethod(
        this, [this, ids, error] { emit finished(ids, error); }, Qt::QueuedConnection);
}

std::optional<QStringList> ModelListRequest::parseIds(const QByteArray &body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonValue data = doc.object().value(QLatin1String("data"));
    if (!data.isArray())
        return std::nullopt;
    QStringList ids;
    QSet<QString> seen;
    for (const QJsonValue &entry : data.toArray()) {
        const QString id = TextUtil::trimSpaceAndLineBreaks(
            entry.toObject().value(QLatin1String("id")).toString());
        // The models list holds one name per line.
        if (!id.isEmpty() && !id.contains(u'\n') && !seen.contains(id)) {
            seen.insert(id);
            ids.append(id);
        }
    }
    return ids;
}
