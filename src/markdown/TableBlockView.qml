// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Corvane

// A table block as a grid: a semibold header row, a divider under it when there are more rows,
// columns as wide as their widest cell. Rows may differ in length; a short row leaves its
// trailing cells empty. The box keeps its natural width, up to the width it is given; a table
// wider than that scrolls sideways, with a scroll bar under it and a fade at the cut edge so
// that the hidden columns are seen to be there; no cell grows wider than the message.
Rectangle {
    id: root

    /// The cells row by row, each {row, column, html}; row 0 is the header.
    required property var cells
    /// The widest row's cell count.
    required property int columnCount
    property bool onAccent: false
    /// The search query whose matches are marked.
    property string matchQuery
    /// The width of the message: a longer cell text wraps.
    property real maximumWidth: 100000
    readonly property bool hasDivider: cells.length > 0 && cells[cells.length - 1].row >= 1
    readonly property real naturalWidth: grid.implicitWidth + 20

    implicitWidth: naturalWidth
    implicitHeight: grid.implicitHeight + 20 + scroller.barRoom
    radius: Theme.boxRadius
    color: onAccent ? Theme.bubbleBoxBackground : Theme.boxBackground
    border.color: onAccent ? Theme.bubbleBoxBorder : Theme.boxBorder
    border.width: 1

    SyncListModel {
        id: cellModel
        roles: ["row", "column", "html"]
        values: root.cells
    }

    // The grid always has its natural size: binding its width to the box would feed the
    // layout's own result back into it.
    SideScroller {
        id: scroller
        objectName: "tableScroller"

        x: 10
        y: 10
        width: root.width - 20
        height: grid.implicitHeight
        naturalWidth: grid.implicitWidth
        onAccent: root.onAccent
        fadeColor: root.onAccent ? Theme.bubbleBottom : Theme.boxBackground

        GridLayout {
            id: grid
            objectName: "tableGrid"

            columns: Math.max(1, root.columnCount)
            columnSpacing: Theme.tableColumnSpacing
            rowSpacing: Theme.spacingS

            Repeater {
                model: cellModel

                InlineText {
                    required property int row
                    required property int column
                    required property string html

                    inlineHtml: html
                    matchQuery: root.matchQuery
                    // The divider takes grid row 1, so body rows move one down.
                    Layout.row: row === 0 || !root.hasDivider ? row : row + 1
                    Layout.column: column
                    // Whole pixels: a width rounded below the text's own would wrap its last word.
                    Layout.preferredWidth: Math.ceil(implicitWidth)
                    Layout.maximumWidth: Math.max(120, root.maximumWidth - 20)
                    Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
                    font.weight: row === 0 ? Font.DemiBold : Font.Normal
                    onAccent: root.onAccent
                }
            }

            Rectangle {
                objectName: "tableDivider"
                visible: root.hasDivider
                Layout.row: 1
                Layout.column: 0
                Layout.columnSpan: grid.columns
                Layout.fillWidth: true
                implicitHeight: 1
                color: root.onAccent ? Theme.bubbleBoxBorder : Theme.separator
            }
        }
    }
}
