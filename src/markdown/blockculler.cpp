// SPDX-License-Identifier: GPL-3.0-or-later
#include "blockculler.h"

void BlockCuller::setVisibleTop(qreal top)
{
    if (m_top == top)
        return;
    m_top = top;
    emit visibleTopChanged();
    cull();
}

void BlockCuller::setVisibleBottom(qreal bottom)
{
    if (m_bottom == bottom)
        return;
    m_bottom = bottom;
    emit visibleBottomChanged();
    cull();
}

void BlockCuller::setExtent(qreal extent)
{
    if (m_extent == extent)
        return;
    m_extent = extent;
    emit extentChanged();
    cull();
}

void BlockCuller::insertSlot(int index, QQuickItem *slot)
{
    if (!slot || index < 0 || index > m_slots.size())
        return;
    m_slots.insert(index, slot);
    m_shown.append(slot);
}

void BlockCuller::removeSlot(int index)
{
    if (index >= 0 && index < m_slots.size())
        m_slots.remove(index);
}

void BlockCuller::show(QQuickItem *slot, bool shown)
{
    auto *block = slot->property("block").value<QQuickItem *>();
    QQuickItem *parent = shown ? slot : nullptr;
    if (block && block->parentItem() != parent)
        block->setParentItem(parent);
}

void BlockCuller::cull()
{
    const qreal top = m_top - margin;
    const qreal bottom = m_bottom + margin;
    const auto above = [top](const QQuickItem *slot) { return slot->y() + slot->height() < top; };
    const auto below = [bottom](const QQuickItem *slot) { return slot->y() > bottom; };

    // The slots are stacked in order, so those in reach form one run.
    qsizetype lo = 0;
    qsizetype hi = m_slots.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        const QQuickItem *slot = m_slots.at(mid);
        if (slot && above(slot))
            lo = mid + 1;
        else
            hi = mid;
    }
    const qsizetype first = lo;
    hi = m_slots.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        const QQuickItem *slot = m_slots.at(mid);
        if (!slot || !below(slot))
            lo = mid + 1;
        else
            hi = mid;
    }

    // Only slots that come into reach or leave it are touched.
    QList<QPointer<QQuickItem>> shown;
    shown.reserve(lo - first);
    for (qsizetype i = first; i < lo; ++i) {
        if (QQuickItem *slot = m_slots.at(i))
            shown.append(slot);
    }
    for (const QPointer<QQuickItem> &slot : std::as_const(m_shown)) {
        if (slot && !shown.contains(slot))
            show(slot, false);
    }
    for (const QPointer<QQuickItem> &slot : std::as_const(shown)) {
        if (!m_shown.contains(slot))
            show(slot, true);
    }
    m_shown = std::move(shown);
}
