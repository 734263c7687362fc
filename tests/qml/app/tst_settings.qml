// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneTest

Item {
    id: root

    width: 460
    height: 460

    Component {
        id: settingsView

        SettingsView {
            anchors.fill: parent
        }
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
    }
}
