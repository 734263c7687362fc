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

void BlockCuller::setSpacing(qreal spacing)
{
    if (m_spacing == spacing)
        return;
    m_spacing = spacing;
    emit spacingChanged();
    stack(0);
}

void BlockCuller::insertSlot(int index, QQuickItem *slot)
{
    if (!slot || index < 0 || index > m_slots.size())
        return;
    m_slots.insert(index, slot);
    m_shown.append(slot);
    connect(slot, &QQuickItem::heightChanged, this, [this, slot] { slotHeightChanged(slot); });
    stack(index);
}

void BlockCuller::removeSlot(int index)
{
    if (index < 0 || index >= m_slots.size())
        return;
    if (QQuickItem *slot = m_slots.at(index))
        disconnect(slot, nullptr, this, nullptr);
    m_slots.remove(index);
    // A view clearing all its rows removes them one by one.
    stackLater(index);
}

void BlockCuller::stackLater(qsizetype first)
{
    if (m_pending >= 0 && m_pending <= first)
        return;
    if (m_pending < 0)
        QMetaObject::invokeMethod(
            this, [this] { stack(m_slots.size()); }, Qt::QueuedConnection);
    m_pending = first;
}

void BlockCuller::slotHeightChanged(QQuickItem *slot)
{
    // While a reply streams the slot that grows is the last one: look from the end.
    for (qsizetype i = m_slots.size() - 1; i >= 0; --i) {
        if (m_slots.at(i) != slot)
            continue;
        // A few slots are placed at once; when many must move, as when the width changes
        // every block's height, they are placed once after all the changes.
        if (m_slots.size() - i <= 16)
            stack(i + 1);
        else
            stackLater(i + 1);
        return;
    }
}

void BlockCuller::stack(qsizetype first)
{
    if (m_pending >= 0)
        first = std::min(first, std::min(m_pending, m_slots.size()));
    m_pending = -1;
    qreal y = 0;
    bool any = false;
    for (qsizetype i = first - 1; i >= 0; --i) {
        if (const QQuickItem *slot = m_slots.at(i)) {
            y = slot->y() + slot->height() + m_spacing;
            any = true;
            break;
        }
    }
    for (qsizetype i = first; i < m_slots.size(); ++i) {
        if (QQuickItem *slot = m_slots.at(i)) {
            slot->setY(y);
            y += slot->height() + m_spacing;
            any = true;
        }
    }
    const qreal height = any ? y - m_spacing : 0;
    if (height == m_stackHeight) {
        cull();
        return;
    }
    // The view's extent follows the new height, and its change runs the pass.
    m_stackHeight = height;
    emit stackHeightChanged();
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
