// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Qt.labs.qmlmodels
import Corvane

// The rendered Markdown of one message: one view per block, stacked 10 apart. The block model
// parses the text again on every change but announces only the blocks that changed, so while a
// reply streams only its last block is laid out again.
Column {
    id: root

    required property string text
    /// Drawn on the user's bubble: secondary elements turn white.
    property bool onAccent: false
    /// Measure the unwrapped width of the content (naturalWidth), for a parent that sizes itself
    /// to it. Costs a second text layout per block, so only bubbles ask for it.
    property bool measure: false
    readonly property real naturalWidth: {
        if (!measure)
            return 0
        let w = 0
        for (let i = 0; i < children.length; ++i)
            w = Math.max(w, children[i].naturalWidth || 0)
        return Math.ceil(w)
    }

    readonly property real zoom: TextZoom.value
    // Pixel sizes are whole numbers; rounding keeps every zoom step the same everywhere.
    readonly property int bodySize: Math.round(Theme.mdBody * zoom)
    readonly property color textColor: onAccent ? Theme.bubbleText : Theme.label
    readonly property color markerColor: onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
    readonly property color quoteBarColor: onAccent ? Theme.bubbleQuoteBar : Theme.quoteBar
    readonly property color linkColor: onAccent ? Theme.bubbleText : Theme.link

    function headingSize(level) {
        return Math.round((level === 1 ? Theme.mdHeading1 : level === 2 ? Theme.mdHeading2
                                                                         : Theme.mdHeading3) * zoom)
    }

    spacing: 10

    MDBlockModel {
        id: blocks
        text: root.text
    }

    component BlockText: InlineText {
        width: root.width
        color: root.textColor
        linkColor: root.linkColor
        codeBackground: root.onAccent ? Theme.bubbleBoxBackground
                                      : Qt.rgba(Theme.label.r, Theme.label.g, Theme.label.b, 0.08)
        font.pixelSize: root.bodySize
    }

    // The rows of a bullet or ordered list: marker, then the item's text, inset by its level.
    component ListBlock: Column {
        id: list

        required property var items
        readonly property real naturalWidth: {
            if (!root.measure)
                return 0
            let w = 0
            for (let i = 0; i < children.length; ++i)
                w = Math.max(w, children[i].naturalWidth || 0)
            return w
        }

        width: root.width
        spacing: 5

        Repeater {
            model: ArraySyncModel {
                values: list.items
            }

            Item {
                id: item

                required property int indent
                required property string num
                required property string html
                readonly property real inset: indent * 16
                readonly property real naturalWidth: root.measure ? textPart.x + textPart.implicitWidth : 0

                width: list.width
                implicitHeight: Math.max(marker.y + marker.implicitHeight, textPart.implicitHeight)

                Text {
                    id: marker
                    objectName: "listMarker"
                    x: item.inset
                    // Marker and text share their first baseline.
                    y: textPart.baselineOffset - baselineOffset
                    text: item.num.length > 0 ? item.num + "." : "•"
                    textFormat: Text.PlainText
                    font.pixelSize: root.bodySize
                    color: root.markerColor
                }
                BlockText {
                    id: textPart
                    objectName: "listText"
                    x: marker.x + marker.implicitWidth + 8
                    width: item.width - x
                    inlineHtml: item.html
                    lineSpacing: 3
                }
            }
        }
    }

    Repeater {
        model: blocks

        delegate: DelegateChooser {
            role: "kind"

            DelegateChoice {
                roleValue: MDBlock.Paragraph

                BlockText {
                    required property string html
                    readonly property real naturalWidth: root.measure ? implicitWidth : 0

                    objectName: "paragraph"
                    inlineHtml: html
                    lineSpacing: 3.5
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Heading

                BlockText {
                    required property string html
                    required property int level
                    readonly property real naturalWidth: root.measure ? implicitWidth : 0

                    objectName: "heading"
                    inlineHtml: html
                    topPadding: 3
                    font.pixelSize: root.headingSize(level)
                    font.weight: level <= 2 ? Font.Bold : Font.DemiBold
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Code

                CodeBlockView {
                    width: root.width
                    onAccent: root.onAccent
                    measure: root.measure
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Bullets

                ListBlock {
                    objectName: "bullets"
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Ordered

                ListBlock {
                    objectName: "ordered"
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Quote

                Item {
                    id: quote

                    required property string html
                    readonly property real naturalWidth: root.measure ? quoteText.x + quoteText.implicitWidth : 0

                    objectName: "quote"
                    width: root.width
                    implicitHeight: quoteText.implicitHeight

                    Rectangle {
                        objectName: "quoteBar"
                        width: 3
                        height: quoteText.height
                        radius: 2
                        color: root.quoteBarColor
                    }
                    BlockText {
                        id: quoteText
                        x: 13
                        width: quote.width - x
                        inlineHtml: quote.html
                        lineSpacing: 3.5
                        color: root.markerColor
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Table

                TableBlockView {
                    required property var rowsHtml

                    // Natural width, never wider than the message.
                    width: Math.min(implicitWidth, root.width)
                    rows: rowsHtml
                    onAccent: root.onAccent
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Rule

                Rectangle {
                    objectName: "rule"
                    width: root.width
                    height: 1
                    color: root.onAccent ? Theme.bubbleBoxBorder : Theme.separator
                }
            }
        }
    }
}
