// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneTest

Item {
    id: root

    width: 700
    height: 560

    Component {
        id: settingsView

        SettingsView {
            anchors.fill: parent
        }
    }

    TextContextMenu {
        id: textMenu
    }

    Component {
        id: settingsWindow

        SettingsWindow {}
    }

    TestCase {
        name: "Settings"
        when: windowShown

        property Item view

        function field(name) {
            return findChild(view, name)
        }

        function init() {
            TestSupport.reset()
            TestSupport.setSettings({ "baseURL": "http://127.0.0.1:9/v1 ", "apiKey": "sk-secret", "model": "",
                                      "systemPrompt": "  简洁\n", "models": ["a", "b"] })
            TestSupport.removeDataFile()
            view = createTemporaryObject(settingsView, root)
        }

        function type(text) {
            for (const c of text)
                keyClick(c === "\n" ? Qt.Key_Return : c)
        }

        function test_eachKeystrokeSaves_data() {
            return [
                { tag: "address", name: "baseURLField", key: "baseURL", expected: "http://127.0.0.1:9/v1 x" },
                { tag: "key", name: "apiKeyField", key: "apiKey", expected: "sk-secretx", password: true },
                { tag: "model", name: "modelField", key: "model", expected: "x" },
                { tag: "prompt", name: "systemPromptField", key: "systemPrompt", expected: "  简洁\nx" },
            ]
        }

        function test_eachKeystrokeSaves(data) {
            const input = field(data.name)
            // The form shows the settings exactly as stored and writes nothing until a change.
            compare(input.text, data.expected.slice(0, -1))
            compare(input.echoMode === TextInput.Password, !!data.password)
            verify(!TestSupport.dataFileExists())
            input.forceActiveFocus()
            input.cursorPosition = input.length
            type("x")
            compare(TestSupport.settings()[data.key], data.expected)
            // The file is written once typing pauses.
            tryVerify(TestSupport.dataFileExists)
        }

        function test_modelsField() {
            const input = field("modelsField")
            compare(input.text, "a\nb")
            input.forceActiveFocus()
            input.cursorPosition = input.length
            // A blank line and spaces change the text but not the list: nothing is saved.
            type("\n\n ")
            verify(!TestSupport.dataFileExists())
            type("c ")
            compare(TestSupport.settings().models, ["a", "b", "c"])
            tryVerify(TestSupport.dataFileExists)
            // The raw text stays while typing, the normalised list shows afterwards.
            compare(input.text, "a\nb\n\n c ")
            field("modelField").forceActiveFocus()
            compare(input.text, "a\nb\nc")
        }

        // Opening the window changes nothing, whatever a field would make of the text: a text
        // area reads line separators and no-break spaces as line feeds and spaces.
        function test_openingChangesNothing() {
            view.destroy() // the window is opened over these settings, not before
            wait(0)
            const prompt = "line1\r\nline2\u00A0end\u2028x"
            TestSupport.setSettings({ "systemPrompt": prompt, "models": ["a\u00A0b", "c"] })
            TestSupport.saveNow()
            compare(TestSupport.settings().systemPrompt, prompt)
            const before = TestSupport.dataFileHex()
            const settings = TestSupport.settings()
            const opened = createTemporaryObject(settingsView, root)
            waitForRendering(opened)
            compare(JSON.stringify(TestSupport.settings()), JSON.stringify(settings))
            opened.destroy() // writes what waits to be saved
            wait(0)
            compare(TestSupport.dataFileHex(), before)
        }

        // What the user types goes to the settings exactly, no-break spaces and line separators
        // included.
        function test_typedAsIs() {
            const input = field("systemPromptField")
            input.forceActiveFocus()
            input.cursorPosition = input.length
            TestSupport.inputMethod(input, "", "\u00A0a\u2028b")
            compare(TestSupport.settings().systemPrompt, "  简洁\n\u00A0a\u2028b")
        }

        // The text menu changes a field while another item holds the focus: its paste, cut and
        // undo reach the settings all the same.
        function test_textMenuEdits_data() {
            return [
                { tag: "address", name: "baseURLField", key: "baseURL" },
                { tag: "key", name: "apiKeyField", key: "apiKey" },
                { tag: "model", name: "modelField", key: "model" },
                { tag: "models", name: "modelsField", key: "models" },
                { tag: "prompt", name: "systemPromptField", key: "systemPrompt" },
            ]
        }

        function test_textMenuEdits(data) {
            const input = field(data.name)
            const before = TestSupport.settings()[data.key]
            TestSupport.setClipboardText("pasted")
            input.cursorPosition = input.length
            textMenu.openFor(input)
            findChild(textMenu, "pasteEntry").triggered()
            textMenu.close()
            const pasted = TestSupport.settings()[data.key]
            if (data.key === "models")
                compare(pasted, ["a", "bpasted"])
            else
                compare(pasted, before + "pasted")
            tryVerify(TestSupport.dataFileExists)

            textMenu.openFor(input)
            findChild(textMenu, "undoEntry").triggered()
            textMenu.close()
            compare(TestSupport.settings()[data.key], before)
        }

        function test_fieldsGrowThenScroll_data() {
            return [
                { tag: "models", name: "modelsField", min: 2, max: 6 },
                { tag: "prompt", name: "systemPromptField", min: 3, max: 8 },
            ]
        }

        function test_fieldsGrowThenScroll(data) {
            const input = field(data.name)
            const scroller = field(data.name + "Scroller")
            const heights = []
            for (const lines of [0, data.min + 1, data.max, data.max + 4]) {
                input.text = Array.from({ length: lines }, (_, i) => "line " + i).join("\n")
                waitForRendering(view)
                heights.push(scroller.height)
                compare(scroller.lines, Math.min(Math.max(lines, data.min), data.max))
            }
            verify(heights[0] < heights[1] && heights[1] < heights[2])
            compare(heights[3], heights[2])
            // Beyond the last visible line the field scrolls.
            verify(input.contentHeight > scroller.availableHeight)
        }

        function gatewayRow(row) {
            const list = field("gatewayList")
            waitForRendering(list)
            return list.itemAtIndex(row)
        }

        // Choosing a gateway shows its fields, and what is typed goes to it, not to the first.
        function test_editsGoToChosenGateway() {
            TestSupport.addGateway("Other", ["x"])
            compare(field("gatewayList").count, 2)
            mouseClick(gatewayRow(1))
            compare(field("nameField").text, "Other")
            compare(field("apiKeyField").text, "sk-other")
            compare(field("modelsField").text, "x")
            verify(!field("modelField").visible) // only the first gateway has a default of its own
            verify(field("noKeyBox").visible)
            const input = field("apiKeyField")
            input.forceActiveFocus()
            input.cursorPosition = input.length
            type("2")
            compare(input.text, "sk-other2")
            compare(TestSupport.settings().apiKey, "sk-secret")
            mouseClick(gatewayRow(0))
            compare(field("apiKeyField").text, "sk-secret")
            compare(field("nameField").placeholderText, "默认")
            verify(!field("removeGatewayButton").enabled)
        }

        // Removing a gateway no conversation uses goes at once; one in use asks first, with the
        // count, and the chosen row falls back to the first gateway.
        function test_removeAsksWhenInUse() {
            TestSupport.addGateway("Unused", ["u"])
            TestSupport.addGateway("Used", ["m"])
            mouseClick(gatewayRow(1))
            mouseClick(field("removeGatewayButton"))
            compare(field("gatewayList").count, 2)
            compare(field("gatewayList").currentIndex, 0)
            mouseClick(gatewayRow(1))
            compare(field("nameField").text, "Used")

            mouseClick(field("setDefaultGatewayButton"))
            TestSupport.addConversation([]) // new conversations start on the default gateway
            TestSupport.addConversation([])
            mouseClick(field("removeGatewayButton"))
            const dialog = field("removeGatewayDialog")
            tryVerify(() => dialog.opened)
            const question = findChild(dialog, "removeGatewayText").text
            verify(question.indexOf("2 个对话") >= 0, question)
            mouseClick(findChild(dialog.footer, "removeGatewayCancel"))
            tryVerify(() => !dialog.visible)
            compare(field("gatewayList").count, 2)
            mouseClick(field("removeGatewayButton"))
            tryVerify(() => dialog.opened)
            mouseClick(findChild(dialog.footer, "removeGatewayConfirm"))
            compare(field("gatewayList").count, 1)
            compare(field("gatewayList").currentIndex, 0)
            compare(field("apiKeyField").text, "sk-secret")
        }

        // Escape, Ctrl+W and "完成" each close the window; Escape first closes an open menu.
        function test_closing_data() {
            return [
                { tag: "escape", key: Qt.Key_Escape, modifiers: Qt.NoModifier },
                { tag: "ctrl+w", key: Qt.Key_W, modifiers: Qt.ControlModifier },
                { tag: "done" },
            ]
        }

        function test_closing(data) {
            const window = createTemporaryObject(settingsWindow, root)
            window.show()
            window.requestActivate()
            tryVerify(() => window.active)
            if (data.key === undefined) {
                mouseClick(findChild(window.contentItem, "doneButton"))
            } else {
                if (data.key === Qt.Key_Escape) {
                    const add = findChild(window.contentItem, "addGatewayButton")
                    waitForRendering(add)
                    mouseClick(add)
                    const menu = findChild(window.contentItem, "settingsView").presetMenu
                    tryVerify(() => menu.opened, 5000, "add=" + add + " visible=" + menu.visible + " count=" + menu.count)
                    TestSupport.keyClick(window, data.key, data.modifiers)
                    tryVerify(() => !menu.visible)
                    verify(window.visible)
                }
                TestSupport.keyClick(window, data.key, data.modifiers)
            }
            tryVerify(() => !window.visible)
        }
    }
}
