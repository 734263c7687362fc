// SPDX-License-Identifier: GPL-3.0-or-later
#include "textutil.h"

#include <QChar>
#include <QTextBoundaryFinder>

namespace TextUtil {

bool isHorizontalSpace(char32_t c)
{
    // The only ASCII space separator is the space itself.
    if (c < 0x80)
        return c == U' ' || c == U'\t';
    return QChar::category(c) == QChar::Separator_Space;
}

bool isSpaceOrLineBreak(char32_t c)
{
    if (isHorizontalSpace(c) || (c >= 0x0A && c <= 0x0D) || c == 0x85)
        return true;
    const auto cat = QChar::category(c);
    return cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph;
}

namespace {

template<typename Pred> QStringView trimWith(QStringView s, Pred pred)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end) {
        const bool pair = QChar::isHighSurrogate(s[begin].unicode()) && begin + 1 < end &&
                          QChar::isLowSurrogate(s[begin + 1].unicode());
        const char32_t c =
            pair ? QChar::surrogateToUcs4(s[begin], s[begin + 1]) : s[begin].unicode();
        if (!pred(c))
            break;
        begin += pair ? 2 : 1;
    }
    while (end > begin) {
        const bool pair = end - 2 >= begin && QChar::isLowSurrogate(s[end - 1].unicode()) &&
                          QChar::isHighSurrogate(s[end - 2].unicode());
        const char32_t c =
            pair ? QChar::surrogateToUcs4(s[end - 2], s[end - 1]) : s[end - 1].unicode();
        if (!pred(c))
            break;
        end -= pair ? 2 : 1;
    }
    return s.sliced(begin, end - begin);
}

} // namespace

QStringView trimmedHorizontal(QStringView s)
{
    return trimWith(s, isHorizontalSpace);
}

QString trimHorizontal(QStringView s)
{
    return trimWith(s, isHorizontalSpace).toString();
}

QString trimSpaceAndLineBreaks(QStringView s)
{
    return trimWith(s, isSpaceOrLineBreak).toString();
}

qsizetype graphemeCount(QStringView s)
{
    if (s.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s.data(), s.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString firstGraphemes(const QString &s, qsizetype n)
{
    if (n <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype seen = 0;
    qsizetype pos = 0;
    while (seen < n) {
        pos = finder.toNextBoundary();
        if (pos == -1)
            return s;
        ++seen;
    }
    return s.left(pos);
}

ThinkSplit splitThink(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && isSpaceOrLineBreak(text.at(start).unicode()))
        ++start;
    static constexpr QStringView open = u"<think>";
    static constexpr QStringView close = u"</think>";
    if (!text.sliced(start).startsWith(open))
        return {{}, text, false, false};
    const qsizetype inside = start + open.size();
    const qsizetype end = text.indexOf(close, inside);
    if (end < 0)
        return {text.sliced(inside), {}, true, false};
    qsizetype answer = end + close.size();
    while (answer < text.size() && isSpaceOrLineBreak(text.at(answer).unicode()))
        ++answer;
    return {text.sliced(inside, end - inside), text.sliced(answer), true, true};
}

} // namespace TextUtil
