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
    m_throttle.setSingleShot(true);
    connect(&m_throttle, &QTimer::timeout, this, &CodeHighlighter::request);
    updateFormats();
}

CodeHighlighter::~CodeHighlighter()
{
    // The base class detaches from the document, which reports a change: not to this half-gone
    // object.
    if (QTextDocument *doc = document())
        disconnect(doc, nullptr, this, nullptr);
}

void CodeHighlighter::attach(QTextDocument *document)
{
    if (QTextDocument *old = this->document())
        disconnect(old, &QTextDocument::contentsChanged, this, nullptr);
    clear();
    setDocument(document);
    m_filled = false;
    if (document) {
        // Read-only code needs no undo history, which would keep every delta.
        document->setUndoRedoEnabled(false);
        connect(document, &QTextDocument::contentsChanged, this, &CodeHighlighter::textChanged);
    }
    fill();
    applyLineSpacing();
    refresh(true);
}

void CodeHighlighter::setCode(const QString &code)
{
    if (m_filled && code == m_code)
        return;
    m_code = code;
    m_codeSet = true;
    emit codeChanged();
    fill();
}

/// Puts the code into the document: what was added at the end is appended, anything else
/// replaces the whole text.
void CodeHighlighter::fill()
{
    QTextDocument *doc = document();
    if (!doc || !m_complete || !m_codeSet)
        return;
    if (m_filled && m_shown == m_code)
        return;
    const bool grows = m_filled && m_code.size() > m_shown.size() &&
                       QStringView(m_code).left(m_shown.size()) == m_shown;
    if (grows) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(m_code.sliced(m_shown.size()));
    } else {
        m_replaced = true;
        doc->setPlainText(m_code);
    }
    m_shown = m_code;
    m_filled = true;
}

void CodeHighlighter::setLanguage(const QString &language)
{
    if (language == m_language)
        return;
    m_language = language;
    m_grammar = HighlightEngine::grammarFor(language);
    emit languageChanged();
    clear();
    refresh(true);
}

void CodeHighlighter::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    clear();
    refresh(true);
}

void CodeHighlighter::setPalette(Palette palette)
{
    if (palette == m_palette)
        return;
    m_palette = palette;
    updateFormats();
    emit paletteChanged();
    if (!m_spans.isEmpty()) {
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
    fill();
    applyLineSpacing();
    refresh(true);
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

HighlightService *CodeHighlighter::service() const
{
    return m_service ? m_service.data() : HighlightService::shared();
}

void CodeHighlighter::textChanged()
{
    if (m_applying)
        return; // our own formats going in
    applyLineSpacing();
    QTextDocument *doc = document();
    const bool same = m_highlighted && doc->characterCount() - 1 == m_spansText.size() &&
                      doc->toPlainText() == m_spansText;
    setHighlighted(same);
    // A text set anew is formatted by the base class only while the document is empty. The
    // lines still equal to the tokenised text get their colours back at once; the rest waits
    // for the next tokenisation. Appended text needs none of this.
    const bool replaced = std::exchange(m_replaced, false) || !m_filled;
    if (replaced && !same && !m_spans.isEmpty()) {
        const QScopedValueRollback guard(m_applying, true);
        const QStringView tokenised(m_spansText);
        // One edit block, so the view hears of one change, not one per line.
        QTextCursor edit(doc);
        edit.beginEditBlock();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            const QString text = block.text();
            if (block.position() + text.size() > tokenised.size())
                break;
            if (tokenised.mid(block.position(), text.size()) == text)
                rehighlightBlock(block);
        }
        edit.endEditBlock();
    }
    refresh(false);
}

/// Asks for tokens now (a new block, a cached text) or within minInterval (a growing block).
void CodeHighlighter::refresh(bool now)
{
    if (!m_complete || !m_active || m_grammar.isEmpty() || !document())
        return;
    if (now || !m_sinceRequest.isValid() || m_sinceRequest.elapsed() >= minInterval) {
        m_throttle.stop();
        request();
    } else if (!m_throttle.isActive()) {
        m_throttle.start(int(minInterval - m_sinceRequest.elapsed()));
    }
}

void CodeHighlighter::request()
{
    if (!m_active || m_grammar.isEmpty() || !document())
        return;
    const QString code = document()->toPlainText();
    if (code == m_spansText && m_highlighted)
        return;
    if (const SyntaxSpans *spans = service()->cached(m_grammar, code)) {
        accept(code, *spans);
        return;
    }
    m_sinceRequest.start();
    QPointer<CodeHighlighter> self(this);
    service()->request(this, m_grammar, code,
                       [self](const QString &text, const SyntaxSpans &spans) {
                           if (self)
                               self->accept(text, spans);
                       });
}

namespace {

/// The first position whose colours may differ between tokens of one text and of another:
/// where the texts part (the end of the shorter, when one begins the other), or where the spans
/// do, whichever comes first.
qsizetype firstChange(QStringView oldText, const SyntaxSpans &oldSpans, QStringView newText,
                      const SyntaxSpans &newSpans)
{
    const auto [oldAt, newAt] =
        std::mismatch(oldText.begin(), oldText.end(), newText.begin(), newText.end());
    qsizetype from = oldAt - oldText.begin();
    const auto [oldSpan, newSpan] =
        std::mismatch(oldSpans.begin(), oldSpans.end(), newSpans.begin(), newSpans.end());
    if (oldSpan != oldSpans.end())
        from = std::min<qsizetype>(from, oldSpan->start);
    if (newSpan != newSpans.end())
        from = std::min<qsizetype>(from, newSpan->start);
    return from;
}

} // namespace

void CodeHighlighter::accept(const QString &code, const SyntaxSpans &spans)
{
    if (!m_active || !document())
        return;
    const qsizetype from = firstChange(m_spansText, m_spans, code, spans);
    m_spansText = code;
    m_spans = spans;
    {
        const QScopedValueRollback guard(m_applying, true);
        recolour(from);
    }
    setHighlighted(!spans.isEmpty() && document()->toPlainText() == code);
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
    if (from >= doc->characterCount() - 1)
        return; // no line from there on
    // A document reports changes only once it has a layout (a TextEdit's always has).
    doc->documentLayout();
    QTextCursor cursor(doc);
    cursor.setPosition(doc->findBlock(int(from)).position());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.mergeBlockFormat(QTextBlockFormat());
}

void CodeHighlighter::clear()
{
    m_throttle.stop();
    const bool had = !m_spans.isEmpty();
    m_spans.clear();
    m_spansText.clear();
    setHighlighted(false);
    if (had && document()) {
        const QScopedValueRollback guard(m_applying, true);
        recolour(0);
    }
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
    if (m_spans.isEmpty())
        return;
    const int start = currentBlock().position();
    const int end = start + int(text.size());
    // Colours only where this line is still the text they were made for.
    if (end > m_spansText.size() || QStringView(m_spansText).mid(start, text.size()) != text)
        return;
    auto it =
        std::lower_bound(m_spans.cbegin(), m_spans.cend(), start,
                         [](const SyntaxSpan &s, int pos) { return s.start + s.length <= pos; });
    for (; it != m_spans.cend() && it->start < end; ++it) {
        const int from = std::max(it->start, start);
        const int to = std::min(it->start + it->length, end);
        if (to > from)
            setFormat(from - start, to - from, m_formats[int(it->kind)]);
    }
}
