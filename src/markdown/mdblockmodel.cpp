// SPDX-License-Identifier: GPL-3.0-or-later
#include "mdblockmodel.h"

#include "markdown/mdinline.h"
#include "markdown/mdmath.h"
#include "model/conversationsearch.h"

#include <QVariantMap>

namespace {

bool hasText(MDBlock::Kind kind)
{
    return kind == MDBlock::Paragraph || kind == MDBlock::Heading || kind == MDBlock::Quote;
}

// The text a TextEdit shows for mdInline()'s HTML: its tags dropped, its few entities decoded,
// a line break as the line separator the rich text importer makes of it.
QString shownText(const QString &html)
{
    static const std::pair<QStringView, QChar> entities[] = {
        {u"&amp;", u'&'},  {u"&lt;", u'<'},   {u"&gt;", u'>'},
        {u"&quot;", u'"'}, {u"&#39;", u'\''}, {u"&nbsp;", QChar(0x00A0)},
    };
    QString out;
    out.reserve(html.size());
    const QStringView in(html);
    for (qsizetype i = 0; i < in.size();) {
        const QChar c = in[i];
        if (c == u'<') {
            // Text never holds a bare '<': every one opens a tag.
            const qsizetype end = in.indexOf(u'>', i);
            if (in.sliced(i).startsWith(u"<br"))
                out += QChar::LineSeparator;
            i = end < 0 ? in.size() : end + 1;
            continue;
        }
        if (c == u'&') {
            bool known = false;
            for (const auto &[name, ch] : entities) {
                if (in.sliced(i).startsWith(name)) {
                    out += ch;
                    i += name.size();
                    known = true;
                    break;
                }
            }
            if (known)
                continue;
        }
        out += c;
        ++i;
    }
    return out;
}

int widestRow(const MDBlock &block)
{
    qsizetype count = 0;
    for (const QStringList &row : block.rows)
        count = std::max(count, row.size());
    return int(count);
}

} // namespace

MDBlockModel::MDBlockModel(QObject *parent) : QAbstractListModel(parent)
{
    m_blocks = MDParser::parseTail(m_text, {}, &m_resume);
    for (const MDBlock &block : std::as_const(m_blocks))
        m_rows.append(makeRow(block, nullptr, nullptr));
}

void MDBlockModel::setText(const QString &text)
{
    if (text == m_text)
        return;
    // The lines before the last resume point are unchanged when the new text begins with the
    // same characters up to it; the blocks before it are then kept as they are.
    MDParser::ResumePoint from;
    const qsizetype same = m_resume.offset;
    if (same > 0 && text.size() >= same &&
        QStringView(text).first(same) == QStringView(m_text).first(same))
        from = m_resume;
    parseFrom(text, from);
    emit textChanged();
}

void MDBlockModel::setStreaming(bool on)
{
    if (on == m_streaming)
        return;
    m_streaming = on;
    // Resume points never lie after a line the end of the text decided.
    parseFrom(m_text, m_resume);
    emit streamingChanged();
}

void MDBlockModel::parseFrom(const QString &text, MDParser::ResumePoint from)
{
    QList<MDBlock> tail = MDParser::parseTail(text, from, &m_resume, m_math, m_streaming);
    m_text = text;
    apply(from.blocks, std::move(tail));
}

void MDBlockModel::setMath(bool on)
{
    if (on == m_math)
        return;
    m_math = on;
    beginResetModel();
    m_blocks = MDParser::parseTail(m_text, {}, &m_resume, m_math, m_streaming);
    m_rows.clear();
    for (const MDBlock &block : std::as_const(m_blocks))
        m_rows.append(makeRow(block, nullptr, nullptr));
    endResetModel();
    emit mathChanged();
}

// Replaces the rows from `first` on by `blocks`: rows equal at the start or the end of that
// range stay, rows in between change in place when their kind stays and are removed and
// inserted when it changes, and the difference in count is inserted or removed.
void MDBlockModel::apply(qsizetype first, QList<MDBlock> blocks)
{
    const qsizetype oldCount = m_blocks.size() - first;
    const qsizetype newCount = blocks.size();
    qsizetype head = 0;
    while (head < oldCount && head < newCount && m_blocks[first + head] == blocks[head])
        ++head;
    qsizetype tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           m_blocks[first + oldCount - 1 - tail] == blocks[newCount - 1 - tail])
        ++tail;
    const qsizetype start = first + head;
    const qsizetype oldMiddle = oldCount - head - tail;
    const qsizetype newMiddle = newCount - head - tail;
    const qsizetype paired = std::min(oldMiddle, newMiddle);

    for (qsizetype j = 0; j < paired; ++j) {
        const int row = int(start + j);
        const MDBlock &block = blocks[head + j];
        Row cached = makeRow(block, &m_blocks[row], &m_rows[row]);
        if (block.kind == m_blocks[row].kind) {
            const QList<int> roles = changedRoles(m_blocks[row], block);
            m_blocks[row] = block;
            m_rows[row] = std::move(cached);
            // Blocks paired by position in the changed middle may still be equal; an empty role
            // list would announce every role.
            if (!roles.isEmpty())
                emit dataChanged(index(row), index(row), roles);
        } else {
            // A delegate chosen by kind is not chosen again on dataChanged.
            beginRemoveRows({}, row, row);
            m_blocks.remove(row);
            m_rows.remove(row);
            endRemoveRows();
            beginInsertRows({}, row, row);
            m_blocks.insert(row, block);
            m_rows.insert(row, std::move(cached));
            endInsertRows();
        }
    }
    if (newMiddle > oldMiddle) {
        const qsizetype at = start + paired;
        const qsizetype count = newMiddle - oldMiddle;
        beginInsertRows({}, int(at), int(at + count - 1));
        for (qsizetype j = 0; j < count; ++j) {
            const MDBlock &block = blocks[head + paired + j];
            m_blocks.insert(at + j, block);
            m_rows.insert(at + j, makeRow(block, nullptr, nullptr));
        }
        endInsertRows();
    } else if (oldMiddle > newMiddle) {
        const qsizetype at = start + paired;
        const qsizetype count = oldMiddle - newMiddle;
        beginRemoveRows({}, int(at), int(at + count - 1));
        m_blocks.remove(at, count);
        m_rows.remove(at, count);
        endRemoveRows();
    }
}

MDBlockModel::Row MDBlockModel::makeRow(const MDBlock &block, const MDBlock *oldBlock,
                                        const Row *oldRow) const
{
    Row row;
    if (block.kind == MDBlock::Math) {
        row.html = mathImageId(block.text, true);
    } else if (hasText(block.kind)) {
        const bool same = oldBlock && hasText(oldBlock->kind) && oldBlock->text == block.text;
        row.html = same ? oldRow->html : mdInline(block.text, m_math);
    }
    row.items.reserve(block.items.size());
    for (qsizetype i = 0; i < block.items.size(); ++i) {
        const MDBlock::Item &item = block.items[i];
        const bool known = oldBlock && i < oldBlock->items.size();
        if (known && oldBlock->items[i] == item) {
            row.items.append(oldRow->items[i]);
            continue;
        }
        const QString html = known && oldBlock->items[i].text == item.text
                                 ? oldRow->items[i].toMap().value(QStringLiteral("html")).toString()
                                 : mdInline(item.text, m_math);
        row.items.append(QVariantMap{{QStringLiteral("indent"), item.indent},
                                     {QStringLiteral("num"), item.num},
                                     {QStringLiteral("html"), html}});
    }
    row.rowsHtml.reserve(block.rows.size());
    for (qsizetype i = 0; i < block.rows.size(); ++i) {
        const QStringList &cells = block.rows[i];
        if (oldBlock && i < oldBlock->rows.size() && oldBlock->rows[i] == cells) {
            row.rowsHtml.append(oldRow->rowsHtml[i]);
        } else {
            QStringList html;
            html.reserve(cells.size());
            for (const QString &cell : cells)
                html.append(mdInline(cell, m_math));
            row.rowsHtml.append(html);
        }
        for (qsizetype c = 0; c < cells.size(); ++c) {
            row.cells.append(QVariantMap{{QStringLiteral("row"), int(i)},
                                         {QStringLiteral("column"), int(c)},
                                         {QStringLiteral("html"), row.rowsHtml[i][c]}});
        }
    }
    row.columnCount = widestRow(block);
    return row;
}

QList<int> MDBlockModel::changedRoles(const MDBlock &from, const MDBlock &to)
{
    QList<int> roles;
    if (from.text != to.text)
        roles << HtmlRole;
    if (from.text != to.text && to.kind == MDBlock::Math)
        roles << TexRole;
    if (from.level != to.level)
        roles << LevelRole;
    if (from.lang != to.lang)
        roles << LangRole;
    if (from.code != to.code)
        roles << CodeRole;
    if (from.items != to.items)
        roles << ItemsRole;
    if (from.rows != to.rows) {
        roles << CellsRole;
        if (widestRow(from) != widestRow(to))
            roles << ColumnCountRole;
    }
    return roles;
}

int MDBlockModel::firstMatch(const QString &text, const QString &query)
{
    const auto inline_ = [&](const QString &markdown) {
        return !ConversationSearch::matches(shownText(mdInline(markdown)), query).isEmpty();
    };
    const QList<MDBlock> blocks = MDParser::parse(text);
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        const MDBlock &block = blocks[b];
        bool found = false;
        if (hasText(block.kind))
            found = inline_(block.text);
        else if (block.kind == MDBlock::Code)
            found = !ConversationSearch::matches(block.code, query).isEmpty();
        for (const MDBlock::Item &item : block.items)
            found = found || inline_(item.text);
        for (const QStringList &row : block.rows) {
            for (const QString &cell : row)
                found = found || inline_(cell);
        }
        if (found)
            return int(b);
    }
    return -1;
}

int MDBlockModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_blocks.size());
}

QVariant MDBlockModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MDBlock &block = m_blocks[index.row()];
    const Row &row = m_rows[index.row()];
    switch (role) {
    case KindRole:
        return int(block.kind);
    case HtmlRole:
        return row.html;
    case LevelRole:
        return block.level;
    case LangRole:
        return block.lang;
    case CodeRole:
        return block.code;
    case ItemsRole:
        return row.items;
    case CellsRole:
        return row.cells;
    case ColumnCountRole:
        return row.columnCount;
    case TexRole:
        return block.kind == MDBlock::Math ? block.text : QString();
    default:
        return {};
    }
}

QHash<int, QByteArray> MDBlockModel::roleNames() const
{
    return {
        {KindRole, "kind"},   {HtmlRole, "html"},
        {LevelRole, "level"}, {LangRole, "lang"},
        {CodeRole, "code"},   {ItemsRole, "items"},
        {CellsRole, "cells"}, {ColumnCountRole, "columnCount"},
        {TexRole, "tex"},
    };
}
