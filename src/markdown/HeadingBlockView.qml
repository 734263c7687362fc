// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// A heading block: levels 1 and 2 bold, 3 to 6 semibold, each level at its own zoomed size.
InlineText {
    /// The heading's inline HTML.
    required property string html
    /// 1 to 6; levels from 3 on share one size.
    required property int level

    objectName: "heading"
    topPadding: 3
    inlineHtml: html
    font.pixelSize: level === 1 ? TextZoom.heading1Size
                                : level === 2 ? TextZoom.heading2Size : TextZoom.heading3Size
    font.weight: level <= 2 ? Font.Bold : Font.DemiBold
}
