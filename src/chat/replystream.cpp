// SPDX-License-Identifier: GPL-3.0-or-later
#include "replystream.h"

#include "api/chatapi.h"
#include "chatcontroller.h"
#include "store/store.h"

namespace {

/// The position of the message with that id, searched from the end: a reply's placeholder is
/// nearly always the last message, so a delta costs the same however long the conversation is.
std::optional<qsizetype> findMessage(const Conversation &c, const QUuid &id)
{
    for (qsizetype i = c.messages.size() - 1; i >= 0; --i) {
        if (c.messages.at(i).id == id)
            return i;
    }
    return std::nullopt;
}

} // namespace

ReplyStream::ReplyStream(Store *store, const QUuid &conversationId, const QUuid &assistantId,
                         ChatController *pane)
    : QObject(store), m_store(store), m_conversationId(conversationId), m_assistantId(assistantId),
      m_pane(pane)
{}

ReplyStream::~ReplyStream() = default;

void ReplyStream::start(const AppSettings &settings, const QString &model,
                        const QList<Message> &history)
{
    ChatStream *stream = ChatAPI(settings, model).streamChat(history, this);
    m_request = stream;
    connect(stream, &ChatStream::delta, this, &ReplyStream::appendDelta);
    connect(stream, &ChatStream::reasoningDelta, this, [this](const QString &delta) {
        if (m_store)
            m_store->appendReasoning(m_conversationId, m_assistantId, delta);
    });
    connect(stream, &ChatStream::finished, this, [this](const std::optional<ChatAPIError> &error) {
        if (!error)
            end(false, std::nullopt);
        else if (error->isCancellation() || m_cancelRequested)
            end(true, std::nullopt);
        else
            end(false, error->description());
    });
}

void ReplyStream::cancel()
{
    if (m_ended)
        return;
    m_cancelRequested = true;
    if (auto *stream = qobject_cast<ChatStream *>(m_request))
        stream->cancel();
}

void ReplyStream::appendDelta(const QString &delta)
{
    if (!m_store)
        return;
    const auto conv = m_store->indexOf(m_conversationId);
    if (!conv)
        return;
    const auto row = findMessage(m_store->conversations().at(*conv), m_assistantId);
    if (!row)
        return;
    m_store->appendToMessage(*conv, *row, delta);
}

void ReplyStream::end(bool cancelled, const std::optional<QString> &error)
{
    if (m_ended)
        return;
    m_ended = true;
    std::optional<QString> shown;
    if (m_store) {
        const auto conv = m_store->indexOf(m_conversationId);
        const auto row =
            conv ? findMessage(m_store->conversations().at(*conv), m_assistantId) : std::nullopt;
        // With the conversation or its placeholder gone, the outcome has nowhere to go: it is
        // dropped, and only the pane's state is cleared.
        m_store->endThinking(m_assistantId);
        if (row) {
            const qsizetype at = *row;
            const Message &reply = m_store->conversations().at(*conv).messages.at(at);
            const bool empty = reply.content.isEmpty();
            const bool thought = !reply.reasoning.isEmpty();
            if (cancelled) {
                // A reply stopped while it was still thinking keeps what it thought.
                if (empty && !thought)
                    m_store->removeMessage(*conv, at);
            } else if (error) {
                if (empty)
                    m_store->setMessageContent(*conv, at, QStringLiteral("⚠️ ") + *error);
                shown = error;
            }
        }
        m_store->save();
    }
    if (m_pane)
        m_pane->streamEnded(shown);
    emit finished();
    deleteLater();
}
