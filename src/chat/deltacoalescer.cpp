// SPDX-License-Identifier: GPL-3.0-or-later
#include "deltacoalescer.h"

#include "model/textutil.h"
#include "store/store.h"

DeltaCoalescer::DeltaCoalescer(Store *store, const QUuid &conversation, const QUuid &message,
                               QObject *parent)
    : QObject(parent), m_store(store), m_conversation(conversation), m_message(message)
{
    m_frame.setSingleShot(true);
    m_frame.setTimerType(Qt::PreciseTimer);
    m_frame.setInterval(frame);
    connect(&m_frame, &QTimer::timeout, this, &DeltaCoalescer::flush);
}

void DeltaCoalescer::appendText(const QString &delta)
{
    append(Kind::Text, delta);
}

void DeltaCoalescer::appendReasoning(const QString &delta)
{
    append(Kind::Reasoning, delta);
}

void DeltaCoalescer::append(Kind kind, const QString &delta)
{
    if (delta.isEmpty())
        return;
    if (!m_pending.isEmpty() && m_pendingKind != kind)
        flush();
    m_pendingKind = kind;
    m_pending.append(delta);
    if (!m_frame.isActive())
        m_frame.start();
}

void DeltaCoalescer::flush()
{
    if (m_pending.isEmpty())
        return;
    handOver(m_pendingKind, m_pending);
    m_pending.clear();
}

void DeltaCoalescer::handOver(Kind kind, const QString &text)
{
    if (!m_store)
        return;
    ReplyRegistry *replies = m_store->replies();
    if (kind == Kind::Reasoning) {
        m_store->appendReasoning(m_conversation, m_message, text);
        if (m_store->message(m_conversation, m_message))
            replies->startThinking(m_conversation, m_message, false);
        return;
    }

    m_store->appendToMessage(m_conversation, m_message, text);
    const Message *reply = m_store->message(m_conversation, m_message);
    auto thinking = replies->thinking(m_message);
    if (!reply || reply->role != Message::Role::Assistant || (thinking && thinking->endedMs >= 0))
        return;
    if (!thinking) {
        // A "<think>" block can only open at the start of a reply.
        if (reply->content.size() - text.size() >= 64 ||
            !TextUtil::splitThink(reply->content).found)
            return;
        replies->startThinking(m_conversation, m_message, true);
        thinking = replies->thinking(m_message);
    }
    // Reasoning apart ends with the first answer text; a "<think>" block ends with its closing
    // tag, which only a fragment holding a '>' can complete.
    if (!thinking->tagged || (text.contains(u'>') && TextUtil::splitThink(reply->content).closed))
        replies->endThinking(m_conversation, m_message);
}
