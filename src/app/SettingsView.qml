// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The Settings window's content: the gateways on the left, the chosen one's details on the
// right. There is no OK or Cancel: every edit goes to the Store at once, and SettingsForm saves
// only when the settings really change.
Item {
    id: view

    /// The "添加网关" menu of presets.
    readonly property alias presetMenu: presetMenu

    /// The user is done with the window ("完成").
    signal done

    /// The chosen gateway's id; empty for the first one.
    property string gatewayId: ""
    /// The chosen tool server's name; empty while a gateway is chosen.
    property string serverName: ""
    /// The chosen server's form, refreshed whenever it or its status changes.
    property var server: ({})
    property var serverTools: []
    /// What is wrong with the last edit of the chosen server, shown under its fields.
    property string serverError: ""

    function selectServer(name) {
        serverName = toolServers.rowOf(name) < 0 ? "" : name
        serverError = ""
        refreshServer()
    }
    function refreshServer() {
        server = serverName === "" ? ({}) : toolServers.server(serverName)
        serverTools = serverName === "" ? [] : toolServers.tools(serverName)
    }
    function editServer(field, value) {
        const name = serverName
        serverError = toolServers.setField(name, field, value)
        if (serverError === "" && field === "name")
            serverName = value.trim()
        refreshServer()
    }

    function selectGateway(id) {
        const row = gateways.rowOf(id)
        gatewayId = row < 0 ? "" : id
        gatewayList.currentIndex = Math.max(row, 0)
    }

    SettingsForm {
        id: form

        store: Store
        gateway: view.gatewayId
    }

    ModelCatalog {
        id: catalog

        store: Store
        gateway: view.gatewayId
    }

    GatewayListModel {
        id: gateways

        store: Store
        // Adding, removing or moving rebuilds the rows: the chosen gateway stays chosen.
        onModelReset: view.selectGateway(view.gatewayId)
    }

    ToolServerListModel {
        id: toolServers

        store: Store
        hub: ToolHub
        onModelReset: if (view.serverName !== "")
                          view.selectServer(view.serverName)
        onServerChanged: name => {
            if (name === view.serverName)
                view.refreshServer()
        }
        onImported: names => view.selectServer(names[names.length - 1])
    }

    Component.onCompleted: gateways.detectLocalServers()

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
        readonly property real captionWidth: Math.ceil(caption.implicitWidth)

        signal edited
        /// Enter, or the focus left the field.
        signal committed

        Layout.fillWidth: true
        spacing: Theme.spacingL

        Label {
            id: caption

            Layout.preferredWidth: view.captionWidth
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
            onEditingFinished: parent.committed()

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


    // The chosen tool server: how it is reached, how its calls are approved, its tools and log.
    // Fields are stored when the user is done with them (Enter or leaving the field), not at
    // every key: a changed command restarts the server.
    component ToolServerPane: ScrollView {
        id: pane

        objectName: "toolServerPane"
        Layout.fillWidth: true
        Layout.fillHeight: true
        contentWidth: availableWidth
        contentHeight: paneColumn.implicitHeight
        clip: true

        ColumnLayout {
            id: paneColumn

            width: pane.availableWidth
            spacing: Theme.spacingXL

            Item {
                implicitHeight: 2
            }

            Section {
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                header: qsTr("服务器")
                footer: qsTr("命令以你的账户权限运行，能读写你能读写的一切；HTTP 服务器会收到模型给的参数。只添加你信任的服务器。")
                headerItems: [
                    Button {
                        objectName: "reconnectButton"
                        text: qsTr("重新连接")
                        flat: true
                        enabled: view.server.enabled === true
                        font.pixelSize: Theme.footnote
                        topPadding: 2
                        bottomPadding: 2
                        palette.buttonText: Theme.accent
                        onClicked: toolServers.reconnect(view.serverName)
                    }
                ]

                Label {
                    objectName: "serverStatus"
                    Layout.fillWidth: true
                    text: view.server.statusText ?? ""
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.footnote
                    color: view.server.status === 4 ? Theme.destructive : Theme.secondaryLabel
                }
                CheckBox {
                    objectName: "serverEnabledBox"
                    Layout.leftMargin: 80 + Theme.spacingL - leftPadding
                    text: qsTr("启用")
                    font.pixelSize: Theme.callout
                    checked: view.server.enabled === true
                    onToggled: view.editServer("enabled", checked)
                }
                FieldRow {
                    title: qsTr("名称")
                    inputName: "serverNameField"
                    text: view.server.name ?? ""
                    onCommitted: if (text !== view.serverName)
                                     view.editServer("name", text)
                }
                RowLayout {
                    Layout.leftMargin: 80 + Theme.spacingL
                    spacing: Theme.spacingL

                    RadioButton {
                        objectName: "commandKind"
                        text: qsTr("命令")
                        checked: view.server.http !== true
                        onToggled: if (checked)
                                       view.editServer("http", false)
                    }
                    RadioButton {
                        objectName: "httpKind"
                        text: "HTTP"
                        checked: view.server.http === true
                        onToggled: if (checked)
                                       view.editServer("http", true)
                    }
                }
                FieldRow {
                    visible: view.server.http !== true
                    title: qsTr("命令")
                    inputName: "commandField"
                    placeholder: "npx -y @modelcontextprotocol/server-everything"
                    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                    text: view.server.commandLine ?? ""
                    onCommitted: if (text !== view.server.commandLine)
                                     view.editServer("commandLine", text)
                }
                FieldRow {
                    visible: view.server.http !== true
                    title: qsTr("工作目录")
                    inputName: "cwdField"
                    placeholder: qsTr("主文件夹")
                    text: view.server.cwd ?? ""
                    onCommitted: if (text !== view.server.cwd)
                                     view.editServer("cwd", text)
                }
                TextBlock {
                    id: envBlock

                    property string typed

                    visible: view.server.http !== true
                    title: qsTr("环境变量（每行一个 名称=值）")
                    inputName: "envField"
                    placeholder: "API_KEY=…"
                    keepWhileEditing: true
                    value: view.server.env ?? ""
                    onEdited: text => typed = text
                    onEditingChanged: if (!editing && typed !== value)
                                          view.editServer("env", typed)
                    onValueChanged: typed = value
                }
                FieldRow {
                    visible: view.server.http === true
                    title: qsTr("地址")
                    inputName: "urlField"
                    placeholder: "https://example.com/mcp"
                    inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                    text: view.server.url ?? ""
                    onCommitted: if (text !== view.server.url)
                                     view.editServer("url", text)
                }
                TextBlock {
                    property string typed

                    visible: view.server.http === true
                    title: qsTr("请求头（每行一个 名称: 值）")
                    inputName: "headersField"
                    placeholder: "Authorization: Bearer …"
                    keepWhileEditing: true
                    value: view.server.headers ?? ""
                    onEdited: text => typed = text
                    onEditingChanged: if (!editing && typed !== value)
                                          view.editServer("headers", typed)
                    onValueChanged: typed = value
                }
                Label {
                    objectName: "serverError"
                    visible: view.serverError !== ""
                    Layout.fillWidth: true
                    text: view.serverError
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.footnote
                    color: Theme.destructive
                }
            }

            Section {
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                header: qsTr("调用前")
                footer: qsTr("“本对话内都允许”只在本次运行中有效。")

                ComboBox {
                    objectName: "approvalBox"
                    Layout.fillWidth: true
                    model: [qsTr("每次都问我"), qsTr("每个工具问一次"), qsTr("直接运行，不问")]
                    currentIndex: view.server.approval ?? 0
                    onActivated: index => view.editServer("approval", index)
                }
            }

            Section {
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                header: qsTr("工具（%1）").arg(view.serverTools.length)
                footer: view.serverTools.length > 0 ? qsTr("关掉的工具不会提供给模型。") : ""

                Label {
                    visible: view.serverTools.length === 0
                    Layout.fillWidth: true
                    text: view.server.status === 3 ? qsTr("这个服务器没有工具。")
                                                   : qsTr("连接后在这里列出工具。")
                    textFormat: Text.PlainText
                    font.pixelSize: Theme.footnote
                    color: Theme.secondaryLabel
                }
                Repeater {
                    model: view.serverTools
                    delegate: RowLayout {
                        required property var modelData

                        Layout.fillWidth: true
                        spacing: 6

                        CheckBox {
                            Layout.alignment: Qt.AlignTop
                            checked: modelData.enabled
                            onToggled: toolServers.setToolEnabled(view.serverName, modelData.name, checked)
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 1

                            Label {
                                Layout.fillWidth: true
                                text: modelData.name
                                textFormat: Text.PlainText
                                font.family: Theme.monoFont
                                elide: Text.ElideRight
                            }
                            Label {
                                visible: text !== ""
                                Layout.fillWidth: true
                                text: modelData.description
                                textFormat: Text.PlainText
                                wrapMode: Text.Wrap
                                maximumLineCount: 3
                                elide: Text.ElideRight
                                font.pixelSize: Theme.footnote
                                color: Theme.secondaryLabel
                            }
                        }
                    }
                }
            }

            Section {
                visible: (view.server.log ?? "") !== ""
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                Layout.bottomMargin: 12
                header: qsTr("日志")

                TextArea {
                    objectName: "serverLog"
                    Layout.fillWidth: true
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    text: view.server.log ?? ""
                    font.family: Theme.monoFont
                    font.pixelSize: Theme.footnote
                    color: Theme.secondaryLabel
                    background: null
                }
            }
        }
    }

    /// New conversations start on the chosen gateway.
    readonly property bool isDefault: gatewayList.currentItem ? gatewayList.currentItem.isDefault : true
    // The fields' captions share a column as wide as the widest of them, in either language.
    readonly property real captionWidth: Math.max(80, nameRow.captionWidth, urlRow.captionWidth,
                                                  keyRow.captionWidth, modelRow.captionWidth)

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // The gateways.
            ColumnLayout {
                Layout.fillWidth: false
                Layout.preferredWidth: 176
                Layout.maximumWidth: 176
                Layout.fillHeight: true
                Layout.topMargin: Theme.spacingL
                Layout.bottomMargin: Theme.spacingM
                spacing: Theme.spacingXS

                Label {
                    Layout.leftMargin: 14
                    text: qsTr("网关")
                    textFormat: Text.PlainText
                    font.weight: Font.DemiBold
                    color: Theme.secondaryLabel
                }
                ListView {
                    id: gatewayList

                    objectName: "gatewayList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.leftMargin: 6
                    Layout.rightMargin: 6
                    clip: true
                    model: gateways
                    boundsBehavior: Flickable.StopAtBounds
                    keyNavigationEnabled: true
                    ScrollBar.vertical: ScrollBar {}
                    onCurrentItemChanged: if (currentItem)
                                              view.gatewayId = currentItem.gatewayId
                    delegate: ItemDelegate {
                        id: gatewayRow

                        required property int index
                        required property string gatewayId
                        required property string name
                        required property bool isDefault
                        required property bool isFirst

                        width: ListView.view.width
                        highlighted: ListView.isCurrentItem && view.serverName === ""
                        topPadding: 6
                        bottomPadding: 6
                        onClicked: {
                            view.selectServer("")
                            ListView.view.currentIndex = index
                            ListView.view.forceActiveFocus()
                        }
                        background: Rectangle {
                            radius: Theme.rowRadius
                            color: gatewayRow.highlighted ? Theme.accent
                                 : gatewayRow.hovered ? Theme.hoverFill : "transparent"
                        }
                        contentItem: RowLayout {
                            spacing: 4

                            Label {
                                Layout.fillWidth: true
                                text: gatewayRow.name
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                color: gatewayRow.highlighted ? Theme.accentText : Theme.label
                            }
                            Label {
                                visible: gatewayRow.isDefault && gatewayList.count > 1
                                text: qsTr("默认")
                                font.pixelSize: Theme.caption
                                color: gatewayRow.highlighted ? Theme.accentText : Theme.secondaryLabel
                            }
                        }
                    }
                }
                RowLayout {
                    Layout.leftMargin: 6
                    Layout.rightMargin: 6
                    spacing: 2

                    ToolButton {
                        id: addButton

                        objectName: "addGatewayButton"
                        text: "+"
                        font.pixelSize: Theme.title
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("添加网关")
                        ToolTip.delay: 600
                        onClicked: {
                            gateways.detectLocalServers()
                            presetMenu.popup(addButton, 0, addButton.height)
                        }
                    }
                    ToolButton {
                        objectName: "removeGatewayButton"
                        text: "−"
                        font.pixelSize: Theme.title
                        enabled: !form.firstGateway
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("删除网关")
                        ToolTip.delay: 600
                        onClicked: view.askToRemove()
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                    ToolButton {
                        objectName: "moveGatewayUpButton"
                        text: "↑"
                        enabled: !form.firstGateway && gatewayList.currentIndex > 1
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("上移")
                        ToolTip.delay: 600
                        onClicked: gateways.move(view.gatewayId, -1)
                    }
                    ToolButton {
                        objectName: "moveGatewayDownButton"
                        text: "↓"
                        enabled: !form.firstGateway && gatewayList.currentIndex < gatewayList.count - 1
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("下移")
                        ToolTip.delay: 600
                        onClicked: gateways.move(view.gatewayId, 1)
                    }
                }

                // The tool servers.
                Label {
                    Layout.leftMargin: 14
                    Layout.topMargin: Theme.spacingM
                    text: qsTr("工具")
                    textFormat: Text.PlainText
                    font.weight: Font.DemiBold
                    color: Theme.secondaryLabel
                }
                ListView {
                    id: serverList

                    objectName: "serverList"
                    Layout.fillWidth: true
                    Layout.preferredHeight: Math.min(contentHeight, 5 * 32)
                    Layout.leftMargin: 6
                    Layout.rightMargin: 6
                    clip: true
                    model: toolServers
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar {}
                    delegate: ItemDelegate {
                        id: serverRow

                        required property string name
                        required property int status
                        required property string statusText

                        width: ListView.view.width
                        highlighted: view.serverName === name
                        topPadding: 6
                        bottomPadding: 6
                        onClicked: view.selectServer(name)
                        ToolTip.visible: hovered
                        ToolTip.text: statusText
                        ToolTip.delay: 600
                        background: Rectangle {
                            radius: Theme.rowRadius
                            color: serverRow.highlighted ? Theme.accent
                                 : serverRow.hovered ? Theme.hoverFill : "transparent"
                        }
                        contentItem: RowLayout {
                            spacing: 6

                            // Off grey, idle or starting amber, connected green, failed red.
                            Rectangle {
                                implicitWidth: 8
                                implicitHeight: 8
                                radius: 4
                                color: serverRow.status === 0 ? Theme.tertiaryLabel
                                     : serverRow.status === 3 ? "#34c759"
                                     : serverRow.status === 4 ? Theme.destructive : "#ff9f0a"
                            }
                            Label {
                                Layout.fillWidth: true
                                text: serverRow.name
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                color: serverRow.highlighted ? Theme.accentText : Theme.label
                            }
                        }
                    }
                }
                Label {
                    visible: serverList.count === 0
                    Layout.fillWidth: true
                    Layout.leftMargin: 14
                    Layout.rightMargin: 8
                    text: qsTr("让模型调用 MCP 服务器的工具：读文件、搜索、查数据库…")
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.footnote
                    color: Theme.tertiaryLabel
                }
                RowLayout {
                    Layout.leftMargin: 6
                    Layout.rightMargin: 6
                    spacing: 2

                    ToolButton {
                        id: addServerButton

                        objectName: "addServerButton"
                        text: "+"
                        font.pixelSize: Theme.title
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("添加工具服务器")
                        ToolTip.delay: 600
                        onClicked: serverMenu.popup(addServerButton, 0, addServerButton.height)
                    }
                    ToolButton {
                        objectName: "removeServerButton"
                        text: "−"
                        font.pixelSize: Theme.title
                        enabled: view.serverName !== ""
                        ToolTip.visible: hovered
                        ToolTip.text: qsTr("删除工具服务器")
                        ToolTip.delay: 600
                        onClicked: removeServerDialog.open()
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }
            }

            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.separator
            }

            ToolServerPane {
                visible: view.serverName !== ""
            }

            ScrollView {
                id: detailScroller

                objectName: "detailScroller"
                visible: view.serverName === ""
                Layout.fillWidth: true
                Layout.fillHeight: true
                contentWidth: availableWidth
                contentHeight: details.implicitHeight
                clip: true

            ColumnLayout {
                id: details

                width: detailScroller.availableWidth
                spacing: Theme.spacingXL

                Item {
                    implicitHeight: 2
                }

                Section {
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    header: qsTr("接口")
                    headerItems: [
                        Label {
                            objectName: "defaultGatewayLabel"
                            visible: gatewayList.count > 1 && view.isDefault
                            anchors.verticalCenter: parent.verticalCenter
                            text: qsTr("新对话默认使用")
                            font.pixelSize: Theme.footnote
                            color: Theme.secondaryLabel
                        },
                        Button {
                            objectName: "setDefaultGatewayButton"
                            visible: !view.isDefault
                            text: qsTr("设为默认")
                            flat: true
                            font.pixelSize: Theme.footnote
                            topPadding: 2
                            bottomPadding: 2
                            palette.buttonText: Theme.accent
                            onClicked: gateways.setDefault(view.gatewayId)
                        },
                        Button {
                            objectName: "testConnectionButton"
                            text: qsTr("测试连接")
                            flat: true
                            enabled: !catalog.testing
                            font.pixelSize: Theme.footnote
                            topPadding: 2
                            bottomPadding: 2
                            palette.buttonText: Theme.accent
                            onClicked: {
                                form.flush()
                                catalog.testConnection()
                            }
                        }
                    ]

                    FieldRow {
                        id: nameRow
                        title: qsTr("名称")
                        inputName: "nameField"
                        placeholder: form.namePlaceholder
                        text: form.name
                        onEdited: form.name = text
                    }
                    FieldRow {
                        id: urlRow
                        title: qsTr("API 地址")
                        inputName: "baseURLField"
                        placeholder: form.defaultBaseURL
                        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                        text: form.baseURL
                        onEdited: form.baseURL = text
                    }
                    FieldRow {
                        id: keyRow
                        title: qsTr("API Key")
                        inputName: "apiKeyField"
                        placeholder: form.noKey ? qsTr("本机服务，不需要") : "sk-..."
                        echoMode: TextInput.Password
                        inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                        text: form.apiKey
                        onEdited: form.apiKey = text
                    }
                    CheckBox {
                        objectName: "noKeyBox"
                        visible: !form.firstGateway
                        Layout.leftMargin: view.captionWidth + Theme.spacingL - leftPadding
                        text: qsTr("不需要 API Key（本机服务）")
                        font.pixelSize: Theme.callout
                        checked: form.noKey
                        onToggled: form.noKey = checked
                    }
                    FieldRow {
                        id: modelRow
                        visible: form.firstGateway
                        title: qsTr("默认模型")
                        inputName: "modelField"
                        placeholder: "gpt-4o-mini"
                        inputMethodHints: Qt.ImhNoAutoUppercase
                        text: form.model
                        onEdited: form.model = text
                    }
        
                    // The outcome of "测试连接".
                    ColumnLayout {
                        objectName: "testResult"
                        visible: catalog.testing || catalog.testOutcome !== ""
                        Layout.fillWidth: true
                        spacing: 2

                        Label {
                            objectName: "testMessage"
                            Layout.fillWidth: true
                            text: catalog.testing ? qsTr("正在连接…") : catalog.testMessage
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            font.pixelSize: Theme.footnote
                            color: catalog.testOutcome === "failed" ? Theme.destructive : Theme.secondaryLabel
                        }
                        Label {
                            visible: text !== ""
                            Layout.fillWidth: true
                            text: catalog.testing ? "" : catalog.testAdvice
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            font.pixelSize: Theme.footnote
                            color: Theme.secondaryLabel
                        }
                    }
                }

                Section {
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    header: form.firstGateway ? qsTr("更多模型") : qsTr("模型")
                    footer: form.firstGateway ? qsTr("填了之后，聊天输入框上方会出现模型切换按钮。")
                                              : qsTr("第一个是这个网关上新对话的默认模型。")
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

                        Label {
                            objectName: "defaultMissing"
                            visible: catalog.defaultMissing
                            Layout.fillWidth: true
                            text: catalog.defaultModel === ""
                                  ? qsTr("还没有默认模型：在列表里选一个「设为默认」。")
                                  : qsTr("默认模型「%1」不在服务器的列表里，可以在列表里另选一个「设为默认」。")
                                    .arg(catalog.defaultModel)
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            font.pixelSize: Theme.footnote
                            color: Theme.destructive
                        }

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
                                id: modelRow

                                required property int index
                                required property string modelId
                                required property bool chosen
                                required property bool listed

                                width: ListView.view.width
                                rightPadding: setDefaultButton.visible ? setDefaultButton.width + 4 : 0
                                // The catalog owns the state: a click asks it to change.
                                checkable: false
                                checkState: chosen ? Qt.Checked : Qt.Unchecked
                                enabled: !listed
                                text: listed ? qsTr("%1（已在列表中）").arg(modelId) : modelId
                                font.pixelSize: Theme.callout
                                topPadding: 2
                                bottomPadding: 2
                                onClicked: catalog.toggle(index)

                                // Offered while the gateway's default is not among the models listed.
                                Button {
                                    id: setDefaultButton

                                    objectName: "setDefaultModelButton"
                                    visible: catalog.defaultMissing && (modelRow.hovered || modelRow.activeFocus)
                                    anchors.right: parent.right
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: qsTr("设为默认")
                                    flat: true
                                    font.pixelSize: Theme.footnote
                                    topPadding: 0
                                    bottomPadding: 0
                                    palette.buttonText: Theme.accent
                                    onClicked: catalog.setDefaultModel(modelRow.index)
                                }
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
                    footer: gatewayList.count > 1 ? qsTr("所有网关共用。") : ""

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
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.spacingM
            Layout.leftMargin: 14
            Layout.rightMargin: 14

            Label {
                Layout.fillWidth: true
                text: qsTr("改动会立即保存。")
                textFormat: Text.PlainText
                font.pixelSize: Theme.footnote
                color: Theme.tertiaryLabel
            }
            Button {
                objectName: "doneButton"
                text: qsTr("完成")
                highlighted: true
                onClicked: view.done()
            }
        }
    }

    Menu {
        id: presetMenu

        objectName: "presetMenu"

        Instantiator {
            model: gateways.presets
            delegate: MenuItem {
                required property int index
                required property var modelData

                objectName: "preset" + index
                text: modelData.detected ? qsTr("%1（本机已检测到）").arg(modelData.name)
                                         : modelData.name
                onTriggered: {
                    const id = gateways.add(index)
                    if (id !== "")
                        view.selectGateway(id)
                }
            }
            onObjectAdded: (index, object) => presetMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => presetMenu.removeItem(object)
        }
    }

    function askToRemove() {
        const uses = gateways.conversationsUsing(view.gatewayId)
        if (uses === 0) {
            gateways.remove(view.gatewayId)
            return
        }
        removeDialog.uses = uses
        removeDialog.open()
    }

    Dialog {
        id: removeDialog

        property int uses

        objectName: "removeGatewayDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 380
        modal: true
        title: qsTr("删除网关「%1」？").arg(gatewayList.currentItem ? gatewayList.currentItem.name : "")
        onAccepted: gateways.remove(view.gatewayId)

        Label {
            objectName: "removeGatewayText"
            width: parent.width
            text: qsTr("有 %n 个对话在用这个网关。它们会留着原来的模型名，发送前需要换一个模型。", "", removeDialog.uses)
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
        }

        footer: RowLayout {
            spacing: 8

            Item {
                Layout.fillWidth: true
            }
            Button {
                objectName: "removeGatewayCancel"
                Layout.bottomMargin: 12
                text: qsTr("取消")
                onClicked: removeDialog.reject()
            }
            Button {
                objectName: "removeGatewayConfirm"
                Layout.bottomMargin: 12
                Layout.rightMargin: 12
                text: qsTr("删除")
                onClicked: removeDialog.accept()
            }
        }
    }

    Menu {
        id: serverMenu

        objectName: "serverMenu"

        MenuItem {
            objectName: "addCommandServer"
            text: qsTr("用命令启动的服务器")
            onTriggered: view.selectServer(toolServers.add(false))
        }
        MenuItem {
            objectName: "addHttpServer"
            text: qsTr("HTTP 服务器")
            onTriggered: view.selectServer(toolServers.add(true))
        }
        MenuSeparator {}
        MenuItem {
            objectName: "importServers"
            text: qsTr("导入 JSON…")
            onTriggered: {
                importDialog.error = ""
                importField.text = ""
                importDialog.open()
            }
        }
    }

    Dialog {
        id: importDialog

        property string error

        objectName: "importDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(520, view.width - 40)
        modal: true
        title: qsTr("导入 JSON")
        onOpened: importField.forceActiveFocus()

        ColumnLayout {
            anchors.fill: parent
            spacing: Theme.spacingS

            Label {
                Layout.fillWidth: true
                text: qsTr("粘贴服务器说明里的配置，例如 {\"mcpServers\": {…}}。同名的服务器会被替换。")
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: Theme.footnote
                color: Theme.secondaryLabel
            }
            ScrollView {
                Layout.fillWidth: true
                Layout.preferredHeight: 180
                background: FieldFrame {
                    focused: importField.activeFocus
                }

                TextArea {
                    id: importField

                    objectName: "importField"
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    selectByMouse: true
                    font.family: Theme.monoFont
                    placeholderText: '{"mcpServers": {"everything": {"command": "npx", "args": ["-y", "@modelcontextprotocol/server-everything"]}}}'

                    TextMenuHandler {}
                }
            }
            Label {
                objectName: "importError"
                visible: importDialog.error !== ""
                Layout.fillWidth: true
                text: importDialog.error
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: Theme.footnote
                color: Theme.destructive
            }
        }

        footer: RowLayout {
            spacing: 8

            Item {
                Layout.fillWidth: true
            }
            Button {
                Layout.bottomMargin: 12
                text: qsTr("取消")
                onClicked: importDialog.reject()
            }
            Button {
                objectName: "importConfirm"
                Layout.bottomMargin: 12
                Layout.rightMargin: 12
                text: qsTr("导入")
                highlighted: true
                enabled: importField.text.trim() !== ""
                onClicked: {
                    importDialog.error = toolServers.importJson(importField.text)
                    if (importDialog.error === "")
                        importDialog.accept()
                }
            }
        }
    }

    Dialog {
        id: removeServerDialog

        objectName: "removeServerDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 380
        modal: true
        title: qsTr("删除工具服务器「%1」？").arg(view.serverName)
        onAccepted: {
            toolServers.remove(view.serverName)
            view.selectServer("")
        }

        Label {
            width: parent.width
            text: qsTr("模型将不能再调用它的工具。")
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
        }

        footer: RowLayout {
            spacing: 8

            Item {
                Layout.fillWidth: true
            }
            Button {
                Layout.bottomMargin: 12
                text: qsTr("取消")
                onClicked: removeServerDialog.reject()
            }
            Button {
                objectName: "removeServerConfirm"
                Layout.bottomMargin: 12
                Layout.rightMargin: 12
                text: qsTr("删除")
                onClicked: removeServerDialog.accept()
            }
        }
    }
}
