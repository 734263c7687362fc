// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A reply's reasoning above its answer: a header that tells how long the model thought, and
// the reasoning as muted Markdown. It is open while the model thinks, folds away once the
// answer begins, and a click on the header opens or folds it.
Item {
    id: root

    /// The message list and the row of the reply (see MessageText).
    property QtObject messages
    property int row: -1
    /// A reply streams into this row.
    property bool streaming
    /// The answer has begun.
    property bool answered
    /// The part of the block on screen, in the block's coordinates (see MarkdownBlocksView).
    property real viewTop: -Infinity
    property real viewBottom: Infinity
    /// The search query whose matches are marked.
    property string matchQuery

    /// Blocks above the visible part changed their height by dy (see MarkdownBlocksView).
    signal contentShifted(real dy)

    readonly property bool hasReasoning: source.text !== ""
    readonly property bool thinking: streaming && !answered
    /// The user's own choice, once made, wins over the automatic folding.
    property var userExpanded: undefined
    readonly property bool expanded: userExpanded !== undefined ? userExpanded : thinking

    readonly property real startedMs: started.value !== undefined ? started.value : 0
    readonly property int seconds: thoughtFor.value !== undefined ? thoughtFor.value : -1
    property real now: Date.now()

    visible: hasReasoning
    implicitHeight: hasReasoning ? column.implicitHeight : 0

    MessageText {
        id: source
        model: root.messages
        row: root.row
        role: "reasoning"
    }
    MessageText {
        id: started
        model: root.messages
        row: root.row
        role: "thinkingStarted"
    }
    MessageText {
        id: thoughtFor
        model: root.messages
        row: root.row
        role: "thinkingSeconds"
    }

    Timer {
        interval: 500
        repeat: true
        triggeredOnStart: true
        running: root.thinking && root.hasReasoning
        onTriggered: root.now = Date.now()
    }

    Column {
        id: column

        width: parent.width
        spacing: 6

        AbstractButton {
            id: header
            objectName: "reasoningHeader"

            hoverEnabled: true
            leftPadding: 8
            rightPadding: 10
            topPadding: 3
            bottomPadding: 3
            onClicked: root.userExpanded = !root.expanded

            contentItem: Row {
                spacing: 4

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    // lightbulb_outline
                    glyph: "\ue90f"
                    size: Theme.footnote + 1
                    color: Theme.secondaryLabel
                }
                Text {
                    objectName: "reasoningTitle"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.thinking
                          ? (root.startedMs > 0
                             ? qsTr("正在思考…（%1 秒）").arg(Math.max(0, Math.floor((root.now - root.startedMs) / 1000)))
                             : qsTr("正在思考…"))
                          : root.seconds >= 0 ? qsTr("已深度思考（%1 秒）").arg(root.seconds)
                                              : qsTr("已深度思考")
                    textFormat: Text.PlainText
                    font.pixelSize: Theme.footnote
                    color: Theme.secondaryLabel
                }
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    // expand_more, turned to point right while folded
                    glyph: "\ue5cf"
                    rotation: root.expanded ? 0 : -90
                    size: Theme.footnote + 2
                    color: Theme.secondaryLabel
                }
            }
            background: Rectangle {
                radius: height / 2
                color: header.down ? Theme.quaternaryLabel
                                   : header.hovered ? Theme.hoverFill : Theme.controlBackground
                border.width: 1
                border.color: Theme.separator
            }
        }

        Item {
            objectName: "reasoningBody"

            visible: root.expanded
            width: parent.width
            implicitHeight: visible ? markdown.implicitHeight : 0

            Rectangle {
                width: 2
                height: parent.height
                radius: 1
                color: Theme.separator
            }
            MarkdownBlocksView {
                id: markdown

                x: 12
                width: parent.width - 12
                opacity: 0.72
                text: source.text
                streaming: root.streaming
                matchQuery: root.matchQuery
                // Folded, no block needs a view.
                visibleTop: root.expanded ? root.viewTop - parent.y : -Infinity
                visibleBottom: root.expanded ? root.viewBottom - parent.y : -Infinity
                onContentShifted: dy => root.contentShifted(dy)
            }
        }
    }
}
