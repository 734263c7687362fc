// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPointer>
#include <QQuickTextDocument>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

/**
 * The formatting layer of the text a message shows: marks every occurrence of a search query
 * in a text document, on top of whatever else colours it.
 *
 * Matching is the search's own (normalised, case-folded), line by line of the document, so a
 * match never spans two blocks of a message nor two lines of code. Only formats change, never
 * the text: a copy is still the plain text, and the document's own formats (bold, links, code
 * spans) show through wherever the mark does not set one.
 *
 * The colours of a mark are given (QML binds them from Theme); a colour not given is left as
 * the text has it.
 *
 * Used as it is on the rich text of paragraphs, headings, list items, quotes and table cells;
 * CodeHighlighter derives from it and puts the code's colours under the marks (formatBlock).
 */
class MatchHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
    Q_PROPERTY(QQuickTextDocument *textDocument READ textDocument WRITE setTextDocument NOTIFY
                   textDocumentChanged)
    /// The text to mark; empty marks nothing.
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    /// The colours of a mark: behind the matched text, and of the text itself.
    Q_PROPERTY(QColor matchBackground READ matchBackground WRITE setMatchBackground NOTIFY
                   matchColorsChanged)
    Q_PROPERTY(QColor matchText READ matchText WRITE setMatchText NOTIFY matchColorsChanged)

public:
    explicit MatchHighlighter(QObject *parent = nullptr);

    QQuickTextDocument *textDocument() const { return m_textDocument; }
    void setTextDocument(QQuickTextDocument *document);
    QString query() const { return m_query; }
    void setQuery(const QString &query);
    QColor matchBackground() const { return m_matchBackground; }
    void setMatchBackground(const QColor &color);
    QColor matchText() const { return m_matchText; }
    void setMatchText(const QColor &color);

    /// Formats this document directly (what setTextDocument does with a TextEdit's document).
    virtual void attach(QTextDocument *document);
    /// The document position of the first mark, or -1.
    Q_INVOKABLE int firstMatch() const;

    /// The format of a mark, in the colours given.
    QTextCharFormat matchFormat() const;

signals:
    void textDocumentChanged();
    void queryChanged();
    void matchColorsChanged();

protected:
    void highlightBlock(const QString &text) final;
    /// The formats under the marks, set with setFormat() as in highlightBlock().
    virtual void formatBlock(const QString &text) { Q_UNUSED(text) }
    /// Formats the whole document again; a subclass may guard against its own change handling.
    virtual void reformat() { rehighlight(); }

private:
    void setMatchColor(QColor &field, const QColor &color);

    QPointer<QQuickTextDocument> m_textDocument;
    QString m_query;
    QColor m_matchBackground;
    QColor m_matchText;
};
