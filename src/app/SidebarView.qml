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
    // Deletes with a way back when set; otherwise deleting is final.
    property HistoryActions history: null

    signal exportRequested(string id)

    /// The conversation last opened from the search results, and the query that found it: its
    /// matches are marked until the search ends or another conversation is chosen.
    property string matchID: ""
    property string matchQuery: ""

    // Puts the focus in the search field, its text selected.
    function focusSearch() {
        searchField.forceActiveFocus()
        searchField.selectAll()
    }
    // Opens the search result at this row; the search stays. From the keyboard the focus stays
    // in the field (the new pane takes it for its composer), so Up, Down and Esc go on working.
    function openResult(row, fromField) {
        const id = searchResults.idAt(row)
        if (id === "")
            return
        // Before the selection: the new pane reads them as it is made.
        matchQuery = searchField.text
        matchID = id
        Store.selectedID = id
        if (fromField)
            searchField.forceActiveFocus()
    }
    // Leaves the search: the full list again, with the selection in view.
    function endSearch() {
        matchID = ""
        matchQuery = ""
        searchField.clear()
        list.forceActiveFocus()
        list.followSelection()
        if (list.currentIndex >= 0)
            list.positionViewAtIndex(list.currentIndex, ListView.Contain)
    }

    // The conversation whose rename dialog is open; empty while it is closed.
    property string renamingID: ""
    /// The row menu, made on first use like the rename dialog.
    readonly property Menu rowMenu: rowMenuMaker.object

    function openRowMenu(id, title) {
        const menu = rowMenuMaker.get()
        menu.targetID = id
        menu.targetTitle = title
        menu.popup()
    }

    // The dialog's field. Kept between dialogs and overwritten when one opens.
    property string renameText: ""
    // The title as the field first showed it: kept unchanged, the stored title is not touched
    // (a title the program gave is shown translated, and stays as it was written).
    property string renameShown: ""

    function startRename(id, title) {
        renameText = title
        renameShown = title
        renamingID = id
    }

    color: Theme.windowBackground

    Connections {
        target: Store
        function onSelectedIDChanged() {
            if (Store.selectedID !== sidebar.matchID) {
                sidebar.matchID = ""
                sidebar.matchQuery = ""
            }
        }
    }
    onRenamingIDChanged: {
        if (renamingID !== "") {
            const dialog = renameDialogMaker.get()
            dialog.targetID = renamingID
            dialog.open()
        } else if (renameDialogMaker.object) {
            renameDialogMaker.object.close()
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

            TextField {
                TextMenuHandler {}

                id: searchField

                objectName: "searchField"
                Layout.fillWidth: true
                Layout.leftMargin: 2
                Layout.rightMargin: 4
                placeholderText: qsTr("搜索")
                Accessible.name: qsTr("搜索对话")
                Keys.onUpPressed: results.currentIndex = Math.max(results.currentIndex - 1, 0)
                Keys.onDownPressed: results.currentIndex = Math.min(results.currentIndex + 1,
                                                                    results.count - 1)
                Keys.onEscapePressed: sidebar.endSearch()
                onAccepted: sidebar.openResult(results.currentIndex, true)
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

        SearchResultsModel {
            id: searchResults

            store: Store
            query: searchField.text
            onFinished: {
                results.currentIndex = count > 0 ? 0 : -1
                // The opened conversation's marks go once the query no longer finds it.
                if (sidebar.matchID !== "" && !hasResult(sidebar.matchID)) {
                    sidebar.matchID = ""
                    sidebar.matchQuery = ""
                }
            }

            function hasResult(id) {
                for (let row = 0; row < count; ++row) {
                    if (idAt(row) === id)
                        return true
                }
                return false
            }
        }

        ListView {
            id: results

            objectName: "searchResults"
            visible: searchResults.query.trim() !== ""
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: searchResults
            highlightMoveDuration: 0
            keyNavigationEnabled: false
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            delegate: ItemDelegate {
                id: hit

                required property int index
                required property string displayTitle
                required property string snippet

                width: ListView.view.width
                highlighted: ListView.isCurrentItem
                leftPadding: 18
                rightPadding: 18
                topPadding: 6
                bottomPadding: 6
                text: displayTitle
                contentItem: Column {
                    spacing: 2

                    Label {
                        width: parent.width
                        text: hit.displayTitle
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        color: hit.highlighted ? Theme.accentText : Theme.label
                    }
                    Label {
                        width: parent.width
                        visible: hit.snippet !== ""
                        text: hit.snippet
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        elide: Text.ElideRight
                        maximumLineCount: 2
                        font.pixelSize: Theme.body - 2
                        color: hit.highlighted ? Theme.accentText : Theme.secondaryLabel
                    }
                }
                background: Rectangle {
                    anchors.fill: parent
                    anchors.leftMargin: 8
                    anchors.rightMargin: 8
                    anchors.topMargin: 1
                    anchors.bottomMargin: 1
                    radius: 6
                    color: hit.highlighted ? Theme.accent
                                           : hit.hovered ? Theme.hoverFill : "transparent"
                }
                onClicked: {
                    results.currentIndex = index
                    sidebar.openResult(index, false)
                }
            }

            Label {
                anchors.centerIn: parent
                visible: results.count === 0 && !searchResults.busy
                text: qsTr("没有找到匹配的对话")
                color: Theme.secondaryLabel
            }
        }

        ListView {
            id: list

            objectName: "conversationList"
            visible: !results.visible
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

            // The view shifts its current row itself when rows arrive above it, after the
            // binding above has already moved it: put it back on the selection once the view
            // has taken the change in.
            function followSelection() {
                forceLayout()
                currentIndex = Qt.binding(() => sidebar.conversations.selectedRow)
            }
            Connections {
                target: sidebar.conversations

                function onRowsInserted() {
                    Qt.callLater(list.followSelection)
                }
            }

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
                /// A tool call of its reply waits for the user's answer.
                required property bool awaitsUser

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
                    rightPadding: row.awaitsUser ? 14 : 0

                    // The mark of a conversation that waits for the user.
                    Rectangle {
                        objectName: "awaitsUserMark"
                        visible: row.awaitsUser
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: 8
                        height: 8
                        radius: 4
                        color: row.highlighted ? Theme.accentText : Theme.accent
                    }
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
                    border.width: sidebar.rowMenu && sidebar.rowMenu.opened
                                  && sidebar.rowMenu.targetID === row.id ? 2 : 0
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
                    // An empty title opens an empty field, not the shown "未命名".
                    onClicked: sidebar.openRowMenu(row.id, row.title === "" ? "" : row.displayTitle)
                }
            }
        }
    }

    LazyObject {
        id: rowMenuMaker
        owner: sidebar

        Menu {
            id: menu

            objectName: "rowMenu"
            property string targetID
            property string targetTitle

            MenuItem {
                text: qsTr("重命名")
                onTriggered: sidebar.startRename(menu.targetID, menu.targetTitle)
            }
            MenuItem {
                text: qsTr("导出为 Markdown…")
                onTriggered: sidebar.exportRequested(menu.targetID)
            }
            MenuItem {
                text: qsTr("复制整个对话")
                enabled: sidebar.history !== null
                onTriggered: sidebar.history.copyConversation(menu.targetID)
            }
            MenuSeparator {}
            MenuItem {
                objectName: "deleteItem"
                text: qsTr("删除")
                // A destructive item.
                palette.text: Theme.destructive
                onTriggered: {
                    if (sidebar.history)
                        sidebar.history.removeWithUndo(menu.targetID)
                    else
                        Store.remove(menu.targetID)
                }
            }
        }
    }

    LazyObject {
        id: renameDialogMaker
        owner: sidebar

        Dialog {
            id: dialog

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
            onAccepted: if (sidebar.renameText !== sidebar.renameShown)
                            Store.rename(targetID, sidebar.renameText)
            onClosed: sidebar.renamingID = ""

            TextField {
                TextMenuHandler {}

                id: nameField

                objectName: "renameField"
                width: parent.width
                placeholderText: qsTr("名称")
                onTextEdited: sidebar.renameText = text
                onAccepted: dialog.accept()
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
                    onClicked: dialog.reject()
                }
                Button {
                    objectName: "renameConfirm"
                    Layout.bottomMargin: 12
                    Layout.rightMargin: 12
                    text: qsTr("确定")
                    highlighted: true
                    onClicked: dialog.accept()
                }
            }
        }
    }
}
