// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

/// The trimming classes used throughout the program, and counts in user-perceived characters.
/// Trimming always works at both ends only.
namespace TextUtil {

/// Tab and the Unicode space separators (category Zs).
bool isHorizontalSpace(char32_t c);
/// Horizontal space plus line separators (Zl, Zp), U+000A to U+000D and U+0085.
bool isSpaceOrLineBreak(char32_t c);

/// Trims tab and space separators (U+0020, U+00A0, U+3000, ...); never line ends.
QString trimHorizontal(QStringView s);
/// The same, as a view into s: nothing is copied.
QStringView trimmedHorizontal(QStringView s);
/// Trims horizontal space and every line break.
QString trimSpaceAndLineBreaks(QStringView s);

/// A reply whose text starts with a "<think>" block (after white space): the block's inside
/// is the model's reasoning, the rest (white space after the block dropped) its answer. A
/// block never closed is all reasoning.
struct ThinkSplit
{
    QStringView reasoning;
    QStringView answer;
    bool found = false; ///< the text starts with "<think>"
    bool closed = false;
};
ThinkSplit splitThink(QStringView text);

/// Number of grapheme clusters (user-perceived characters).
qsizetype graphemeCount(QStringView s);
/// The first n grapheme clusters of s (the whole text when it is shorter).
QString firstGraphemes(const QString &s, qsizetype n);

} // namespace TextUtil
