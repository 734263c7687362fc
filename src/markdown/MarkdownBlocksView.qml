// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// The rendered Markdown of one message: one view per block, each in a file of its own, stacked
// 10 apart. The block model parses the text again on every change but announces only the
// blocks that changed, so while a reply streams only its last block is laid out again; the
// stack makes views only for the blocks near the visible part, so a long reply costs no more
// than a short one.
Item {
    id: root

    /// The Markdown source. An alias of the block model's own property: a binding here would
    /// pass every version of a streamed reply through the script engine.
    property alias text: blocks.text
    /// The text is a reply still arriving (see MDBlockModel).
    property alias streaming: blocks.streaming
    /// Drawn on the user's bubble: secondary elements turn white.
    property bool onAccent: false
    /// The search query whose matches are marked in every block.
    property string matchQuery
    /// Measure the unwrapped width of the content (naturalWidth), for a parent that sizes itself
    /// to it. Costs a second text layout per block, and every block then has its view, so only
    /// bubbles ask for it.
    property bool measure: false
    readonly property real naturalWidth: {
        if (!measure)
            return 0
        let w = 0
        for (let i = 0; i < stack.children.length; ++i)
            w = Math.max(w, stack.children[i].naturalWidth || 0)
        return Math.ceil(w)
    }

    /// The part of the view on screen, in the view's own coordinates. Only blocks near it have
    /// views; the others keep their room. By default every block is shown.
    property real visibleTop: -Infinity
    property real visibleBottom: Infinity

    /// Blocks above the visible part changed their height by dy (see BlockStack).
    signal contentShifted(real dy)

    /// The top of the block at this row, in the view's coordinates (an estimate while the block
    /// has no view), or of its first marked match when the block shows one: a long block is
    /// then seen where it matches.
    function blockTop(row) {
        const block = stack.itemAt(row)
        const match = block && block.matchY ? block.matchY() : -1
        return stack.blockY(row) + Math.max(0, match)
    }

    /// Makes the views the visible part needs now rather than before the next frame.
    function layout() {
        stack.layout()
    }

    /// The view of the block at this row, or null while it has none.
    function blockAt(row) {
        return stack.itemAt(row)
    }

    implicitHeight: stack.implicitHeight

    // The right click on any text of the message (paragraph, heading, list item, table cell)
    // opens the window's text menu for that text: one handler here rather than one in each of
    // them, which cost a seventh of making a text. Code blocks and formulas have their own.
    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: eventPoint => {
            let item = root
            let at = eventPoint.position
            for (let child = item.childAt(at.x, at.y); child; child = item.childAt(at.x, at.y)) {
                at = item.mapToItem(child, at.x, at.y)
                item = child
            }
            const window = root.Window.window
            if (item.inlineHtml !== undefined && window && window.openTextMenu)
                window.openTextMenu(item)
        }
    }

    MDBlockModel {
        id: blocks
        math: Appearance.renderMath
    }

    BlockStack {
        id: stack
        objectName: "blockStack"

        width: root.width
        model: blocks
        spacing: Theme.spacingL
        fontSize: TextZoom.bodySize
        codeFontSize: TextZoom.codeSize
        visibleTop: root.measure ? -Infinity : root.visibleTop
        visibleBottom: root.measure ? Infinity : root.visibleBottom
        onContentShifted: dy => root.contentShifted(dy)

        BlockChoice {
            kind: MDBlock.Paragraph

            ParagraphBlockView {
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Heading

            HeadingBlockView {
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Code

            CodeBlockView {
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Bullets

            ListBlockView {
                objectName: "bullets"
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Ordered

            ListBlockView {
                objectName: "ordered"
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Quote

            QuoteBlockView {
                width: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Table

            TableBlockView {
                // Natural width, never wider than the message.
                width: Math.min(implicitWidth, root.width)
                maximumWidth: root.width
                onAccent: root.onAccent
                matchQuery: root.matchQuery
            }
        }

        BlockChoice {
            kind: MDBlock.Math

            MathBlockView {
                width: root.width
                onAccent: root.onAccent
                measure: root.measure
            }
        }

        BlockChoice {
            kind: MDBlock.Rule

            RuleBlockView {
                width: root.width
                onAccent: root.onAccent
            }
        }
    }
}
