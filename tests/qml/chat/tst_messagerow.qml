// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Corvane
import CorvaneTest

TestCase {
    id: test
    name: "MessageRow"
    width: 800
    height: 500
    visible: true
    when: windowShown

    Component {
        id: rowComponent
        MessageRow {
            width: 700
            messageId: "ID"
            content: "hello"
            isLast: false
            isStreaming: false
            isTyping: false
            isEditing: false
        }
    }

    SignalSpy {
        id: spy
    }

    function makeRow(props) {
        // Away from where the new row will be, so it starts without the pointer.
        mouseMove(test, test.width - 2, test.height - 2)
        const row = createTemporaryObject(rowComponent, test, props)
        verify(row)
        waitForRendering(row)
        return row
    }

    function hover(row) {
        mouseMove(row, row.width / 2, 5)
        tryCompare(row, "hovering", true)
    }

    function actionsShown(row) {
        const actions = findChild(row, "actions")
        const names = []
        if (actions.opacity === 0 || !actions.enabled)
            return names
        for (const name of ["copyAction", "editAction", "regenerateAction"]) {
            if (findChild(row, name).visible)
                names.push(name)
        }
        return names
    }

    function test_actionsByRoleAndState_data() {
        return [
            { tag: "user", role: "user", isLast: false, streaming: false, editing: false,
              expected: ["copyAction", "editAction"] },
            { tag: "user, last", role: "user", isLast: true, streaming: false, editing: false,
              expected: ["copyAction", "editAction"] },
            { tag: "user while a reply streams", role: "user", isLast: false, streaming: false, editing: false,
              expected: ["copyAction", "editAction"] },
            { tag: "user being edited", role: "user", isLast: false, streaming: false, editing: true,
              expected: [] },
            { tag: "assistant, not last", role: "assistant", isLast: false, streaming: false, editing: false,
              expected: ["copyAction"] },
            { tag: "assistant, last", role: "assistant", isLast: true, streaming: false, editing: false,
              expected: ["copyAction", "regenerateAction"] },
            { tag: "assistant streaming", role: "assistant", isLast: true, streaming: true, editing: false,
              expected: [] },
            { tag: "system, last", role: "system", isLast: true, streaming: false, editing: false,
              expected: ["copyAction", "regenerateAction"] },
        ]
    }

    function test_actionsByRoleAndState(data) {
        const row = makeRow({ role: data.role, isLast: data.isLast, isStreaming: data.streaming,
                              isEditing: data.editing })
        const actions = findChild(row, "actions")
        const heightBefore = row.height
        compare(actionsShown(row), [], "hidden without the pointer")
        hover(row)
        compare(actionsShown(row), data.expected)
        // Hidden or not, the actions keep their room.
        compare(row.height, heightBefore)
        verify(actions.height > 0)
    }

    function test_systemMessageIsDrawnLikeAssistant() {
        const row = makeRow({ role: "system", content: "**规则**" })
        verify(findChild(row, "markdown").visible)
        verify(!findChild(row, "bubble").visible)
        compare(findChild(row, "markdown").onAccent, false)
    }

    function test_userBubbleIsOnTheRight() {
        const row = makeRow({ role: "user", content: "短" })
        const bubble = findChild(row, "bubble")
        verify(bubble.visible)
        const right = bubble.mapToItem(row, bubble.width, 0).x
        fuzzyCompare(right, row.width, 0.5)
        verify(bubble.width < row.width / 2, "a short text makes a narrow bubble")
        compare(findChild(row, "markdown").onAccent, true)
    }

    function test_typingShowsDots() {
        const row = makeRow({ role: "assistant", content: "", isLast: true, isStreaming: true, isTyping: true })
        verify(findChild(row, "typingDots").visible)
        verify(!findChild(row, "markdown").visible)
        row.isTyping = false
        row.content = "第一段"
        verify(findChild(row, "markdown").visible)
        verify(!findChild(row, "typingDots").visible)
    }

    function test_copyPutsTheRawText() {
        const text = "看代码：\n```js\nlet a = 1\n```\n**粗**"
        TestSupport.setClipboardText("")
        const row = makeRow({ role: "assistant", content: text, isLast: true })
        hover(row)
        mouseClick(findChild(row, "copyAction"))
        compare(TestSupport.clipboardText(), text)
    }

    function test_actionCallbacks_data() {
        return [
            { tag: "edit", role: "user", isLast: false, button: "editAction", signal: "startEdit" },
            { tag: "regenerate", role: "assistant", isLast: true, button: "regenerateAction", signal: "regenerate" },
        ]
    }

    function test_actionCallbacks(data) {
        const row = makeRow({ role: data.role, isLast: data.isLast })
        spy.clear()
        spy.target = row
        spy.signalName = data.signal
        // Hidden actions cannot be clicked.
        mouseClick(findChild(row, data.button))
        compare(spy.count, 0)
        hover(row)
        mouseClick(findChild(row, data.button))
        compare(spy.count, 1)
    }

    function test_editorCallbacks_data() {
        return [
            { tag: "cancel", button: "cancelEditButton", signal: "cancelEdit" },
            { tag: "submit", button: "submitEditButton", signal: "submitEdit" },
        ]
    }

    function test_editorCallbacks(data) {
        const row = makeRow({ role: "user", content: "原文", isEditing: true, editText: "原文" })
        verify(!findChild(row, "bubble").visible)
        const editor = findChild(row, "editor")
        verify(editor)
        compare(editor.text, "原文")
        const edited = []
        row.editTextEdited.connect(t => edited.push(t))
        spy.clear()
        spy.target = row
        spy.signalName = data.signal
        mouseClick(findChild(row, data.button))
        compare(spy.count, 1)
        // Only the buttons end the edit: Return in the editor adds a line.
        editor.forceActiveFocus()
        editor.cursorPosition = editor.length
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_X)
        compare(spy.count, 1)
        compare(edited[edited.length - 1], "原文\nx")
    }

    function test_editorGrowsUpToTwelveLines() {
        const row = makeRow({ role: "user", content: "a", isEditing: true, editText: "a" })
        const field = findChild(row, "editorField")
        const lines = n => Array(n).fill("行").join("\n")
        const oneLine = field.height
        row.editText = lines(11)
        const eleven = field.height
        row.editText = lines(12)
        const twelve = field.height
        verify(oneLine < eleven && eleven < twelve)
        row.editText = lines(13)
        compare(field.height, twelve)
        row.editText = lines(40)
        compare(field.height, twelve)
    }
}
