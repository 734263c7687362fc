// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

/// One formula in a text: its TeX (without the delimiters, trimmed) and where it ends.
struct MathSpan
{
    qsizetype end = 0; ///< index just after the closing delimiter
    QStringView tex;
    bool display = false;
};

/**
 * Finds formulas in inline Markdown. Four forms: "\(…\)" and "$…$" are inline, "\[…\]" and
 * "$$…$$" are display, also on one line. An inline "$" opens only before a non-space and closes
 * only after a non-space and not before a digit, so "$5 and $10" stays text. A backslash-escaped
 * dollar ("\$") neither opens nor closes, and a formula without its closing delimiter (a reply
 * still streaming) is no formula. The caller walks the text and asks at each "$" or "\" that is
 * not inside a code span; each answer costs O(log n) after one linear pass over the text.
 */
class MathScanner
{
public:
    explicit MathScanner(QStringView text) : m_s(text) {}

    /// The formula whose opening delimiter starts at i, if one does.
    std::optional<MathSpan> at(qsizetype i);

    /// True when the text has a character that could open a formula.
    static bool mayContain(QStringView text);

private:
    void index();
    qsizetype closerAfter(const std::vector<qsizetype> &closers, qsizetype from) const;
    qsizetype dollarRun(qsizetype i) const;

    QStringView m_s;
    bool m_indexed = false;
    std::vector<qsizetype> m_dollar;  // single "$" that may close an inline formula
    std::vector<qsizetype> m_dollars; // "$$" runs of exactly two
    std::vector<qsizetype> m_paren;   // unescaped "\)"
    std::vector<qsizetype> m_bracket; // unescaped "\]"
};

/// Splits a paragraph's text into runs of text and display formulas, in order: (text, false)
/// for text, (TeX, true) for a display formula. Formulas inside code spans stay text. A text
/// without display formulas gives one run holding it whole.
std::vector<std::pair<QString, bool>> splitDisplayMath(QStringView text);

/// Where the text holds an opening "$$" or "\[" whose closing delimiter is not in it, or -1.
qsizetype openDisplayMath(QStringView text);
/// Whether a display formula opens at `opener` and closes within the text, as
/// splitDisplayMath() reads it.
bool closesDisplayMath(QStringView text, qsizetype opener);

/// A formula written out as its source: its TeX between "$$" (display) or "$" (inline).
QString mathSourceText(QStringView tex, bool display);

/// The image a formula is drawn as, "d/" (display) or "i/" (inline) and its TeX as base64url
/// of its UTF-8; the image provider "math" serves it.
QString mathImageId(QStringView tex, bool display);
/// The formula of an image id: (TeX, display), or nullopt for anything else.
std::optional<std::pair<QString, bool>> mathFromImageId(QStringView id);
