// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The main window: the conversation sidebar beside the selected conversation's chat pane,
// the menu commands, and the Settings window.
AppWindow {
    id: window

    /// Made on first use, like the quit dialog and the file dialogs: none of them is needed
    /// for the window to appear.
    readonly property SettingsWindow settingsWindow: settingsMaker.object

    // Called instead of closing while the last save failed (see QuitSequence).
    function askBeforeQuit() {
        quitDialogMaker.get().open()
    }

    // The file dialogs of export, backup and restore. Their module is loaded with them, on
    // first use.
    function historyDialogs() {
        if (!historyDialogsLoader.item)
            historyDialogsLoader.setSource(Qt.resolvedUrl("HistoryDialogs.qml"),
                                           { "history": history })
        return historyDialogsLoader.item
    }

    // The Settings window is made on first use; opening it again raises the same window.
    function openSettings() {
        const settings = settingsMaker.get()
        settings.show()
        settings.raise()
        settings.requestActivate()
    }

    width: 980
    height: 680
    minimumWidth: 720
    minimumHeight: 460
    visible: true
    title: detail.item && detail.item.title !== undefined ? detail.item.title : "Corvane"
    // A file read without some of its entries says so once.
    Component.onCompleted: if (Store.loadNotice !== "")
                               noticeBar.show(Store.loadNotice)

    menuBar: MenuBar {
        // A title stays highlighted after Escape closed its menu (Qt 6.4): its highlight ends
        // with the menu.
        delegate: MenuBarItem {
            id: menuTitle

            Connections {
                target: menuTitle.menu

                function onClosed() {
                    menuTitle.highlighted = false
                }
            }
        }

        AppMenu {
            title: qsTr("文件")

            Action {
                id: newConversationAction
                objectName: "newConversationAction"
                text: qsTr("新建对话")
                shortcut: "Ctrl+N"
                onTriggered: Store.newConversation()
            }
            MenuSeparator {}
            Action {
                objectName: "exportAction"
                text: qsTr("导出为 Markdown…")
                enabled: conversations.selectedID !== ""
                onTriggered: historyDialogs().exportConversation(conversations.selectedID)
            }
            Action {
                objectName: "copyConversationAction"
                text: qsTr("复制整个对话")
                enabled: conversations.selectedID !== ""
                onTriggered: history.copyConversation(conversations.selectedID)
            }
            MenuSeparator {}
            Action {
                objectName: "backupAction"
                text: qsTr("备份全部对话…")
                onTriggered: historyDialogs().backupAll()
            }
            Action {
                objectName: "restoreAction"
                text: qsTr("从备份恢复…")
                onTriggered: historyDialogs().restoreFromBackup()
            }
            MenuSeparator {}
            Action {
                id: settingsAction
                objectName: "settingsAction"
                text: qsTr("设置…")
                // StandardKey.Preferences has no binding on most Linux desktops.
                shortcut: "Ctrl+,"
                onTriggered: window.openSettings()
            }
        }
        AppMenu {
            title: qsTr("显示")

            AppMenu {
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
            AppMenu {
                objectName: "languageMenu"
                title: qsTr("界面语言")

                ActionGroup {
                    id: languageGroup
                }
                // Each language names itself, whatever the interface's.
                Action {
                    objectName: "languageChineseAction"
                    text: "中文"
                    checkable: true
                    checked: Language.code === "zh_CN"
                    ActionGroup.group: languageGroup
                    onTriggered: Language.code = "zh_CN"
                }
                Action {
                    objectName: "languageEnglishAction"
                    text: "English"
                    checkable: true
                    checked: Language.code === "en"
                    ActionGroup.group: languageGroup
                    onTriggered: Language.code = "en"
                }
            }
            Action {
                objectName: "codeHighlightingAction"
                text: qsTr("代码高亮")
                checkable: true
                checked: Appearance.codeHighlighting
                onTriggered: Appearance.codeHighlighting = checked
            }
            Action {
                objectName: "renderMathAction"
                text: qsTr("渲染数学公式")
                checkable: true
                checked: Appearance.renderMath
                onTriggered: Appearance.renderMath = checked
            }
            Action {
                objectName: "desktopNotificationsAction"
                text: qsTr("桌面通知")
                checkable: true
                checked: notifier.enabled
                onTriggered: notifier.enabled = checked
            }
            MenuSeparator {}
            Action {
                id: zoomInAction
                objectName: "zoomInAction"
                text: qsTr("放大")
                shortcut: StandardKey.ZoomIn
                onTriggered: TextZoom.zoomIn()
            }
            Action {
                id: zoomOutAction
                objectName: "zoomOutAction"
                text: qsTr("缩小")
                shortcut: "Ctrl+-"
                onTriggered: TextZoom.zoomOut()
            }
            Action {
                id: actualSizeAction
                objectName: "actualSizeAction"
                text: qsTr("实际大小")
                shortcut: "Ctrl+0"
                onTriggered: TextZoom.reset()
            }
        }
    }

    // Ctrl+= zooms in as well (with the alias step), in this window only; it has no menu item.
    Shortcut {
        sequence: "Ctrl+="
        context: Qt.WindowShortcut
        onActivated: TextZoom.aliasZoomIn()
    }

    header: SaveErrorBar {
        objectName: "saveErrorBar"
        visible: Store.lastSaveFailed
        reason: Store.saveError
        onRetryRequested: Store.save()
    }

    // Ctrl+Z brings a deleted conversation back while its bar shows, unless a text field has
    // the focus: there it is the field's own undo.
    Shortcut {
        sequences: [StandardKey.Undo]
        context: Qt.WindowShortcut
        enabled: undoBar.visible && !(window.activeFocusItem instanceof TextInput)
                 && !(window.activeFocusItem instanceof TextEdit)
        onActivated: history.undoRemove()
    }

    Shortcut {
        sequences: [StandardKey.Find]
        context: Qt.WindowShortcut
        onActivated: sidebarView.focusSearch()
    }

    SidebarModel {
        id: conversations

        store: Store
    }

    // A reply that ends while the window is in the background is announced by the desktop; a
    // click on the notice brings the window back on its conversation.
    DesktopNotifier {
        id: notifier

        store: Store
        windowActive: window.active
        onActivated: id => {
            Store.selectedID = id
            if (window.visibility === Window.Minimized)
                window.showNormal()
            window.raise()
            window.requestActivate()
        }
    }

    HistoryActions {
        id: history

        objectName: "history"
        store: Store
        onRemovedChanged: {
            if (canUndoRemove)
                undoBar.show(qsTr("已删除「%1」").arg(removedTitle), qsTr("撤销"))
            else
                undoBar.hide()
        }
    }

    Loader {
        id: historyDialogsLoader

        Connections {
            target: historyDialogsLoader.item

            function onNotice(text) {
                noticeBar.show(text)
            }
            function onExported(file) {
                // The notice's one action opens the folder the file went to.
                noticeBar.folder = file.toString().replace(/\/[^\/]*$/, "")
                noticeBar.show(qsTr("已导出"), qsTr("打开文件夹"))
            }
        }
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
            id: sidebarView
            objectName: "sidebar"

            SplitView.minimumWidth: 200
            SplitView.preferredWidth: 240
            conversations: conversations
            history: history
            onExportRequested: id => historyDialogs().exportConversation(id)
        }

        Loader {
            id: detail

            // The pane's identity is the conversation id: every change of the selection builds
            // a fresh pane, so a composer's text or an edit never carries over to another
            // conversation. Staying on the same conversation keeps the pane.
            readonly property string conversationID: conversations.selectedID
            // The search the conversation was opened from, while it applies to this pane.
            readonly property string matchQuery: sidebarView.matchID === conversationID
                                                 ? sidebarView.matchQuery : ""

            function rebuild() {
                if (conversationID === "") {
                    sourceComponent = emptyView
                } else {
                    sourceComponent = undefined
                    setSource(Qt.resolvedUrl("../chat/ChatView.qml"), {
                                  "conversationID": conversationID,
                                  "matchQuery": matchQuery
                              })
                }
            }

            objectName: "detail"
            SplitView.fillWidth: true
            SplitView.minimumWidth: 360
            onConversationIDChanged: rebuild()
            // The pane follows the search from then on: Esc takes its marks away.
            onLoaded: if (conversationID !== "")
                          item.matchQuery = Qt.binding(() => detail.matchQuery)
            Component.onCompleted: rebuild()

            Connections {
                target: detail.item
                ignoreUnknownSignals: true

                function onSettingsRequested() {
                    window.openSettings()
                }
                function onNoticeRequested(message) {
                    noticeBar.folder = ""
                    noticeBar.show(message)
                }
            }
        }
    }

    // Over the chat pane, centred at its bottom, above the composer and the "↓" button (where
    // the pane says); never takes the focus.
    Column {
        id: notices
        objectName: "notices"

        readonly property real paneBottom: detail.item && detail.item.noticeBottom !== undefined
                                           ? detail.item.noticeBottom : detail.height - 24

        z: 10
        x: split.x + detail.x + (detail.width - width) / 2
        y: split.y + detail.y + paneBottom - height
        spacing: 8

        NoticeBar {
            id: noticeBar

            /// Where the last export went, for the notice's action.
            property string folder

            objectName: "noticeBar"
            onActionTriggered: if (folder !== "")
                                   Qt.openUrlExternally(folder)
            anchors.horizontalCenter: parent.horizontalCenter
            maximumWidth: detail.width - 32
            timeout: 5000
        }
        NoticeBar {
            id: undoBar

            objectName: "undoBar"
            anchors.horizontalCenter: parent.horizontalCenter
            maximumWidth: detail.width - 32
            onActionTriggered: history.undoRemove()
            onExpired: history.forgetRemoved()
        }
    }

    Component {
        id: emptyView

        EmptyChatView {}
    }

    LazyObject {
        id: settingsMaker
        owner: window

        SettingsWindow {
            menuActions: [newConversationAction, settingsAction, zoomInAction, zoomOutAction,
                actualSizeAction]
        }
    }

    LazyObject {
        id: quitDialogMaker
        owner: window

        Dialog {
            id: quitDialog

            objectName: "quitDialog"
            title: qsTr("对话还没有保存")
            modal: true
            parent: Overlay.overlay
            anchors.centerIn: parent
            width: 380

            Label {
                width: parent.width
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                text: qsTr("无法保存对话：") + Store.saveError + "\n" +
                      qsTr("现在退出，上次保存之后的更改都会丢失。")
            }

            // Cancel, then the two ways on, whatever the desktop's button order.
            footer: RowLayout {
                spacing: 8

                Item {
                    Layout.fillWidth: true
                }
                Button {
                    objectName: "quitCancel"
                    Layout.bottomMargin: 12
                    text: qsTr("取消")
                    onClicked: quitDialog.reject()
                }
                Button {
                    objectName: "quitAnyway"
                    Layout.bottomMargin: 12
                    text: qsTr("仍然退出")
                    onClicked: Qt.exit(0)
                }
                Button {
                    objectName: "quitRetry"
                    Layout.bottomMargin: 12
                    Layout.rightMargin: 12
                    text: qsTr("重试")
                    highlighted: true
                    onClicked: {
                        Store.save()
                        if (Store.flush()) {
                            quitDialog.close()
                            window.close()
                        }
                    }
                }
            }
        }
    }
}
