// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Qt.labs.qmlmodels
import Corvane

// The rendered Markdown of one message: one view per block, each in a file of its own, stacked
// 10 apart by the culler. The block model
// parses the text again on every change but announces only the blocks that changed, so while a
// reply streams only its last block is laid out again.
Item {
    id: root

    /// The Markdown source. An alias of the block model's own property: a binding here would
    /// pass every version of a streamed reply through the script engine.
    property alias text: blocks.text
    /// Drawn on the user's bubble: secondary elements turn white.
    property bool onAccent: false
    /// The search query whose matches are marked in every block.
    property string matchQuery
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

    /// The top of the block at this row, in the view's coordinates (0 for a row not made), or
    /// of its first marked match when the block shows one: a long block is then seen where it
    /// matches.
    function blockTop(row) {
        const slot = blockRepeater.itemAt(row)
        if (!slot)
            return 0
        const match = slot.block && slot.block.matchY ? slot.block.matchY() : -1
        return slot.y + Math.max(0, match)
    }

    BlockCuller {
        id: culler
        visibleTop: root.visibleTop
        visibleBottom: root.visibleBottom
        extent: root.height
        spacing: Theme.spacingL
    }

    implicitHeight: culler.stackHeight

    MDBlockModel {
        id: blocks
        math: Appearance.renderMath
    }

    // The room of one block in the column. Far from the visible part the culler takes the
    // block off its slot, which keeps its height.
    component BlockSlot: Item {
        property Item block
        readonly property real naturalWidth: root.measure && block ? block.naturalWidth : 0

        width: root.width
        implicitHeight: block ? block.implicitHeight : 0
    }

    Repeater {
        id: blockRepeater

        model: blocks
        onItemAdded: (index, slot) => culler.insertSlot(index, slot)
        onItemRemoved: (index, slot) => culler.removeSlot(index)

        // One slot per block, holding the block's own view.
        delegate: DelegateChooser {
            role: "kind"

            DelegateChoice {
                roleValue: MDBlock.Paragraph

                BlockSlot {
                    id: slot
                    required property string html
                    block: paragraphBlock

                    ParagraphBlockView {
                        id: paragraphBlock
                        width: root.width
                        html: slot.html
                        onAccent: root.onAccent
                        matchQuery: root.matchQuery
                        measure: root.measure
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

                    HeadingBlockView {
                        id: headingBlock
                        width: root.width
                        html: slot.html
                        level: slot.level
                        onAccent: root.onAccent
                        matchQuery: root.matchQuery
                        measure: root.measure
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
                        matchQuery: root.matchQuery
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

                    ListBlockView {
                        id: bulletsBlock
                        objectName: "bullets"
                        width: root.width
                        items: slot.items
                        onAccent: root.onAccent
                        matchQuery: root.matchQuery
                        measure: root.measure
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Ordered

                BlockSlot {
                    id: slot
                    required property var items
                    block: orderedBlock

                    ListBlockView {
                        id: orderedBlock
                        objectName: "ordered"
                        width: root.width
                        items: slot.items
                        onAccent: root.onAccent
                        matchQuery: root.matchQuery
                        measure: root.measure
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Quote

                BlockSlot {
                    id: slot
                    required property string html
                    block: quoteBlock

                    QuoteBlockView {
                        id: quoteBlock
                        width: root.width
                        html: slot.html
                        onAccent: root.onAccent
                        matchQuery: root.matchQuery
                        measure: root.measure
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
                        matchQuery: root.matchQuery
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Math

                BlockSlot {
                    id: slot
                    required property string html
                    required property string tex
                    block: mathBlock

                    MathBlockView {
                        id: mathBlock
                        width: root.width
                        html: slot.html
                        tex: slot.tex
                        onAccent: root.onAccent
                        measure: root.measure
                    }
                }
            }
            DelegateChoice {
                roleValue: MDBlock.Rule

                BlockSlot {
                    id: slot
                    block: ruleBlock

                    RuleBlockView {
                        id: ruleBlock
                        width: root.width
                        onAccent: root.onAccent
                    }
                }
            }
        }
    }
}
