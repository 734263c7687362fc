// SPDX-License-Identifier: GPL-3.0-or-later
#include "mdparser.h"

#include "markdown/mdmath.h"
#include "model/textutil.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <optional>

#include <unicode/uchar.h>

namespace {

char32_t codePointAt(QStringView s, qsizetype i)
{
    if (QChar::isHighSurrogate(s[i].unicode()) && i + 1 < s.size() &&
        QChar::isLowSurrogate(s[i + 1].unicode()))
        return QChar::surrogateToUcs4(s[i], s[i + 1]);
    return s[i].unicode();
}

qsizetype codePointSize(QStringView s, qsizetype i)
{
    return QChar::isHighSurrogate(s[i].unicode()) && i + 1 < s.size() &&
                   QChar::isLowSurrogate(s[i + 1].unicode())
               ? 2
               : 1;
}

// Grapheme cluster boundaries of one string, answered cheaply: a pair of ASCII characters is
// decided at once, a pair with one ASCII side by the two code points alone (no rule looks
// further back when one side is ASCII), and only two adjacent non-ASCII characters need the
// whole string analysed, which happens at most once.
class Graphemes
{
public:
    explicit Graphemes(QStringView s) : m_s(s) {}

    bool boundaryAt(qsizetype pos)
    {
        if (pos <= 0 || pos >= m_s.size())
            return true;
        const char16_t a = m_s[pos - 1].unicode();
        const char16_t b = m_s[pos].unicode();
        if (a < 0x80 && b < 0x80)
            return !(a == u'\r' && b == u'\n');
        if (QChar::isHighSurrogate(a) && QChar::isLowSurrogate(b))
            return false;
        if (a < 0x80 || b < 0x80) {
            const qsizetype begin = pos >= 2 && QChar::isLowSurrogate(a) &&
                                            QChar::isHighSurrogate(m_s[pos - 2].unicode())
                                        ? pos - 2
                                        : pos - 1;
            const qsizetype end = pos + codePointSize(m_s, pos);
            unsigned char buffer[16];
            QTextBoundaryFinder pair(QTextBoundaryFinder::Grapheme, m_s.data() + begin, end - begin,
                                     buffer, sizeof buffer);
            pair.setPosition(pos - begin);
            return pair.isAtBoundary();
        }
        if (!m_whole)
            m_whole.emplace(QTextBoundaryFinder::Grapheme, m_s.data(), m_s.size());
        m_whole->setPosition(pos);
        return m_whole->isAtBoundary();
    }

    /// True when the user-perceived character at pos is exactly the ASCII character c.
    bool charIs(qsizetype pos, char16_t c)
    {
        return pos < m_s.size() && m_s[pos] == c && boundaryAt(pos) && boundaryAt(pos + 1);
    }

    bool startsWith(QStringView ascii)
    {
        for (qsizetype i = 0; i < ascii.size(); ++i) {
            if (!charIs(i, ascii[i].unicode()))
                return false;
        }
        return true;
    }

    /// End of the user-perceived character that starts at pos.
    qsizetype next(qsizetype pos)
    {
        qsizetype end = pos + codePointSize(m_s, pos);
        while (end < m_s.size() && !boundaryAt(end))
            end += codePointSize(m_s, end);
        return end;
    }

private:
    QStringView m_s;
    std::optional<QTextBoundaryFinder> m_whole;
};

std::optional<QStringView> bulletView(QStringView t)
{
    Graphemes g(t);
    for (const char16_t marker : {u'-', u'*', u'+'}) {
        if (g.charIs(0, marker) && g.charIs(1, u' '))
            return t.sliced(2);
    }
    return std::nullopt;
}

bool isNumeric(char32_t c)
{
    return u_getIntPropertyValue(UChar32(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::optional<std::pair<QStringView, QStringView>> orderedView(QStringView t)
{
    if (t.isEmpty() || (t[0].unicode() < 0x80 && !t[0].isDigit()))
        return std::nullopt;
    Graphemes g(t);
    qsizetype end = 0;
    int digits = 0;
    // A character is numeric when its base code point is.
    while (end < t.size() && isNumeric(codePointAt(t, end))) {
        if (++digits > 3)
            return std::nullopt;
        end = g.next(end);
    }
    if (digits == 0)
        return std::nullopt;
    if (!(g.charIs(end, u'.') || g.charIs(end, u')')) || !g.charIs(end + 1, u' '))
        return std::nullopt;
    return std::pair{t.first(end), t.sliced(end + 2)};
}

QStringList tableCells(QStringView line)
{
    Graphemes g(line);
    qsizetype begin = 0;
    qsizetype end = line.size();
    if (g.charIs(0, u'|'))
        begin = 1;
    if (end - 1 >= begin && g.charIs(end - 1, u'|'))
        end -= 1;
    QStringList cells;
    qsizetype cell = begin;
    for (qsizetype i = begin; i < end; ++i) {
        if (line[i] == u'|' && g.charIs(i, u'|')) {
            cells.append(TextUtil::trimmedHorizontal(line.sliced(cell, i - cell)).toString());
            cell = i + 1;
        }
    }
    cells.append(TextUtil::trimmedHorizontal(line.sliced(cell, end - cell)).toString());
    return cells;
}

bool isDelimiterRow(const QStringList &cells)
{
    for (const QString &cell : cells) {
        if (!cell.contains(u'-'))
            return false;
        for (const QChar c : cell) {
            if (c != u'-' && c != u':' && c != u' ')
                return false;
        }
    }
    return true;
}

MDBlock textBlock(MDBlock::Kind kind, QString text)
{
    MDBlock b;
    b.kind = kind;
    b.text = std::move(text);
    return b;
}

// One pass over the lines. At most one of the accumulators is open at any time.
class BlockParser
{
public:
    /// all: the whole text; streaming: it may still grow.
    BlockParser(QStringView all, bool math, bool streaming)
        : m_all(all), m_math(math), m_streaming(streaming)
    {}

    QList<MDBlock> out;

    /// No block is open, and no line so far was read as it was because the text ends where
    /// it does: the blocks made so far stay the same whatever follows.
    bool clean() const
    {
        return !m_inFence && !m_paragraphOpen && m_bullets.isEmpty() && m_ordered.isEmpty() &&
               !m_quoteOpen && m_table.isEmpty() && !m_endDecided;
    }

    /// One line, without its line end, starting at `start` in the whole text; next is where
    /// the following line starts, or -1 for the last line.
    void line(QStringView l, qsizetype start, qsizetype next)
    {
        m_lineStart = start;
        const QStringView t = TextUtil::trimmedHorizontal(l);
        Graphemes g(t);
        if (m_inFence) {
            if (g.startsWith(u"```"))
                closeFence();
            else
                appendLine(m_code, m_codeLines, l);
            return;
        }
        if (g.startsWith(u"```")) {
            flush();
            m_inFence = true;
            m_lang = TextUtil::trimmedHorizontal(t.sliced(3)).toString();
            return;
        }
        if (t.isEmpty()) {
            flush();
            return;
        }
        // An open display formula takes the lines that would start other blocks, as long as
        // it can still close.
        if (m_math && m_paragraphOpen && start >= m_noHoldBefore && heldByFormula(t, next)) {
            appendLine(m_paragraph, m_paragraphOpen, t);
            return;
        }
        if (t[0] == u'#') {
            qsizetype n = 0;
            while (n < t.size() && g.charIs(n, u'#'))
                ++n;
            if (n >= 1 && n <= 6 && g.charIs(n, u' ')) {
                flush();
                MDBlock b = textBlock(MDBlock::Heading,
                                      TextUtil::trimmedHorizontal(t.sliced(n)).toString());
                b.level = int(n);
                out.append(std::move(b));
                return;
            }
        }
        if (t == u"---" || t == u"***" || t == u"___") {
            flush();
            MDBlock b;
            b.kind = MDBlock::Rule;
            out.append(std::move(b));
            return;
        }
        if (g.charIs(0, u'|')) {
            flush(Table);
            m_table.append(t.toString());
            return;
        }
        if (g.charIs(0, u'>')) {
            flush(Quote);
            appendLine(m_quote, m_quoteOpen, TextUtil::trimmedHorizontal(t.sliced(1)));
            return;
        }
        const int indent = indentLevel(l);
        if (const auto bullet = bulletView(t)) {
            flush(Bullets);
            m_bullets.append({indent, QString(), bullet->toString()});
        } else if (const auto item = orderedView(t)) {
            flush(Ordered);
            m_ordered.append({indent, item->first.toString(), item->second.toString()});
        } else {
            flush(Paragraph);
            if (!m_paragraphOpen)
                m_paragraphStart = {start, out.size(), std::nullopt};
            appendLine(m_paragraph, m_paragraphOpen, t);
        }
    }

    /// The open fence, when it is all that is open and the lines before this point were read
    /// as they would be whatever follows.
    std::optional<MDParser::ResumePoint::Fence> openFence() const
    {
        if (!m_inFence || m_endDecided || m_rewindUntil >= 0)
            return std::nullopt;
        return MDParser::ResumePoint::Fence{m_lang, m_code, m_codeLines};
    }

    void enterFence(const MDParser::ResumePoint::Fence &fence)
    {
        m_inFence = true;
        m_lang = fence.lang;
        m_code = fence.code;
        m_codeLines = fence.lines;
    }

    /// Where to read again from, when a paragraph that held lines for a display formula ended
    /// without one: the formula never closed after all (a code span it spans hid an
    /// opener, say), so those lines are read again as they would be without math.
    std::optional<qsizetype> takeRewind()
    {
        if (m_rewindUntil < 0)
            return std::nullopt;
        m_noHoldBefore = std::exchange(m_rewindUntil, -1);
        out.resize(m_paragraphStart.blocks);
        m_inFence = false;
        m_lang.clear();
        m_code.clear();
        m_codeLines = false;
        m_paragraph.clear();
        m_paragraphOpen = false;
        m_bullets.clear();
        m_ordered.clear();
        m_quote.clear();
        m_quoteOpen = false;
        m_table.clear();
        m_formula = {};
        m_held = Held::No;
        m_finishing = false;
        return m_paragraphStart.offset;
    }

    void finish()
    {
        m_finishing = true;
        if (m_inFence)
            closeFence();
        flush();
    }

private:
    enum Accumulator { None, Paragraph, Bullets, Ordered, Quote, Table };

    static bool isFence(QStringView trimmed) { return Graphemes(trimmed).startsWith(u"```"); }

    // Whether the line t goes on a display formula open in the paragraph: when the formula
    // closes on it or on a later line of the paragraph, before a blank line or a fence ends
    // the paragraph anyway; or when the text ends first and may still grow. A formula that
    // never closes leaves every line as it would be without math.
    bool heldByFormula(QStringView t, qsizetype next)
    {
        // One look ahead decides the lines up to where it stopped.
        if (next >= 0 && next <= m_formula.until)
            return m_formula.held;
        const qsizetype opener = openDisplayMath(m_paragraph);
        if (opener < 0)
            return false;
        QString joined = m_paragraph + u'\n' + t.toString();
        for (qsizetype at = next;;) {
            if (closesDisplayMath(joined, opener))
                return decide(at, true);
            if (at < 0) {
                // The text ends first: a reply still arriving may close the formula yet.
                return decide(at, m_streaming);
            }
            const qsizetype lf = m_all.indexOf(u'\n', at);
            if (lf < 0) {
                // The last line may still grow into another line: whatever it decides here
                // holds only for this text.
                m_endDecided = true;
            }
            const qsizetype end = lf < 0                              ? m_all.size()
                                  : lf > at && m_all[lf - 1] == u'\r' ? lf - 1
                                                                      : lf;
            const QStringView line = TextUtil::trimmedHorizontal(m_all.sliced(at, end - at));
            if (lf >= 0 && (line.isEmpty() || isFence(line)))
                return decide(at, false);
            if (lf < 0 && isFence(line))
                return decide(-1, false);
            joined += u'\n';
            joined += line;
            at = lf < 0 ? -1 : lf + 1;
        }
    }

    bool decide(qsizetype until, bool held)
    {
        m_formula = {until < 0 ? m_all.size() : until, held};
        if (held && m_held == Held::No)
            m_held = until < 0 && m_streaming ? Held::UntilTheEnd : Held::ToClose;
        return held;
    }

    static void appendLine(QString &text, bool &open, QStringView line)
    {
        if (open)
            text += u'\n';
        text += line;
        open = true;
    }

    static int indentLevel(QStringView l)
    {
        Graphemes g(l);
        qsizetype spaces = 0;
        while (g.charIs(spaces, u' '))
            ++spaces;
        return int(std::min<qsizetype>(spaces / 2, 3));
    }

    void closeFence()
    {
        MDBlock b;
        b.kind = MDBlock::Code;
        b.lang = std::exchange(m_lang, QString());
        b.code = std::exchange(m_code, QString());
        out.append(std::move(b));
        m_codeLines = false;
        m_inFence = false;
    }

    // Closes every open block except `keep`.
    void flush(Accumulator keep = None)
    {
        if (keep != Paragraph && m_paragraphOpen) {
            const QString text = std::exchange(m_paragraph, QString());
            m_paragraphOpen = false;
            m_formula = {};
            const Held held = std::exchange(m_held, Held::No);
            if (!m_math || !MathScanner::mayContain(text)) {
                out.append(textBlock(MDBlock::Paragraph, text));
            } else {
                auto runs = splitDisplayMath(text);
                const bool formula = std::any_of(runs.cbegin(), runs.cend(),
                                                 [](const auto &run) { return run.second; });
                if (held == Held::ToClose && !formula)
                    m_rewindUntil = m_finishing ? m_all.size() : m_lineStart;
                for (auto &[run, display] : runs)
                    out.append(textBlock(display ? MDBlock::Math : MDBlock::Paragraph, run));
            }
        }
        if (keep != Bullets && !m_bullets.isEmpty()) {
            MDBlock b;
            b.kind = MDBlock::Bullets;
            b.items = std::exchange(m_bullets, {});
            out.append(std::move(b));
        }
        if (keep != Ordered && !m_ordered.isEmpty()) {
            MDBlock b;
            b.kind = MDBlock::Ordered;
            b.items = std::exchange(m_ordered, {});
            out.append(std::move(b));
        }
        if (keep != Quote && m_quoteOpen) {
            out.append(textBlock(MDBlock::Quote, std::exchange(m_quote, QString())));
            m_quoteOpen = false;
        }
        if (keep != Table && !m_table.isEmpty()) {
            MDBlock b;
            b.kind = MDBlock::Table;
            b.rows = MDParser::tableRows(std::exchange(m_table, {}));
            out.append(std::move(b));
        }
    }

    QStringView m_all;
    bool m_math;
    bool m_streaming;
    /// What a look ahead found for the open paragraph's formula: the lines that begin before
    /// `until` go on it, or not.
    struct
    {
        qsizetype until = -1;
        bool held = false;
    } m_formula;
    bool m_endDecided = false;
    /// Whether the open paragraph held lines for its formula: to where it closes, or to the
    /// end of a text still arriving.
    enum class Held { No, ToClose, UntilTheEnd } m_held = Held::No;
    qsizetype m_lineStart = 0;
    bool m_finishing = false;
    /// Where the open paragraph began: its first line, and the blocks made before it.
    MDParser::ResumePoint m_paragraphStart;
    /// Lines that begin before this offset are never held for a formula.
    qsizetype m_noHoldBefore = -1;
    /// Set when the paragraph just ended must be read again: lines that begin before this
    /// offset are not held then.
    qsizetype m_rewindUntil = -1;
    bool m_inFence = false;
    QString m_lang;
    QString m_code;
    bool m_codeLines = false;
    QString m_paragraph;
    bool m_paragraphOpen = false;
    QList<MDBlock::Item> m_bullets;
    QList<MDBlock::Item> m_ordered;
    QString m_quote;
    bool m_quoteOpen = false;
    QStringList m_table;
};

} // namespace

QList<MDBlock> MDParser::parse(const QString &text, bool math, bool streaming)
{
    return parseTail(text, {}, nullptr, math, streaming);
}

QList<MDBlock> MDParser::parseTail(const QString &text, ResumePoint from, ResumePoint *last,
                                   bool math, bool streaming)
{
    BlockParser parser(text, math, streaming);
    if (from.fence)
        parser.enterFence(*from.fence);
    ResumePoint resume = from;
    const QStringView all(text);
    for (qsizetype start = from.offset;;) {
        const qsizetype lf = all.indexOf(u'\n', start);
        // A carriage return before the line feed belongs to the line end.
        const qsizetype end = lf < 0                               ? all.size()
                              : lf > start && all[lf - 1] == u'\r' ? lf - 1
                                                                   : lf;
        // A fence still open at the last line resumes there, so that a growing code block is
        // not read again from its start. Taken here only, since holding the fence's code at
        // every line would make each next line copy it.
        ResumePoint inFence;
        if (lf < 0) {
            if (auto fence = parser.openFence())
                inFence = {start, from.blocks + parser.out.size(), std::move(fence)};
        }
        parser.line(all.sliced(start, end - start), start, lf < 0 ? -1 : lf + 1);
        if (lf < 0)
            parser.finish();
        if (const auto again = parser.takeRewind()) {
            start = *again;
            continue;
        }
        if (inFence.fence)
            resume = std::move(inFence);
        if (lf < 0)
            break;
        start = lf + 1;
        if (parser.clean())
            resume = {start, from.blocks + parser.out.size(), std::nullopt};
    }
    if (last)
        *last = resume;
    if (from.blocks == 0 && parser.out.isEmpty())
        parser.out.append(textBlock(MDBlock::Paragraph, text));
    return parser.out;
}

QList<QStringList> MDParser::tableRows(const QStringList &lines)
{
    QList<QStringList> rows;
    for (const QString &line : lines) {
        QStringList cells = tableCells(line);
        if (!isDelimiterRow(cells))
            rows.append(std::move(cells));
    }
    return rows;
}

std::optional<QString> MDParser::bulletText(QStringView line)
{
    if (const auto text = bulletView(line))
        return text->toString();
    return std::nullopt;
}

std::optional<std::pair<QString, QString>> MDParser::orderedText(QStringView line)
{
    if (const auto item = orderedView(line))
        return std::pair{item->first.toString(), item->second.toString()};
    return std::nullopt;
}
