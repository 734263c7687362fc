// SPDX-License-Identifier: GPL-3.0-or-later
#include "mdinline.h"

#include "markdown/mdmath.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

struct Entity
{
    const char *name;
    char32_t first;
    char32_t second;
};

constexpr Entity entities[] = {
#include "mdentities.inc"
};

bool isAsciiPunct(char32_t c)
{
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

bool isAsciiAlpha(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiAlnum(char16_t c)
{
    return isAsciiAlpha(c) || (c >= u'0' && c <= u'9');
}

bool isWhitespace(char32_t c)
{
    if (c < 0x80)
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
    return QChar::category(c) == QChar::Separator_Space;
}

bool isPunctuation(char32_t c)
{
    return c < 0x80 ? isAsciiPunct(c) : QChar::isPunct(c);
}

bool isSpecial(char16_t c)
{
    switch (c) {
    case u'\\':
    case u'&':
    case u'`':
    case u'*':
    case u'_':
    case u'~':
    case u'[':
    case u'!':
    case u']':
    case u'<':
    case u'$':
        return true;
    default:
        return false;
    }
}

/// Length and text of the entity or numeric character reference at s[i] == '&', or 0.
qsizetype matchEntity(QStringView s, qsizetype i, QString *decoded)
{
    const qsizetype n = s.size();
    qsizetype j = i + 1;
    char32_t cps[2] = {0, 0};
    if (j < n && s[j] == u'#') {
        ++j;
        const bool hex = j < n && (s[j] == u'x' || s[j] == u'X');
        if (hex)
            ++j;
        const qsizetype start = j;
        char32_t value = 0;
        while (j < n && j - start < (hex ? 6 : 7)) {
            const char16_t c = s[j].unicode();
            int digit = -1;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0)
                break;
            value = value * (hex ? 16 : 10) + char32_t(digit);
            ++j;
        }
        if (j == start || j >= n || s[j] != u';')
            return 0;
        const bool invalid = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
        cps[0] = invalid ? 0xFFFD : value;
    } else {
        while (j < n && j - i <= 32 && isAsciiAlnum(s[j].unicode()))
            ++j;
        if (j == i + 1 || j >= n || s[j] != u';')
            return 0;
        char name[40];
        for (qsizetype k = i + 1; k < j; ++k)
            name[k - i - 1] = char(s[k].unicode());
        name[j - i - 1] = 0;
        const auto found = std::lower_bound(
            std::begin(entities), std::end(entities), name,
            [](const Entity &e, const char *key) { return std::strcmp(e.name, key) < 0; });
        if (found == std::end(entities) || std::strcmp(found->name, name) != 0)
            return 0;
        cps[0] = found->first;
        cps[1] = found->second;
    }
    *decoded = QString::fromUcs4(cps, cps[1] ? 2 : 1);
    return j + 1 - i;
}

/// Resolves backslash escapes and entities, as in link destinations.
QString unescape(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size();) {
        if (s[i] == u'\\' && i + 1 < s.size() && isAsciiPunct(s[i + 1].unicode())) {
            out += s[i + 1];
            i += 2;
        } else if (s[i] == u'&') {
            QString decoded;
            const qsizetype len = matchEntity(s, i, &decoded);
            out += len ? decoded : QStringLiteral("&");
            i += len ? len : 1;
        } else {
            out += s[i++];
        }
    }
    return out;
}

/// Only these targets become links; anything else (javascript:, data:, file:, relative
/// paths) keeps its text without a target.
bool isOpenableUrl(QStringView url)
{
    if (url.isEmpty() || !isAsciiAlpha(url[0].unicode()))
        return false;
    qsizetype i = 1;
    while (i < url.size() &&
           (isAsciiAlnum(url[i].unicode()) || url[i] == u'+' || url[i] == u'.' || url[i] == u'-'))
        ++i;
    if (i >= url.size() || url[i] != u':')
        return false;
    const QStringView scheme = url.first(i);
    return scheme.compare(u"http", Qt::CaseInsensitive) == 0 ||
           scheme.compare(u"https", Qt::CaseInsensitive) == 0 ||
           scheme.compare(u"mailto", Qt::CaseInsensitive) == 0;
}

QString anchor(QStringView url)
{
    QString out = QStringLiteral("<a href=\"");
    for (const QChar ch : url) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&#39;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        default:
            if (c <= 0x20 || c == 0x7F)
                out += QStringLiteral("%%1").arg(int(c), 2, 16, QLatin1Char('0')).toUpper();
            else
                out += ch;
        }
    }
    out += u"\">";
    return out;
}

// The HTML text writer: escapes, turns line ends into <br/> and keeps runs of spaces visible
// by writing every space after the first of a run (or at a line start) as &nbsp;.
class Writer
{
public:
    QString out;

    void markup(QStringView s) { out += s; }

    void text(QStringView s)
    {
        qsizetype chunk = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s[i].unicode();
            if (c > u'>') {
                continue;
            }
            const char16_t *replacement = nullptr;
            switch (c) {
            case u'&':
                replacement = u"&amp;";
                break;
            case u'<':
                replacement = u"&lt;";
                break;
            case u'>':
                replacement = u"&gt;";
                break;
            case u'\0':
                replacement = u"\uFFFD";
                break;
            case u' ':
            case u'\t':
            case u'\n':
            case u'\r':
                replacement = u"";
                break;
            default:
                break;
            }
            if (!replacement)
                continue;
            plain(s.sliced(chunk, i - chunk));
            chunk = i + 1;
            if (c == u' ') {
                space();
            } else if (c == u'\t') {
                for (int k = 0; k < 4; ++k)
                    space();
            } else if (c == u'\n' || c == u'\r') {
                if (!(c == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n'))
                    lineBreak();
            } else {
                plain(QStringView(replacement));
            }
        }
        plain(s.sliced(chunk));
    }

private:
    void plain(QStringView s)
    {
        if (s.isEmpty())
            return;
        out += s;
        m_spaceBefore = false;
    }
    void space()
    {
        out += m_spaceBefore ? QStringView(u"&nbsp;") : QStringView(u" ");
        m_spaceBefore = true;
    }
    void lineBreak()
    {
        out += u"<br/>";
        m_spaceBefore = true; // a line's leading spaces would be dropped otherwise
    }

    bool m_spaceBefore = true;
};

class Converter
{
public:
    Converter(QStringView src, bool math) : m_src(src), m_math(math), m_formulas(src) {}

    QString run()
    {
        const qsizetype n = m_src.size();
        // About two nodes per special character: one for it, one for the text after it.
        m_nodes.reserve(2 * std::count_if(m_src.cbegin(), m_src.cend(),
                                          [](QChar c) { return isSpecial(c.unicode()); }) +
                        1);
        qsizetype i = 0;
        while (i < n) {
            switch (m_src[i].unicode()) {
            case u'\\':
                i = formula(i);
                if (i < 0)
                    i = backslash(-i - 1);
                break;
            case u'$':
                i = formula(i);
                if (i < 0) {
                    // The whole run stays text: "$$" that does not close is no inline opener.
                    qsizetype j = -i - 1;
                    while (j < n && m_src[j] == u'$')
                        ++j;
                    addText(m_src.sliced(-i - 1, j + i + 1));
                    i = j;
                }
                break;
            case u'&':
                i = entity(i);
                break;
            case u'`':
                i = codeSpan(i);
                break;
            case u'*':
            case u'_':
            case u'~':
                i = delimiterRun(i);
                break;
            case u'[':
                pushBracket(false);
                i += 1;
                break;
            case u'!':
                if (i + 1 < n && m_src[i + 1] == u'[') {
                    pushBracket(true);
                    i += 2;
                } else {
                    addText(u"!");
                    i += 1;
                }
                break;
            case u']':
                i = closeBracket(i);
                break;
            case u'<':
                i = autolink(i);
                break;
            default: {
                qsizetype j = i + 1;
                while (j < n && !isSpecial(m_src[j].unicode()))
                    ++j;
                addText(m_src.sliced(i, j - i));
                i = j;
            }
            }
        }
        processEmphasis(0);
        return write();
    }

private:
    enum class NodeKind : quint8 { Text, Markup, Code };

    struct Node
    {
        Node(NodeKind kind, bool mergeable, QString s, qsizetype keep = -1)
            : kind(kind), mergeable(mergeable), s(std::move(s)), keep(keep)
        {}

        NodeKind kind;
        bool mergeable; // plain text that following text may join
        QString s;
        qsizetype keep; // delimiter run: how many of its characters are still text
        QString opens;  // delimiter run: tags opened after it, innermost last
        QString closes; // delimiter run: tags closed before it, innermost first
    };

    struct Delimiter
    {
        qsizetype node;
        char16_t ch;
        int count; // characters not yet used by a match
        int length;
        bool canOpen;
        bool canClose;
        qsizetype prev;
        qsizetype next;
    };

    struct Bracket
    {
        qsizetype node;
        qsizetype delimitersBefore;
        bool image;
    };

    char32_t codePointBefore(qsizetype i) const
    {
        if (i <= 0)
            return u'\n';
        if (i >= 2 && QChar::isLowSurrogate(m_src[i - 1].unicode()) &&
            QChar::isHighSurrogate(m_src[i - 2].unicode()))
            return QChar::surrogateToUcs4(m_src[i - 2], m_src[i - 1]);
        return m_src[i - 1].unicode();
    }

    char32_t codePointAt(qsizetype i) const
    {
        if (i >= m_src.size())
            return u'\n';
        if (i + 1 < m_src.size() && QChar::isHighSurrogate(m_src[i].unicode()) &&
            QChar::isLowSurrogate(m_src[i + 1].unicode()))
            return QChar::surrogateToUcs4(m_src[i], m_src[i + 1]);
        return m_src[i].unicode();
    }

    void addText(QStringView s)
    {
        if (!m_nodes.empty() && m_nodes.back().mergeable)
            m_nodes.back().s += s;
        else
            m_nodes.emplace_back(NodeKind::Text, true, s.toString());
    }

    void addMarkup(QString s) { m_nodes.emplace_back(NodeKind::Markup, false, std::move(s)); }

    // The formula opening at i as an image, and the index after it; -i - 1 when none opens.
    qsizetype formula(qsizetype i)
    {
        const std::optional<MathSpan> f = m_math ? m_formulas.at(i) : std::nullopt;
        if (!f)
            return -i - 1;
        addMarkup(QStringLiteral("<img src=\"image://math/%1\" align=\"middle\" />")
                      .arg(mathImageId(f->tex, f->display)));
        return f->end;
    }

    qsizetype backslash(qsizetype i)
    {
        if (i + 1 < m_src.size()) {
            const char16_t next = m_src[i + 1].unicode();
            if (isAsciiPunct(next)) {
                addText(m_src.sliced(i + 1, 1));
                return i + 2;
            }
            // A backslash at a line end is a hard break, which every line end is here.
            if (next == u'\n' || next == u'\r')
                return i + 1;
        }
        addText(u"\\");
        return i + 1;
    }

    qsizetype entity(qsizetype i)
    {
        QString decoded;
        if (const qsizetype len = matchEntity(m_src, i, &decoded)) {
            addText(decoded);
            return i + len;
        }
        addText(u"&");
        return i + 1;
    }

    // Start of the first run of exactly `length` backticks at or after `from`, or -1. The runs
    // are indexed once per text, so backtick runs of every length stay linear.
    qsizetype findBacktickRun(qsizetype length, qsizetype from)
    {
        if (!m_runsIndexed) {
            m_runsIndexed = true;
            for (qsizetype i = 0; i < m_src.size();) {
                if (m_src[i] != u'`') {
                    ++i;
                    continue;
                }
                qsizetype j = i;
                while (j < m_src.size() && m_src[j] == u'`')
                    ++j;
                m_runs.push_back({j - i, i});
                i = j;
            }
            std::sort(m_runs.begin(), m_runs.end());
        }
        const auto it = std::lower_bound(m_runs.begin(), m_runs.end(), std::pair{length, from});
        return it != m_runs.end() && it->first == length ? it->second : -1;
    }

    qsizetype codeSpan(qsizetype i)
    {
        qsizetype j = i;
        while (j < m_src.size() && m_src[j] == u'`')
            ++j;
        const qsizetype length = j - i;
        const qsizetype close = findBacktickRun(length, j);
        if (close < 0) {
            addText(m_src.sliced(i, length));
            return j;
        }
        QString code;
        code.reserve(close - j);
        for (qsizetype k = j; k < close; ++k) {
            const QChar c = m_src[k];
            if (c == u'\r' && k + 1 < close && m_src[k + 1] == u'\n')
                continue;
            code += c == u'\n' || c == u'\r' ? QChar(u' ') : c;
        }
        if (code.size() >= 2 && code.front() == u' ' && code.back() == u' ' &&
            code.count(u' ') != code.size())
            code = code.sliced(1, code.size() - 2);
        m_nodes.emplace_back(NodeKind::Code, false, std::move(code));
        return close + length;
    }

    qsizetype delimiterRun(qsizetype i)
    {
        const char16_t ch = m_src[i].unicode();
        qsizetype j = i;
        while (j < m_src.size() && m_src[j] == ch)
            ++j;
        const int length = int(j - i);
        const char32_t before = codePointBefore(i);
        const char32_t after = codePointAt(j);
        const bool leftFlanking =
            !isWhitespace(after) &&
            (!isPunctuation(after) || isWhitespace(before) || isPunctuation(before));
        const bool rightFlanking =
            !isWhitespace(before) &&
            (!isPunctuation(before) || isWhitespace(after) || isPunctuation(after));
        bool canOpen = leftFlanking;
        bool canClose = rightFlanking;
        if (ch == u'_') {
            canOpen = leftFlanking && (!rightFlanking || isPunctuation(before));
            canClose = rightFlanking && (!leftFlanking || isPunctuation(after));
        } else if (ch == u'~' && length != 2) {
            canOpen = canClose = false; // strikethrough takes exactly two tildes
        }
        if (!canOpen && !canClose) {
            addText(m_src.sliced(i, length));
            return j;
        }
        m_nodes.emplace_back(NodeKind::Text, false, m_src.sliced(i, length).toString(), length);
        const auto index = qsizetype(m_delimiters.size());
        m_delimiters.push_back(
            {qsizetype(m_nodes.size()) - 1, ch, length, length, canOpen, canClose, m_top, -1});
        if (m_top >= 0)
            m_delimiters[m_top].next = index;
        m_top = index;
        return j;
    }

    void removeDelimiter(qsizetype d)
    {
        const Delimiter &x = m_delimiters[d];
        if (x.prev >= 0)
            m_delimiters[x.prev].next = x.next;
        if (x.next >= 0)
            m_delimiters[x.next].prev = x.prev;
        if (m_top == d)
            m_top = x.prev;
    }

    // Matches emphasis delimiters from `bottom` (an index into m_delimiters) upwards, then
    // drops them all. The lower bounds per kind of closer keep it linear.
    void processEmphasis(qsizetype bottom)
    {
        qsizetype closer = -1;
        for (qsizetype d = m_top; d >= 0 && d >= bottom; d = m_delimiters[d].prev)
            closer = d;
        std::array<qsizetype, 13> openersBottom;
        openersBottom.fill(bottom - 1);
        while (closer >= 0) {
            Delimiter &c = m_delimiters[closer];
            if (!c.canClose) {
                closer = c.next;
                continue;
            }
            const int key =
                c.ch == u'~' ? 12 : (c.ch == u'_' ? 6 : 0) + (c.length % 3) * 2 + c.canOpen;
            qsizetype opener = c.prev;
            bool found = false;
            while (opener >= 0 && opener >= bottom && opener > openersBottom[key]) {
                const Delimiter &o = m_delimiters[opener];
                if (o.ch == c.ch && o.canOpen) {
                    const bool ruleOfThree = c.ch != u'~' && (o.canClose || c.canOpen) &&
                                             (o.length + c.length) % 3 == 0 &&
                                             !(o.length % 3 == 0 && c.length % 3 == 0);
                    if (!ruleOfThree) {
                        found = true;
                        break;
                    }
                }
                opener = o.prev;
            }
            if (!found) {
                openersBottom[key] = c.prev;
                const qsizetype next = c.next;
                if (!c.canOpen)
                    removeDelimiter(closer);
                closer = next;
                continue;
            }
            Delimiter &o = m_delimiters[opener];
            const int use = c.ch == u'~' ? 2 : (o.count >= 2 && c.count >= 2 ? 2 : 1);
            const QChar tag = c.ch == u'~' ? u's' : use == 2 ? u'b' : u'i';
            o.count -= use;
            c.count -= use;
            m_nodes[o.node].keep = o.count;
            m_nodes[o.node].opens += tag;
            m_nodes[c.node].keep = c.count;
            m_nodes[c.node].closes += tag;
            o.next = closer; // the delimiters in between can no longer match
            c.prev = opener;
            if (o.count == 0)
                removeDelimiter(opener);
            if (c.count == 0) {
                const qsizetype next = c.next;
                removeDelimiter(closer);
                closer = next;
            }
        }
        while (m_top >= 0 && m_top >= bottom)
            removeDelimiter(m_top);
    }

    void pushBracket(bool image)
    {
        m_nodes.emplace_back(NodeKind::Text, false,
                             image ? QStringLiteral("![") : QStringLiteral("["));
        m_brackets.push_back(
            {qsizetype(m_nodes.size()) - 1, qsizetype(m_delimiters.size()), image});
    }

    // Spaces and tabs with at most one line end among them.
    qsizetype skipSpace(qsizetype i) const
    {
        bool lineEnd = false;
        while (i < m_src.size()) {
            const char16_t c = m_src[i].unicode();
            if (c == u' ' || c == u'\t') {
                ++i;
            } else if ((c == u'\n' || c == u'\r') && !lineEnd) {
                lineEnd = true;
                i += c == u'\r' && i + 1 < m_src.size() && m_src[i + 1] == u'\n' ? 2 : 1;
            } else {
                break;
            }
        }
        return i;
    }

    // The "(destination "title")" part of an inline link, from just after the "(".
    // Returns the index after the closing ")" or -1; every scan stops at the first character
    // that ends its part, and parentheses nest at most 32 deep, so failures stay cheap.
    qsizetype linkTail(qsizetype i, QString *url) const
    {
        const qsizetype n = m_src.size();
        i = skipSpace(i);
        if (i < n && m_src[i] == u')') {
            url->clear();
            return i + 1;
        }
        qsizetype destEnd;
        if (i < n && m_src[i] == u'<') {
            qsizetype k = i + 1;
            while (k < n && m_src[k] != u'>') {
                const char16_t c = m_src[k].unicode();
                if (c == u'\n' || c == u'\r' || c == u'<')
                    return -1;
                k += c == u'\\' && k + 1 < n && isAsciiPunct(m_src[k + 1].unicode()) ? 2 : 1;
            }
            if (k >= n)
                return -1;
            *url = unescape(m_src.sliced(i + 1, k - i - 1));
            destEnd = k + 1;
        } else {
            qsizetype k = i;
            int depth = 0;
            while (k < n) {
                const char16_t c = m_src[k].unicode();
                if (c == u'\\' && k + 1 < n && isAsciiPunct(m_src[k + 1].unicode())) {
                    k += 2;
                    continue;
                }
                if (c <= 0x20 || c == 0x7F)
                    break;
                if (c == u'(') {
                    if (++depth > 32)
                        return -1;
                } else if (c == u')') {
                    if (depth == 0)
                        break;
                    --depth;
                }
                ++k;
            }
            if (k == i || depth != 0)
                return -1;
            *url = unescape(m_src.sliced(i, k - i));
            destEnd = k;
        }
        i = skipSpace(destEnd);
        if (i < n && m_src[i] == u')')
            return i + 1;
        if (i == destEnd || i >= n)
            return -1;
        const char16_t open = m_src[i].unicode();
        if (open != u'"' && open != u'\'' && open != u'(')
            return -1;
        const char16_t close = open == u'(' ? u')' : open;
        qsizetype k = i + 1;
        while (k < n && m_src[k] != close) {
            if (open == u'(' && m_src[k] == u'(')
                return -1;
            k += m_src[k] == u'\\' && k + 1 < n && isAsciiPunct(m_src[k + 1].unicode()) ? 2 : 1;
        }
        if (k >= n)
            return -1;
        i = skipSpace(k + 1);
        return i < n && m_src[i] == u')' ? i + 1 : -1;
    }

    qsizetype closeBracket(qsizetype i)
    {
        if (m_brackets.empty()) {
            addText(u"]");
            return i + 1;
        }
        const Bracket b = m_brackets.back();
        m_brackets.pop_back();
        // A link may not contain another link: openers before one are inactive.
        const bool active = b.image || b.node >= m_linkBarrier;
        QString url;
        const qsizetype end =
            active && i + 1 < m_src.size() && m_src[i + 1] == u'(' ? linkTail(i + 2, &url) : -1;
        if (end < 0) {
            addText(u"]");
            return i + 1;
        }
        processEmphasis(b.delimitersBefore);
        // An image shows its description; it never becomes a picture or a link.
        const bool link = !b.image && isOpenableUrl(url);
        // Anchors never nest: autolinks in the text of a link are plain text there.
        while (!b.image && !m_autolinks.empty() && m_autolinks.back() > b.node) {
            if (link) {
                m_nodes[m_autolinks.back()].s.clear();
                m_nodes[m_autolinks.back() + 2].s.clear();
            }
            m_autolinks.pop_back();
        }
        Node &open = m_nodes[b.node];
        open.kind = NodeKind::Markup;
        open.s = link ? anchor(url) : QString();
        addMarkup(link ? QStringLiteral("</a>") : QString());
        if (!b.image)
            m_linkBarrier = b.node;
        return end;
    }

    qsizetype autolink(qsizetype i)
    {
        const qsizetype n = m_src.size();
        // <scheme:address>
        qsizetype k = i + 1;
        if (k < n && isAsciiAlpha(m_src[k].unicode())) {
            ++k;
            while (k < n && k - i - 1 < 32 &&
                   (isAsciiAlnum(m_src[k].unicode()) || m_src[k] == u'+' || m_src[k] == u'.' ||
                    m_src[k] == u'-'))
                ++k;
            if (k < n && m_src[k] == u':' && k - i - 1 >= 2) {
                qsizetype m = k + 1;
                while (m < n && m_src[m].unicode() > 0x20 && m_src[m] != u'<' && m_src[m] != u'>' &&
                       m_src[m].unicode() != 0x7F)
                    ++m;
                if (m < n && m_src[m] == u'>') {
                    const QStringView uri = m_src.sliced(i + 1, m - i - 1);
                    addAutolink(uri.toString(), uri);
                    return m + 1;
                }
            }
        }
        // <local@domain>
        static constexpr QStringView localSpecials = u".!#$%&'*+/=?^_`{|}~-";
        k = i + 1;
        while (k < n && (isAsciiAlnum(m_src[k].unicode()) || localSpecials.contains(m_src[k])))
            ++k;
        if (k > i + 1 && k < n && m_src[k] == u'@') {
            qsizetype d = k + 1;
            while (true) {
                const qsizetype label = d;
                while (d < n && d - label < 63 &&
                       (isAsciiAlnum(m_src[d].unicode()) || m_src[d] == u'-'))
                    ++d;
                if (d == label || m_src[label] == u'-' || m_src[d - 1] == u'-')
                    break;
                if (d < n && m_src[d] == u'.') {
                    ++d;
                    continue;
                }
                if (d < n && m_src[d] == u'>') {
                    const QStringView address = m_src.sliced(i + 1, d - i - 1);
                    addAutolink(QStringLiteral("mailto:") + address.toString(), address);
                    return d + 1;
                }
                break;
            }
        }
        addText(u"<");
        return i + 1;
    }

    void addAutolink(const QString &url, QStringView text)
    {
        if (!isOpenableUrl(url)) {
            addText(text);
            return;
        }
        m_autolinks.push_back(qsizetype(m_nodes.size()));
        addMarkup(anchor(url));
        m_nodes.emplace_back(NodeKind::Text, false, text.toString());
        addMarkup(QStringLiteral("</a>"));
    }

    QString write() const
    {
        Writer w;
        w.out.reserve(m_src.size() + m_src.size() / 4 + 16);
        for (const Node &node : m_nodes) {
            switch (node.kind) {
            case NodeKind::Markup:
                w.markup(node.s);
                break;
            case NodeKind::Code:
                w.markup(u"<code>");
                w.text(node.s);
                w.markup(u"</code>");
                break;
            case NodeKind::Text:
                if (node.keep < 0) {
                    w.text(node.s);
                    break;
                }
                for (const QChar tag : node.closes)
                    w.markup(QStringLiteral("</%1>").arg(tag));
                w.text(QStringView(node.s).first(node.keep));
                for (auto tag = node.opens.crbegin(); tag != node.opens.crend(); ++tag)
                    w.markup(QStringLiteral("<%1>").arg(*tag));
                break;
            }
        }
        return w.out;
    }

    QStringView m_src;
    bool m_math;
    MathScanner m_formulas;
    std::vector<Node> m_nodes;
    std::vector<Delimiter> m_delimiters;
    qsizetype m_top = -1;
    std::vector<Bracket> m_brackets;
    qsizetype m_linkBarrier = -1;
    std::vector<qsizetype> m_autolinks; // anchor nodes of autolinks not inside a link
    bool m_runsIndexed = false;
    std::vector<std::pair<qsizetype, qsizetype>> m_runs; // (length, start) of backtick runs
};

} // namespace

QString mdInline(const QString &text, bool math)
{
    // Most texts (table cells, list items, plain sentences) hold no markup at all.
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return isSpecial(c.unicode()); })) {
        Writer w;
        w.out.reserve(text.size() + 16);
        w.text(text);
        return w.out;
    }
    return Converter(text, math).run();
}
