// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickItem>

/**
 * Keeps only the blocks of one message that are near the visible part in the scene.
 *
 * The view stacks one slot per block; each slot has a `block` property holding the item it
 * shows. A block far from the visible part is taken off its slot (its parent becomes null) and
 * put back when it comes near again: the slot keeps its height, and a hidden item would still
 * cost the renderer time in every frame. The slots near the visible part are found by bisection
 * over the slots in order, so a pass costs the same however many blocks the message has.
 *
 * The view reports its slots as they are made and destroyed (insertSlot, removeSlot) and runs a
 * pass whenever the visible part or its own height changes.
 */
class BlockCuller : public QObject
{
    Q_OBJECT
    /// The visible part, in the coordinates of the slots' parent. By default everything.
    Q_PROPERTY(qreal visibleTop READ visibleTop WRITE setVisibleTop NOTIFY visibleTopChanged)
    Q_PROPERTY(
        qreal visibleBottom READ visibleBottom WRITE setVisibleBottom NOTIFY visibleBottomChanged)
    /// The height of the slots' parent: blocks move when one before them grows.
    Q_PROPERTY(qreal extent READ extent WRITE setExtent NOTIFY extentChanged)

public:
    /// Blocks this far outside the visible part stay, so a short scroll shows them at once.
    static constexpr qreal margin = 400;

    using QObject::QObject;

    qreal visibleTop() const { return m_top; }
    void setVisibleTop(qreal top);
    qreal visibleBottom() const { return m_bottom; }
    void setVisibleBottom(qreal bottom);
    qreal extent() const { return m_extent; }
    void setExtent(qreal extent);

    /// A new slot at that position; its block is shown until a pass finds it out of reach.
    Q_INVOKABLE void insertSlot(int index, QQuickItem *slot);
    Q_INVOKABLE void removeSlot(int index);
    Q_INVOKABLE void cull();

signals:
    void visibleTopChanged();
    void visibleBottomChanged();
    void extentChanged();

private:
    static void show(QQuickItem *slot, bool shown);

    qreal m_top = -qInf();
    qreal m_bottom = qInf();
    qreal m_extent = 0;
    QList<QPointer<QQuickItem>> m_slots;
    /// The slots whose blocks are in the scene now; every other slot's block is not.
    QList<QPointer<QQuickItem>> m_shown;
};
