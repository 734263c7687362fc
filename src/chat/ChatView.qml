// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The pane of one conversation: a header with the title and model, the message list (or the
// placeholder while there is none), and the composer with the model picker. Every action goes
// to the pane's ChatController.
Rectangle {
    id: root

    required property string conversationID
    /// The conversation's title, for the window title.
    readonly property string title: ctl.title
    /// The controller, for the window and for tests.
    readonly property alias controller: ctl

    /// The search the pane was opened from: its matches are marked, and the pane opens at the
    /// first one rather than at the end. Empty: a plain pane.
    property string matchQuery

    /// The user asked for the Settings window (header button, placeholder link).
    signal settingsRequested

    /// The reading column: at most 760 wide, centred in the pane.
    readonly property real columnWidth: Math.min(760, width)

    /// The error alert; made when there is first an error to show, and shown while there is.
    property Dialog alert: null

    objectName: "chatView"
    color: Theme.textBackground

    ChatController {
        id: ctl
        store: Store
        conversationID: root.conversationID
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header: title with the model beneath it, and the settings button.
        Item {
            Layout.fillWidth: true
            implicitHeight: 52

            Column {
                anchors.left: parent.left
                anchors.leftMargin: 18
                anchors.right: settingsButton.left
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                spacing: Theme.headerLineSpacing

                Text {
                    objectName: "headerTitle"
                    width: parent.width
                    text: ctl.title
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: Theme.title3
                    font.weight: Font.DemiBold
                    color: Theme.label
                }
                Text {
                    objectName: "headerModel"
                    width: parent.width
                    text: ctl.effectiveModel
                    textFormat: Text.PlainText
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                    font.pixelSize: Theme.footnote
                    color: Theme.secondaryLabel
                }
            }

            ToolButton {
                id: settingsButton
                objectName: "settingsButton"
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("设置")
                Accessible.name: text
                display: AbstractButton.IconOnly
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: qsTr("设置")
                onClicked: root.settingsRequested()
                contentItem: Icon {
                    glyph: Theme.iconSettings
                    size: 18
                    color: Theme.secondaryLabel
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }

        // The message list, or the placeholder while the conversation has no message.
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                objectName: "messageList"

                /// Whether the view keeps to its end as the reply grows and rows finish their
                /// layout. Scrolling away from the end clears it, so a long reply can be read
                /// while it streams; scrolling back to the end, the "↓" button and every new
                /// message set it again.
                property bool followEnd: true
                readonly property real rowWidth: root.columnWidth - 40

                /// The first match of the search, {row, block}, while the view keeps it in
                /// sight: rows laid out on the way move it. The user's scrolling ends this.
                property var matchTarget: null

                function scrollToEnd() {
                    matchTarget = null
                    followEnd = true
                    // From far above, the end alone is placed by estimated row heights; the last
                    // row first makes the rows near the end real.
                    cancelFlick()
                    positionViewAtIndex(count - 1, ListView.End)
                    positionViewAtEnd()
                }

                /// Brings the first match of matchQuery into view; false when no message has one.
                function showMatch() {
                    const target = ctl.messages.findMatch(root.matchQuery)
                    if (target.row < 0)
                        return false
                    followEnd = false
                    matchTarget = target
                    settle.restart()
                    placeMatch()
                    return true
                }
                // The match's block near the top, with a little of what comes before it.
                function placeMatch() {
                    if (!matchTarget || height <= 0)
                        return
                    cancelFlick()
                    let row = itemAtIndex(matchTarget.row)
                    if (!row) {
                        positionViewAtIndex(matchTarget.row, ListView.Beginning)
                        row = itemAtIndex(matchTarget.row)
                    }
                    if (!row)
                        return
                    // Placed first by the block's estimated top; once its view is made there,
                    // by the match itself.
                    for (let pass = 0; pass < 2; ++pass) {
                        const top = row.y + row.blockTop(matchTarget.block) - 48
                        contentY = Math.max(originY, Math.min(top, originY + contentHeight - height))
                        row.layoutBlocks()
                    }
                }

                anchors.fill: parent
                visible: count > 0
                clip: true
                model: ctl.messages
                reuseItems: true
                // Rows are built only near the visible area; a bounded margin keeps scrolling smooth.
                cacheBuffer: 600
                spacing: Theme.spacingXXL
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {
                    policy: ScrollBar.AsNeeded
                    // Dragging the bar is the user's scroll too.
                    onPressedChanged: {
                        list.matchTarget = null
                        list.followEnd = !pressed && list.atYEnd
                    }
                }

                delegate: MessageRow {
                    id: row
                    width: list.rowWidth
                    messages: list.model
                    x: Math.round((list.width - width) / 2)
                    viewTop: list.contentY - y
                    viewBottom: list.contentY + list.height - y
                    editText: ctl.editText
                    matchQuery: root.matchQuery
                    onEditTextEdited: text => ctl.editText = text
                    onStartEdit: ctl.startEdit(messageID)
                    onCancelEdit: ctl.cancelEdit()
                    onSubmitEdit: ctl.submitEdit(messageID)
                    onRegenerate: ctl.regenerate()
                    // Blocks above the part read were laid out and moved it: the view follows,
                    // unless it keeps to the end or to a match, which place it again anyway.
                    onContentShifted: dy => {
                        if (!list.followEnd && !list.matchTarget)
                            list.contentY += dy
                    }
                }

                // The list's padding is in its header and footer rather than in margins, which
                // positionViewAtEnd() would leave out of sight.
                header: Item {
                    width: list.width
                    height: 20
                }
                // The end marker the view keeps in sight, and the padding under it.
                footer: Item {
                    width: list.width
                    height: 21

                    Item {
                        objectName: "endMarker"
                        width: parent.width
                        height: 1
                    }
                }

                // From the keyboard too: Tab reaches the list, the arrows and page keys scroll it.
                activeFocusOnTab: true
                Keys.onPressed: event => {
                    const step = event.key === Qt.Key_Up ? -60 : event.key === Qt.Key_Down ? 60
                               : event.key === Qt.Key_PageUp ? -0.9 * height
                               : event.key === Qt.Key_PageDown ? 0.9 * height : 0
                    if (event.key === Qt.Key_End) {
                        scrollToEnd()
                    } else if (event.key === Qt.Key_Home) {
                        followEnd = false
                        positionViewAtBeginning()
                    } else if (step !== 0) {
                        contentY = Math.max(originY, Math.min(contentY + step,
                                                              originY + contentHeight - height))
                        followEnd = atYEnd
                    } else {
                        return
                    }
                    matchTarget = null
                    event.accepted = true
                }
                onMovementStarted: {
                    matchTarget = null
                    followEnd = false
                }
                onMovementEnded: if (atYEnd)
                                     followEnd = true
                // Not before the layout has given the list its height: positioned while it has
                // none, the list builds every row of a long conversation on the way.
                onContentHeightChanged: if (matchTarget)
                                            Qt.callLater(placeMatch)
                                        else if (followEnd && height > 0)
                                            positionViewAtEnd()
                onHeightChanged: if (matchTarget)
                                     placeMatch()
                                 else if (followEnd)
                                     positionViewAtEnd()
                // Rows built above the end replace estimated heights with real ones, which moves
                // the origin rather than the content height.
                onOriginYChanged: if (matchTarget)
                                      Qt.callLater(placeMatch)
                                  else if (followEnd && height > 0)
                                      positionViewAtEnd()
                // A row near the end that grows once its blocks are laid out leaves the end out
                // of sight without moving the origin or the content height the view last saw.
                onAtYEndChanged: if (followEnd && !atYEnd && !moving && height > 0)
                                     Qt.callLater(positionViewAtEnd)

                Connections {
                    target: ctl.messages
                    function onCountChanged() {
                        list.scrollToEnd()
                    }
                    function onLastContentChanged() {
                        if (list.followEnd)
                            list.positionViewAtEnd()
                    }
                }
                // A conversation opens at its end (once the list has a height, see above), or
                // at the first match of the search it was opened from.
                Component.onCompleted: if (!(root.matchQuery !== "" && showMatch()) && height > 0)
                                           scrollToEnd()

                // Rows settle within a few frames; after that the view is the user's.
                Timer {
                    id: settle
                    interval: 1000
                    onTriggered: list.matchTarget = null
                }
            }

            // Back to the end, shown while the user reads above it.
            RoundButton {
                objectName: "scrollToEndButton"
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 12
                visible: !list.followEnd && list.count > 0 && !list.atYEnd
                text: qsTr("滚动到最新消息")
                Accessible.name: text
                display: AbstractButton.IconOnly
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: text
                onClicked: list.scrollToEnd()
                contentItem: Icon {
                    glyph: Theme.iconScrollDown
                    size: 18
                    color: Theme.label
                }
                background: Rectangle {
                    implicitWidth: 34
                    implicitHeight: 34
                    radius: width / 2
                    color: Theme.textBackground
                    border.color: Theme.separator
                }
            }

            ColumnLayout {
                id: placeholder
                objectName: "placeholder"

                anchors.centerIn: parent
                width: Math.min(parent.width - 40, 520)
                visible: list.count === 0
                spacing: Theme.spacingL

                Icon {
                    Layout.alignment: Qt.AlignHCenter
                    glyph: Theme.iconBubbles
                    size: 36
                    color: Theme.tertiaryLabel
                }
                Text {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("开始对话")
                    font.pixelSize: Theme.title3
                    font.weight: Font.DemiBold
                    color: Theme.label
                }
                Text {
                    objectName: "placeholderHint"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.maximumWidth: placeholder.width
                    text: ctl.keyMissing ? qsTr("先到「设置」填好 API 地址、Key 和模型")
                                         : qsTr("当前模型：%1").arg(ctl.effectiveModel)
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    font.pixelSize: Theme.callout
                    color: Theme.secondaryLabel
                }
                Button {
                    objectName: "openSettingsLink"
                    Layout.alignment: Qt.AlignHCenter
                    visible: ctl.keyMissing
                    text: qsTr("打开设置")
                    onClicked: root.settingsRequested()
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }

        // Composer: the model picker above the input field and the send / stop button.
        Item {
            Layout.fillWidth: true
            implicitHeight: composer.implicitHeight + 24

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
                        text: ctl.effectiveModel
                        Accessible.name: qsTr("模型：%1").arg(ctl.effectiveModel)
                        focusPolicy: Qt.StrongFocus
                        hoverEnabled: true
                        leftPadding: 9
                        rightPadding: 9
                        topPadding: 4
                        bottomPadding: 4
                        /// The list of models, made when it is first opened.
                        property Menu menu: null

                        ToolTip.visible: hovered && !(menu && menu.visible)
                        ToolTip.delay: 600
                        ToolTip.text: qsTr("切换此对话使用的模型（在设置里维护模型列表）")
                        onClicked: {
                            if (!menu)
                                menu = modelMenuComponent.createObject(modelPicker)
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

                        Component {
                            id: modelMenuComponent

                            Menu {
                                id: modelMenu
                                objectName: "modelMenu"
                                y: -height - 4
                                // As wide as the longest name, within the column.
                                onAboutToShow: {
                                    let w = 0
                                    for (let i = 0; i < count; ++i)
                                        w = Math.max(w, itemAt(i).implicitWidth)
                                    width = Math.min(Math.max(w + leftPadding + rightPadding, 160),
                                                     composer.width)
                                }

                                Instantiator {
                                    model: ctl.modelOptions
                                    delegate: MenuItem {
                                        id: entry
                                        required property string modelData
                                        readonly property bool current: modelData === ctl.effectiveModel

                                        text: modelData
                                        onTriggered: ctl.setModel(modelData)
                                        contentItem: Row {
                                            spacing: Theme.spacingS
                                            Icon {
                                                objectName: "checkMark"
                                                anchors.verticalCenter: parent.verticalCenter
                                                glyph: Theme.iconCheck
                                                size: 14
                                                color: entry.highlighted ? entry.palette.highlightedText : entry.palette.text
                                                opacity: entry.current ? 1 : 0
                                            }
                                            Text {
                                                anchors.verticalCenter: parent.verticalCenter
                                                text: entry.text
                                                textFormat: Text.PlainText
                                                font: entry.font
                                                color: entry.highlighted ? entry.palette.highlightedText : entry.palette.text
                                            }
                                        }
                                    }
                                    onObjectAdded: (index, object) => modelMenu.insertItem(index, object)
                                    onObjectRemoved: (index, object) => modelMenu.removeItem(object)
                                }
                            }
                        }
                    }

                    Item {
                        Layout.fillWidth: true
                    }
                }

                RowLayout {
                    spacing: Theme.spacingL

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
                                enabled: !ctl.sending
                                background: null
                                text: ctl.input
                                onTextChanged: if (text !== ctl.input)
                                                   ctl.input = text
                                onActiveFocusChanged: if (!ctl.sending)
                                                          ctl.inputFocused = activeFocus
                                onInputMethodComposingChanged: {
                                    if (!inputMethodComposing) {
                                        justComposed = true
                                        Qt.callLater(() => input.justComposed = false)
                                    }
                                }

                                TextMenuHandler {}

                                Keys.onPressed: event => {
                                    if (event.key !== Qt.Key_Return && event.key !== Qt.Key_Enter)
                                        return
                                    if (inputMethodComposing || justComposed)
                                        return // the input method takes this Return
                                    event.accepted = true
                                    if (event.modifiers & (Qt.AltModifier | Qt.ShiftModifier))
                                        insertLineBreak()
                                    else
                                        ctl.send()
                                }
                            }
                        }
                    }

                    AbstractButton {
                        id: actionButton
                        objectName: ctl.sending ? "stopButton" : "sendButton"

                        Layout.alignment: Qt.AlignBottom
                        Layout.bottomMargin: 2
                        text: ctl.sending ? qsTr("停止生成") : qsTr("发送")
                        enabled: ctl.sending || ctl.canSend
                        Accessible.name: text
                        focusPolicy: Qt.StrongFocus
                        hoverEnabled: true
                        onClicked: ctl.sending ? ctl.stop() : ctl.send()

                        ToolTip {
                            objectName: "stopToolTip"
                            visible: actionButton.hovered
                            delay: 600
                            text: actionButton.text
                        }

                        contentItem: Icon {
                            glyph: ctl.sending ? Theme.iconStop : Theme.iconSend
                            size: 27
                            color: ctl.sending ? Theme.destructive
                                               : (ctl.canSend ? Theme.accent : Theme.secondaryLabel)
                            opacity: ctl.sending || ctl.canSend ? 1 : 0.5
                        }
                    }
                }
            }
        }
    }

    // Made when there is first an error to show.
    Component {
        id: alertComponent

        Dialog {
            id: alert
            objectName: "errorAlert"

            parent: Overlay.overlay
            anchors.centerIn: parent
            width: Math.min(380, root.width - 40)
            modal: true
            title: qsTr("出错了")
            visible: ctl.showError
            closePolicy: Popup.CloseOnEscape
            focus: true
            // The alert holds the keyboard while it is open: Return and Enter are its one
            // button, and nothing typed reaches the composer beneath it.
            onOpened: okButton.forceActiveFocus()

            Label {
                width: parent.width
                text: ctl.errorMessage
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
            }

            footer: DialogButtonBox {
                Button {
                    id: okButton
                    objectName: "errorOk"
                    text: qsTr("好")
                    DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
                    Keys.onReturnPressed: alert.accept()
                    Keys.onEnterPressed: alert.accept()
                }
            }
            onClosed: {
                ctl.showError = false
                ctl.inputFocused = true
                input.forceActiveFocus()
            }
        }
    }

    Connections {
        target: ctl
        function onShowErrorChanged() {
            if (ctl.showError && !root.alert)
                root.alert = alertComponent.createObject(root)
        }
        function onInputFocusedChanged() {
            if (ctl.inputFocused && !input.activeFocus && input.enabled)
                input.forceActiveFocus()
        }
        function onSendingChanged() {
            // The field was disabled while the reply streamed; give its focus back, unless the
            // reply's failure is being shown: the alert keeps it until it closes.
            if (!ctl.sending && ctl.inputFocused && !ctl.showError)
                input.forceActiveFocus()
        }
    }

    // Opened again from the search with another query.
    onMatchQueryChanged: if (matchQuery !== "")
                             list.showMatch()

    // The composer has the keyboard focus when the pane appears.
    Component.onCompleted: {
        ctl.inputFocused = true
        input.forceActiveFocus()
    }
}
