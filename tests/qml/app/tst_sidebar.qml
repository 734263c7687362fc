// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneTest

Item {
    id: root

    width: 320
    height: 480

    SidebarModel {
        id: conversations

        store: Store
    }

    HistoryActions {
        id: history

        store: Store
    }

    SidebarView {
        id: sidebar

        anchors.fill: parent
        conversations: conversations
        history: history
    }

    TestCase {
        name: "Sidebar"
        when: windowShown

        readonly property ListView list: findChild(sidebar, "conversationList")

        // Conversations with these titles; titles[0] is row 0.
        function seed(titles) {
            TestSupport.reset()
            for (let i = titles.length - 1; i >= 0; --i) {
                Store.newConversation()
                TestSupport.setTitle(Store.selectedID, titles[i])
            }
            list.forceLayout()
            return TestSupport.ids()
        }

        function rowItem(row) {
            list.positionViewAtIndex(row, ListView.Contain)
            return list.itemAtIndex(row)
        }

        function rightClick(row) {
            const item = rowItem(row)
            mouseClick(item, 20, item.height / 2, Qt.RightButton)
        }

        // Items of the row menu: 0 "重命名", 1 export, 2 copy, 3 a separator, 4 "删除".
        function menuItem(index) {
            const menu = findChild(sidebar, "rowMenu")
            tryVerify(() => menu.opened)
            return menu.itemAt(index)
        }

        function renameRow(row, typed, button) {
            rightClick(row)
            mouseClick(menuItem(0))
            const dialog = findChild(sidebar, "renameDialog")
            tryVerify(() => dialog.opened)
            const field = findChild(sidebar, "renameField")
            const shown = field.text
            field.selectAll()
            keyClick(Qt.Key_Delete)
            for (const c of typed)
                keyClick(c)
            mouseClick(findChild(sidebar, button))
            tryVerify(() => !dialog.visible)
            compare(sidebar.renamingID, "")
            return shown
        }

        function test_rows() {
            seed(["<b>第一</b>", "", "很长很长的标题".repeat(20), "上一行\n下一行"])
            compare(rowItem(0).contentItem.text, "<b>第一</b>")
            compare(rowItem(0).contentItem.textFormat, Text.PlainText)
            compare(rowItem(1).contentItem.text, "未命名")
            for (const row of [2, 3]) {
                verify(rowItem(row).contentItem.truncated)
                compare(rowItem(row).contentItem.lineCount, 1)
            }
        }

        function test_selectionBothWays() {
            const ids = seed(["a", "b", "c"])
            compare(list.currentIndex, 0)
            mouseClick(rowItem(2))
            compare(Store.selectedID, ids[2])
            compare(list.currentIndex, 2)
            Store.selectedID = ids[1]
            compare(list.currentIndex, 1)
            keyClick(Qt.Key_Down)
            compare(Store.selectedID, ids[2])
            keyClick(Qt.Key_Up)
            compare(Store.selectedID, ids[1])
            // A right click opens the row's menu without selecting it.
            rightClick(0)
            compare(Store.selectedID, ids[1])
            findChild(sidebar, "rowMenu").close()
            // A selection that names no listed conversation highlights no row.
            Store.selectedID = "00000000-0000-4000-8000-000000000000"
            compare(list.currentIndex, -1)
        }

        function test_rename() {
            const ids = seed(["旧名", ""])
            compare(renameRow(0, "New name", "renameConfirm"), "旧名")
            compare(TestSupport.title(ids[0]), "New name")
            // An empty title opens an empty field, not "未命名".
            compare(renameRow(1, "unused", "renameCancel"), "")
            compare(TestSupport.title(ids[1]), "")
        }

        // The field shows the title as the row does; a title the program gave, kept as shown,
        // stays as it was written, in either language.
        function test_renameShownTitle_data() {
            return [
                { tag: "default title", language: "en", stored: "新对话", shown: "New Chat",
                  typed: "New Chat", written: "新对话" },
                { tag: "default title renamed", language: "en", stored: "新对话", shown: "New Chat",
                  typed: "Plans", written: "Plans" },
                { tag: "own title", language: "en", stored: "Old", shown: "Old", typed: "Old",
                  written: "Old" },
                { tag: "chinese", language: "zh_CN", stored: "新对话", shown: "新对话",
                  typed: "Plans", written: "Plans" },
            ]
        }

        function test_renameShownTitle(data) {
            const ids = seed([data.stored])
            Language.code = data.language
            compare(renameRow(0, data.typed, "renameConfirm"), data.shown)
            compare(TestSupport.title(ids[0]), data.written)
        }

        function cleanup() {
            Language.code = "zh_CN"
        }

        // The menu deletes its own row, not the selected one; rows put back above the selection
        // keep the highlight on the selected conversation.
        function test_deleteAndUndo() {
            const ids = seed(["a", "b", "c"])
            Store.selectedID = ids[2]
            rightClick(0)
            mouseClick(menuItem(4))
            compare(TestSupport.ids(), [ids[1], ids[2]])
            tryCompare(list, "currentIndex", 1)
            history.undoRemove()
            compare(TestSupport.ids(), ids)
            compare(Store.selectedID, ids[2])
            // The list puts its highlight back on the selection once the event loop turns
            // (Qt.callLater): one turn, then it must be there.
            wait(0)
            compare(list.currentIndex, 2)
        }

        function test_newConversationButton() {
            seed(["a"])
            mouseClick(findChild(sidebar, "newConversationButton"))
            compare(list.count, 2)
            compare(Store.selectedID, TestSupport.ids()[0])
            compare(list.currentIndex, 0)
            compare(rowItem(0).contentItem.text, "新对话")
        }
    }
}
