// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The conversation list. Its highlight and Store.selectedID follow each other; each row has a
// context menu (rename, delete); the toolbar button starts a new conversation.
Rectangle {
    id: sidebar

    required property SidebarModel conversations

    // The conversation whose rename dialog is open; empty while it is closed.
    property string renamingID: ""
    // The dialog's field. Kept between dialogs and overwritten when one opens.
    property string renameText: ""

    function startRename(id, title) {
        renameText = title
        renamingID = id
    }

    color: Theme.windowBackground
    onRenamingIDChanged: {
        if (renamingID !== "") {
            renameDialog.targetID = renamingID
            renameDialog.open()
        } else {
            renameDialog.close()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // As tall as the chat pane's header, so the two read as one bar.
        RowLayout {
            Layout.fillWidth: true
            Layout.preferredHeight: 52
            Layout.leftMargin: 6
            Layout.rightMargin: 6
            spacing: 0

            Item {
                Layout.fillWidth: true
            }
            ToolButton {
                objectName: "newConversationButton"
                contentItem: Icon {
                    glyph: Theme.iconCompose
                    size: 20
                    color: Theme.secondaryLabel
                }
                Accessible.name: qsTr("新建对话")
                ToolTip.text: qsTr("新建对话")
                ToolTip.visible: hovered
                ToolTip.delay: 600
                onClicked: Store.newConversation()
            }
        }

        ListView {
            id: list

            objectName: "conversationList"
            activeFocusOnTab: true
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: sidebar.conversations
            currentIndex: sidebar.conversations.selectedRow
            highlightMoveDuration: 0
            highlightFollowsCurrentItem: true
            // The highlight only ever follows the Store; the arrow keys select through it.
            keyNavigationEnabled: false
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            function selectRow(row) {
                const id = sidebar.conversations.idAt(row)
                if (id !== "")
                    Store.selectedID = id
            }
            Keys.onUpPressed: selectRow(Math.max(currentIndex - 1, 0))
            Keys.onDownPressed: selectRow(currentIndex + 1)

            delegate: ItemDelegate {
                id: row

                required property int index
                required property string id
                required property string title
                required property string displayTitle

                width: ListView.view.width
                highlighted: ListView.isCurrentItem
                leftPadding: 18
                rightPadding: 18
                topPadding: 7
                bottomPadding: 7
                text: displayTitle
                contentItem: Label {
                    text: row.displayTitle
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    wrapMode: Text.NoWrap
                    maximumLineCount: 1
                    verticalAlignment: Text.AlignVCenter
                    color: row.highlighted ? Theme.accentText : Theme.label
                }
                background: Rectangle {
                    anchors.fill: parent
                    anchors.leftMargin: 8
                    anchors.rightMargin: 8
                    anchors.topMargin: 1
                    anchors.bottomMargin: 1
                    radius: Theme.rowRadius
                    color: row.highlighted ? Theme.accent
                                           : row.hovered ? Theme.hoverFill : "transparent"
                    // Marks the row whose context menu is open.
                    border.width: rowMenu.opened && rowMenu.targetID === row.id ? 2 : 0
                    border.color: Theme.accent
                }
                onClicked: {
                    Store.selectedID = id
                    list.forceActiveFocus()
                }

                // Takes right presses away from the delegate: a right click opens the menu
                // without selecting the row.
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: {
                        rowMenu.targetID = row.id
                        rowMenu.targetTitle = row.title
                        rowMenu.popup()
                    }
                }
            }
        }
    }

    Menu {
        id: rowMenu

        objectName: "rowMenu"
        property string targetID
        property string targetTitle

        MenuItem {
            text: qsTr("重命名")
            onTriggered: sidebar.startRename(rowMenu.targetID, rowMenu.targetTitle)
        }
        MenuItem {
            text: qsTr("删除")
            onTriggered: Store.remove(rowMenu.targetID)
        }
    }

    Dialog {
        id: renameDialog

        // The conversation this dialog renames, fixed when it opens, so that the order in
        // which the dialog reports "accepted" and "closed" does not matter.
        property string targetID

        objectName: "renameDialog"
        title: qsTr("重命名对话")
        modal: true
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 300

        onAboutToShow: {
            nameField.text = sidebar.renameText
            nameField.selectAll()
            nameField.forceActiveFocus()
        }
        onAccepted: Store.rename(targetID, sidebar.renameText)
        onClosed: sidebar.renamingID = ""

        TextField {
            TextMenuHandler {}

            id: nameField

            objectName: "renameField"
            width: parent.width
            placeholderText: qsTr("名称")
            onTextEdited: sidebar.renameText = text
            onAccepted: renameDialog.accept()
        }

        // Cancel, then the default button, whatever the desktop's button order.
        footer: RowLayout {
            spacing: Theme.spacingM

            Item {
                Layout.fillWidth: true
            }
            Button {
                objectName: "renameCancel"
                Layout.bottomMargin: 12
                text: qsTr("取消")
                onClicked: renameDialog.reject()
            }
            Button {
                objectName: "renameConfirm"
                Layout.bottomMargin: 12
                Layout.rightMargin: 12
                text: qsTr("确定")
                highlighted: true
                onClicked: renameDialog.accept()
            }
        }
    }
}
