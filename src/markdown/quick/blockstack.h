// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/mdblockmodel.h"

#include <QAbstractItemModel>

#include <QList>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlListProperty>
#include <QQuickItem>

/// The delegate a BlockStack makes for the blocks of one kind.
class BlockChoice : public QObject
{
    Q_OBJECT
    /// An MDBlock::Kind.
    Q_PROPERTY(int kind READ kind WRITE setKind NOTIFY kindChanged)
    Q_PROPERTY(QQmlComponent *delegate READ delegate WRITE setDelegate NOTIFY delegateChanged)
    Q_CLASSINFO("DefaultProperty", "delegate")

public:
    using QObject::QObject;

    int kind() const { return m_kind; }
    void setKind(int kind);
    QQmlComponent *delegate() const { return m_delegate; }
    void setDelegate(QQmlComponent *delegate);

signals:
    void kindChanged();
    void delegateChanged();

private:
    int m_kind = -1;
    QPointer<QQmlComponent> m_delegate;
};

/**
 * The blocks of one message (an MDBlockModel), or the pieces of one code block (CodePieces),
 * stacked `spacing` apart, with an item made only for the blocks
 * near the visible part: the lazy list the message list itself is, inside one message.
 *
 * Every block has a height: the height its item had when it was last made, or an estimate from
 * its text and the width until then. The stack is as tall as those heights together, so a long
 * reply that was never scrolled through costs no items at all. A block that comes near the
 * visible part gets its item (from the choice of its kind, with the model's roles set as its
 * properties), and a block far from it loses its item, keeping the height it had.
 *
 * A block above the visible part that changes its height (an estimate replaced by the real
 * height, as the reader scrolls up) would move everything under it, the text being read
 * included: the stack reports such a move with contentShifted(dy) for the view to follow.
 *
 * Only changes near the block that changed are placed: while a reply streams, its last block
 * grows, which moves nothing before it.
 *
 * An item with the properties visibleTop and visibleBottom is given the visible part in its own
 * coordinates, so that it can make only what is seen of itself (the pieces of a long code
 * block); an item's contentShifted(dy) adds to the stack's own.
 */
class BlockStack : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QAbstractItemModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QQmlListProperty<BlockChoice> choices READ choices CONSTANT)
    /// The visible part, in the stack's coordinates. By default everything.
    Q_PROPERTY(qreal visibleTop READ visibleTop WRITE setVisibleTop NOTIFY visibleTopChanged)
    Q_PROPERTY(
        qreal visibleBottom READ visibleBottom WRITE setVisibleBottom NOTIFY visibleBottomChanged)
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY spacingChanged)
    /// The pixel sizes of body text and code, for the estimated heights.
    Q_PROPERTY(qreal fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(
        qreal codeFontSize READ codeFontSize WRITE setCodeFontSize NOTIFY codeFontSizeChanged)
    Q_CLASSINFO("DefaultProperty", "choices")

public:
    /// Blocks this far outside the visible part have items, so a short scroll shows them at
    /// once; they keep them until twice as far.
    static constexpr qreal margin = 400;

    explicit BlockStack(QQuickItem *parent = nullptr);
    ~BlockStack() override;

    QAbstractItemModel *model() const { return m_model; }
    void setModel(QAbstractItemModel *model);
    QQmlListProperty<BlockChoice> choices();
    qreal visibleTop() const { return m_top; }
    void setVisibleTop(qreal top);
    qreal visibleBottom() const { return m_bottom; }
    void setVisibleBottom(qreal bottom);
    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal spacing);
    qreal fontSize() const { return m_fontSize; }
    void setFontSize(qreal size);
    qreal codeFontSize() const { return m_codeFontSize; }
    void setCodeFontSize(qreal size);

    /// The item of the block at this row, or null while it has none.
    Q_INVOKABLE QQuickItem *itemAt(int row) const;
    /// The top of the block at this row (an estimate while it was never made), or 0.
    Q_INVOKABLE qreal blockY(int row) const;
    /// Makes the items the visible part needs now rather than before the next frame.
    Q_INVOKABLE void layout();

    /// The estimated height of a block this wide, with text of these sizes.
    static qreal estimate(const MDBlock &block, qreal width, qreal fontSize, qreal codeFontSize);
    /// The estimated height of the lines of code in a box this wide, without its padding.
    static qreal estimateCode(QStringView code, qreal width, qreal codeFontSize);

signals:
    void modelChanged();
    void visibleTopChanged();
    void visibleBottomChanged();
    void spacingChanged();
    void fontSizeChanged();
    void codeFontSizeChanged();
    /// Blocks above the visible part changed their height by dy, moving what is seen.
    void contentShifted(qreal dy);

protected:
    void updatePolish() override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private Q_SLOTS:
    void addShift(qreal dy);

private:
    struct Block
    {
        QQuickItem *item = nullptr;
        qreal y = 0;
        qreal height = 0;
        /// Whether height is the item's own rather than an estimate.
        bool measured = false;
        /// Whether the item takes the visible part (visibleTop and visibleBottom).
        bool observes = false;
    };

    void reset();
    void insertRows(int first, int last);
    void removeRows(int first, int last);
    void changeRows(int first, int last, const QList<int> &roles);
    /// Gives every block not measured at this width an estimate again.
    void estimateAll();
    qreal estimateRow(int row) const;
    /// Places the blocks from `first` on below the one before it, and sets the height.
    void restack(qsizetype first);
    void schedule();
    /// The rows whose blocks reach into [top, bottom]: [first, end).
    std::pair<qsizetype, qsizetype> rowsWithin(qreal top, qreal bottom) const;
    QQuickItem *make(int row);
    /// The values of these roles of a row (every role for none) that the item has properties
    /// for, by property name.
    QVariantMap roleValues(const QQuickItem *item, int row, const QList<int> &roles) const;
    void release(Block &block);
    void itemHeightChanged(QQuickItem *item);
    /// The row whose block this item shows, or -1.
    qsizetype rowOf(const QQuickItem *item) const;
    void setHeight(qsizetype row, qreal height);
    /// Gives the item of this block the visible part, when it takes it.
    void showVisible(const Block &block) const;
    /// The kind of the row's block, or -1 for a model of one kind (the pieces of code).
    int kindOf(int row) const;

    QPointer<QAbstractItemModel> m_model;
    QList<BlockChoice *> m_choices;
    QList<Block> m_blocks;
    qreal m_top = -qInf();
    qreal m_bottom = qInf();
    qreal m_spacing = 0;
    qreal m_fontSize = 15;
    qreal m_codeFontSize = 13;
    /// The move of what is seen not yet reported.
    qreal m_shift = 0;
    bool m_laying = false;
};
