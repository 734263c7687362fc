// SPDX-License-Identifier: GPL-3.0-or-later
#include "replystream.h"

#include "attach/attachmentstore.h"
#include "store/store.h"

#include <QFileInfo>

#include <algorithm>

ReplyStream::ReplyStream(Store *store, const QUuid &conversationID, const QUuid &assistantID)
    : RunningReply(conversationID), m_store(store), m_assistantID(assistantID),
      m_deltas(store, conversationID, assistantID)
{}

ReplyStream::~ReplyStream() = default;

void ReplyStream::start(const AppSettings &settings, const QUuid &provider, const QString &model,
                        const QList<Message> &history, Images images)
{
    ChatAPI api(Gateway::fromSettings(settings, provider), model);
    api.setSystemPrompt(settings.systemPrompt);
    api.setHistoryImages(images == Images::All);
    const bool files = std::any_of(history.cbegin(), history.cend(),
                                   [](const Message &m) { return !m.attachments().isEmpty(); });
    if (!files) {
        post(api, api.requestBody(history));
        return;
    }
    // Reading the files and their base64 take a while for many images: never on this thread.
    m_builder = std::make_unique<BackgroundRunner>(BackgroundRunner::Mode::InOrder,
                                                   QStringLiteral("request"));
    m_builder->run([api, dataDir = QFileInfo(m_store->fileURL()).absolutePath(), history,
                    images] { return requestBody(api, dataDir, history, images); },
                   [this, api](const Body &body) {
                       if (!body.missing.isEmpty())
                           emit notice(tr("%n 个附件文件已丢失，没有随消息发送：%1", nullptr,
                                          int(body.missing.size()))
                                           .arg(body.missing.join(tr("、"))));
                       post(api, body.bytes);
                   });
}

ReplyStream::Body ReplyStream::requestBody(ChatAPI api, const QString &dataDir,
                                           const QList<Message> &history, Images images)
{
    Body body;
    const AttachmentStore files(dataDir);
    api.setAttachmentReader([&](const Attachment &a) {
        // A file that is gone is sent without; its message still shows it, marked as lost.
        ChatAPI::AttachedContent content;
        if (a.isImage() && images == Images::None)
            return content;
        if (a.isImage())
            content.imagePart = files.imagePart(a).value_or(QJsonObject());
        else
            content.text = files.textBlock(a).value_or(QString());
        if (content.imagePart.isEmpty() && content.text.isEmpty() && !body.missing.contains(a.name))
            body.missing.append(a.name);
        return content;
    });
    body.bytes = api.requestBody(history);
    return body;
}

void ReplyStream::post(const ChatAPI &api, const QByteArray &body)
{
    // Stopped while the body was being made.
    if (m_cancelRequested) {
        end(true, std::nullopt, TokenUsage());
        return;
    }
    ChatStream *stream = api.post(body, this);
    m_request = stream;
    connect(stream, &ChatStream::delta, this, &ReplyStream::appendDelta);
    connect(stream, &ChatStream::reasoningDelta, &m_deltas, &DeltaCoalescer::appendReasoning);
    connect(stream, &ChatStream::finished, this, [this](const std::optional<ChatAPIError> &error) {
        const TokenUsage usage = m_request ? m_request->usage() : TokenUsage();
        if (!error)
            end(false, std::nullopt, usage);
        else if (error->isCancellation() || m_cancelRequested)
            end(true, std::nullopt, usage);
        else
            end(false, error, usage);
    });
}

void ReplyStream::cancel()
{
    if (m_ended)
        return;
    // What arrived before the stop is kept, and lands before the conversation may be removed.
    m_deltas.flush();
    m_cancelRequested = true;
    if (m_request) {
        m_request->cancel();
    } else if (m_builder) {
        // The body is still being made: it is never sent, and the end comes from the event
        // loop, as a stopped request's does.
        m_builder->clear();
        QMetaObject::invokeMethod(
            this, [this] { end(true, std::nullopt, TokenUsage()); }, Qt::QueuedConnection);
    }
}

void ReplyStream::appendDelta(const QString &delta)
{
    if (!m_cancelRequested)
        m_deltas.appendText(delta);
}

void ReplyStream::end(bool cancelled, const std::optional<ChatAPIError> &error,
                      const TokenUsage &usage)
{
    if (m_ended)
        return;
    m_ended = true;
    // The outcome, the empty-reply check and the save see the whole reply.
    m_deltas.flush();
    QString shown;
    if (m_store) {
        // With the conversation or its placeholder gone, the outcome has nowhere to go: it is
        // dropped, and only the panes' state is cleared.
        const QUuid conversation = conversationID();
        m_store->replies()->endThinking(conversation, m_assistantID);
        if (const Message *placeholder = m_store->message(conversation, m_assistantID)) {
            const bool empty = placeholder->content.isEmpty();
            const bool thought = !placeholder->reasoning.isEmpty();
            if (cancelled && empty && !thought) {
                // A reply stopped while it was still thinking keeps what it thought.
                m_store->removeMessage(conversation, m_assistantID);
            } else {
                if (error) {
                    // A reply cut off keeps what arrived; either way the failure is kept beside
                    // it, in its untranslated form, so it is shown after a restart and never
                    // sent as the model's words.
                    const QString stored = error->description(StoredText::Form::Written);
                    shown = error->description();
                    if (empty)
                        m_store->setMessageContent(conversation, m_assistantID,
                                                   ChatAPI::failurePlaceholder(stored));
                    m_store->setMessageError(conversation, m_assistantID, stored,
                                             error->kindCode());
                }
                m_store->setMessageUsage(conversation, m_assistantID, usage);
            }
        }
        m_store->save();
    }
    emit finished(shown);
    deleteLater();
}
