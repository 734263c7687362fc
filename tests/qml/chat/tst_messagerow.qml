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
            index: 0
            messageID: "ID"
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
        // Away from where the row will be, so it starts without the pointer.
        mouseMove(test, test.width - 2, test.height - 2)
        const row = createTemporaryObject(rowComponent, test, props)
        waitForRendering(row)
        return row
    }

    function hover(row) {
        mouseMove(row, row.width / 2, 5)
        tryCompare(row, "hovering", true)
    }

    function shownActions(row) {
        const actions = findChild(row, "actions")
        return ["copyAction", "editAction", "regenerateAction"].filter(
                    name => actions.opacity > 0 && actions.enabled && findChild(row, name).visible)
    }

    function test_actions_data() {
        return [
            { tag: "user", role: "user", isLast: true, shown: ["copyAction", "editAction"] },
            { tag: "user being edited", role: "user", isLast: false, editing: true, shown: [] },
            { tag: "assistant", role: "assistant", isLast: false, shown: ["copyAction"] },
            { tag: "last assistant", role: "assistant", isLast: true, shown: ["copyAction", "regenerateAction"] },
            { tag: "streaming", role: "assistant", isLast: true, streaming: true, shown: [] },
            { tag: "last system", role: "system", isLast: true, shown: ["copyAction", "regenerateAction"] },
        ]
    }

    function test_actions(data) {
        const row = makeRow({ role: data.role, isLast: data.isLast, isStreaming: !!data.streaming,
                              isEditing: !!data.editing })
        const height = row.height
        compare(shownActions(row), [], "hidden without the pointer")
        hover(row)
        compare(shownActions(row), data.shown)
        compare(row.height, height, "hidden actions keep their room")
        compare(findChild(row, "bubble").visible, data.role === "user" && !data.editing)
        compare(findChild(row, "markdown").onAccent, data.role === "user")
    }

    // The actions show with the pointer or with the keyboard's focus, and Space presses the
    // focused one; copying puts the raw text, not the rendered one. (The edit action is clicked
    // in the chat pane's tests.)
    function test_actionsByKeyAndPointer() {
        const text = "看代码：\n```js\nlet a = 1\n```\n**粗**"
        TestSupport.setClipboardText("")
        const row = makeRow({ role: "assistant", content: text, isLast: true })
        const actions = findChild(row, "actions")
        compare(actions.opacity, 0)
        findChild(row, "copyAction").forceActiveFocus(Qt.TabFocusReason)
        compare(actions.opacity, 1)
        keyClick(Qt.Key_Space)
        compare(TestSupport.clipboardText(), text)
        // Tab goes on to regenerate, the next action of the last reply.
        keyClick(Qt.Key_Tab)
        verify(findChild(row, "regenerateAction").activeFocus)
        compare(actions.opacity, 1)
        spy.clear()
        spy.target = row
        spy.signalName = "regenerate"
        hover(row)
        mouseClick(findChild(row, "regenerateAction"))
        compare(spy.count, 1)
    }

    // Only the buttons end the edit: Return in the editor adds a line.
    function test_editorCallbacks() {
        const row = makeRow({ role: "user", content: "原文", isEditing: true, editText: "原文" })
        const editor = findChild(row, "editor")
        const calls = []
        const edited = []
        row.cancelEdit.connect(() => calls.push("cancel"))
        row.submitEdit.connect(() => calls.push("submit"))
        row.editTextEdited.connect(t => edited.push(t))
        editor.forceActiveFocus()
        editor.cursorPosition = editor.length
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_X)
        compare(edited[edited.length - 1], "原文\nx")
        mouseClick(findChild(row, "cancelEditButton"))
        mouseClick(findChild(row, "submitEditButton"))
        compare(calls, ["cancel", "submit"])
    }

    function test_editorGrowsUpToTwelveLines() {
        const row = makeRow({ role: "user", content: "a", isEditing: true, editText: "a" })
        const heights = [1, 11, 12, 13, 40].map(n => {
            row.editText = Array(n).fill("行").join("\n")
            return findChild(row, "editorField").height
        })
        verify(heights[0] < heights[1] && heights[1] < heights[2])
        compare(heights.slice(2), [heights[2], heights[2], heights[2]])
    }

    // A row the list reuses for another message does not keep the reasoning the user opened.
    function test_reusedRowFoldsReasoning() {
        const row = makeRow({ role: "assistant" })
        const reasoning = findChild(row, "reasoning")
        reasoning.userExpanded = true
        row.messageID = "OTHER"
        compare(reasoning.expanded, false)
    }

    // A row the list reuses for a message of the other side puts its actions on that side: the
    // user's under the bubble on the right, the others' on the left.
    function test_reusedRowMovesActions_data() {
        return [
            { tag: "user, then reply", from: "user", to: "assistant" },
            { tag: "reply, then user", from: "assistant", to: "user" },
        ]
    }

    function test_reusedRowMovesActions(data) {
        const row = makeRow({ role: data.from })
        row.role = data.to
        row.messageID = "OTHER"
        const actions = findChild(row, "actions")
        const body = actions.parent
        if (data.to === "user")
            fuzzyCompare(actions.x + actions.width, body.width, 0.5)
        else
            compare(actions.x, 0)
    }

    // The bubble's corners are rounded but for the bottom-right one, which is nearly square, and
    // its fill is one gradient: the squared corner is not a patch of another shade.
    function test_bubbleCorners() {
        const row = makeRow({ role: "user", content: "第一行\n第二行\n第三行" })
        const bubble = findChild(row, "bubble")
        // Read from a grab of the whole window: a grab of the bubble alone is cut from the
        // wrong place.
        const image = grabImage(test)
        const at = bubble.mapToItem(test, 0, 0)
        const w = bubble.width
        const h = bubble.height
        const pixel = (x, y) => image.pixel(at.x + x, at.y + y)
        // The bubble's blue against the white of the test window.
        const inside = (x, y) => pixel(x, y).r < 0.5
        verify(!inside(1, 1) && !inside(w - 2, 1) && !inside(1, h - 2), "rounded corners")
        verify(inside(w - 2, h - 4) && inside(w - 4, h - 2), "a nearly square corner")
        // Along the rows under the text, the corner's pixels are those of the bubble's middle.
        for (let y = h - 10; y < h - 5; ++y) {
            for (let x = w - Theme.bubbleRadius - 3; x < w - 1; ++x)
                compare(String(pixel(x, y)), String(pixel(Math.round(w / 2), y)),
                        "one shade along row " + y)
        }
    }

    // A call that waits shows the card and not its line; the card's buttons answer that call;
    // a line opens to the arguments and the result.
    function test_toolCalls_data() {
        return [
            { tag: "allow", button: "approveButton", signal: "allowCall" },
            { tag: "allow for the conversation", button: "approveConversationButton", signal: "allowConversation" },
            { tag: "deny", button: "denyButton", signal: "denyCall" },
        ]
    }

    function test_toolCalls(data) {
        const calls = [
            { id: "c1", server: "everything", tool: "echo", arguments: "{\n    \"message\": \"hi\"\n}",
              result: "**hi**", state: "done", images: [] },
            { id: "c2", server: "files", tool: "read", arguments: "{}", result: "", state: "asking", images: [] },
        ]
        const row = makeRow({ role: "assistant", content: "", toolCalls: calls })
        const items = findChild(row, "toolCalls")
        verify(items.visible)
        const shown = []
        for (let i = 0; i < items.children.length; ++i) {
            const call = items.children[i]
            if (call.objectName === "toolCall")
                shown.push(call)
        }
        compare(shown.map(call => findChild(call, "toolCallLine").visible), [true, false])
        compare(shown.map(call => findChild(call, "approvalCard").visible), [false, true])
        compare(findChild(row, "toolCallTitle").text, "调用 everything · echo")

        spy.clear()
        spy.target = row
        spy.signalName = data.signal
        mouseClick(findChild(shown[1], data.button))
        compare(spy.count, 1)
        compare(spy.signalArguments[0][0], "c2")

        const body = findChild(shown[0], "toolCallBody")
        verify(!body.visible)
        mouseClick(findChild(shown[0], "toolCallLine"))
        verify(body.visible)
        tryVerify(() => findChild(shown[0], "toolCallResult").implicitHeight > 0)
    }
}
