// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Corvane
import CorvaneTest

TestCase {
    id: test
    name: "ChatView"
    width: 1400
    height: 800
    visible: true
    when: windowShown

    Component {
        id: chatComponent
        ChatView {
            height: test.height
        }
    }

    SignalSpy {
        id: spy
    }

    function init() {
        mouseMove(test, test.width - 2, test.height - 2)
        TestSupport.reset()
        TestSupport.setModels("gpt-4o-mini", [])
    }

    function createView(id, width) {
        const view = createTemporaryObject(chatComponent, test,
                                           { "conversationId": id, "width": width || 900 })
        verify(view)
        waitForRendering(view)
        return view
    }

    function conversation(shape) {
        return TestSupport.addConversation(shape.map(r => ({ "role": r[0], "content": r[1] })))
    }

    function rowFlags(view) {
        const list = findChild(view, "messageList")
        const out = []
        for (let i = 0; i < list.count; ++i) {
            const row = list.itemAtIndex(i)
            out.push((row.isLast ? "L" : "-") + (row.isStreaming ? "S" : "-")
                     + (row.isTyping ? "T" : "-") + (row.isEditing ? "E" : "-"))
        }
        return out
    }

    function typeText(text) {
        for (const ch of text)
            keyClick(ch)
    }

    // --- placeholder ---

    function test_placeholderByKey_data() {
        return [
            { tag: "empty", key: "", missing: true },
            { tag: "spaces and tabs", key: " \t\u3000 ", missing: true },
            { tag: "line breaks", key: "\n\r\n", missing: false },
            { tag: "line break and spaces", key: " \n ", missing: false },
            { tag: "a key", key: " sk-abc ", missing: false },
        ]
    }

    function test_placeholderByKey(data) {
        TestSupport.setApiKey(data.key)
        const view = createView(TestSupport.addConversation([]))
        compare(findChild(view, "placeholderHint").text,
                data.missing ? "先到「设置」填好 API 地址、Key 和模型" : "当前模型：gpt-4o-mini")
        compare(findChild(view, "openSettingsLink").visible, data.missing)
    }

    function test_placeholderGivesWayToTheList() {
        const id = TestSupport.addConversation([])
        const view = createView(id)
        verify(findChild(view, "placeholder").visible)
        verify(!findChild(view, "messageList").visible)
        TestSupport.appendMessage(id, "user", "你好")
        verify(!findChild(view, "placeholder").visible)
        verify(findChild(view, "messageList").visible)
    }

    function test_settingsRequests() {
        TestSupport.setApiKey("")
        const view = createView(TestSupport.addConversation([]))
        spy.clear()
        spy.target = view
        spy.signalName = "settingsRequested"
        mouseClick(findChild(view, "openSettingsLink"))
        mouseClick(findChild(view, "settingsButton"))
        compare(spy.count, 2)
    }

    // --- row flags ---

    function test_rowFlags_data() {
        return [
            { tag: "idle", shape: [["user", "q"], ["assistant", "a"]], step: "",
              flags: ["----", "L---"], sending: false },
            { tag: "sent, no text yet", shape: [["user", "q"], ["assistant", "a"]], step: "send",
              flags: ["----", "----", "----", "LST-"], sending: true },
            { tag: "first text arrived", shape: [["user", "q"]], step: "send+delta",
              flags: ["----", "----", "LS--"], sending: true },
            { tag: "stopped before any text", shape: [["user", "q"]], step: "send+stop",
              flags: ["----", "L---"], sending: false },
            { tag: "stopped after some text", shape: [["user", "q"]], step: "send+delta+stop",
              flags: ["----", "----", "L---"], sending: false },
            { tag: "regenerating", shape: [["user", "q"], ["assistant", "a"]], step: "regenerate",
              flags: ["----", "LST-"], sending: true },
            { tag: "system message last", shape: [["system", "s"]], step: "",
              flags: ["L---"], sending: false },
            { tag: "editing", shape: [["user", "q"], ["assistant", "a"]], step: "edit0",
              flags: ["---E", "L---"], sending: false },
            { tag: "edit refused while sending", shape: [["user", "q"]], step: "send+edit0",
              flags: ["----", "----", "LST-"], sending: true },
        ]
    }

    function test_rowFlags(data) {
        const id = conversation(data.shape)
        const view = createView(id)
        const ctl = view.controller
        const list = findChild(view, "messageList")
        for (const step of data.step.split("+")) {
            if (step === "send") {
                ctl.input = "再问"
                ctl.send()
            } else if (step === "delta") {
                TestSupport.appendToLast(id, "答")
            } else if (step === "stop") {
                ctl.stop()
                tryCompare(ctl, "sending", false)
            } else if (step === "regenerate") {
                ctl.regenerate()
            } else if (step === "edit0") {
                ctl.startEdit(list.itemAtIndex(0).messageId)
            }
        }
        compare(ctl.sending, data.sending)
        tryCompare(list, "count", data.flags.length)
        compare(rowFlags(view), data.flags)
        if (ctl.sending) {
            ctl.stop()
            tryCompare(ctl, "sending", false)
        }
    }

    // --- composer ---

    function test_returnKeys_data() {
        return [
            { tag: "Return sends", text: "hello", modifiers: Qt.NoModifier, sent: ["hello"], input: "" },
            { tag: "Enter sends", text: "hi", key: Qt.Key_Enter, modifiers: Qt.NoModifier, sent: ["hi"], input: "" },
            { tag: "Alt+Return breaks the line", text: "a", modifiers: Qt.AltModifier, sent: [], input: "a\n" },
            { tag: "Shift+Return breaks the line", text: "a", modifiers: Qt.ShiftModifier, sent: [], input: "a\n" },
            { tag: "blank input sends nothing", text: "  ", modifiers: Qt.NoModifier, sent: [], input: "  " },
        ]
    }

    function test_returnKeys(data) {
        const id = TestSupport.addConversation([])
        const view = createView(id)
        const input = findChild(view, "input")
        tryVerify(() => input.activeFocus, 1000, "the composer has the focus when the pane appears")
        typeText(data.text)
        keyClick(data.key || Qt.Key_Return, data.modifiers)
        const users = TestSupport.contents(id).filter((c, i) => TestSupport.roles(id)[i] === "user")
        compare(users, data.sent)
        compare(view.controller.input, data.input)
        // A line break is a real line feed, whatever the modifier.
        compare(input.text, data.input)
        if (view.controller.sending) {
            view.controller.stop()
            tryCompare(view.controller, "sending", false)
        }
    }

    function test_returnThatCommitsACompositionDoesNotSend() {
        const id = TestSupport.addConversation([])
        const view = createView(id)
        const input = findChild(view, "input")
        input.forceActiveFocus()
        TestSupport.inputMethod(input, "nihao", "")
        verify(input.inputMethodComposing)
        keyClick(Qt.Key_Return)
        compare(TestSupport.contents(id), [])
        // The input method commits, and the Return that did it arrives right after.
        TestSupport.inputMethod(input, "", "你好")
        keyClick(Qt.Key_Return)
        compare(TestSupport.contents(id), [])
        verify(input.text.indexOf("你好") >= 0)
        // The next Return is the user's own.
        wait(0)
        keyClick(Qt.Key_Return)
        compare(TestSupport.roles(id), ["user", "assistant"])
        view.controller.stop()
        tryCompare(view.controller, "sending", false)
    }

    function test_sendAndStopButtons() {
        const id = TestSupport.addConversation([])
        const view = createView(id)
        const ctl = view.controller
        const input = findChild(view, "input")
        let button = findChild(view, "sendButton")
        verify(!button.enabled)
        compare(button.contentItem.opacity, 0.5)
        compare(String(button.contentItem.color), String(Theme.secondaryLabel))

        ctl.input = " \n "
        verify(!button.enabled, "blank input cannot be sent")
        ctl.input = "问题"
        verify(button.enabled)
        compare(button.contentItem.opacity, 1)
        compare(String(button.contentItem.color), String(Theme.accent))

        mouseClick(button)
        verify(ctl.sending)
        verify(!input.enabled)
        const stop = findChild(view, "stopButton")
        verify(stop && stop.enabled)
        compare(String(stop.contentItem.color), String(Theme.destructive))
        const tip = findChild(view, "stopToolTip")
        mouseMove(stop)
        tryCompare(tip, "visible", true)
        compare(tip.text, "停止生成")

        mouseClick(stop)
        tryCompare(ctl, "sending", false)
        // Stopped before any text: the empty reply is gone.
        compare(TestSupport.roles(id), ["user"])
        verify(input.enabled)
        button = findChild(view, "sendButton")
        verify(button && !button.enabled)
        tryVerify(() => input.activeFocus, 1000, "the composer gets its focus back")
    }

    function test_errorAlert() {
        const id = TestSupport.addConversation([])
        const view = createView(id)
        const ctl = view.controller
        const alert = findChild(view, "errorAlert")
        TestSupport.setBaseUrl("not a url")
        ctl.input = "问"
        ctl.send()
        tryCompare(ctl, "sending", false)
        tryCompare(alert, "opened", true)
        compare(alert.title, "出错了")
        compare(ctl.errorMessage, "API 地址无效，请到「设置」检查。")
        mouseClick(findChild(alert, "errorOk"))
        tryCompare(alert, "visible", false)
        compare(ctl.showError, false)
    }

    // --- model picker ---

    function test_modelPicker_data() {
        return [
            { tag: "settings model checked", model: "gpt-4o-mini", models: [" deepseek-chat ", "gpt-4o-mini", "", "deepseek-chat"],
              own: null, entries: ["gpt-4o-mini", "deepseek-chat"], checked: "gpt-4o-mini" },
            { tag: "conversation's own model", model: "gpt-4o-mini", models: ["deepseek-chat"],
              own: "deepseek-chat", entries: ["gpt-4o-mini", "deepseek-chat"], checked: "deepseek-chat" },
            { tag: "model not in the list", model: "gpt-4o-mini", models: ["deepseek-chat"],
              own: "o3", entries: ["gpt-4o-mini", "deepseek-chat"], checked: "" },
        ]
    }

    function test_modelPicker(data) {
        TestSupport.setModels(data.model, data.models)
        const id = TestSupport.addConversation([])
        if (data.own !== null)
            TestSupport.setConversationModel(id, data.own)
        const view = createView(id)
        const picker = findChild(view, "modelPicker")
        const menu = findChild(view, "modelMenu")
        compare(picker.text, data.own !== null ? data.own : data.model)
        mouseClick(picker)
        tryCompare(menu, "opened", true)
        const entries = []
        let checked = ""
        for (let i = 0; i < menu.count; ++i) {
            const item = menu.itemAt(i)
            entries.push(item.text)
            if (findChild(item, "checkMark").opacity > 0) {
                compare(checked, "", "one check mark at most")
                checked = item.text
            }
        }
        compare(entries, data.entries)
        compare(checked, data.checked)

        // Choosing an entry pins the conversation to it.
        mouseClick(menu.itemAt(1))
        tryCompare(menu, "visible", false)
        compare(view.controller.effectiveModel, data.entries[1])
        compare(picker.text, data.entries[1])
        compare(findChild(view, "headerModel").text, data.entries[1])
    }

    // --- list ---

    function test_readingColumn_data() {
        return [
            { tag: "narrow", width: 720, row: 680 },
            { tag: "wide", width: 1400, row: 720 },
        ]
    }

    function test_readingColumn(data) {
        const view = createView(conversation([["user", "q"], ["assistant", "a"]]), data.width)
        const row = findChild(view, "messageList").itemAtIndex(1)
        compare(row.width, data.row)
        const left = row.mapToItem(view, 0, 0).x
        fuzzyCompare(left, (data.width - data.row) / 2, 0.5)
    }

    // The end marker and the padding under it are in view.
    function atEnd(list) {
        const footer = list.footerItem
        const y = footer.mapToItem(list, 0, 0).y
        return y >= 0 && y + footer.height <= list.height + 1
    }

    function test_scrollsToTheEnd() {
        const shape = []
        for (let i = 0; i < 30; ++i)
            shape.push([i % 2 ? "assistant" : "user", "第 " + i + " 条\n\n" + "内容 ".repeat(80)])
        const id = conversation(shape)
        const view = createView(id)
        const list = findChild(view, "messageList")
        // A conversation opens at its end.
        tryVerify(() => atEnd(list), 2000)
        verify(!list.atYBeginning)

        view.controller.input = "继续"
        view.controller.send()
        tryVerify(() => atEnd(list), 2000, "after a count change")
        const last = list.itemAtIndex(list.count - 1)
        for (let i = 0; i < 40; ++i) {
            TestSupport.appendToLast(id, "第 " + i + " 段流式文字。\n\n")
            waitForRendering(list)
            verify(atEnd(list), "after delta " + i)
        }
        // The streaming row was updated in place, never rebuilt.
        verify(list.itemAtIndex(list.count - 1) === last)

        // The user scrolls up and stays there; the next change brings the end back.
        for (let i = 0; i < 10; ++i)
            mouseWheel(list, list.width / 2, list.height / 2, 0, 120)
        tryVerify(() => !list.moving)
        wait(100)
        verify(!atEnd(list))
        TestSupport.appendToLast(id, "再来一点")
        tryVerify(() => atEnd(list), 2000)
        view.controller.stop()
        tryCompare(view.controller, "sending", false)
    }

    // --- editing through the pane ---

    function test_editFromTheRow() {
        const id = conversation([["user", "原来的问题"], ["assistant", "回答"]])
        const view = createView(id)
        const ctl = view.controller
        const list = findChild(view, "messageList")
        let row = list.itemAtIndex(0)
        mouseMove(row, row.width - 20, 10)
        tryCompare(row, "hovering", true)
        mouseClick(findChild(row, "editAction"))
        compare(ctl.editingID, row.messageId)
        compare(ctl.editText, "原来的问题")
        const editor = findChild(row, "editor")
        verify(editor)
        compare(editor.text, "原来的问题")
        editor.cursorPosition = editor.length
        keyClick(Qt.Key_A)
        compare(ctl.editText, "原来的问题a")
        mouseClick(findChild(row, "cancelEditButton"))
        compare(ctl.editingID, "")
        // Cancelling leaves the edit text alone.
        compare(ctl.editText, "原来的问题a")
        compare(TestSupport.contents(id), ["原来的问题", "回答"])
    }

    function test_submitEditFromTheRow() {
        const id = conversation([["user", "旧"], ["assistant", "回答"]])
        const view = createView(id)
        const ctl = view.controller
        const list = findChild(view, "messageList")
        ctl.startEdit(list.itemAtIndex(0).messageId)
        const row = list.itemAtIndex(0)
        tryVerify(() => findChild(row, "editor") !== null)
        ctl.editText = "新"
        mouseClick(findChild(row, "submitEditButton"))
        compare(ctl.editingID, "")
        compare(TestSupport.contents(id), ["新", ""])
        verify(ctl.sending)
        ctl.stop()
        tryCompare(ctl, "sending", false)
    }
}
