// SPDX-License-Identifier: GPL-3.0-or-later
#include "codehighlighter.h"

#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>

CodeHighlighter::CodeHighlighter(QObject *parent) : MatchHighlighter(parent)
{
    updateFormats();
}

CodeHighlighter::~CodeHighlighter()
{
    // The base class detaches from the document, which reports a change: not to this half-gone
    // object.
    if (QTextDocument *doc = document())
        disconnect(doc, nullptr, this, nullptr);
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
}

CodeSource *CodeHighlighter::ownSource()
{
    if (!m_own) {
        m_own = new CodeSource(this);
        connect(m_own, &CodeSource::codeChanged, this, &CodeHighlighter::codeChanged);
        connect(m_own, &CodeSource::languageChanged, this, &CodeHighlighter::languageChanged);
        connect(m_own, &CodeSource::activeChanged, this, &CodeHighlighter::activeChanged);
        if (!m_source)
            connectSource(m_own);
        if (m_complete)
            m_own->componentComplete();
    }
    return m_own;
}

void CodeHighlighter::connectSource(CodeSource *source)
{
    if (!source)
        return;
    connect(source, &CodeSource::codeChanged, this, &CodeHighlighter::fill);
    connect(source, &CodeSource::tokensChanged, this, &CodeHighlighter::tokensChanged);
    connect(source, &CodeSource::highlightedChanged, this, &CodeHighlighter::updateHighlighted);
}

void CodeHighlighter::setSource(CodeSource *source)
{
    if (source == m_source)
        return;
    if (CodeSource *old = tokens()) {
        disconnect(old, &CodeSource::codeChanged, this, &CodeHighlighter::fill);
        disconnect(old, &CodeSource::tokensChanged, this, &CodeHighlighter::tokensChanged);
        disconnect(old, &CodeSource::highlightedChanged, this, &CodeHighlighter::updateHighlighted);
    }
    m_source = source;
    connectSource(tokens());
    emit sourceChanged();
    fill();
    tokensChanged(0);
}

void CodeHighlighter::setStart(int start)
{
    if (start == m_start)
        return;
    m_start = start;
    emit rangeChanged();
    fill();
}

void CodeHighlighter::setEnd(int end)
{
    if (end == m_end)
        return;
    m_end = end;
    emit rangeChanged();
    fill();
}

QString CodeHighlighter::code() const
{
    return tokens() ? tokens()->code() : QString();
}

void CodeHighlighter::setCode(const QString &code)
{
    m_codeSet = true;
    ownSource()->setCode(code);
    // The first code fills the document even when it equals what the source had.
    if (!m_filled)
        fill();
}

QString CodeHighlighter::language() const
{
    return tokens() ? tokens()->language() : QString();
}

void CodeHighlighter::setLanguage(const QString &language)
{
    ownSource()->setLanguage(language);
}

bool CodeHighlighter::active() const
{
    return tokens() ? tokens()->active() : true;
}

void CodeHighlighter::setActive(bool active)
{
    ownSource()->setActive(active);
}

void CodeHighlighter::attach(QTextDocument *document)
{
    if (QTextDocument *old = this->document())
        disconnect(old, &QTextDocument::contentsChanged, this, nullptr);
    setDocument(document);
    m_filled = false;
    m_shown.clear();
    if (document) {
        // Read-only code needs no undo history, which would keep every delta.
        document->setUndoRedoEnabled(false);
        connect(document, &QTextDocument::contentsChanged, this, &CodeHighlighter::textChanged);
    }
    fill();
    applyLineSpacing();
    updateHighlighted();
}

QStringView CodeHighlighter::pieceText() const
{
    const CodeSource *source = tokens();
    if (!source)
        return {};
    const QString &code = source->code();
    const qsizetype end = m_end < 0 ? code.size() : std::min<qsizetype>(m_end, code.size());
    const qsizetype start = std::clamp<qsizetype>(m_start, 0, end);
    return QStringView(code).sliced(start, end - start);
}

/// Puts the code into the document: what was added at the end is appended, anything else
/// replaces the whole text. A highlighter given neither code nor a source colours the text the
/// document has instead.
void CodeHighlighter::fill()
{
    QTextDocument *doc = document();
    if (!doc || !m_complete)
        return;
    if (following()) {
        ownSource()->setCode(doc->toPlainText());
        return;
    }
    const QStringView text = pieceText();
    if (m_filled && m_shown == text)
        return;
    const bool grows =
        m_filled && text.size() > m_shown.size() && text.startsWith(QStringView(m_shown));
    if (grows) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        const QString added = text.sliced(m_shown.size()).toString();
        m_shown = text.toString();
        end.insertText(added);
    } else {
        m_replaced = true;
        m_shown = text.toString();
        m_filled = true;
        doc->setPlainText(m_shown);
    }
    m_filled = true;
}

void CodeHighlighter::setPalette(Palette palette)
{
    if (palette == m_palette)
        return;
    m_palette = palette;
    updateFormats();
    emit paletteChanged();
    if (tokens() && !tokens()->spans().isEmpty()) {
        const QScopedValueRollback guard(m_applying, true);
        recolour(0);
    }
}

void CodeHighlighter::setLineSpacing(qreal spacing)
{
    if (spacing == m_lineSpacing)
        return;
    m_lineSpacing = spacing;
    emit lineSpacingChanged();
    applyLineSpacing();
}

/// Every block of the document gets the spacing; a TextEdit's new text arrives without it.
void CodeHighlighter::applyLineSpacing()
{
    QTextDocument *doc = document();
    if (!doc || m_lineSpacing <= 0)
        return;
    if (doc->begin().blockFormat().lineHeight() == m_lineSpacing &&
        doc->lastBlock().blockFormat().lineHeight() == m_lineSpacing)
        return;
    const QScopedValueRollback guard(m_applying, true);
    QTextCursor cursor(doc);
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(m_lineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.mergeBlockFormat(format);
}

void CodeHighlighter::componentComplete()
{
    m_complete = true;
    if (m_own)
        m_own->componentComplete();
    fill();
    applyLineSpacing();
    updateHighlighted();
}

void CodeHighlighter::updateFormats()
{
    for (int k = 1; k < int(m_formats.size()); ++k) {
        QTextCharFormat format;
        format.setForeground(syntaxColor(SyntaxKind(k), SyntaxPalette(m_palette)));
        if (SyntaxKind(k) == SyntaxKind::Comment)
            format.setFontItalic(true);
        m_formats[k] = format;
    }
}

void CodeHighlighter::textChanged()
{
    if (m_applying)
        return; // our own formats going in
    applyLineSpacing();
    if (following())
        ownSource()->setCode(document()->toPlainText());
    updateHighlighted();
    // A text set anew is formatted by the base class only while the document is empty. The
    // lines still equal to the tokenised text get their colours back at once; the rest waits
    // for the next tokenisation. Appended text needs none of this.
    const bool replaced = std::exchange(m_replaced, false);
    const CodeSource *source = tokens();
    if (replaced && !m_highlighted && source && !source->spans().isEmpty()) {
        const QScopedValueRollback guard(m_applying, true);
        const QStringView tokenised(source->spansText());
        QTextDocument *doc = document();
        // One edit block, so the view hears of one change, not one per line.
        QTextCursor edit(doc);
        edit.beginEditBlock();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            const QString text = block.text();
            const qsizetype at = m_start + block.position();
            if (at + text.size() > tokenised.size())
                break;
            if (tokenised.mid(at, text.size()) == text)
                rehighlightBlock(block);
        }
        edit.endEditBlock();
    }
}

void CodeHighlighter::tokensChanged(qsizetype from)
{
    if (!document())
        return;
    updateHighlighted();
    const qsizetype local = std::max<qsizetype>(0, from - m_start);
    if (local > m_shown.size() && m_filled)
        return; // beyond this piece
    const QScopedValueRollback guard(m_applying, true);
    recolour(local);
}

/// Formats the lines from the one holding `from` to the end again, with one change to the
/// layout. The base class's rehighlight() tells the layout of each changed line on its own,
/// and each time the layout walks the whole document: the lines a growing block gained since
/// its last colours, times its length. Here a change of the lines' block format that changes
/// nothing makes the document report them as one change, and the base class formats them
/// inside that report, where the document gathers its lines' changes into one.
void CodeHighlighter::recolour(qsizetype from)
{
    QTextDocument *doc = document();
    if (!doc || from >= doc->characterCount() - 1)
        return; // no line from there on
    // A document reports changes only once it has a layout (a TextEdit's always has).
    doc->documentLayout();
    QTextCursor cursor(doc);
    cursor.setPosition(doc->findBlock(int(from)).position());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.mergeBlockFormat(QTextBlockFormat());
}

void CodeHighlighter::updateHighlighted()
{
    const CodeSource *source = tokens();
    setHighlighted(source && source->highlighted() &&
                   (following() || (m_filled && m_shown == pieceText())));
}

void CodeHighlighter::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    emit highlightedChanged();
}

void CodeHighlighter::reformat()
{
    const QScopedValueRollback guard(m_applying, true);
    rehighlight();
}

void CodeHighlighter::formatBlock(const QString &text)
{
    const CodeSource *source = tokens();
    if (!source || source->spans().isEmpty())
        return;
    const SyntaxSpans &spans = source->spans();
    const int lineStart = currentBlock().position();
    const int start = m_start + lineStart;
    const int end = start + int(text.size());
    // Colours only where this line is still the text they were made for.
    if (end > source->spansText().size() ||
        QStringView(source->spansText()).mid(start, text.size()) != text)
        return;
    auto it =
        std::lower_bound(spans.cbegin(), spans.cend(), start,
                         [](const SyntaxSpan &s, int pos) { return s.start + s.length <= pos; });
    for (; it != spans.cend() && it->start < end; ++it) {
        const int from = std::max(it->start, start);
        const int to = std::min(it->start + it->length, end);
        if (to > from)
            setFormat(from - start, to - from, m_formats[int(it->kind)]);
    }
}
