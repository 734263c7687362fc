// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapi.h"

#include "api/gatewayrequest.h"
#include "model/textutil.h"

#include <QJsonDocument>
#include <QJsonObject>

ChatAPI::ChatAPI(const Gateway &gateway, const QString &model) : m_gateway(gateway), m_model(model)
{}

namespace {

// A reply that failed before the model said anything: its text is the client's, not the model's.
bool isFailurePlaceholder(const Message &m)
{
    return m.role == Message::Role::Assistant && !m.error().isEmpty() &&
           m.content == ChatAPI::failurePlaceholder(m.error());
}

} // namespace

QString ChatAPI::failurePlaceholder(const QString &error)
{
    return QStringLiteral("⚠️ ") + error;
}

QJsonArray ChatAPI::requestMessages(const QString &systemPrompt, const QList<Message> &messages)
{
    QJsonArray list;
    const QString prompt = TextUtil::trimSpaceAndLineBreaks(systemPrompt);
    if (!prompt.isEmpty())
        list.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), prompt}});
    const QString roleKey = QStringLiteral("role");
    const QString contentKey = QStringLiteral("content");
    Message::Role previous = Message::Role::System;
    for (const Message &m : messages) {
        if (isFailurePlaceholder(m))
            continue;
        // The model's reasoning is never sent back, neither kept apart nor as a "<think>"
        // block at the start of a reply (some gateways refuse it).
        const QString content = m.role == Message::Role::Assistant
                                    ? TextUtil::splitThink(m.content).answer.toString()
                                    : m.content;
        // A reply stopped before it said anything.
        if (m.role == Message::Role::Assistant && content.isEmpty())
            continue;
        // Some gateways refuse two user messages in a row (left so by a failed reply between
        // them): they are sent as one.
        if (m.role == Message::Role::User && previous == Message::Role::User && !list.isEmpty()) {
            const qsizetype at = list.size() - 1;
            QJsonObject last = list.at(at).toObject();
            last[contentKey] = last[contentKey].toString() + QStringLiteral("\n\n") + content;
            list.replace(at, last);
            continue;
        }
        list.append(QJsonObject{{roleKey, Message::roleName(m.role)}, {contentKey, content}});
        previous = m.role;
    }
    return list;
}

ChatStream *ChatAPI::streamChat(const QList<Message> &messages, QObject *parent) const
{
    const QJsonArray list = requestMessages(m_systemPrompt, messages);
    QJsonObject body{{QStringLiteral("model"), m_model},
                     {QStringLiteral("messages"), list},
                     {QStringLiteral("stream"), true}};
    // Only where the gateway is known to take it: some relays refuse fields they do not know.
    if (m_gateway.streamUsage)
        body.insert(QStringLiteral("stream_options"),
                    QJsonObject{{QStringLiteral("include_usage"), true}});

    auto *request = new GatewayRequest(m_gateway);
    request->setTimeLimit(m_timeout, GatewayRequest::TimeLimit::Idle);
    auto *stream = new ChatStream(request, parent);
    request->send("POST", u"/chat/completions", {{"Content-Type", "application/json"}},
                  QJsonDocument(body).toJson(QJsonDocument::Compact));
    return stream;
}
