// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The chat pane's composer: the model picker above the input field and the send / stop button.
// The field takes the keyboard back whenever the controller says the composer has it. The
// composer is a focus scope, so it keeps the keyboard while the field is disabled during a
// reply: Escape then stops the reply.
FocusScope {
    id: root

    required property ChatController controller
    /// The reading column's width.
    required property real columnWidth

    /// Gives the input field the keyboard focus.
    function focusInput() {
        input.forceActiveFocus()
    }

    implicitHeight: composer.implicitHeight + 24

    Keys.onEscapePressed: event => {
        if (root.controller.sending)
            root.controller.stop()
        else
            event.accepted = false
    }

    ColumnLayout {
        id: composer

        x: (parent.width - width) / 2
        y: 12
        width: root.columnWidth - 32
        spacing: Theme.spacingM

        RowLayout {
            spacing: Theme.spacingM

            AbstractButton {
                id: modelPicker
                objectName: "modelPicker"

                Layout.maximumWidth: composer.width
                text: root.controller.modelLabel
                Accessible.name: qsTr("模型：%1").arg(root.controller.modelLabel)
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                leftPadding: 9
                rightPadding: 9
                topPadding: 4
                bottomPadding: 4

                ToolTip.visible: hovered && !(modelMenu.object && modelMenu.object.visible)
                ToolTip.delay: 600
                ToolTip.text: qsTr("切换此对话使用的模型（在设置里维护模型列表）")
                onClicked: {
                    const menu = modelMenu.get()
                    if (menu.visible)
                        menu.close()
                    else
                        menu.open()
                }

                contentItem: RowLayout {
                    spacing: Theme.spacingXS
                    Icon {
                        glyph: Theme.iconModel
                        size: 10
                        color: Theme.secondaryLabel
                    }
                    Text {
                        Layout.fillWidth: true
                        Layout.maximumWidth: implicitWidth
                        text: modelPicker.text
                        textFormat: Text.PlainText
                        elide: Text.ElideMiddle
                        maximumLineCount: 1
                        font.pixelSize: Theme.caption
                        color: Theme.secondaryLabel
                    }
                    Icon {
                        glyph: Theme.iconUpDown
                        size: 8
                        color: Theme.secondaryLabel
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: modelPicker.hovered ? Qt.darker(Theme.quaternaryLabel, 1.3)
                                               : Theme.quaternaryLabel
                    border.width: modelPicker.visualFocus ? 1 : 0
                    border.color: Theme.accent
                }

                // The list of models, made when it is first opened.
                LazyObject {
                    id: modelMenu
                    owner: modelPicker

                    Menu {
                        id: menu
                        objectName: "modelMenu"
                        y: -height - 4
                        // As wide as the longest name, within the column.
                        onAboutToShow: {
                            filterField.text = ""
                            root.controller.modelOptions.filter = ""
                            let w = 0
                            for (let i = 0; i < count; ++i)
                                w = Math.max(w, itemAt(i).implicitWidth)
                            width = Math.min(Math.max(w + leftPadding + rightPadding, 160),
                                             composer.width)
                        }
                        onOpened: if (filterField.visible)
                                      filterField.forceActiveFocus()

                        // Some gateways list hundreds of models.
                        TextField {
                            id: filterField
                            objectName: "modelFilter"
                            visible: root.controller.modelOptions.modelCount
                                     > root.controller.modelOptions.filterThreshold
                            height: visible ? implicitHeight : 0
                            placeholderText: qsTr("筛选模型")
                            onTextEdited: root.controller.modelOptions.filter = text
                        }

                        Instantiator {
                            model: root.controller.modelOptions
                            delegate: MenuItem {
                                id: entry
                                required property string gatewayID
                                required property string gatewayName
                                required property string modelName
                                required property bool header
                                required property bool current

                                objectName: header ? "modelHeader" : "modelEntry"
                                // A gateway's name above its models: never chosen, never focused.
                                enabled: !header
                                focusPolicy: header ? Qt.NoFocus : Qt.StrongFocus
                                text: header ? gatewayName : modelName
                                onTriggered: root.controller.chooseModel(gatewayID, modelName)
                                contentItem: Row {
                                    spacing: Theme.spacingS
                                    Icon {
                                        objectName: "checkMark"
                                        anchors.verticalCenter: parent.verticalCenter
                                        visible: !entry.header
                                        glyph: Theme.iconCheck
                                        size: 14
                                        color: entry.highlighted ? entry.palette.highlightedText : entry.palette.text
                                        opacity: entry.current ? 1 : 0
                                    }
                                    Text {
                                        anchors.verticalCenter: parent.verticalCenter
                                        text: entry.text
                                        textFormat: Text.PlainText
                                        font.pixelSize: entry.header ? Theme.caption : entry.font.pixelSize
                                        font.weight: entry.header ? Font.DemiBold : entry.font.weight
                                        color: entry.header ? Theme.secondaryLabel
                                                            : entry.highlighted ? entry.palette.highlightedText
                                                                                : entry.palette.text
                                    }
                                }
                            }
                            // After the filter field.
                            onObjectAdded: (index, object) => menu.insertItem(index + 1, object)
                            onObjectRemoved: (index, object) => menu.removeItem(object)
                        }
                    }
                }
            }

            // Whether the model is offered the tools of the user's servers, per conversation;
            // shown only when servers are set up.
            AbstractButton {
                id: toolsSwitch
                objectName: "toolsSwitch"

                visible: root.controller.toolsAvailable
                checkable: true
                checked: root.controller.toolsEnabled
                onToggled: root.controller.toolsEnabled = checked
                text: qsTr("工具")
                Accessible.name: text
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                leftPadding: 9
                rightPadding: 9
                topPadding: 4
                bottomPadding: 4
                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: checked ? qsTr("模型可以调用工具（每次调用按服务器的设置请你确认）")
                                      : qsTr("这个对话不使用工具")

                contentItem: Row {
                    spacing: Theme.spacingXS
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        glyph: toolsSwitch.checked ? Theme.iconCheck : "\ue869" // build
                        size: 10
                        color: toolsSwitch.checked ? Theme.accent : Theme.secondaryLabel
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: toolsSwitch.text
                        textFormat: Text.PlainText
                        font.pixelSize: Theme.caption
                        color: toolsSwitch.checked ? Theme.label : Theme.secondaryLabel
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: toolsSwitch.hovered ? Qt.darker(Theme.quaternaryLabel, 1.3)
                                               : Theme.quaternaryLabel
                    border.width: toolsSwitch.visualFocus || toolsSwitch.checked ? 1 : 0
                    border.color: toolsSwitch.checked && !toolsSwitch.visualFocus
                                  ? Qt.alpha(Theme.accent, 0.5) : Theme.accent
                }
            }

            Text {
                objectName: "toolNotice"
                Layout.fillWidth: true
                visible: root.controller.toolNotice !== ""
                text: root.controller.toolNotice
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.pixelSize: Theme.caption
                color: Theme.secondaryLabel
            }

            Item {
                Layout.fillWidth: true
            }
        }

        // The files waiting to go with the message.
        Flow {
            objectName: "attachmentChips"
            visible: chips.count > 0
            Layout.fillWidth: true
            spacing: Theme.spacingS

            Repeater {
                id: chips

                model: root.controller.attachments
                delegate: Rectangle {
                    id: chip

                    required property int index
                    required property string name
                    required property real size
                    required property bool isImage
                    required property bool busy
                    required property url url
                    required property real tokens

                    objectName: "attachmentChip"
                    implicitWidth: chipRow.implicitWidth + 12
                    implicitHeight: 40
                    radius: Theme.smallRadius
                    color: Theme.controlBackground
                    border.color: Theme.separator

                    RowLayout {
                        id: chipRow

                        anchors.verticalCenter: parent.verticalCenter
                        x: 6
                        spacing: 6

                        BusyIndicator {
                            visible: chip.busy
                            running: visible
                            Layout.preferredWidth: 28
                            Layout.preferredHeight: 28
                        }
                        Image {
                            visible: !chip.busy && chip.isImage
                            Layout.preferredWidth: 32
                            Layout.preferredHeight: 32
                            source: chip.isImage ? chip.url : ""
                            sourceSize.width: 64
                            sourceSize.height: 64
                            fillMode: Image.PreserveAspectCrop
                            asynchronous: true
                        }
                        Icon {
                            visible: !chip.busy && !chip.isImage
                            glyph: "\ue24d" // a document
                            size: 22
                            color: Theme.secondaryLabel
                        }
                        Column {
                            Label {
                                width: Math.min(implicitWidth, 180)
                                text: chip.name
                                textFormat: Text.PlainText
                                elide: Text.ElideMiddle
                                font.pixelSize: Theme.callout
                            }
                            Label {
                                text: chip.busy ? qsTr("正在读取…")
                                      : chip.tokens > 0
                                        ? qsTr("%1 · 约 %2 tokens").arg(Qt.locale().formattedDataSize(chip.size))
                                                                   .arg(Math.round(chip.tokens).toLocaleString(Qt.locale(), "f", 0))
                                        : Qt.locale().formattedDataSize(chip.size)
                                textFormat: Text.PlainText
                                font.pixelSize: Theme.caption
                                color: Theme.secondaryLabel
                            }
                        }
                        ToolButton {
                            objectName: "removeAttachment"
                            Layout.preferredWidth: 24
                            Layout.preferredHeight: 24
                            text: "×"
                            // The input keeps the keyboard.
                            focusPolicy: Qt.NoFocus
                            Accessible.name: qsTr("移除")
                            onClicked: root.controller.attachments.remove(chip.index)
                        }
                    }
                }
            }
        }

        Label {
            objectName: "attachmentTokensWarning"
            visible: root.controller.attachments.tokens > 100000
            Layout.fillWidth: true
            text: qsTr("附件的文字约有 %1 tokens，可能超出模型的上下文长度。")
                  .arg(Math.round(root.controller.attachments.tokens).toLocaleString(Qt.locale(), "f", 0))
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Theme.footnote
            color: Theme.destructive
        }

        RowLayout {
            spacing: Theme.spacingL

            AbstractButton {
                id: attachButton

                objectName: "attachButton"
                Layout.alignment: Qt.AlignBottom
                Layout.bottomMargin: 4
                text: qsTr("添加附件")
                Accessible.name: text
                enabled: !root.controller.sending
                hoverEnabled: true
                onClicked: {
                    if (!attachDialog.item)
                        attachDialog.setSource(Qt.resolvedUrl("AttachDialog.qml"),
                                               { "attachments": root.controller.attachments })
                    attachDialog.item.open()
                }

                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: qsTr("添加图片或文件（也可以粘贴或拖进来）")

                contentItem: Icon {
                    glyph: "\ue226" // a paperclip
                    size: 22
                    color: attachButton.hovered ? Theme.label : Theme.secondaryLabel
                    opacity: attachButton.enabled ? 1 : 0.5
                }

                Loader {
                    id: attachDialog
                }
            }

            Rectangle {
                id: field

                // The field grows with its text from one line to eight, then scrolls.
                readonly property real maxHeight: 8 * (input.lineCount > 0 ? input.contentHeight / input.lineCount : 0)
                                                  + input.topPadding + input.bottomPadding

                Layout.fillWidth: true
                Layout.alignment: Qt.AlignBottom
                implicitHeight: Math.min(input.implicitHeight, maxHeight)
                radius: Theme.fieldRadius
                color: Theme.controlBackground
                border.width: 1
                border.color: Theme.separator

                ScrollView {
                    id: inputScroll
                    anchors.fill: parent

                    TextArea {
                        id: input
                        objectName: "input"

                        /// Set when an input-method composition has just been committed,
                        /// until the event loop turns: the Return that committed it
                        /// must not also send.
                        property bool justComposed: false

                        function insertLineBreak() {
                            if (selectedText.length > 0)
                                remove(selectionStart, selectionEnd)
                            insert(cursorPosition, "\n")
                        }

                        leftPadding: 12
                        rightPadding: 12
                        topPadding: 9
                        bottomPadding: 9
                        // Shift+Return breaks the line everywhere; macOS users know Option.
                        placeholderText: Qt.platform.os === "osx" ? qsTr("输入消息，⏎ 发送 · ⌥⏎ 换行")
                                                                  : qsTr("输入消息，⏎ 发送 · ⇧⏎ 换行")
                        placeholderTextColor: Theme.tertiaryLabel
                        color: Theme.label
                        wrapMode: TextEdit.Wrap
                        selectByMouse: true
                        enabled: !root.controller.sending
                        background: null
                        text: root.controller.input
                        onTextChanged: if (text !== root.controller.input)
                                           root.controller.input = text
                        onActiveFocusChanged: if (!root.controller.sending)
                                                  root.controller.inputFocused = activeFocus
                        onInputMethodComposingChanged: {
                            if (!inputMethodComposing) {
                                justComposed = true
                                Qt.callLater(() => input.justComposed = false)
                            }
                        }

                        TextMenuHandler {}

                        Keys.onPressed: event => {
                            // A pasted screenshot or copied files become attachments; text
                            // pastes as text.
                            if (event.matches(StandardKey.Paste)) {
                                event.accepted = root.controller.attachments.paste()
                                return
                            }
                            if (event.key !== Qt.Key_Return && event.key !== Qt.Key_Enter)
                                return
                            if (inputMethodComposing || justComposed)
                                return // the input method takes this Return
                            event.accepted = true
                            if (event.modifiers & (Qt.AltModifier | Qt.ShiftModifier))
                                insertLineBreak()
                            else
                                root.controller.send()
                        }
                    }
                }
            }

            AbstractButton {
                id: actionButton
                objectName: root.controller.sending ? "stopButton" : "sendButton"

                Layout.alignment: Qt.AlignBottom
                Layout.bottomMargin: 2
                text: root.controller.sending ? qsTr("停止生成") : qsTr("发送")
                enabled: root.controller.sending || root.controller.canSend
                Accessible.name: text
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                onClicked: root.controller.sending ? root.controller.stop() : root.controller.send()

                ToolTip {
                    objectName: "stopToolTip"
                    visible: actionButton.hovered
                    delay: 600
                    text: root.controller.sending ? qsTr("停止生成（Esc）") : actionButton.text
                }

                contentItem: Icon {
                    glyph: root.controller.sending ? Theme.iconStop : Theme.iconSend
                    size: 27
                    color: root.controller.sending ? Theme.destructive
                                                   : (root.controller.canSend ? Theme.accent
                                                                              : Theme.secondaryLabel)
                    opacity: root.controller.sending || root.controller.canSend ? 1 : 0.5
                }
            }
        }
    }

    Connections {
        target: root.controller
        function onInputFocusedChanged() {
            if (root.controller.inputFocused && !input.activeFocus && input.enabled)
                input.forceActiveFocus()
        }
        function onSendingChanged() {
            // The field was disabled while the reply streamed; give its focus back, unless the
            // reply's failure is being shown: the alert keeps it until it closes.
            if (!root.controller.sending && root.controller.inputFocused && !root.controller.showError)
                input.forceActiveFocus()
        }
    }
}
