// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Qt.labs.qmlmodels
import Corvane

// The rendered Markdown of one message: one view per block, stacked 10 apart. The block model
// parses the text again on every change but announces only the blocks that changed, so while a
// reply streams only its last block is laid out again.
Column {
    id: root

    /// The Markdown source. An alias of the block model's own property: a binding here would
    /// pass every version of a streamed reply through the script engine.
    property alias text: blocks.text
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

    /// The part of the view on screen, in the view's own coordinates. Blocks well outside it
    /// keep their room but leave the scene, so that a frame of a long reply costs no more than
    /// one of a short reply. By default every block is shown.
    property real visibleTop: -Infinity
    property real visibleBottom: Infinity

    readonly property int bodySize: TextZoom.bodySize
    readonly property color textColor: onAccent ? Theme.bubbleText : Theme.label
    readonly property color markerColor: onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
    readonly property color quoteBarColor: onAccent ? Theme.bubbleQuoteBar : Theme.quoteBar
    readonly property color linkColor: onAccent ? Theme.bubbleText : Theme.link

    BlockCuller {
        id: culler
        visibleTop: root.visibleTop
        visibleBottom: root.visibleBottom
        extent: root.height
    }

    spacing: Theme.spacingL

    MDBlockModel {
        id: blocks
    }

    // The room of one block in the column. Far from the visible part the culler takes the
    // block off its slot, which keeps its height.
    component BlockSlot: Item {
        property Item block
        readonly property real naturalWidth: root.measure && block ? block.naturalWidth : 0

        width: root.width
        implicitHeight: block ? block.implicitHeight : 0
    }

    component BlockText: InlineText {
        width: root.width
        measure: root.measure
        color: root.textColor
        linkColor: root.linkColor
        codeBackground: root.onAccent ? Theme.bubbleCodeSpanBackground : Theme.codeSpanBackground
        font.pixelSize: root.bodySize
    }

    // The rows of a bullet or ordered list: marker, then the item's text, inset by its level.
    component ListBlock: Column {
        id: list

        property var items
        readonly property real naturalWidth: {
            if (!root.measure)
                return 0
            let w = 0
            for (let i = 0; i < children.length; ++i)
                w = Math.max(w, children[i].naturalWidth || 0)
            return w
        }

        width: root.width
        spacing: Theme.listSpacing

        Repeater {
            model: SyncListModel {
                roles: ["indent", "num", "html"]
                values: list.items
            }

            Item {
                id: item

                required property int indent
                required property string num
                required property string html
                readonly property real inset: indent * 16
                readonly property real naturalWidth: root.measure ? textPart.x + textPart.naturalWidth : 0

                width: list.width
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
        id: blockRepeater

        model: blocks
        onItemAdded: (index, slot) => culler.insertSlot(index, slot)
        onItemRemoved: (index, slot) => culler.removeSlot(index)

        delegate: DelegateChooser {
            role: "kind"

            DelegateChoice {
                roleValue: MDBlock.Paragraph

                BlockSlot {
                    id: slot
                    required property string html
                    block: paragraphBlock

                    BlockText {
                        id: paragraphBlock
                        objectName: "paragraph"
                        inlineHtml: slot.html
                        lineSpacing: 3.5
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Heading

                BlockSlot {
                    id: slot
                    required property string html
                    required property int level
                    block: headingBlock

                    BlockText {
                        id: headingBlock
                        objectName: "heading"
                        topPadding: 3
                        inlineHtml: slot.html
                        font.pixelSize: slot.level === 1 ? TextZoom.heading1Size
                                                         : slot.level === 2 ? TextZoom.heading2Size
                                                                            : TextZoom.heading3Size
                        font.weight: slot.level <= 2 ? Font.Bold : Font.DemiBold
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Code

                BlockSlot {
                    id: slot
                    required property string lang
                    required property string code
                    block: codeBlock

                    CodeBlockView {
                        id: codeBlock
                        width: root.width
                        lang: slot.lang
                        code: slot.code
                        onAccent: root.onAccent
                        measure: root.measure
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Bullets

                BlockSlot {
                    id: slot
                    required property var items
                    block: bulletsBlock

                    ListBlock {
                        id: bulletsBlock
                        objectName: "bullets"
                        items: slot.items
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Ordered

                BlockSlot {
                    id: slot
                    required property var items
                    block: orderedBlock

                    ListBlock {
                        id: orderedBlock
                        objectName: "ordered"
                        items: slot.items
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Quote

                BlockSlot {
                    id: slot
                    required property string html
                    block: quote

                    Item {
                        id: quote
                        readonly property real naturalWidth: root.measure ? quoteText.x + quoteText.naturalWidth : 0

                        objectName: "quote"
                        width: root.width
                        implicitHeight: quoteText.implicitHeight

                        Rectangle {
                            objectName: "quoteBar"
                            width: 3
                            height: quoteText.height
                            radius: Theme.barRadius
                            color: root.quoteBarColor
                        }
                        BlockText {
                            id: quoteText
                            x: 13
                            width: quote.width - x
                            inlineHtml: slot.html
                            lineSpacing: 3.5
                            color: root.markerColor
                        }
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Table

                BlockSlot {
                    id: slot
                    required property var cells
                    required property int columnCount
                    block: tableBlock

                    TableBlockView {
                        id: tableBlock
                        // Natural width, never wider than the message.
                        width: Math.min(implicitWidth, root.width)
                        maximumWidth: root.width
                        cells: slot.cells
                        columnCount: slot.columnCount
                        onAccent: root.onAccent
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Rule

                BlockSlot {
                    id: slot
                    block: ruleBlock

                    Rectangle {
                        id: ruleBlock
                        readonly property real naturalWidth: 0

                        objectName: "rule"
                        width: root.width
                        implicitHeight: 1
                        color: root.onAccent ? Theme.bubbleBoxBorder : Theme.separator
                    }
                }
            }
        }
    }
}
