// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <utility>

/// One block of a message's Markdown text. Only the fields of its kind are set; the others
/// keep their defaults, so two blocks compare equal exactly when they show the same thing.
struct MDBlock
{
    Q_GADGET
public:
    enum Kind { Paragraph, Heading, Code, Bullets, Ordered, Quote, Table, Rule, Math };
    Q_ENUM(Kind)

    /// One line of a bullet or ordered list.
    struct Item
    {
        int indent = 0; ///< 0 to 3
        QString num;    ///< the number as written ("007", "３"); empty for bullets
        QString text;

        bool operator==(const Item &) const = default;
    };

    Kind kind = Paragraph;
    QString text;            ///< Paragraph, Heading, Quote: inline Markdown, lines joined by '\n';
                             ///< Math: the TeX of a display formula
    int level = 0;           ///< Heading: 1 to 6
    QString lang;            ///< Code: the fence's language tag, may be empty
    QString code;            ///< Code: the lines verbatim, joined by '\n'
    QList<Item> items;       ///< Bullets, Ordered
    QList<QStringList> rows; ///< Table: delimiter rows removed; rows may differ in length

    bool operator==(const MDBlock &) const = default;
};
Q_DECLARE_TYPEINFO(MDBlock::Item, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(MDBlock, Q_RELOCATABLE_TYPE);

/// The line-oriented block parser. Every line is classified on its own (fence, blank, heading,
/// rule, table, quote, list item, paragraph line, first match wins) and consecutive lines of a
/// kind are gathered into one block. Inline markup stays in the block texts.
///
/// With math, a display formula ("$$…$$" or "\[…\]", see MathScanner) in a paragraph is a
/// Math block of its own, splitting the paragraph around it. While a paragraph holds a display
/// formula that has not closed, every line but a blank one or a fence goes on with it, as long
/// as the formula can still close: when it closes before a blank line, a fence or the end of
/// the text, or when the text ends first and is still streaming. A formula that cannot close
/// stays paragraph text, and every line reads as it would without math.
class MDParser
{
public:
    MDParser() = delete;

    /// Never empty: a text without any block (empty, or blank lines only) becomes one paragraph
    /// holding the whole text unchanged. A fence still open at the end gives a code block.
    /// streaming: the text is a reply still arriving, which may close a formula open at its
    /// end.
    static QList<MDBlock> parse(const QString &text, bool math = true, bool streaming = false);

    /// Rows of a table's lines (trimmed, each beginning with '|'); delimiter rows are dropped.
    static QList<QStringList> tableRows(const QStringList &lines);
    /// The item text of a trimmed line beginning with "- ", "* " or "+ ".
    static std::optional<QString> bulletText(QStringView line);
    /// (number, text) of a trimmed line beginning with 1 to 3 numeric characters and ". " or ") ".
    static std::optional<std::pair<QString, QString>> orderedText(QStringView line);

    /// A line start at which no block is open, or only a code fence: the blocks before it are
    /// final, and the blocks after it depend only on the text from that line on (and on the
    /// fence's state, which the point carries).
    struct ResumePoint
    {
        /// A code fence open at the point: what it has gathered from the lines before it.
        struct Fence
        {
            QString lang;
            QString code;
            bool lines = false; ///< whether the fence has a line yet (the code may be empty)
        };

        qsizetype offset = 0; ///< index of the line's first character
        qsizetype blocks = 0; ///< number of blocks that end before that line
        /// Inside an open fence, whose block is then the first one after the point. A long code
        /// block that is still arriving is read again from its last line only.
        std::optional<Fence> fence;
    };

    /// Parses `text` from the line at `from.offset`, where `from` is a resume point of an
    /// earlier parse of a text with the same first `from.offset` characters; returns the
    /// blocks after the first `from.blocks` of that parse, so that those blocks followed by the
    /// result are exactly parse(text). `last` (optional) receives the last resume point of
    /// this text, which lies at or before the start of its last line.
    static QList<MDBlock> parseTail(const QString &text, ResumePoint from, ResumePoint *last,
                                    bool math = true, bool streaming = false);
};
