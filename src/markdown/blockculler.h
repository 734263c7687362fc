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
 *
 * The culler also stacks the slots, `spacing` apart, and reports the height of the stack. A slot
 * whose height changes moves only the slots after it, so a block growing at the end of a long
 * message costs the same however many blocks come before it (a Column would place them all).
 * Changes that move many slots are gathered and placed once.
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
    /// The room between two slots.
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY spacingChanged)
    /// The height of the stacked slots: the bottom of the last one.
    Q_PROPERTY(qreal stackHeight READ stackHeight NOTIFY stackHeightChanged)

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
    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal spacing);
    qreal stackHeight() const { return m_stackHeight; }

    /// A new slot at that position; its block is shown until a pass finds it out of reach.
    Q_INVOKABLE void insertSlot(int index, QQuickItem *slot);
    Q_INVOKABLE void removeSlot(int index);
    Q_INVOKABLE void cull();

signals:
    void visibleTopChanged();
    void visibleBottomChanged();
    void extentChanged();
    void spacingChanged();
    void stackHeightChanged();

private:
    static void show(QQuickItem *slot, bool shown);
    /// Places the slots from `first` on below the one before it.
    void stack(qsizetype first);
    /// Places the slots from `first` on once the events of the moment are handled.
    void stackLater(qsizetype first);
    void slotHeightChanged(QQuickItem *slot);

    qreal m_top = -qInf();
    qreal m_bottom = qInf();
    qreal m_extent = 0;
    qreal m_spacing = 0;
    qreal m_stackHeight = 0;
    /// The first slot stackLater() is to place, or -1.
    qsizetype m_pending = -1;
    QList<QPointer<QQuickItem>> m_slots;
    /// The slots whose blocks are in the scene now; every other slot's block is not.
    QList<QPointer<QQuickItem>> m_shown;
};
