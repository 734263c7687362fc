// SPDX-License-Identifier: GPL-3.0-or-later
#include "matchhighlighter.h"

#include "model/conversationsearch.h"

#include <QTextBlock>
#include <QTextDocument>

MatchHighlighter::MatchHighlighter(QObject *parent) : QSyntaxHighlighter(parent) {}

void MatchHighlighter::setTextDocument(QQuickTextDocument *document)
{
    if (document == m_textDocument)
        return;
    m_textDocument = document;
    attach(document ? document->textDocument() : nullptr);
    emit textDocumentChanged();
}

void MatchHighlighter::attach(QTextDocument *document)
{
    setDocument(document);
}

void MatchHighlighter::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
    if (document())
        reformat();
}

void MatchHighlighter::setMatchBackground(const QColor &color)
{
    setMatchColor(m_matchBackground, color);
}

void MatchHighlighter::setMatchText(const QColor &color)
{
    setMatchColor(m_matchText, color);
}

void MatchHighlighter::setMatchColor(QColor &field, const QColor &color)
{
    if (color == field)
        return;
    field = color;
    emit matchColorsChanged();
    if (document() && !m_query.isEmpty())
        reformat();
}

int MatchHighlighter::firstMatch() const
{
    if (m_query.isEmpty() || !document())
        return -1;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const auto spans = ConversationSearch::matches(block.text(), m_query);
        if (!spans.isEmpty())
            return block.position() + int(spans.first().start);
    }
    return -1;
}

QTextCharFormat MatchHighlighter::matchFormat() const
{
    QTextCharFormat format;
    if (m_matchBackground.isValid())
        format.setBackground(m_matchBackground);
    if (m_matchText.isValid())
        format.setForeground(m_matchText);
    return format;
}

void MatchHighlighter::highlightBlock(const QString &text)
{
    formatBlock(text);
    if (m_query.isEmpty())
        return;
    const QTextCharFormat mark = matchFormat();
    for (const ConversationSearch::Span &span : ConversationSearch::matches(text, m_query)) {
        // Character by character, so each keeps what lies under the mark (a code colour's
        // italics, a link's underline).
        for (qsizetype k = span.start; k < span.start + span.length; ++k) {
            QTextCharFormat format = this->format(int(k));
            format.merge(mark);
            setFormat(int(k), 1, format);
        }
    }
}
