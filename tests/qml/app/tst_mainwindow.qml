// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneAppTest

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
            AppTest.reset()
            TextZoom.reset()
            window = createTemporaryObject(mainWindow, root)
            detail = findChild(window.contentItem, "detail")
            verify(detail)
        }

        function paneId() {
            return detail.item.conversationId === undefined ? "" : detail.item.conversationId
        }

        function test_detailFollowsSelection() {
            compare(paneId(), "")
            compare(window.title, "Corvane")

            Store.newConversation()
            Store.newConversation()
            const ids = AppTest.ids()
            compare(paneId(), ids[0])
            let pane = detail.item

            Store.selectedID = ids[1]
            compare(paneId(), ids[1])
            verify(detail.item !== pane)
            pane = detail.item

            // Other changes of the Store keep the pane of the same conversation.
            Store.rename(ids[1], "Renamed")
            AppTest.setSettings({ "model": "m", "models": ["a", "b"] })
            verify(detail.item === pane)

            Store.remove(ids[1])
            compare(paneId(), AppTest.ids()[0])
            while (AppTest.ids().length > 0)
                Store.remove(AppTest.ids()[0])
            compare(paneId(), "")
            compare(window.title, "Corvane")
        }

        function test_missingSelectionShowsEmptyView() {
            Store.newConversation()
            Store.selectedID = "00000000-0000-4000-8000-000000000000"
            compare(paneId(), "")
            compare(window.title, "Corvane")
        }

        function test_freshComposerPerSelection() {
            Store.newConversation()
            Store.newConversation()
            const ids = AppTest.ids()
            detail.item.controller.input = "draft for A"
            Store.selectedID = ids[1]
            compare(detail.item.controller.input, "")
            Store.selectedID = ids[0]
            compare(detail.item.controller.input, "")
        }

        function test_windowTitle() {
            Store.newConversation()
            compare(window.title, "新对话")
            Store.rename(Store.selectedID, "Qt 的问题")
            tryCompare(window, "title", "Qt 的问题")
        }

        function test_menuCommands() {
            findChild(window.menuBar, "newConversationAction").trigger()
            compare(AppTest.ids().length, 1)
            compare(paneId(), AppTest.ids()[0])

            const zoomIn = findChild(window.menuBar, "zoomInAction")
            zoomIn.trigger()
            zoomIn.trigger()
            compare(TextZoom.value, 1.2)
            findChild(window.menuBar, "zoomOutAction").trigger()
            compare(TextZoom.value, 1.1)
            findChild(window.menuBar, "actualSizeAction").trigger()
            compare(TextZoom.value, 1.0)
        }

        function test_settingsWindowIsOne() {
            window.openSettings()
            const settings = window.settingsWindow
            verify(settings.visible)
            settings.close()
            verify(!settings.visible)
            window.openSettings()
            verify(window.settingsWindow === settings)
            verify(settings.visible)
            compare(settings.width, 460)
            compare(settings.height, 460)
            verify(!AppTest.dataFileExists())
        }
    }
}
