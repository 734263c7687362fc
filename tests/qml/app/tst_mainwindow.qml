// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneTest

Item {
    id: root

    Component {
        id: mainWindow

        Main {}
    }

    TestCase {
        name: "MainWindow"
        when: windowShown

        property var window
        property Loader detail

        function init() {
            TestSupport.reset()
            window = createTemporaryObject(mainWindow, root)
            detail = findChild(window.contentItem, "detail")
        }

        // The conversation the detail column shows; empty for the empty view.
        function paneID() {
            return detail.item.conversationID === undefined ? "" : detail.item.conversationID
        }

        function test_detailFollowsSelection() {
            compare(paneID(), "")
            compare(window.title, "Corvane")
            Store.newConversation()
            Store.newConversation()
            const ids = TestSupport.ids()
            compare(paneID(), ids[0])
            compare(window.title, "新对话")

            let pane = detail.item
            Store.selectedID = ids[1]
            compare(paneID(), ids[1])
            verify(detail.item !== pane)

            // Other changes of the Store keep the pane of the same conversation.
            pane = detail.item
            Store.rename(ids[1], "Renamed")
            TestSupport.setSettings({ "model": "m", "models": ["a", "b"] })
            verify(detail.item === pane)
            tryCompare(window, "title", "Renamed")

            Store.remove(ids[1])
            compare(paneID(), ids[0])
            Store.remove(ids[0])
            compare(paneID(), "")
            // A selection that names no conversation shows the empty view too.
            Store.newConversation()
            Store.selectedID = "00000000-0000-4000-8000-000000000000"
            compare(paneID(), "")
        }

        function test_freshComposerPerSelection() {
            Store.newConversation()
            Store.newConversation()
            const ids = TestSupport.ids()
            detail.item.controller.input = "draft for A"
            Store.selectedID = ids[1]
            compare(detail.item.controller.input, "")
            Store.selectedID = ids[0]
            compare(detail.item.controller.input, "")
        }

        function test_oneSettingsWindow() {
            window.openSettings()
            const settings = window.settingsWindow
            verify(settings.visible)
            settings.close()
            window.openSettings()
            verify(window.settingsWindow === settings && settings.visible)
            verify(!TestSupport.dataFileExists())
        }

        // Menu commands are the program's: their shortcuts work in the Settings window too.
        function test_menuShortcutsInSettings() {
            window.openSettings()
            const settings = window.settingsWindow
            settings.requestActivate()
            tryVerify(() => settings.active)
            TestSupport.keyClick(settings, Qt.Key_N, Qt.ControlModifier)
            compare(TestSupport.ids().length, 1)
            const zoom = TextZoom.value
            TestSupport.keyClick(settings, Qt.Key_Plus, Qt.ControlModifier)
            verify(TextZoom.value > zoom)
            TestSupport.keyClick(settings, Qt.Key_0, Qt.ControlModifier)
            compare(TextZoom.value, 1)
            settings.close()
        }

        // A right click at x on target opens the text menu for it; returns the menu, closed again.
        function menuOn(target, x) {
            verify(target !== null)
            mouseClick(target, x, target.height / 2, Qt.RightButton)
            const menu = window.textMenu
            verify(menu !== null)
            tryCompare(menu, "opened", true)
            compare(menu.target, target)
            menu.close()
            tryCompare(menu, "visible", false)
            // The next right click is not a double click.
            wait(Qt.styleHints.mouseDoubleClickInterval + 50)
            return menu
        }

        // The text menu is made on the first right click on a text, and serves every later one.
        function test_textMenu() {
            verify(window.textMenu === null)
            Store.newConversation()
            const targets = [findChild(detail.item, "input"), findChild(window.contentItem, "searchField")]
            const menu = menuOn(targets[0], 10)
            verify(menuOn(targets[1], 10) === menu)
        }

        // A right click on any text of a message opens the text menu for that text: a
        // heading, a paragraph, a list item, a table cell. A code block opens it for its code.
        function test_messageTextMenu() {
            const id = TestSupport.addConversation([{ "role": "assistant", "content":
                "# 标题\n\n一段文字\n\n- 列表项\n\n| 甲 | 乙 |\n|---|---|\n| 丙 | 丁 |\n\n```\ncode\n```" }])
            Store.selectedID = id
            waitForRendering(window.contentItem)
            const stack = findChild(findChild(detail.item, "markdown"), "blockStack")
            tryVerify(() => stack.itemAt(4) !== null)
            const cells = []
            const grid = findChild(stack.itemAt(3), "tableGrid")
            for (let i = 0; i < grid.children.length; ++i) {
                if (grid.children[i].inlineHtml !== undefined)
                    cells.push(grid.children[i])
            }
            const targets = [stack.itemAt(0), stack.itemAt(1), findChild(stack.itemAt(2), "listText"),
                             cells[3], findChild(stack.itemAt(4), "codeText")]
            for (const target of targets)
                menuOn(target, 4)
        }

        // The file dialogs are made on first use; what they announce reaches the notice bar.
        function test_historyDialogs() {
            verify(findChild(window, "exportDialog") === null)
            const dialogs = window.historyDialogs()
            verify(findChild(dialogs, "exportDialog") !== null)
            verify(window.historyDialogs() === dialogs)
            dialogs.notice("已恢复 2 个对话")
            const bar = findChild(window, "noticeBar")
            tryVerify(() => bar.visible)
            compare(bar.text, "已恢复 2 个对话")
            compare(bar.actionText, "")
            // An export is confirmed, with a way to its folder.
            dialogs.exported("file:///tmp/导出/对话.md")
            compare(bar.text, "已导出")
            compare(bar.actionText, "打开文件夹")
            compare(bar.folder, "file:///tmp/导出")
        }

        // Notices sit over the chat pane, over its message list and so above the composer, and
        // clear of the list's "↓" button when it shows; without a conversation, over the empty
        // pane.
        function test_noticePlace_data() {
            return [
                { tag: "at the end", messages: 40, away: false },
                { tag: "scrolled up", messages: 40, away: true },
                { tag: "no conversation", messages: -1, away: false },
            ]
        }

        function test_noticePlace(data) {
            const messages = []
            for (let i = 0; i < data.messages; ++i)
                messages.push({ "role": i % 2 ? "assistant" : "user", "content": "第 " + i + " 条消息" })
            if (data.messages >= 0)
                TestSupport.addConversation(messages)
            const pane = detail.item
            const bar = findChild(window, "noticeBar")
            const within = (item, area) => {
                const r = item.mapToItem(area, 0, 0)
                return r.x >= 0 && r.y >= 0 && r.x + item.width <= area.width
                        && r.y + item.height <= area.height
            }
            if (data.away) {
                const list = findChild(pane, "messageList")
                tryVerify(() => list.height > 0 && list.atYEnd)
                for (let i = 0; i < 10; ++i)
                    mouseWheel(list, list.width / 2, list.height / 2, 0, 120)
                tryVerify(() => findChild(pane, "scrollToEndButton").visible)
            }
            bar.show("已导出", "打开文件夹")
            waitForRendering(window.contentItem)
            verify(within(bar, pane), "over the pane")
            if (data.messages < 0)
                return
            verify(within(bar, findChild(pane, "messageList")), "above the composer")
            const toEnd = findChild(pane, "scrollToEndButton")
            compare(toEnd.visible, data.away)
            const gap = toEnd.mapToItem(bar, 0, 0).y - bar.height
            verify(!toEnd.visible || gap >= 0, "clear of the ↓ button: " + gap)
        }

        // Every entry with a shortcut shows it as the desktop writes it; the appearance is a
        // choice of one, with round indicators, the other switches keep their check boxes.
        function test_menuEntries_data() {
            return [
                { tag: "new conversation", menu: 0, entry: 0, shortcut: "Ctrl+N", indicator: "" },
                { tag: "export", menu: 0, entry: 2, shortcut: "", indicator: "" },
                { tag: "settings", menu: 0, entry: 8, shortcut: "Ctrl+,", indicator: "" },
                { tag: "zoom in", menu: 1, entry: 6, shortcut: "Ctrl++", indicator: "" },
                { tag: "actual size", menu: 1, entry: 8, shortcut: "Ctrl+0", indicator: "" },
                { tag: "code highlighting", menu: 1, entry: 2, shortcut: "", indicator: "checkIndicator" },
                { tag: "desktop notifications", menu: 1, entry: 4, shortcut: "", indicator: "checkIndicator" },
                { tag: "appearance: system", menu: "appearanceMenu", entry: 0, shortcut: "", indicator: "radioIndicator" },
                { tag: "appearance: dark", menu: "appearanceMenu", entry: 2, shortcut: "", indicator: "radioIndicator" },
                { tag: "language: chinese", menu: "languageMenu", entry: 0, shortcut: "", indicator: "radioIndicator" },
                { tag: "language: english", menu: "languageMenu", entry: 1, shortcut: "", indicator: "radioIndicator" },
            ]
        }

        function test_menuEntries(data) {
            // A submenu opens in its menu.
            const sub = typeof data.menu === "string"
            if (sub)
                window.menuBar.menuAt(1).open()
            const menu = sub ? findChild(window, data.menu) : window.menuBar.menuAt(data.menu)
            menu.open()
            tryCompare(menu, "opened", true)
            const entry = menu.itemAt(data.entry)
            const label = findChild(entry, "shortcutLabel")
            compare(label.visible, data.shortcut !== "")
            if (data.shortcut !== "") {
                compare(label.text, data.shortcut)
                waitForRendering(entry)
                verify(label.x >= entry.contentItem.x + entry.contentItem.implicitWidth,
                       "the shortcut is beside the entry's text")
            }
            for (const name of ["checkIndicator", "radioIndicator"])
                compare(findChild(entry, name).visible && entry.checkable, name === data.indicator, name)
            menu.dismiss()
        }

        // The language applies at once and back, without a restart: the window's own texts,
        // the titles the program gave (in the sidebar and the window's title), what C++ made;
        // a title the user gave stays as typed.
        function test_languageSwitch_data() {
            return [
                { tag: "menu", read: () => window.menuBar.menuAt(0).title, zh: "文件", en: "File" },
                { tag: "menu entry", read: () => findChild(window, "settingsAction").text,
                  zh: "设置…", en: "Settings…" },
                { tag: "language menu", read: () => findChild(window, "languageMenu").title,
                  zh: "界面语言", en: "Language" },
                { tag: "choice", read: () => findChild(window, "languageEnglishAction").checked,
                  zh: false, en: true },
                { tag: "search field",
                  read: () => findChild(window.contentItem, "searchField").placeholderText,
                  zh: "搜索", en: "Search" },
                { tag: "composer", read: () => findChild(detail.item, "input").placeholderText,
                  zh: "输入消息，⏎ 发送 · ⇧⏎ 换行", en: "Message · ⏎ to send · ⇧⏎ for a new line" },
                { tag: "window title", read: () => window.title, zh: "新对话", en: "New Chat" },
                { tag: "sidebar row",
                  read: () => findChild(window.contentItem, "conversationList").currentItem.text,
                  zh: "新对话", en: "New Chat" },
                { tag: "user's title", title: "周报", read: () => window.title, zh: "周报",
                  en: "周报" },
                // The Settings window is a window of its own.
                { tag: "settings window", settings: true, read: () => window.settingsWindow.title,
                  zh: "设置", en: "Settings" },
                { tag: "settings content", settings: true,
                  read: () => findChild(window.settingsWindow.contentItem,
                                        "testConnectionButton").text,
                  zh: "测试连接", en: "Test Connection" },
            ]
        }

        function test_languageSwitch(data) {
            Store.newConversation()
            if (data.title)
                Store.rename(TestSupport.ids()[0], data.title)
            if (data.settings)
                window.openSettings()
            tryVerify(() => data.read() === data.zh, 1000, "in Chinese")
            Language.code = "en"
            tryVerify(() => data.read() === data.en, 1000, "in English: " + data.read())
            Language.code = "zh_CN"
            tryVerify(() => data.read() === data.zh, 1000, "in Chinese again: " + data.read())
            if (data.settings)
                window.settingsWindow.close()
        }

        function cleanup() {
            Language.code = "zh_CN"
        }

        // Qt's own file dialog shows its folder path readably in a dark window: not on white.
        function test_fileDialogPathInDark() {
            Appearance.mode = Appearance.Dark
            window.historyDialogs().backupAll()
            const dialog = findChild(window, "backupDialog")
            tryCompare(dialog, "visible", true)
            let bar = null
            const find = item => {
                if (item.upButton !== undefined && item.contentModel !== undefined)
                    return item
                for (let i = 0; i < item.children.length; ++i) {
                    const found = find(item.children[i])
                    if (found)
                        return found
                }
                return null
            }
            tryVerify(() => (bar = find(window.Overlay.overlay)) !== null)
            waitForRendering(window.contentItem)
            const at = bar.mapToItem(window.contentItem, bar.width / 2, bar.height / 2)
            tryVerify(() => {
                const p = grabImage(window.contentItem).pixel(at.x, at.y)
                return p.r + p.g + p.b < 1.5
            }, 5000, "a dark box behind the path")
            dialog.close()
            Appearance.mode = Appearance.System
        }

        // No menu begins or ends with a separator.
        function test_noStraySeparators() {
            const bar = window.menuBar
            verify(bar.count > 0)
            for (let m = 0; m < bar.count; ++m) {
                const menu = bar.menuAt(m)
                verify(menu.count > 0)
                for (const i of [0, menu.count - 1])
                    verify(!(menu.itemAt(i) instanceof MenuSeparator), menu.title + " " + i)
            }
        }

        // The window icon is an SVG: without Qt's SVG plugin it would be silently empty.
        function test_appIconDraws() {
            const icon = createTemporaryQmlObject(
                           'import QtQuick; Image { source: "qrc:/Corvane/icons/corvane.svg" }', root)
            tryCompare(icon, "status", Image.Ready)
            verify(icon.implicitWidth > 0)
        }

        // A failed save stays on screen until a save works; the window goes on working.
        function test_saveErrorBar() {
            const bar = findChild(window, "saveErrorBar")
            verify(!bar.visible)
            verify(TestSupport.breakDataFile())
            Store.newConversation()
            tryVerify(() => bar.visible)
            const text = findChild(bar, "saveErrorText").text
            verify(text.startsWith("无法保存对话：") && text.indexOf("文件夹") > 0, text)
            compare(TestSupport.ids().length, 1)

            mouseClick(findChild(bar, "saveRetryButton"))
            verify(bar.visible) // still a folder

            // Quitting now asks; a retry that fails again keeps asking.
            window.askBeforeQuit()
            const dialog = findChild(window, "quitDialog")
            tryCompare(dialog, "opened", true)
            mouseClick(findChild(dialog, "quitRetry"))
            verify(dialog.visible && bar.visible)
            TestSupport.removeDataFile()
            mouseClick(findChild(dialog, "quitRetry"))
            tryCompare(dialog, "visible", false)
            verify(!bar.visible)
            verify(TestSupport.dataFileExists())
        }

        // Ctrl+Z brings a deleted conversation back only while its bar shows and no text field
        // has the focus; in the composer it stays the composer's own undo.
        function test_undoDeleteShortcut() {
            Store.newConversation()
            Store.newConversation()
            const ids = TestSupport.ids()
            const history = findChild(window, "history")
            const bar = findChild(window, "undoBar")
            history.removeWithUndo(ids[0])
            verify(bar.visible)
            compare(bar.text, "已删除「新对话」")
            const input = findChild(detail.item, "input")
            input.forceActiveFocus()
            keyClick(Qt.Key_Z, Qt.ControlModifier)
            compare(TestSupport.ids(), [ids[1]])
            findChild(window.contentItem, "conversationList").forceActiveFocus()
            keyClick(Qt.Key_Z, Qt.ControlModifier)
            compare(TestSupport.ids(), ids)
            compare(Store.selectedID, ids[0])
            verify(!bar.visible)
            keyClick(Qt.Key_Z, Qt.ControlModifier)
            compare(TestSupport.ids(), ids)
        }

        // Ctrl+F reaches the search; typing narrows the list, Down and Return open a result, and
        // the focus stays in the field though the new pane focuses its composer; Esc brings the
        // whole list back with the opened conversation still selected.
        function test_search() {
            const titles = ["苹果派", "Banana bread", "苹果汁", "Cherry"]
            titles.forEach(() => Store.newConversation())
            const ids = TestSupport.ids()
            titles.forEach((title, i) => TestSupport.setTitle(ids[i], title))
            Store.selectedID = ids[3]
            const field = findChild(window.contentItem, "searchField")
            const results = findChild(window.contentItem, "searchResults")
            const list = findChild(window.contentItem, "conversationList")
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(field.activeFocus)
            field.insert(0, "苹果") // as an input method would
            tryCompare(results, "count", 2)
            verify(results.visible && !list.visible)
            compare(results.currentIndex, 0)
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(results.currentIndex, 1)
            keyClick(Qt.Key_Return)
            compare(paneID(), ids[2])
            verify(field.activeFocus)
            keyClick(Qt.Key_Escape)
            compare(field.text, "")
            verify(list.visible && list.activeFocus)
            compare(list.count, 4)
            compare(Store.selectedID, ids[2])
            compare(list.currentIndex, 2)
        }

        // The conversation opened from the search keeps its marks while the query still finds
        // it, and loses them when the query changes to one that does not.
        function test_searchMarksFollowTheQuery_data() {
            return [
                { tag: "still found", next: "苹果汁", marks: "苹果" },
                { tag: "no match", next: "苹果汁zzz", marks: "" },
                { tag: "field emptied", next: "", marks: "" },
            ]
        }

        function test_searchMarksFollowTheQuery(data) {
            const titles = ["苹果派", "苹果汁"]
            titles.forEach(() => Store.newConversation())
            const ids = TestSupport.ids()
            titles.forEach((title, i) => TestSupport.setTitle(ids[i], title))
            const field = findChild(window.contentItem, "searchField")
            const results = findChild(window.contentItem, "searchResults")
            const sidebar = findChild(window.contentItem, "sidebar")
            field.insert(0, "苹果")
            tryCompare(results, "count", 2)
            sidebar.openResult(1, true)
            compare(paneID(), ids[1])
            compare(detail.item.matchQuery, "苹果")
            const found = data.marks === "" ? 0 : 1
            field.text = data.next
            tryCompare(results, "count", data.next === "" ? 0 : found)
            tryCompare(detail.item, "matchQuery", data.marks)
            compare(paneID(), ids[1], "the conversation stays open")
        }
    }
}
