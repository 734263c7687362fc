// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The Settings window's content. There is no OK or Cancel: every edit goes to the Store at
// once, and SettingsForm saves only when the settings really change.
ScrollView {
    id: view

    contentWidth: availableWidth
    clip: true

    SettingsForm {
        id: form

        store: Store
    }

    ModelCatalog {
        id: catalog

        store: Store
    }

    // A section: optional header, a rounded group of rows, optional footer.
    component Section: ColumnLayout {
        id: section

        property string header
        property string footer
        default property alias rows: group.data
        /// Controls shown at the header's far end.
        property alias headerItems: headerExtras.data

        Layout.fillWidth: true
        spacing: Theme.spacingXS

        RowLayout {
            visible: section.header !== ""
            Layout.fillWidth: true

            Label {
                Layout.fillWidth: true
                leftPadding: 4
                text: section.header
                textFormat: Text.PlainText
                font.weight: Font.DemiBold
                color: Theme.secondaryLabel
            }
            Row {
                id: headerExtras

                spacing: 6
            }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: group.implicitHeight + 16
            radius: Theme.boxRadius
            color: Theme.textBackground
            border.color: Theme.separator

            ColumnLayout {
                id: group

                anchors.fill: parent
                anchors.margins: 8
                spacing: Theme.spacingM
            }
        }
        Label {
            visible: section.footer !== ""
            Layout.fillWidth: true
            leftPadding: 4
            text: section.footer
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
    }

    // The frame of every field: Fusion's own is nearly invisible on a dark base, and its
    // TextArea has none.
    component FieldFrame: Rectangle {
        property bool focused

        implicitWidth: 120
        implicitHeight: 26
        radius: Theme.smallRadius
        color: Theme.textBackground
        border.color: focused ? Theme.accent : Theme.tertiaryLabel
    }

    // A titled single-line field.
    component FieldRow: RowLayout {
        property alias title: caption.text
        property alias text: input.text
        property alias placeholder: input.placeholderText
        property alias echoMode: input.echoMode
        property alias inputMethodHints: input.inputMethodHints
        property alias inputName: input.objectName

        signal edited


        Layout.fillWidth: true
        spacing: Theme.spacingL

        Label {
            id: caption

            Layout.preferredWidth: 80
            textFormat: Text.PlainText
        }
        TextField {
            id: input

            Layout.fillWidth: true
            selectByMouse: true
            background: FieldFrame {
                focused: input.activeFocus
            }
            onTextEdited: parent.edited()

            TextMenuHandler {}
        }
    }

    // A titled multi-line field that grows from minLines to maxLines, then scrolls. It shows
    // value and reports every change the user makes (typing, the text menu's paste, cut and
    // undo) through edited(), with the text exactly as typed; showing a value reports nothing.
    component TextBlock: ColumnLayout {
        id: block

        property alias title: caption.text
        property string value
        /// While the field has the focus, a new value does not replace what is being typed.
        property bool keepWhileEditing: false
        property alias placeholder: input.placeholderText
        property alias inputName: input.objectName
        readonly property alias editing: input.activeFocus
        property int minLines: 2
        property int maxLines: 6

        signal edited(string text)

        function show() {
            if (form.typedText(input.textDocument) !== form.shownText(value))
                input.text = value
        }

        Layout.fillWidth: true
        spacing: Theme.spacingXS
        onValueChanged: if (!keepWhileEditing || !editing)
                            show()
        onEditingChanged: if (!editing)
                              show()
        Component.onCompleted: show()

        Label {
            id: caption

            textFormat: Text.PlainText
        }
        ScrollView {
            id: scroller

            objectName: input.objectName + "Scroller"
            // Lines of mixed scripts differ in height: measure the text itself when there is
            // some, and the field's font otherwise.
            readonly property real lineHeight: input.length > 0 && input.lineCount > 0
                                               ? input.contentHeight / input.lineCount
                                               : metrics.lineSpacing
            readonly property int lines: Math.min(Math.max(input.lineCount, minLines), maxLines)

            Layout.fillWidth: true
            Layout.preferredHeight: lines * lineHeight + input.topPadding + input.bottomPadding
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            background: FieldFrame {
                focused: input.activeFocus
            }

            FontMetrics {
                id: metrics

                font: input.font
            }

            TextArea {
                id: input

                wrapMode: TextEdit.Wrap
                textFormat: TextEdit.PlainText
                selectByMouse: true
                // Showing the value (also once the field is complete) is no edit.
                onTextChanged: {
                    const typed = form.typedText(textDocument)
                    if (typed !== form.shownText(block.value))
                        block.edited(typed)
                }

                TextMenuHandler {}
            }
        }
    }

    ColumnLayout {
        width: view.availableWidth
        spacing: Theme.spacingXL

        Item {
            implicitHeight: 2
        }

        Section {
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            header: qsTr("接口")

            FieldRow {
                title: qsTr("API 地址")
                inputName: "baseURLField"
                placeholder: form.defaultBaseURL
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                text: form.baseURL
                onEdited: form.baseURL = text
            }
            FieldRow {
                title: qsTr("API Key")
                inputName: "apiKeyField"
                placeholder: "sk-..."
                echoMode: TextInput.Password
                inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                text: form.apiKey
                onEdited: form.apiKey = text
            }
            FieldRow {
                title: qsTr("默认模型")
                inputName: "modelField"
                placeholder: "gpt-4o-mini"
                inputMethodHints: Qt.ImhNoAutoUppercase
                text: form.model
                onEdited: form.model = text
            }
        }

        Section {
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            header: qsTr("更多模型")
            footer: qsTr("填了之后，聊天输入框上方会出现模型切换按钮。")
            headerItems: [
                BusyIndicator {
                    visible: catalog.busy
                    running: visible
                    width: 18
                    height: 18
                    anchors.verticalCenter: parent.verticalCenter
                },
                Button {
                    objectName: "fetchModelsButton"
                    text: qsTr("从服务器获取")
                    flat: true
                    enabled: !catalog.busy
                    font.pixelSize: Theme.footnote
                    topPadding: 2
                    bottomPadding: 2
                    palette.buttonText: Theme.accent
                    onClicked: {
                        form.flush()
                        catalog.fetch()
                    }
                }
            ]

            Label {
                objectName: "modelsError"
                visible: catalog.error !== ""
                Layout.fillWidth: true
                text: catalog.error
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: Theme.footnote
                color: Theme.destructive
            }

            // The gateway's list, to pick from; nothing changes until "添加".
            ColumnLayout {
                visible: catalog.open
                Layout.fillWidth: true
                spacing: 6

                RowLayout {
                    Layout.fillWidth: true

                    TextField {
                        id: filterField
                        objectName: "modelsFilter"

                        Layout.fillWidth: true
                        placeholderText: qsTr("筛选模型")
                        selectByMouse: true
                        inputMethodHints: Qt.ImhNoAutoUppercase
                        text: catalog.filter
                        onTextEdited: catalog.filter = text
                        background: FieldFrame {
                            focused: filterField.activeFocus
                        }
                    }
                    Button {
                        text: qsTr("全选")
                        flat: true
                        font.pixelSize: Theme.footnote
                        onClicked: catalog.checkAll(true)
                    }
                    Button {
                        text: qsTr("全不选")
                        flat: true
                        font.pixelSize: Theme.footnote
                        onClicked: catalog.checkAll(false)
                    }
                }
                ListView {
                    objectName: "modelsChecklist"

                    Layout.fillWidth: true
                    Layout.preferredHeight: 168
                    clip: true
                    model: catalog
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar {}
                    delegate: CheckBox {
                        required property int index
                        required property string modelId
                        required property bool chosen
                        required property bool listed

                        width: ListView.view.width
                        // The catalog owns the state: a click asks it to change.
                        checkable: false
                        checkState: chosen ? Qt.Checked : Qt.Unchecked
                        enabled: !listed
                        text: listed ? qsTr("%1（已在列表中）").arg(modelId) : modelId
                        font.pixelSize: Theme.callout
                        topPadding: 2
                        bottomPadding: 2
                        onClicked: catalog.toggle(index)
                    }
                    Label {
                        anchors.centerIn: parent
                        visible: parent.count === 0
                        text: qsTr("没有匹配的模型")
                        color: Theme.secondaryLabel
                    }
                }
                RowLayout {
                    Layout.fillWidth: true

                    Item {
                        Layout.fillWidth: true
                    }
                    Button {
                        objectName: "dismissModelsButton"
                        text: qsTr("取消")
                        flat: true
                        onClicked: catalog.dismiss()
                    }
                    Button {
                        objectName: "addModelsButton"
                        text: catalog.newCount > 0 ? qsTr("添加 %1 个").arg(catalog.newCount)
                                                   : qsTr("添加")
                        highlighted: true
                        enabled: catalog.newCount > 0
                        onClicked: catalog.addChecked()
                    }
                }
            }

            // While the user types, the field keeps the raw text; the normalised list is shown
            // again once the field loses focus.
            TextBlock {
                title: qsTr("每行一个，可在对话里随时切换")
                minLines: 2
                maxLines: 6
                inputName: "modelsField"
                value: form.modelsText
                keepWhileEditing: true
                onEdited: text => form.modelsText = text
            }
        }

        Section {
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            header: qsTr("系统提示词（可选）")

            TextBlock {
                title: qsTr("System Prompt")
                minLines: 3
                maxLines: 8
                inputName: "systemPromptField"
                placeholder: qsTr("例如：你是一个简洁的中文助手。")
                value: form.systemPrompt
                onEdited: text => form.systemPrompt = text
            }
        }

        Label {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.bottomMargin: 12
            text: qsTr("地址填到 /v1 即可，发送时自动拼 /chat/completions。兼容任何 OpenAI 格式的网关。")
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
    }
}
