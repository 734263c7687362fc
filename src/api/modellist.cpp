// SPDX-License-Identifier: GPL-3.0-or-later
#include "modellist.h"

#include "api/gatewayrequest.h"
#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSet>

ModelListRequest::ModelListRequest(const Gateway &gateway, std::chrono::milliseconds timeout,
                                   QObject *parent)
    : QObject(parent), m_request(new GatewayRequest(gateway, this))
{
    m_request->setTimeLimit(timeout, GatewayRequest::TimeLimit::Total);
    connect(m_request, &GatewayRequest::readyRead, this, &ModelListRequest::onReadyRead);
    connect(m_request, &GatewayRequest::finished, this, &ModelListRequest::onReplyFinished);
    connect(m_request, &GatewayRequest::failed, this,
            [this](const ChatAPIError &error) { fail(error); });
}

// The request, a child, aborts a running reply quietly when it goes.
ModelListRequest::~ModelListRequest() = default;

ModelListRequest *ModelListRequest::start(const Gateway &gateway, QObject *parent,
                                          std::chrono::milliseconds timeout)
{
    auto *list = new ModelListRequest(gateway, timeout, parent);
    list->m_request->send("GET", u"/models");
    return list;
}

void ModelListRequest::onReadyRead()
{
    m_body += m_request->reply()->readAll();
    if (m_body.size() > maxBodyLength)
        finish({}, tr("服务器返回的模型列表过大。"));
}

void ModelListRequest::onReplyFinished()
{
    QNetworkReply *reply = m_request->reply();
    m_body += reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        fail(m_request->networkError());
        return;
    }
    m_answered = true;
    const int code = status.toInt();
    if (code < 200 || code > 299) {
        // The body joined into one line, and short enough for the form.
        QString body = QString::fromUtf8(m_body.left(GatewayRequest::maxErrorBodyLength));
        body.remove(u'\r').remove(u'\n');
        if (body.size() > 300)
            body = body.left(300) + u'…';
        fail(ChatAPIError::http(code, body));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(m_request->networkError());
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

void ModelListRequest::fail(const ChatAPIError &error)
{
    if (!m_finished)
        m_failure = error;
    finish({}, error.description());
}

void ModelListRequest::finish(const QStringList &ids, const QString &error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_request->stop();
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
