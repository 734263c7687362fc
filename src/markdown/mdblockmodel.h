// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/mdparser.h"

#include <QAbstractListModel>
#include <QVariantList>

/// The blocks of one message's Markdown text, one row per block, for a view that draws each
/// block with a delegate chosen by its kind.
///
/// Setting a new text announces only what changed: dataChanged for a row whose value changed
/// (with the roles that changed), rowsInserted and rowsRemoved for rows that appear or vanish,
/// and never a reset. A row whose kind changes is removed and inserted again. While a reply
/// streams in, only the blocks from the last one on are parsed again, and the inline HTML of a
/// block (of a list item, of a table row) is converted only when its text changed.
///
/// Roles (name: type, for which kinds):
/// - kind: int, MDBlock::Kind (0 paragraph, 1 heading, 2 code, 3 bullets, 4 ordered, 5 quote,
///   6 table, 7 rule, 8 math)
/// - html: string, mdInline(text) for a read-only TextEdit with RichText (paragraph, heading,
///   quote); for math, the formula's mathImageId
/// - tex: string, the TeX of a display formula (math)
/// - level: int, 1 to 6 (heading)
/// - lang: string, may be empty (code)
/// - code: string, verbatim (code)
/// - items: list of maps {indent: int 0-3, num: string (empty for bullets), html: string}
///   (bullets, ordered)
/// - cells: list of maps {row: int, column: int, html: string}, the table's cells row by row;
///   row 0 is the header, and rows may differ in length (table)
/// - columnCount: int, the length of the longest row (table)
class MDBlockModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    /// Whether formulas are typeset; without, their TeX shows as written. Switching it renews
    /// every row (a model reset).
    Q_PROPERTY(bool math READ math WRITE setMath NOTIFY mathChanged)
    /// The text is a reply still arriving: a display formula open at its end may still close
    /// and holds the lines after it. Once it ends, those lines are read again.
    Q_PROPERTY(bool streaming READ streaming WRITE setStreaming NOTIFY streamingChanged)

public:
    enum Role {
        KindRole = Qt::UserRole + 1,
        HtmlRole,
        LevelRole,
        LangRole,
        CodeRole,
        ItemsRole,
        CellsRole,
        ColumnCountRole,
        TexRole,
    };
    Q_ENUM(Role)

    explicit MDBlockModel(QObject *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    bool math() const { return m_math; }
    void setMath(bool on);
    bool streaming() const { return m_streaming; }
    void setStreaming(bool on);

    /// The blocks shown, always equal to MDParser::parse(text(), math(), streaming()).
    const QList<MDBlock> &blocks() const { return m_blocks; }

    /// The row of the first block of this Markdown text whose shown text contains the query
    /// (compared as the search compares), or -1. Each list item and table cell is a text of
    /// its own: a match never spans two, nor two blocks.
    static int firstMatch(const QString &text, const QString &query);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void textChanged();
    void mathChanged();
    void streamingChanged();

private:
    // What the roles hand out, kept so that unchanged texts are not converted again.
    struct Row
    {
        QString html;
        QVariantList items;
        /// The inline HTML of each cell, row by row, kept to convert only rows that changed.
        QList<QStringList> rowsHtml;
        QVariantList cells;
        int columnCount = 0;
    };

    Row makeRow(const MDBlock &block, const MDBlock *oldBlock, const Row *oldRow) const;
    static QList<int> changedRoles(const MDBlock &from, const MDBlock &to);
    void apply(qsizetype first, QList<MDBlock> blocks);
    void parseFrom(const QString &text, MDParser::ResumePoint from);

    QString m_text;
    QList<MDBlock> m_blocks;
    QList<Row> m_rows;
    MDParser::ResumePoint m_resume;
    bool m_math = true;
    bool m_streaming = false;
};
