// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A fenced code block: the language (or "代码") and a copy button over the verbatim code, which
// wraps instead of scrolling sideways. The box spans the width it is given.
Rectangle {
    id: root

    required property string lang
    required property string code
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

    onMeasureChanged: codeWidth = measure ? codeText.implicitWidth : 0
    Component.onCompleted: if (measure)
                               codeWidth = codeText.implicitWidth

    readonly property int labelSize: TextZoom.codeLabelSize
    readonly property int codeSize: TextZoom.codeSize
    readonly property color secondaryColor: onAccent ? Theme.bubbleSecondary : Theme.secondaryLabel
    readonly property color borderColor: onAccent ? Theme.bubbleBoxBorder : Theme.boxBorder

    implicitHeight: column.implicitHeight
    radius: Theme.boxRadius
    color: onAccent ? Theme.bubbleBoxBackground : Theme.boxBackground
    border.color: borderColor
    border.width: 1

    /// The top of the first marked match, in the block's coordinates; -1 when none.
    function matchY() {
        const at = highlighter.firstMatch()
        return at < 0 ? -1 : codeText.y + codeText.positionToRectangle(at).y
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

        TextEdit {
            id: codeText
            objectName: "codeText"
            width: parent.width
            padding: 10
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
                                        root.codeWidth = implicitWidth

            TextMenuHandler {}

            CodeHighlighter {
                id: highlighter
                objectName: "codeHighlighter"
                // The colours first: given after the query, each would format the text again.
                matchBackground: Theme.matchBackground
                matchText: Theme.matchText
                textDocument: codeText.textDocument
                code: root.code
                language: root.lang
                query: root.matchQuery
                active: Appearance.codeHighlighting
                lineSpacing: 2.5
                palette: root.onAccent ? CodeHighlighter.OnAccent
                                       : Theme.dark ? CodeHighlighter.Dark : CodeHighlighter.Light
            }
        }
    }
}
