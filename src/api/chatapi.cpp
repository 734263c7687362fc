// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapi.h"

#include "api/gatewayrequest.h"
#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

ChatAPI::ChatAPI(const Gateway &gateway, const QString &model) : m_gateway(gateway), m_model(model)
{}

ChatStream *ChatAPI::streamChat(const QList<Message> &messages, QObject *parent) const
{
    QJsonArray list;
    const QString systemPrompt = TextUtil::trimSpaceAndLineBreaks(m_systemPrompt);
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

    auto *request = new GatewayRequest(m_gateway);
    request->setTimeLimit(m_timeout, GatewayRequest::TimeLimit::Idle);
    auto *stream = new ChatStream(request, parent);
    request->send("POST", u"/chat/completions", {{"Content-Type", "application/json"}},
                  QJsonDocument(body).toJson(QJsonDocument::Compact));
    return stream;
}
