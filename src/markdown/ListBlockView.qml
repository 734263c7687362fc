// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// A bullet or ordered list block: per item a marker ("•" or its number and a dot), then the
// item's text, inset by the item's level. The rows follow the items with the fewest changes,
// so a list that grows while a reply streams keeps the rows it has.
Column {
    id: root

    /// The items, each {indent: 0 to 3, num: the number as written (empty for a bullet),
    /// html: the inline HTML}.
    required property var items
    property bool onAccent: false
    /// The search query whose matches are marked.
    property string matchQuery
    /// Keep naturalWidth up to date (see InlineText.measure).
    property bool measure: false
    readonly property real naturalWidth: {
        if (!measure)
            return 0
        let w = 0
        for (let i = 0; i < children.length; ++i)
            w = Math.max(w, children[i].naturalWidth || 0)
        return w
    }

    spacing: Theme.listSpacing

    /// The top of the first marked match, in the list's coordinates; -1 when none.
    function matchY() {
        for (let i = 0; i < itemRows.count; ++i) {
            const row = itemRows.itemAt(i)
            const y = row ? row.matchY() : -1
            if (y >= 0)
                return row.y + y
        }
        return -1
    }

    Repeater {
        id: itemRows

        model: SyncListModel {
            roles: ["indent", "num", "html"]
            values: root.items
        }

        Item {
            id: item

            required property int indent
            required property string num
            required property string html
            readonly property real inset: indent * 16
            readonly property real naturalWidth: root.measure ? textPart.x + textPart.naturalWidth : 0

            function matchY() {
                return textPart.matchY()
            }

            width: root.width
            implicitHeight: Math.max(marker.y + marker.implicitHeight, textPart.implicitHeight)

            Text {
                id: marker
                objectName: "listMarker"
                x: item.inset
                // Centred on the text's first line, whose height depends on its script
                // (a Chinese line is taller than a Latin one).
                y: {
                    textPart.inlineHtml
                    textPart.width
                    const line = textPart.positionToRectangle(0)
                    return Math.round(line.y + (line.height - height) / 2)
                }
                text: item.num.length > 0 ? item.num + "." : "•"
                textFormat: Text.PlainText
                font.pixelSize: TextZoom.bodySize
                color: root.onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
            }
            InlineText {
                id: textPart
                objectName: "listText"
                x: marker.x + marker.implicitWidth + 8
                width: item.width - x
                inlineHtml: item.html
                matchQuery: root.matchQuery
                lineSpacing: 3
                onAccent: root.onAccent
                measure: root.measure
            }
        }
    }
}
