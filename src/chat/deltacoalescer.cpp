// SPDX-License-Identifier: GPL-3.0-or-later
#include "deltacoalescer.h"

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
    if (kind == Kind::Text)
        m_store->appendToMessage(m_conversation, m_message, text);
    else
        m_store->appendReasoning(m_conversation, m_message, text);
}
