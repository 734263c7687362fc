// SPDX-License-Identifier: GPL-3.0-or-later
#include "blockstack.h"

#include "markdown/quick/codesource.h"

#include <QQmlContext>
#include <QQmlEngine>

#include <cmath>

void BlockChoice::setKind(int kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    emit kindChanged();
}

void BlockChoice::setDelegate(QQmlComponent *delegate)
{
    if (m_delegate == delegate)
        return;
    m_delegate = delegate;
    emit delegateChanged();
}

BlockStack::BlockStack(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, false);
}

BlockStack::~BlockStack()
{
    for (Block &block : m_blocks)
        release(block);
}

void BlockStack::setModel(QAbstractItemModel *model)
{
    if (m_model == model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, &BlockStack::reset);
        connect(model, &QAbstractItemModel::layoutChanged, this, &BlockStack::reset);
        connect(model, &QAbstractItemModel::rowsMoved, this, &BlockStack::reset);
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { insertRows(first, last); });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) { removeRows(first, last); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                    changeRows(from.row(), to.row(), roles);
                });
        connect(model, &QObject::destroyed, this, &BlockStack::reset);
    }
    reset();
    emit modelChanged();
}

QQmlListProperty<BlockChoice> BlockStack::choices()
{
    return {this, &m_choices};
}

void BlockStack::setVisibleTop(qreal top)
{
    if (m_top == top)
        return;
    m_top = top;
    emit visibleTopChanged();
    schedule();
}

void BlockStack::setVisibleBottom(qreal bottom)
{
    if (m_bottom == bottom)
        return;
    m_bottom = bottom;
    emit visibleBottomChanged();
    schedule();
}

void BlockStack::setSpacing(qreal spacing)
{
    if (m_spacing == spacing)
        return;
    m_spacing = spacing;
    emit spacingChanged();
    restack(0);
    schedule();
}

void BlockStack::setFontSize(qreal size)
{
    if (m_fontSize == size)
        return;
    m_fontSize = size;
    emit fontSizeChanged();
    estimateAll();
}

void BlockStack::setCodeFontSize(qreal size)
{
    if (m_codeFontSize == size)
        return;
    m_codeFontSize = size;
    emit codeFontSizeChanged();
    estimateAll();
}

QQuickItem *BlockStack::itemAt(int row) const
{
    return row >= 0 && row < m_blocks.size() ? m_blocks.at(row).item : nullptr;
}

qreal BlockStack::blockY(int row) const
{
    return row >= 0 && row < m_blocks.size() ? m_blocks.at(row).y : 0;
}

namespace {

/// The width of a text in halves of an em: a wide (CJK) character takes two, any other one.
qreal halfEms(QStringView text)
{
    qreal n = 0;
    for (const QChar c : text)
        n += c.unicode() >= 0x1100 && !c.isLowSurrogate() ? 2 : 1;
    return n;
}

/// The lines a text takes when `perLine` halves of an em fit on one.
qreal wrappedLines(QStringView text, qreal perLine)
{
    qreal lines = 0;
    for (const QStringView line : text.tokenize(u'\n'))
        lines += std::max<qreal>(1, std::ceil(halfEms(line) / perLine));
    return std::max<qreal>(lines, 1);
}

} // namespace

qreal BlockStack::estimate(const MDBlock &block, qreal width, qreal fontSize, qreal codeFontSize)
{
    // The measures of the block views, rounded: a line of body text is about 1.45 em high plus
    // the paragraphs' extra line room, and an average character about half an em wide.
    const qreal line = fontSize * 1.45 + 3.5;
    const qreal perLine = std::max<qreal>(8, width / (fontSize * 0.52));
    switch (block.kind) {
    case MDBlock::Paragraph:
        return wrappedLines(block.text, perLine) * line;
    case MDBlock::Heading: {
        const qreal size = fontSize * (block.level == 1 ? 1.6 : block.level == 2 ? 1.35 : 1.15);
        return wrappedLines(block.text, width / (size * 0.55)) * size * 1.45 + 8;
    }
    case MDBlock::Quote:
        return wrappedLines(block.text, perLine - 4) * line + 8;
    case MDBlock::Bullets:
    case MDBlock::Ordered: {
        qreal height = 0;
        for (const MDBlock::Item &item : block.items)
            height += wrappedLines(item.text, perLine - 4 - item.indent * 3) * line + 5;
        return std::max<qreal>(height - 5, line);
    }
    case MDBlock::Code:
        return 30 + estimateCode(block.code, width, codeFontSize) + 20;
    case MDBlock::Table:
        return 20 + block.rows.size() * (fontSize * 1.45 + 6) + 4;
    case MDBlock::Rule:
        return 9;
    case MDBlock::Math:
        return fontSize * 3;
    }
    return line;
}

qreal BlockStack::estimateCode(QStringView code, qreal width, qreal codeFontSize)
{
    const qreal codeLine = codeFontSize * 1.35;
    const qreal codePerLine = std::max<qreal>(8, (width - 20) / (codeFontSize * 0.6));
    return wrappedLines(code, codePerLine) * codeLine;
}

qreal BlockStack::estimateRow(int row) const
{
    if (const auto *blocks = qobject_cast<const MDBlockModel *>(m_model)) {
        if (row >= blocks->blocks().size())
            return 0;
        return estimate(blocks->blocks().at(row), width(), m_fontSize, m_codeFontSize);
    }
    if (const auto *pieces = qobject_cast<const CodePieces *>(m_model)) {
        if (row >= pieces->count())
            return 0;
        // A piece's box is padded only above the first and below the last piece.
        const qreal padding = (row == 0 ? 10 : 0) + (row == pieces->count() - 1 ? 10 : 0);
        return estimateCode(pieces->text(row), width(), m_codeFontSize) + padding;
    }
    return 0;
}

int BlockStack::kindOf(int row) const
{
    const auto *blocks = qobject_cast<const MDBlockModel *>(m_model);
    return blocks && row < blocks->blocks().size() ? blocks->blocks().at(row).kind : -1;
}

void BlockStack::estimateAll()
{
    for (qsizetype i = 0; i < m_blocks.size(); ++i) {
        Block &block = m_blocks[i];
        if (block.item)
            block.height = block.item->height();
        else
            block.height = estimateRow(int(i));
        block.measured = block.item != nullptr;
    }
    restack(0);
    schedule();
}

void BlockStack::reset()
{
    for (Block &block : m_blocks)
        release(block);
    m_blocks.clear();
    const int rows = m_model ? m_model->rowCount() : 0;
    m_blocks.resize(rows);
    for (int i = 0; i < rows; ++i)
        m_blocks[i].height = estimateRow(i);
    restack(0);
    schedule();
}

void BlockStack::insertRows(int first, int last)
{
    if (first < 0 || first > m_blocks.size() || last < first)
        return;
    m_blocks.insert(first, last - first + 1, Block{});
    for (int i = first; i <= last; ++i)
        m_blocks[i].height = estimateRow(i);
    restack(first);
    schedule();
}

void BlockStack::removeRows(int first, int last)
{
    if (first < 0 || last >= m_blocks.size() || last < first)
        return;
    for (int i = first; i <= last; ++i)
        release(m_blocks[i]);
    m_blocks.remove(first, last - first + 1);
    restack(first);
    schedule();
}

void BlockStack::changeRows(int first, int last, const QList<int> &roles)
{
    if (!m_model)
        return;
    for (int row = std::max(first, 0); row <= last && row < m_blocks.size(); ++row) {
        Block &block = m_blocks[row];
        if (!block.item) {
            // The height the block had no longer holds for its new text.
            block.measured = false;
            setHeight(row, estimateRow(row));
            continue;
        }
        const QVariantMap values = roleValues(block.item, row, roles);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            block.item->setProperty(it.key().toLatin1().constData(), it.value());
    }
    schedule();
}

void BlockStack::restack(qsizetype first)
{
    first = std::max<qsizetype>(first, 0);
    qreal y = first > 0 && first <= m_blocks.size()
                  ? m_blocks.at(first - 1).y + m_blocks.at(first - 1).height + m_spacing
                  : 0;
    for (qsizetype i = first; i < m_blocks.size(); ++i) {
        Block &block = m_blocks[i];
        block.y = y;
        if (block.item)
            block.item->setY(y);
        y += block.height + m_spacing;
    }
    setImplicitHeight(m_blocks.isEmpty() ? 0 : y - m_spacing);
}

void BlockStack::setHeight(qsizetype row, qreal height)
{
    Block &block = m_blocks[row];
    if (block.height == height)
        return;
    // What lies wholly above the visible part moves what is seen, unless the stack is out of
    // sight itself (the list it is in places whole messages).
    const qreal visibleTop = std::max<qreal>(m_top, 0);
    if (block.y + block.height <= visibleTop && implicitHeight() > visibleTop &&
        std::isfinite(m_top))
        m_shift += height - block.height;
    block.height = height;
    restack(row + 1);
}

void BlockStack::schedule()
{
    if (m_laying)
        return;
    if (window())
        polish();
    else
        layout();
}

std::pair<qsizetype, qsizetype> BlockStack::rowsWithin(qreal top, qreal bottom) const
{
    // The blocks are stacked in order, so those that reach into the range form one run.
    const auto firstBelow = [this](auto &&isAfter) {
        qsizetype lo = 0;
        qsizetype hi = m_blocks.size();
        while (lo < hi) {
            const qsizetype mid = (lo + hi) / 2;
            if (isAfter(m_blocks.at(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };
    const qsizetype first = firstBelow([top](const Block &b) { return b.y + b.height >= top; });
    const qsizetype end = firstBelow([bottom](const Block &b) { return b.y > bottom; });
    return {first, std::max(first, end)};
}

void BlockStack::updatePolish()
{
    layout();
}

void BlockStack::layout()
{
    if (m_laying)
        return;
    m_laying = true;
    // Items made change the heights, which may bring more blocks into reach; a few rounds
    // settle it.
    for (int round = 0; round < 8; ++round) {
        const auto [first, end] = rowsWithin(m_top - margin, m_bottom + margin);
        qsizetype changedFrom = -1;
        for (qsizetype i = first; i < end; ++i) {
            Block &block = m_blocks[i];
            if (block.item)
                continue;
            if (!make(int(i)))
                continue;
            if (changedFrom < 0)
                changedFrom = i;
        }
        if (changedFrom < 0)
            break;
    }
    // Items far from the visible part go; the one with the keyboard focus stays. Only the few
    // items there are are looked at, not every block of a long message.
    const auto [keepFirst, keepEnd] = rowsWithin(m_top - 2 * margin, m_bottom + 2 * margin);
    const QList<QQuickItem *> items = childItems();
    for (QQuickItem *item : items) {
        const qsizetype row = rowOf(item);
        if (row < 0)
            continue;
        if ((row < keepFirst || row >= keepEnd) && !item->hasActiveFocus())
            release(m_blocks[row]);
        else
            showVisible(m_blocks.at(row));
    }
    m_laying = false;
    if (m_shift != 0) {
        const qreal shift = m_shift;
        m_shift = 0;
        emit contentShifted(shift);
    }
}

QQuickItem *BlockStack::make(int row)
{
    if (!m_model || row >= m_model->rowCount())
        return nullptr;
    const int kind = kindOf(row);
    QQmlComponent *component = nullptr;
    for (const BlockChoice *choice : std::as_const(m_choices)) {
        if (choice->kind() == kind && choice->delegate()) {
            component = choice->delegate();
            break;
        }
    }
    if (!component)
        return nullptr;
    QQmlContext *context = component->creationContext();
    if (!context)
        context = qmlContext(this);
    QObject *object = component->beginCreate(context);
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        if (object) {
            component->completeCreate();
            delete object;
        }
        return nullptr;
    }
    // The roles the item has properties for, required ones among them, are set before the
    // item completes.
    QVariantMap initial = roleValues(item, row, {});
    const QMetaObject *meta = item->metaObject();
    const bool observes =
        meta->indexOfProperty("visibleTop") >= 0 && meta->indexOfProperty("visibleBottom") >= 0;
    if (observes) {
        // Before it completes, so that it makes only what is seen of itself from the start.
        initial.insert(QStringLiteral("visibleTop"), m_top - m_blocks.at(row).y);
        initial.insert(QStringLiteral("visibleBottom"), m_bottom - m_blocks.at(row).y);
    }
    component->setInitialProperties(item, initial);
    QQmlEngine::setObjectOwnership(item, QQmlEngine::CppOwnership);
    item->setParentItem(this);
    component->completeCreate();

    Block &block = m_blocks[row];
    block.item = item;
    item->setY(block.y);
    connect(item, &QQuickItem::heightChanged, this, [this, item] { itemHeightChanged(item); });
    block.observes = observes;
    if (meta->indexOfSignal("contentShifted(qreal)") >= 0) {
        // A shift inside an item (its pieces' estimates replaced above what is seen) moves
        // what is seen as one of the stack's own would.
        connect(item, SIGNAL(contentShifted(qreal)), this, SLOT(addShift(qreal)));
    }
    block.measured = true;
    setHeight(row, item->height());
    return item;
}

QVariantMap BlockStack::roleValues(const QQuickItem *item, int row, const QList<int> &roles) const
{
    QVariantMap values;
    const bool kinds = qobject_cast<const MDBlockModel *>(m_model) != nullptr;
    const QModelIndex index = m_model->index(row, 0);
    const QHash<int, QByteArray> names = m_model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if ((kinds && it.key() == MDBlockModel::KindRole) ||
            (!roles.isEmpty() && !roles.contains(it.key())))
            continue;
        if (item->metaObject()->indexOfProperty(it.value().constData()) >= 0)
            values.insert(QString::fromLatin1(it.value()), m_model->data(index, it.key()));
    }
    return values;
}

void BlockStack::showVisible(const Block &block) const
{
    if (!block.observes || !block.item)
        return;
    block.item->setProperty("visibleTop", m_top - block.y);
    block.item->setProperty("visibleBottom", m_bottom - block.y);
}

void BlockStack::addShift(qreal dy)
{
    m_shift += dy;
    schedule();
}

void BlockStack::release(Block &block)
{
    if (!block.item)
        return;
    QQuickItem *item = std::exchange(block.item, nullptr);
    disconnect(item, nullptr, this, nullptr);
    item->setParentItem(nullptr);
    item->setVisible(false);
    item->deleteLater();
}

void BlockStack::itemHeightChanged(QQuickItem *item)
{
    const qsizetype row = rowOf(item);
    if (row < 0)
        return;
    setHeight(row, item->height());
    schedule();
}

qsizetype BlockStack::rowOf(const QQuickItem *item) const
{
    // An item stands where its block does, and the blocks are stacked in order; blocks of no
    // height may share a place.
    const auto first = std::lower_bound(m_blocks.cbegin(), m_blocks.cend(), item->y(),
                                        [](const Block &b, qreal y) { return b.y < y; });
    for (auto it = first; it != m_blocks.cend() && it->y == item->y(); ++it) {
        if (it->item == item)
            return it - m_blocks.cbegin();
    }
    // Not where it should be: look everywhere, from the end, where a reply grows.
    for (qsizetype i = m_blocks.size() - 1; i >= 0; --i) {
        if (m_blocks.at(i).item == item)
            return i;
    }
    return -1;
}

void BlockStack::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    // The estimates follow the width at once, so the height is about right before the layout.
    if (newGeometry.width() != oldGeometry.width())
        estimateAll();
}

void BlockStack::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange && value.window)
        polish();
}
