// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// A paragraph block: its inline text, with a little room between the lines.
InlineText {
    /// The paragraph's inline HTML.
    required property string html

    objectName: "paragraph"
    inlineHtml: html
    lineSpacing: 3.5
}
