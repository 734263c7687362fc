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
    /// Something the window's notice should say.
    signal noticeRequested(string message)

    /// The lowest a notice of the window may reach, in the pane's coordinates: above the
    /// composer and the message list's "↓" button.
    readonly property real noticeBottom: messageList.y + messageList.height - messageList.noticeRoom

    /// The reading column: at most 760 wide, centred in the pane.
    readonly property real columnWidth: Math.min(760, width)

    objectName: "chatView"
    color: Theme.textBackground

    ChatController {
        id: ctl
        store: Store
        conversationID: root.conversationID
        toolHost: ToolHub
    }

    Connections {
        target: ctl.attachments
        function onRefused(message) {
            root.noticeRequested(message)
        }
    }
    Connections {
        target: ctl
        function onNotice(message) {
            root.noticeRequested(message)
        }
    }

    // Files dropped anywhere on the pane go with the next message.
    DropArea {
        objectName: "attachDropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: drop => {
            if (drop.hasUrls && !ctl.sending) {
                ctl.attachments.addUrls(drop.urls)
                drop.accept(Qt.CopyAction)
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ChatHeader {
            Layout.fillWidth: true
            controller: ctl
            onSettingsRequested: root.settingsRequested()
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }

        MessageList {
            id: messageList
            Layout.fillWidth: true
            Layout.fillHeight: true
            controller: ctl
            matchQuery: root.matchQuery
            columnWidth: root.columnWidth
            onSettingsRequested: root.settingsRequested()
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }

        Composer {
            id: composer
            Layout.fillWidth: true
            controller: ctl
            columnWidth: root.columnWidth
        }
    }

    // The error alert: made when there is first an error to show, and shown while there is.
    LazyObject {
        id: alert
        owner: root

        Dialog {
            id: alertDialog
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
                    Keys.onReturnPressed: alertDialog.accept()
                    Keys.onEnterPressed: alertDialog.accept()
                }
            }
            onClosed: {
                ctl.showError = false
                ctl.inputFocused = true
                composer.focusInput()
            }
        }
    }

    Connections {
        target: ctl
        function onShowErrorChanged() {
            if (ctl.showError)
                alert.get()
        }
    }

    // The list opens where it should; the composer has the keyboard focus when the pane
    // appears.
    Component.onCompleted: {
        messageList.open()
        ctl.inputFocused = true
        composer.focusInput()
    }
}
