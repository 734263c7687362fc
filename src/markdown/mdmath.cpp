// SPDX-License-Identifier: GPL-3.0-or-later
#include "mdmath.h"

#include <algorithm>

namespace {

bool isSpace(QChar c)
{
    return c.isSpace();
}

/// Code spans, found as the inline converter finds them: a run of backticks closes at the next
/// run of the same length. The runs are indexed once, so every lookup is cheap.
class CodeSpans
{
public:
    explicit CodeSpans(QStringView s) : m_s(s)
    {
        for (qsizetype i = 0; i < s.size();) {
            if (s[i] != u'`') {
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < s.size() && s[j] == u'`')
                ++j;
            m_runs.push_back({j - i, i});
            i = j;
        }
        std::sort(m_runs.begin(), m_runs.end());
    }

    /// For a backtick run at i: the index after its code span, or after the run when it does
    /// not close.
    qsizetype skip(qsizetype i) const
    {
        qsizetype j = i;
        while (j < m_s.size() && m_s[j] == u'`')
            ++j;
        const auto it = std::lower_bound(m_runs.begin(), m_runs.end(), std::pair{j - i, j});
        return it != m_runs.end() && it->first == j - i ? it->second + (j - i) : j;
    }

private:
    QStringView m_s;
    std::vector<std::pair<qsizetype, qsizetype>> m_runs;
};

/// Walks the text as the inline converter does, passing over code spans and backslash escapes;
/// at each place a formula may open, calls f(i, formula) with the formula or nullopt. f returns
/// false to stop.
template<typename F> void walk(QStringView s, F f)
{
    if (!MathScanner::mayContain(s))
        return;
    MathScanner scanner(s);
    std::optional<CodeSpans> code;
    for (qsizetype i = 0; i < s.size();) {
        const char16_t c = s[i].unicode();
        if (c == u'`') {
            if (!code)
                code.emplace(s);
            i = code->skip(i);
        } else if (c == u'$' ||
                   (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'(' || s[i + 1] == u'['))) {
            const std::optional<MathSpan> formula = scanner.at(i);
            if (!f(i, formula))
                return;
            if (formula) {
                i = formula->end;
            } else {
                i += 1;
                while (c == u'$' && i < s.size() && s[i] == u'$')
                    ++i;
            }
        } else {
            i += c == u'\\' ? 2 : 1;
        }
    }
}

} // namespace

bool MathScanner::mayContain(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'$' ||
            (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'(' || text[i + 1] == u'[')))
            return true;
    }
    return false;
}

void MathScanner::index()
{
    m_indexed = true;
    const qsizetype n = m_s.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = m_s[i];
        if (c == u'\\') {
            // A backslash takes the next character with it: "\$" is a dollar, "\\" a backslash.
            if (i + 1 < n && m_s[i + 1] == u')')
                m_paren.push_back(i);
            else if (i + 1 < n && m_s[i + 1] == u']')
                m_bracket.push_back(i);
            i += 2;
        } else if (c == u'$') {
            const qsizetype length = dollarRun(i);
            if (length == 2)
                m_dollars.push_back(i);
            else if (length == 1 && i > 0 && !isSpace(m_s[i - 1]) &&
                     !(i + 1 < n && m_s[i + 1].isDigit()))
                m_dollar.push_back(i);
            i += length;
        } else {
            if (c == u'\n')
                m_dollar.push_back(-i - 1); // line ends, told apart by their sign
            ++i;
        }
    }
}

qsizetype MathScanner::dollarRun(qsizetype i) const
{
    qsizetype j = i;
    while (j < m_s.size() && m_s[j] == u'$')
        ++j;
    return j - i;
}

qsizetype MathScanner::closerAfter(const std::vector<qsizetype> &closers, qsizetype from) const
{
    const auto it = std::lower_bound(closers.begin(), closers.end(), from);
    return it == closers.end() ? -1 : *it;
}

std::optional<MathSpan> MathScanner::at(qsizetype i)
{
    const qsizetype n = m_s.size();
    if (i < 0 || i >= n)
        return std::nullopt;
    if (!m_indexed)
        index();
    MathSpan span;
    if (m_s[i] == u'\\') {
        if (i + 1 >= n || (m_s[i + 1] != u'(' && m_s[i + 1] != u'['))
            return std::nullopt;
        span.display = m_s[i + 1] == u'[';
        const qsizetype close = closerAfter(span.display ? m_bracket : m_paren, i + 2);
        if (close < 0)
            return std::nullopt;
        span.tex = m_s.sliced(i + 2, close - i - 2).trimmed();
        span.end = close + 2;
    } else if (m_s[i] == u'$' && (i == 0 || m_s[i - 1] != u'$')) {
        const qsizetype length = dollarRun(i);
        if (length == 2) {
            const qsizetype close = closerAfter(m_dollars, i + 2);
            if (close < 0)
                return std::nullopt;
            span.display = true;
            span.tex = m_s.sliced(i + 2, close - i - 2).trimmed();
            span.end = close + 2;
        } else if (length == 1 && i + 1 < n && !isSpace(m_s[i + 1])) {
            // The closers are kept in text order with the line ends; an inline "$" formula
            // stays on its line.
            const auto it = std::lower_bound(
                m_dollar.begin(), m_dollar.end(), i + 1,
                [](qsizetype v, qsizetype key) { return (v < 0 ? -v - 1 : v) < key; });
            const qsizetype close = it != m_dollar.end() ? *it : -1;
            if (close < 0)
                return std::nullopt;
            span.tex = m_s.sliced(i + 1, close - i - 1);
            span.end = close + 1;
        } else {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (span.tex.isEmpty())
        return std::nullopt;
    return span;
}

std::vector<std::pair<QString, bool>> splitDisplayMath(QStringView text)
{
    std::vector<std::pair<QString, bool>> runs;
    qsizetype from = 0;
    walk(text, [&](qsizetype i, const std::optional<MathSpan> &formula) {
        if (formula && formula->display) {
            const QStringView before = text.sliced(from, i - from).trimmed();
            if (!before.isEmpty())
                runs.emplace_back(before.toString(), false);
            runs.emplace_back(formula->tex.toString(), true);
            from = formula->end;
        }
        return true;
    });
    if (runs.empty())
        return {{text.toString(), false}};
    const QStringView after = text.sliced(from).trimmed();
    if (!after.isEmpty())
        runs.emplace_back(after.toString(), false);
    return runs;
}

qsizetype openDisplayMath(QStringView text)
{
    qsizetype open = -1;
    walk(text, [&](qsizetype i, const std::optional<MathSpan> &formula) {
        if (formula)
            return true;
        const bool opener = text[i] == u'\\' ? text[i + 1] == u'['
                                             : i + 1 < text.size() && text[i + 1] == u'$' &&
                                                   (i + 2 >= text.size() || text[i + 2] != u'$');
        open = opener ? i : -1;
        return !opener;
    });
    return open;
}

bool closesDisplayMath(QStringView text, qsizetype opener)
{
    bool closes = false;
    walk(text, [&](qsizetype i, const std::optional<MathSpan> &formula) {
        closes = i == opener && formula && formula->display;
        return i < opener;
    });
    return closes;
}

QString mathSourceText(QStringView tex, bool display)
{
    const QLatin1StringView delimiter(display ? "$$" : "$");
    QString out;
    out.reserve(tex.size() + 2 * delimiter.size());
    out.append(delimiter).append(tex).append(delimiter);
    return out;
}

QString mathImageId(QStringView tex, bool display)
{
    return (display ? QStringLiteral("d/") : QStringLiteral("i/")) +
           QString::fromLatin1(tex.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                     QByteArray::OmitTrailingEquals));
}

std::optional<std::pair<QString, bool>> mathFromImageId(QStringView id)
{
    if (id.size() < 3 || id[1] != u'/' || (id[0] != u'd' && id[0] != u'i'))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(
        id.sliced(2).toLatin1(),
        QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::pair{QString::fromUtf8(*decoded), id[0] == u'd'};
}
