// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatstream.h"
#include "api/gateway.h"
#include "api/toolhost.h"
#include "model/records.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

/**
 * The chat-completions client: one streaming request per call, to one gateway with one model.
 * It keeps no state between requests.
 */
class ChatAPI
{
public:
    /// What one attached file adds to a request: the text block of a text file or a PDF, or
    /// the content part of an image. Both empty for a file that is no longer there.
    struct AttachedContent
    {
        QString text;
        QJsonObject imagePart;
    };
    using AttachmentReader = std::function<AttachedContent(const Attachment &)>;

    /// Longest time without any data from the gateway before a request fails as timed out.
    static constexpr std::chrono::milliseconds defaultTimeout{120'000};

    ChatAPI(const Gateway &gateway, const QString &model);

    const Gateway &gateway() const { return m_gateway; }
    const QString &model() const { return m_model; }
    void setModel(const QString &model) { m_model = model; }
    /// Sent first, trimmed, unless it is blank.
    const QString &systemPrompt() const { return m_systemPrompt; }
    void setSystemPrompt(const QString &prompt) { m_systemPrompt = prompt; }
    /// How user messages' files are read into a request; without one they are left out.
    void setAttachmentReader(AttachmentReader read) { m_read = std::move(read); }
    /// The functions offered to the model; none: the request carries no "tools".
    const QList<ToolSpec> &tools() const { return m_tools; }
    void setTools(const QList<ToolSpec> &tools) { m_tools = tools; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    /**
     * Posts messages (after the optional system prompt) and streams the reply.
     *
     * Returns at once with a running stream, owned by parent when one is given, else by the
     * caller. Every outcome, including the failures found before anything is sent (no key,
     * a key with control characters, a bad address, a refused scheme), arrives through the
     * stream's finished() signal from the event loop. Main thread only.
     */
    ChatStream *streamChat(const QList<Message> &messages, QObject *parent = nullptr) const;
    /// streamChat() in two steps: the body of the request, which reads the attachments and
    /// may be made on any thread (images make it large: it is meant to be made in the
    /// background and handed to post() without being kept)...
    QByteArray requestBody(const QList<Message> &messages) const;
    /// ...and posting it, on the main thread.
    ChatStream *post(const QByteArray &body, QObject *parent = nullptr) const;
    /// Whether earlier messages' images are sent (see requestMessages()).
    void setHistoryImages(bool send) { m_historyImages = send; }

    /**
     * The "messages" of a request: the system prompt (trimmed, unless it is blank), then the
     * conversation as the model should read it. A reply that failed before the model said
     * anything (marked with its error, its text still the failure's placeholder) and a reply
     * that is empty once its reasoning is left out are not sent; user messages that end up
     * next to each other are sent as one, joined by a blank line. A partial reply, cut off by a
     * failure, is sent as the model wrote it.
     */
    static QJsonArray requestMessages(const QString &systemPrompt, const QList<Message> &messages);

    /**
     * The same, with every user message's attachments read by read. A message whose files are
     * all text is sent as one string: its text, then each file's block, a blank line apart.
     * One with images is sent as parts: that text first (when there is some), then each image.
     * With historyImages false, only the last user message keeps its images.
     *
     * A reply that called tools is sent, withTools, as the assistant's message with its
     * "tool_calls" followed by one "tool" message per call holding its result; after the last
     * user message (the tool turn still going on) with its reasoning as "reasoning_content",
     * which DeepSeek's thinking mode demands. Without tools, gateways refuse such messages, so
     * the calls are told in the reply's text instead.
     */
    static QJsonArray requestMessages(const QString &systemPrompt, const QList<Message> &messages,
                                      const AttachmentReader &read, bool historyImages = true,
                                      bool withTools = false);
    /// The text a reply that failed before any text shows: "⚠️ " and the failure's description.
    static QString failurePlaceholder(const QString &error);

private:
    Gateway m_gateway;
    QString m_model;
    QString m_systemPrompt;
    AttachmentReader m_read;
    bool m_historyImages = true;
    QList<ToolSpec> m_tools;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};
