// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The main window: the conversation sidebar beside the selected conversation's chat pane,
// the menu commands, and the Settings window.
AppWindow {
    id: window

    property SettingsWindow settingsWindow: null

    // The Settings window is made on first use; opening it again raises the same window.
    function openSettings() {
        if (!settingsWindow)
            settingsWindow = settingsComponent.createObject(window)
        settingsWindow.show()
        settingsWindow.raise()
        settingsWindow.requestActivate()
    }

    width: 980
    height: 680
    minimumWidth: 720
    minimumHeight: 460
    visible: true
    title: detail.item && detail.item.title !== undefined ? detail.item.title : "Corvane"

    menuBar: MenuBar {
        Menu {
            title: qsTr("文件")

            Action {
                objectName: "newConversationAction"
                text: qsTr("新建对话")
                shortcut: "Ctrl+N"
                onTriggered: Store.newConversation()
            }
            MenuSeparator {}
            Action {
                objectName: "settingsAction"
                text: qsTr("设置…")
                // StandardKey.Preferences has no binding on most Linux desktops.
                shortcut: "Ctrl+,"
                onTriggered: window.openSettings()
            }
        }
        Menu {
            title: qsTr("显示")

            Menu {
                objectName: "appearanceMenu"
                title: qsTr("外观")

                ActionGroup {
                    id: appearanceGroup
                }
                Action {
                    objectName: "appearanceSystemAction"
                    text: qsTr("跟随系统")
                    checkable: true
                    checked: Appearance.mode === Appearance.System
                    ActionGroup.group: appearanceGroup
                    onTriggered: Appearance.mode = Appearance.System
                }
                Action {
                    objectName: "appearanceLightAction"
                    text: qsTr("浅色")
                    checkable: true
                    checked: Appearance.mode === Appearance.Light
                    ActionGroup.group: appearanceGroup
                    onTriggered: Appearance.mode = Appearance.Light
                }
                Action {
                    objectName: "appearanceDarkAction"
                    text: qsTr("深色")
                    checkable: true
                    checked: Appearance.mode === Appearance.Dark
                    ActionGroup.group: appearanceGroup
                    onTriggered: Appearance.mode = Appearance.Dark
                }
            }
            Action {
                objectName: "codeHighlightingAction"
                text: qsTr("代码高亮")
                checkable: true
                checked: Appearance.codeHighlighting
                onTriggered: Appearance.codeHighlighting = checked
            }
            MenuSeparator {}
            Action {
                objectName: "zoomInAction"
                text: qsTr("放大")
                shortcut: StandardKey.ZoomIn
                onTriggered: TextZoom.zoomIn()
            }
            Action {
                objectName: "zoomOutAction"
                text: qsTr("缩小")
                shortcut: "Ctrl+-"
                onTriggered: TextZoom.zoomOut()
            }
            Action {
                objectName: "actualSizeAction"
                text: qsTr("实际大小")
                shortcut: "Ctrl+0"
                onTriggered: TextZoom.reset()
            }
            MenuSeparator {}
        }
    }

    // Ctrl+= zooms in as well (with the alias step), in this window only; it has no menu item.
    Shortcut {
        sequence: "Ctrl+="
        context: Qt.WindowShortcut
        onActivated: TextZoom.aliasZoomIn()
    }

    SidebarModel {
        id: conversations

        store: Store
    }

    SplitView {
        id: split

        anchors.fill: parent

        // A hairline that is easy to grab.
        handle: Rectangle {
            implicitWidth: 1
            color: Theme.separator
            containmentMask: Item {
                x: -3
                width: 7
                height: split.height
            }
        }

        SidebarView {
            SplitView.minimumWidth: 200
            SplitView.preferredWidth: 240
            conversations: conversations
        }

        Loader {
            id: detail

            // The pane's identity is the conversation id: every change of the selection builds
            // a fresh pane, so a composer's text or an edit never carries over to another
            // conversation. Staying on the same conversation keeps the pane.
            readonly property string conversationID: conversations.selectedID

            function rebuild() {
                if (conversationID === "") {
                    sourceComponent = emptyView
                } else {
                    sourceComponent = undefined
                    setSource(Qt.resolvedUrl("../chat/ChatView.qml"), {
                                  "conversationID": conversationID
                              })
                }
            }

            objectName: "detail"
            SplitView.fillWidth: true
            SplitView.minimumWidth: 360
            onConversationIDChanged: rebuild()
            Component.onCompleted: rebuild()

            Connections {
                target: detail.item
                ignoreUnknownSignals: true

                function onSettingsRequested() {
                    window.openSettings()
                }
            }
        }
    }

    Component {
        id: emptyView

        EmptyChatView {}
    }

    Component {
        id: settingsComponent

        SettingsWindow {}
    }
}
