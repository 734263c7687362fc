// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Converts inline Markdown to the HTML subset that Qt's rich text shows (a read-only TextEdit
/// with TextEdit.RichText):
/// - emphasis <i> and strong emphasis <b> with "*" and "_" by the CommonMark delimiter rules,
///   <s> for "~~text~~", <code> for code spans;
/// - links "[text](url)" and autolinks "<https://...>", "<name@host>" as <a href="...">, but
///   only for http, https and mailto addresses; any other link keeps its text without a target.
///   An image "![alt](src)" shows its alt text;
/// - backslash escapes and HTML entities are decoded, raw HTML is text;
/// - with `math`, formulas (see MathScanner) become <img src="image://math/ID"> of their
///   mathImageId, aligned to the middle; without, their delimiters are ordinary text.
/// Block syntax at a line start stays text. Every line break becomes <br/> and runs of spaces
/// stay visible (&nbsp;). All other text is escaped, so no input can produce other markup.
/// Runs in time linear in the input's length, whatever the input.
QString mdInline(const QString &text, bool math = true);
