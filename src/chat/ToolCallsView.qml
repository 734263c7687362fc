// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The tool calls of one reply: each a folded line ("调用 server · tool") with a spinner while it
// runs and a mark once it has ended, which opens to its arguments and its result; a call that
// waits for the user shows the approval card instead of its line. It reports the user's answers
// through its signals.
Column {
    id: root

    /// The calls, as the message list's toolCalls role gives them.
    property var calls: []

    signal allow(string callID)
    signal allowConversation(string callID)
    signal deny(string callID)

    spacing: Theme.spacingXS
    visible: calls.length > 0

    Repeater {
        model: root.calls

        delegate: Column {
            id: call

            required property var modelData
            readonly property bool asking: modelData.state === "asking"
            property bool open: false

            objectName: "toolCall"
            width: root.width
            spacing: Theme.spacingXS

            AbstractButton {
                id: line
                objectName: "toolCallLine"

                visible: !call.asking
                hoverEnabled: true
                leftPadding: 8
                rightPadding: 10
                topPadding: 3
                bottomPadding: 3
                onClicked: call.open = !call.open

                contentItem: Row {
                    spacing: 4

                    Item {
                        anchors.verticalCenter: parent.verticalCenter
                        width: Theme.footnote + 2
                        height: width

                        BusyIndicator {
                            anchors.fill: parent
                            padding: 0
                            visible: call.modelData.state === "running"
                            running: visible
                        }
                        Icon {
                            anchors.centerIn: parent
                            visible: call.modelData.state !== "running"
                            glyph: call.modelData.state === "done" ? Theme.iconCheck
                                                                    : Theme.iconWarning
                            size: Theme.footnote + 1
                            color: call.modelData.state === "failed" ? Theme.destructive
                                                                      : Theme.secondaryLabel
                        }
                    }
                    Text {
                        objectName: "toolCallTitle"
                        anchors.verticalCenter: parent.verticalCenter
                        text: call.modelData.server !== ""
                              ? qsTr("调用 %1 · %2").arg(call.modelData.server).arg(call.modelData.tool)
                              : qsTr("调用 %1").arg(call.modelData.tool)
                        textFormat: Text.PlainText
                        font.pixelSize: Theme.footnote
                        color: Theme.secondaryLabel
                    }
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        // expand_more, turned to point right while folded
                        glyph: "\ue5cf"
                        rotation: call.open ? 0 : -90
                        size: Theme.footnote + 2
                        color: Theme.secondaryLabel
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: line.down ? Theme.quaternaryLabel
                                     : line.hovered ? Theme.hoverFill : Theme.controlBackground
                    border.width: 1
                    border.color: Theme.separator
                }
            }

            // The arguments as the tool gets them, and what it gave back.
            Item {
                objectName: "toolCallBody"

                visible: call.open && !call.asking
                width: parent.width
                implicitHeight: visible ? details.implicitHeight : 0

                Rectangle {
                    width: 2
                    height: parent.height
                    radius: 1
                    color: Theme.separator
                }
                Column {
                    id: details

                    x: 12
                    width: parent.width - 12
                    spacing: Theme.spacingXS

                    Text {
                        text: qsTr("参数")
                        font.pixelSize: Theme.caption
                        color: Theme.tertiaryLabel
                    }
                    ArgumentsBox {
                        width: parent.width
                        text: call.modelData.arguments
                    }
                    Text {
                        visible: call.modelData.result !== ""
                        text: call.modelData.state === "failed" ? qsTr("出错") : qsTr("结果")
                        font.pixelSize: Theme.caption
                        color: call.modelData.state === "failed" ? Theme.destructive
                                                                  : Theme.tertiaryLabel
                    }
                    MarkdownBlocksView {
                        objectName: "toolCallResult"
                        width: parent.width
                        opacity: 0.72
                        // Folded, the result needs no views.
                        text: call.open ? call.modelData.result : ""
                    }
                    Flow {
                        width: parent.width
                        spacing: Theme.spacingS
                        Repeater {
                            model: call.modelData.images
                            delegate: Image {
                                required property string modelData
                                source: modelData
                                width: Math.min(implicitWidth, 320)
                                height: width > 0 ? implicitHeight * width / Math.max(1, implicitWidth) : 0
                                fillMode: Image.PreserveAspectFit
                                asynchronous: true
                            }
                        }
                    }
                }
            }

            // What the user is asked before the call runs.
            Rectangle {
                objectName: "approvalCard"

                visible: call.asking
                width: Math.min(parent.width, 560)
                implicitHeight: visible ? card.implicitHeight + 2 * Theme.spacingM : 0
                radius: Theme.boxRadius
                color: Theme.windowBackground
                border.width: 1
                border.color: Theme.accent

                Column {
                    id: card

                    x: Theme.spacingM
                    y: Theme.spacingM
                    width: parent.width - 2 * Theme.spacingM
                    spacing: Theme.spacingS

                    Text {
                        objectName: "approvalTitle"
                        width: parent.width
                        text: qsTr("模型想调用 %1 的工具 %2").arg(call.modelData.server).arg(call.modelData.tool)
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.callout
                        font.bold: true
                        color: Theme.label
                    }
                    ArgumentsBox {
                        width: parent.width
                        text: call.modelData.arguments
                    }
                    RowLayout {
                        spacing: Theme.spacingS

                        Button {
                            objectName: "approveButton"
                            text: qsTr("允许")
                            highlighted: true
                            onClicked: root.allow(call.modelData.id)
                        }
                        Button {
                            objectName: "approveConversationButton"
                            text: qsTr("本对话内都允许")
                            onClicked: root.allowConversation(call.modelData.id)
                        }
                        Button {
                            objectName: "denyButton"
                            text: qsTr("拒绝")
                            onClicked: root.deny(call.modelData.id)
                        }
                    }
                }
            }
        }
    }

    component ArgumentsBox: Rectangle {
        property alias text: argumentsText.text

        implicitHeight: Math.min(argumentsText.implicitHeight, 240)
        radius: Theme.smallRadius
        color: Theme.textBackground
        border.width: 1
        border.color: Theme.separator
        clip: true

        TextEdit {
            id: argumentsText

            width: parent.width
            padding: Theme.spacingS
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.WrapAnywhere
            readOnly: true
            selectByMouse: true
            font.family: Theme.monoFont
            font.pixelSize: Theme.footnote
            color: Theme.label
        }
    }
}
