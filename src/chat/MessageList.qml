// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The messages of the chat pane, with the "↓" button back to the end, or the placeholder while
// the conversation has no message. Where the list stands (at the end, on a search match, where
// the user scrolled) is its ListFollower's to decide.
Item {
    id: root

    required property ChatController controller
    /// The search whose matches are marked, and whose first match the list opens at.
    required property string matchQuery
    /// The reading column's width.
    required property real columnWidth

    /// How far up from the list's bottom edge notices may sit: above the "↓" button while it
    /// shows.
    readonly property real noticeRoom: endButton.visible ? endButton.anchors.bottomMargin
                                                           + endButton.height + 8 : 12

    /// The user asked for the Settings window (the placeholder's link).
    signal settingsRequested

    /// Shows where a conversation opens: the first match of the search it was opened from, or
    /// the end (once the list has a height: positioned while it has none, the list builds every
    /// row of a long conversation on the way). For the pane, once it is complete.
    function open() {
        if (!showMatch() && list.height > 0)
            follower.scrollToEnd()
    }

    /// Brings the first match of matchQuery into view; false when no message has one.
    function showMatch() {
        // Also asked while the pane is being made, before the controller has its messages.
        const messages = controller ? controller.messages : null
        if (matchQuery === "" || !messages)
            return false
        const target = messages.findMatch(matchQuery)
        return follower.showMatch(target.row, target.block)
    }

    // Opened again from the search with another query.
    onMatchQueryChanged: if (matchQuery !== "")
                             showMatch()

    ListView {
        id: list
        objectName: "messageList"

        readonly property real rowWidth: root.columnWidth - 40

        anchors.fill: parent
        visible: count > 0
        clip: true
        model: root.controller.messages
        reuseItems: true
        // Rows are built only near the visible area; a bounded margin keeps scrolling smooth.
        cacheBuffer: 600
        spacing: Theme.spacingXXL
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
            onPressedChanged: follower.scrollBarPressed(pressed)
        }

        delegate: MessageRow {
            id: row

            // The model's roles, under names of their own: the row's properties of the same
            // meaning are not required, so the row can be made without a model.
            required property var model

            width: list.rowWidth
            messages: list.model
            x: Math.round((list.width - width) / 2)
            viewTop: list.contentY - y
            viewBottom: list.contentY + list.height - y
            editText: root.controller.editText
            matchQuery: root.matchQuery
            onEditTextEdited: text => root.controller.editText = text
            onStartEdit: root.controller.startEdit(messageID)
            onCancelEdit: root.controller.cancelEdit()
            onSubmitEdit: root.controller.submitEdit(messageID)
            onRegenerate: root.controller.regenerate()
            onRegenerateWithoutImages: root.controller.regenerateWithoutImages()
            failure: model.failure
            usage: model.usage
            attachments: model.attachments
            editRemovedFiles: root.controller.editRemovedFiles
            onRemoveEditFile: index => root.controller.removeEditFile(index)
            toolCalls: model.toolCalls
            onAllowCall: id => root.controller.allowCall(id)
            onAllowConversation: id => root.controller.allowConversation(id)
            onDenyCall: id => root.controller.denyCall(id)
            onTurnToolsOff: {
                root.controller.toolsEnabled = false
                root.controller.regenerate()
            }
            onOpenAttachment: (file, name) => root.controller.openAttachment(file, name)
            canRetry: !root.controller.sending
            onOpenSettings: root.settingsRequested()
            onContentShifted: dy => follower.contentShifted(dy)
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
        // Escape leaves an inline edit, or else stops a streaming reply.
        Keys.onPressed: event => {
            if (event.key === Qt.Key_Escape && root.controller.editingID !== "")
                root.controller.cancelEdit()
            else if (event.key === Qt.Key_Escape && root.controller.sending)
                root.controller.stop()
            else
                event.accepted = follower.scrollByKey(event.key)
        }

        ListFollower {
            id: follower
            objectName: "listFollower"
            view: list
        }
    }

    RoundButton {
        id: endButton
        objectName: "scrollToEndButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        visible: follower.awayFromEnd
        text: qsTr("滚动到最新消息")
        Accessible.name: text
        display: AbstractButton.IconOnly
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 600
        ToolTip.text: text
        onClicked: follower.scrollToEnd()
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
            text: root.controller.keyMissing ? qsTr("先到「设置」填好 API 地址、Key 和模型")
                                             : qsTr("当前模型：%1").arg(root.controller.effectiveModel)
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: Theme.callout
            color: Theme.secondaryLabel
        }
        Button {
            objectName: "openSettingsLink"
            Layout.alignment: Qt.AlignHCenter
            visible: root.controller.keyMissing
            text: qsTr("打开设置")
            onClicked: root.settingsRequested()
        }
    }
}
