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

namespace {

// The content of a user message, with what its files add.
QJsonValue userContent(const Message &m, const ChatAPI::AttachmentReader &read, bool images)
{
    if (m.attachments().isEmpty() || !read)
        return m.content;
    QString text = m.content;
    QJsonArray parts;
    for (const Attachment &a : m.attachments()) {
        // An image left out is not read at all: its base64 is the costly part.
        if (a.isImage() && !images)
            continue;
        const ChatAPI::AttachedContent added = read(a);
        if (!added.text.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + added.text;
        if (!added.imagePart.isEmpty())
            parts.append(added.imagePart);
    }
    if (parts.isEmpty())
        return text;
    if (!text.isEmpty())
        parts.prepend(QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                  {QStringLiteral("text"), text}});
    return parts;
}

// Two user messages sent as one: strings joined by a blank line; where either has parts, the
// texts are joined and the images follow in order.
QJsonValue joinContents(const QJsonValue &first, const QJsonValue &second)
{
    if (first.isString() && second.isString())
        return first.toString() + QStringLiteral("\n\n") + second.toString();
    QStringList texts;
    QJsonArray images;
    for (const QJsonValue &content : {first, second}) {
        if (content.isString()) {
            if (!content.toString().isEmpty())
                texts.append(content.toString());
            continue;
        }
        for (const QJsonValue &part : content.toArray()) {
            if (part[u"type"].toString() == u"text")
                texts.append(part[u"text"].toString());
            else
                images.append(part);
        }
    }
    if (!texts.isEmpty())
        images.prepend(QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                   {QStringLiteral("text"), texts.join(QStringLiteral("\n\n"))}});
    return images;
}

// A reply's calls as the gateway gave them, arguments as text ("{}" for none).
QJsonArray toolCallsSent(const QList<ToolCall> &calls)
{
    QJsonArray list;
    for (const ToolCall &t : calls) {
        QJsonObject call{
            {QStringLiteral("id"), t.id},
            {QStringLiteral("type"), QStringLiteral("function")},
            {QStringLiteral("function"),
             QJsonObject{{QStringLiteral("name"), t.name},
                         {QStringLiteral("arguments"),
                          t.arguments.isEmpty() ? QStringLiteral("{}") : t.arguments}}}};
        if (!t.extra.isEmpty()) {
            const QJsonDocument extra = QJsonDocument::fromJson(t.extra.toUtf8());
            call.insert(QStringLiteral("extra_content"),
                        extra.isArray() ? QJsonValue(extra.array()) : QJsonValue(extra.object()));
        }
        list.append(call);
    }
    return list;
}

// A reply's calls told as text, for a request that offers no tools.
QString toolCallsAsText(const QString &answer, const QList<ToolCall> &calls)
{
    QStringList parts;
    if (!answer.isEmpty())
        parts.append(answer);
    for (const ToolCall &t : calls)
        parts.append(
            QStringLiteral("[tool call %1 %2]\n[%3]\n%4")
                .arg(t.name, t.arguments.isEmpty() ? QStringLiteral("{}") : t.arguments,
                     t.isError ? QStringLiteral("tool error") : QStringLiteral("tool result"),
                     t.result));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

QJsonArray ChatAPI::requestMessages(const QString &systemPrompt, const QList<Message> &messages)
{
    return requestMessages(systemPrompt, messages, {});
}

QJsonArray ChatAPI::requestMessages(const QString &systemPrompt, const QList<Message> &messages,
                                    const AttachmentReader &read, bool historyImages,
                                    bool withTools)
{
    QJsonArray list;
    const QString prompt = TextUtil::trimSpaceAndLineBreaks(systemPrompt);
    if (!prompt.isEmpty())
        list.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), prompt}});
    const QString roleKey = QStringLiteral("role");
    const QString contentKey = QStringLiteral("content");
    Message::Role previous = Message::Role::System;
    // Without the history's images, only the last question keeps its own.
    qsizetype lastUser = -1;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (messages.at(i).role == Message::Role::User)
            lastUser = i;
    }
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const Message &m = messages.at(i);
        if (isFailurePlaceholder(m))
            continue;
        const bool calledTools = m.role == Message::Role::Assistant && !m.toolCalls().isEmpty();
        // The model's reasoning is never sent back, neither kept apart nor as a "<think>"
        // block at the start of a reply (some gateways refuse it); only a round of the tool turn
        // still going on keeps it.
        QJsonValue content = m.role == Message::Role::Assistant
                                 ? QJsonValue(TextUtil::splitThink(m.content).answer.toString())
                             : m.role == Message::Role::User
                                 ? userContent(m, read, historyImages || i == lastUser)
                                 : QJsonValue(m.content);
        if (calledTools && withTools) {
            const QString answer = content.toString();
            QJsonObject round{{roleKey, Message::roleName(m.role)},
                              {contentKey, answer.isEmpty() ? QJsonValue() : QJsonValue(answer)},
                              {QStringLiteral("tool_calls"), toolCallsSent(m.toolCalls())}};
            if (i > lastUser && !m.reasoning.isEmpty())
                round.insert(QStringLiteral("reasoning_content"), m.reasoning);
            list.append(round);
            for (const ToolCall &t : m.toolCalls())
                list.append(QJsonObject{{roleKey, QStringLiteral("tool")},
                                        {QStringLiteral("tool_call_id"), t.id},
                                        {contentKey, t.result}});
            previous = m.role;
            continue;
        }
        if (calledTools)
            content = toolCallsAsText(content.toString(), m.toolCalls());
        // A reply stopped before it said anything.
        if (m.role == Message::Role::Assistant && content.toString().isEmpty())
            continue;
        // Some gateways refuse two user messages in a row (left so by a failed reply between
        // them): they are sent as one.
        if (m.role == Message::Role::User && previous == Message::Role::User && !list.isEmpty()) {
            const qsizetype at = list.size() - 1;
            QJsonObject last = list.at(at).toObject();
            last[contentKey] = joinContents(last[contentKey], content);
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
    return post(requestBody(messages), parent);
}

QByteArray ChatAPI::requestBody(const QList<Message> &messages) const
{
    const QJsonArray list =
        requestMessages(m_systemPrompt, messages, m_read, m_historyImages, !m_tools.isEmpty());
    QJsonObject body{{QStringLiteral("model"), m_model},
                     {QStringLiteral("messages"), list},
                     {QStringLiteral("stream"), true}};
    if (!m_tools.isEmpty()) {
        QJsonArray tools;
        for (const ToolSpec &t : m_tools)
            tools.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("function")},
                                     {QStringLiteral("function"),
                                      QJsonObject{{QStringLiteral("name"), t.function},
                                                  {QStringLiteral("description"), t.description},
                                                  {QStringLiteral("parameters"), t.parameters}}}});
        body.insert(QStringLiteral("tools"), tools);
    }
    // Only where the gateway is known to take it: some relays refuse fields they do not know.
    if (m_gateway.streamUsage)
        body.insert(QStringLiteral("stream_options"),
                    QJsonObject{{QStringLiteral("include_usage"), true}});
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

ChatStream *ChatAPI::post(const QByteArray &body, QObject *parent) const
{
    auto *request = new GatewayRequest(m_gateway);
    request->setTimeLimit(m_timeout, GatewayRequest::TimeLimit::Idle);
    auto *stream = new ChatStream(request, parent);
    request->send("POST", u"/chat/completions", {{"Content-Type", "application/json"}}, body);
    return stream;
}
