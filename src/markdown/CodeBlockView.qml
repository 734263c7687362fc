// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A fenced code block: the language (or "代码") and a copy button over the verbatim code, which
// wraps instead of scrolling sideways. The box spans the width it is given.
//
// The code is drawn in pieces of a hundred lines (CodePieces), stacked as a message's blocks
// are and made only near the visible part, so that a long block costs what is seen of it and a
// delta touches only the last piece. A block shorter than one piece is one text, as it always
// was. The pieces share one CodeSource: the code, its tokens and where the pieces begin.
Rectangle {
    id: root

    required property string lang
    // Straight into the CodeSource: a string property of this item would make a script string
    // of the whole code at every delta, and the script engine collects garbage by the size of
    // what it made, so a long block streaming would collect ever more often.
    property alias code: codeSource.code
    property bool onAccent: false
    /// The search query whose matches are marked in the code.
    property string matchQuery
    /// True from a press of the copy button until the reset 1.2 s later.
    property bool copied: false
    /// Set by a parent that sizes itself to its content (a user's bubble); only then is the
    /// unwrapped width of the code measured, which costs a second layout.
    property bool measure: false
    readonly property real naturalWidth: measure ? Math.max(codeWidth + 20, header.implicitWidth) : 0
    // The unwrapped width of the code, kept by handlers: the first read of implicitWidth lays
    // the text out again and changes it, which a binding would report as a loop.
    property real codeWidth: 0

    /// The visible part, in the block's coordinates: only the pieces near it are made.
    property real visibleTop: -Infinity
    property real visibleBottom: Infinity

    /// Pieces above the visible part changed their height by dy (see BlockStack).
    signal contentShifted(real dy)

    /// A selection across pieces, in positions of the code; -1 when there is none. A block of
    /// one piece leaves selection to its text, as before.
    property int selectionAnchor: -1
    property int selectionCursor: -1
    readonly property bool piecewise: codeSource.pieces.count > 1
    readonly property int selectionStart: Math.min(selectionAnchor, selectionCursor)
    readonly property int selectionEnd: Math.max(selectionAnchor, selectionCursor)

    /// The selected code, whole however many pieces it spans.
    function selectedCode() {
        return selectionStart < 0 ? "" : codeSource.textBetween(selectionStart, selectionEnd)
    }

    function select(from, to) {
        selectionAnchor = from
        selectionCursor = to
        for (let i = 0; i < pieceStack.children.length; ++i)
            showSelection(pieceStack.children[i])
    }

    /// Gives a piece its share of the selection.
    function showSelection(piece) {
        if (piece.pieceStart === undefined)
            return
        const length = piece.length
        const from = Math.max(0, Math.min(selectionStart - piece.pieceStart, length))
        const to = Math.max(0, Math.min(selectionEnd - piece.pieceStart, length))
        if (selectionStart >= 0 && from < to)
            piece.select(from, to)
        else
            piece.deselect()
    }

    /// The position in the code at a point of the pieces; -1 where no piece is made.
    function positionAt(x, y) {
        if (y < 0)
            return 0
        if (y >= pieceStack.height)
            return root.code.length
        const piece = pieceStack.childAt(Math.max(0, Math.min(x, pieceStack.width - 1)), y)
        if (!piece || piece.pieceStart === undefined)
            return -1
        return piece.pieceStart + piece.positionAt(x - piece.x, y - piece.y)
    }

    function measureCode() {
        let w = 0
        for (let i = 0; i < pieceStack.children.length; ++i)
            w = Math.max(w, pieceStack.children[i].implicitWidth)
        codeWidth = w
    }

    onMeasureChanged: if (measure)
                          measureCode()
                      else
                          codeWidth = 0
    Component.onCompleted: {
        // The pieces in view now, so that the block has its height when it is placed.
        pieceStack.layout()
        if (measure)
            measureCode()
    }

    readonly property int labelSize: TextZoom.codeLabelSize
    readonly property int codeSize: TextZoom.codeSize
    readonly property color secondaryColor: onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
    readonly property color borderColor: onAccent ? Theme.bubbleBoxBorder : Theme.boxBorder

    implicitHeight: column.implicitHeight
    radius: Theme.boxRadius
    color: onAccent ? Theme.bubbleBoxBackground : Theme.boxBackground
    border.color: borderColor
    border.width: 1

    /// The top of the first marked match, in the block's coordinates; -1 when none. Estimated
    /// while its piece has no text item.
    function matchY() {
        const at = codeSource.firstMatch(root.matchQuery)
        if (at < 0)
            return -1
        const row = codeSource.pieces.pieceAt(at)
        const piece = pieceStack.itemAt(row)
        if (!piece)
            return codeArea.y + pieceStack.blockY(row)
        return codeArea.y + piece.y + piece.positionToRectangle(at - piece.pieceStart).y
    }

    function copy() {
        Clipboard.setText(root.code)
        root.copied = true
        // A later press copies again but leaves the pending reset alone: the state still ends
        // 1.2 s after the press that started it.
        if (!resetTimer.running)
            resetTimer.start()
    }

    Timer {
        id: resetTimer
        interval: 1200
        onTriggered: root.copied = false
    }

    Column {
        id: column
        width: parent.width

        Item {
            id: header

            width: parent.width
            implicitWidth: langLabel.implicitWidth + copyButton.implicitWidth + 28
            implicitHeight: Math.max(langLabel.implicitHeight, copyButton.implicitHeight) + 10

            Text {
                id: langLabel
                objectName: "codeLanguage"
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: root.lang.length > 0 ? root.lang : qsTr("代码")
                textFormat: Text.PlainText
                font.pixelSize: root.labelSize
                color: root.secondaryColor
            }

            AbstractButton {
                id: copyButton
                objectName: "codeCopyButton"
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: root.copied ? qsTr("已复制") : qsTr("复制")
                onClicked: root.copy()
                Accessible.name: qsTr("复制代码")
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                opacity: hovered ? 1 : 0.9

                contentItem: Row {
                    spacing: Theme.spacingXXS
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        glyph: root.copied ? Theme.iconCheck : Theme.iconCopy
                        size: root.labelSize
                        color: root.secondaryColor
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: copyButton.text
                        font.pixelSize: root.labelSize
                        color: root.secondaryColor
                    }
                }
            }
        }

        Rectangle {
            width: parent.width
            height: 1
            color: root.borderColor
        }

        Item {
            id: codeArea

            width: parent.width
            height: pieceStack.height

            BlockStack {
                id: pieceStack
                objectName: "codePieces"

                width: parent.width
                model: codeSource.pieces
                codeFontSize: root.codeSize
                visibleTop: root.visibleTop - codeArea.y
                visibleBottom: root.visibleBottom - codeArea.y
                onContentShifted: dy => root.contentShifted(dy)

                BlockChoice {
                    TextEdit {
                        id: codeText

                        required property int pieceStart
                        required property int pieceEnd
                        required property bool firstPiece
                        required property bool lastPiece

                        objectName: firstPiece ? "codeText" : "codePiece"
                        width: pieceStack.width
                        leftPadding: 10
                        rightPadding: 10
                        topPadding: firstPiece ? 10 : 0
                        bottomPadding: lastPiece ? 10 : 0
                        textFormat: TextEdit.PlainText
                        readOnly: true
                        selectByMouse: true
                        wrapMode: TextEdit.WrapAtWordBoundaryOrAnywhere
                        font.family: Theme.monoFont
                        font.pixelSize: root.codeSize
                        color: root.onAccent ? Theme.bubbleText : Theme.label
                        selectionColor: Theme.accent
                        selectedTextColor: Theme.accentText
                        onImplicitWidthChanged: if (root.measure)
                                                    root.measureCode()
                        // A piece made while a selection spans it shows its share.
                        Component.onCompleted: if (root.selectionStart >= 0)
                                                   root.showSelection(codeText)

                        TextMenuHandler {}

                        CodeHighlighter {
                            objectName: "codeHighlighter"
                            // The colours first: given after the query, each would format the
                            // text again.
                            matchBackground: Theme.matchBackground
                            matchText: Theme.matchText
                            textDocument: codeText.textDocument
                            source: codeSource
                            start: codeText.pieceStart
                            end: codeText.pieceEnd
                            query: root.matchQuery
                            lineSpacing: 2.5
                            palette: root.onAccent ? CodeHighlighter.OnAccent
                                                   : Theme.dark ? CodeHighlighter.Dark
                                                                : CodeHighlighter.Light
                        }
                    }
                }
            }

            // Selection across pieces: a press, a drag, the copy key and "select all" act on the
            // block's code rather than on one piece (a text item cannot select beyond itself).
            // Only for a block of several pieces; keyboard selection is limited to select all.
            MouseArea {
                id: selector
                objectName: "codeSelector"

                anchors.fill: parent
                enabled: root.piecewise
                acceptedButtons: Qt.LeftButton
                cursorShape: Qt.IBeamCursor
                activeFocusOnTab: false

                onPressed: mouse => {
                    forceActiveFocus()
                    const at = root.positionAt(mouse.x, mouse.y)
                    // Shift extends the selection there is, as in a text.
                    if ((mouse.modifiers & Qt.ShiftModifier) && root.selectionAnchor >= 0)
                        root.select(root.selectionAnchor, at)
                    else
                        root.select(at, at)
                }
                onPositionChanged: mouse => {
                    const at = root.positionAt(mouse.x, mouse.y)
                    if (pressed && at >= 0)
                        root.select(root.selectionAnchor, at)
                }
                onActiveFocusChanged: if (!activeFocus)
                                          root.select(-1, -1)
                Keys.onPressed: event => {
                    if (event.matches(StandardKey.Copy)) {
                        if (root.selectionStart < root.selectionEnd)
                            Clipboard.setText(root.selectedCode())
                        event.accepted = true
                    } else if (event.matches(StandardKey.SelectAll)) {
                        root.select(0, root.code.length)
                        event.accepted = true
                    }
                }
            }
        }
    }

    CodeSource {
        id: codeSource
        language: root.lang
        active: Appearance.codeHighlighting
    }
}
