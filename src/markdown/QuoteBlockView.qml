// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// A quote block: a bar down the left side beside the quoted text in the secondary colour.
Item {
    id: root

    /// The quote's inline HTML.
    required property string html
    property bool onAccent: false
    /// The search query whose matches are marked.
    property string matchQuery
    /// Keep naturalWidth up to date (see InlineText.measure).
    property bool measure: false
    readonly property real naturalWidth: measure ? quoteText.x + quoteText.naturalWidth : 0

    /// The top of the first marked match; -1 when none.
    function matchY() {
        return quoteText.matchY()
    }

    objectName: "quote"
    implicitHeight: quoteText.implicitHeight

    Rectangle {
        objectName: "quoteBar"
        width: 3
        height: quoteText.height
        radius: Theme.barRadius
        color: root.onAccent ? Theme.bubbleQuoteBar : Theme.quoteBar
    }
    InlineText {
        id: quoteText
        x: 13
        width: root.width - x
        inlineHtml: root.html
        matchQuery: root.matchQuery
        lineSpacing: 3.5
        onAccent: root.onAccent
        measure: root.measure
        color: root.onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
    }
}
