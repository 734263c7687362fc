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

    function init() {
        mouseMove(test, test.width - 2, test.height - 2)
        TestSupport.reset()
    }

    // A pane over a new conversation; shape is a list of [role, content].
    function pane(shape, width, model) {
        const id = TestSupport.addConversation(shape.map(m => ({ "role": m[0], "content": m[1],
                                                                  "error": m[2] || "",
                                                                  "errorKind": m[3] || "" })),
                                               model)
        const view = createTemporaryObject(chatComponent, test, { "conversationID": id, "width": width || 900 })
        waitForRendering(view)
        return view
    }

    function stop(view) {
        view.controller.stop()
        tryCompare(view.controller, "sending", false)
    }

    function test_placeholderByKey_data() {
        return [
            { tag: "spaces and tabs", key: " \t\u3000 ", missing: true },
            { tag: "line break and spaces", key: " \n ", missing: false },
        ]
    }

    function test_placeholderByKey(data) {
        TestSupport.setSettings({ "apiKey": data.key })
        const view = pane([])
        compare(findChild(view, "placeholderHint").text,
                data.missing ? "先到「设置」填好 API 地址、Key 和模型" : "当前模型：gpt-4o-mini")
        compare(findChild(view, "openSettingsLink").visible, data.missing)
    }

    // Flags per row: L(ast), S(treaming), T(yping), E(diting).
    function test_rowFlags_data() {
        return [
            { tag: "idle", shape: [["user", "q"], ["assistant", "a"]], steps: [], flags: ["----", "L---"] },
            { tag: "sent, no text yet", shape: [["user", "q"], ["assistant", "a"]], steps: ["send"],
              flags: ["----", "----", "----", "LST-"] },
            { tag: "first text", shape: [["user", "q"]], steps: ["send", "delta"], flags: ["----", "----", "LS--"] },
            { tag: "stopped before text", shape: [["user", "q"]], steps: ["send", "stop"], flags: ["----", "L---"] },
            { tag: "stopped after text", shape: [["user", "q"]], steps: ["send", "delta", "stop"],
              flags: ["----", "----", "L---"] },
            { tag: "editing", shape: [["user", "q"], ["system", "s"]], steps: ["edit"], flags: ["---E", "L---"] },
        ]
    }

    function test_rowFlags(data) {
        const view = pane(data.shape)
        const ctl = view.controller
        const list = findChild(view, "messageList")
        for (const step of data.steps) {
            if (step === "send") {
                ctl.input = "再问"
                ctl.send()
            } else if (step === "delta") {
                TestSupport.appendToLast(view.conversationID, "答")
            } else if (step === "stop") {
                stop(view)
            } else if (step === "edit") {
                ctl.startEdit(list.itemAtIndex(0).messageID)
            }
        }
        tryCompare(list, "count", data.flags.length)
        const flags = []
        const shown = []
        for (let i = 0; i < list.count; ++i) {
            const r = list.itemAtIndex(i)
            flags.push((r.isLast ? "L" : "-") + (r.isStreaming ? "S" : "-") + (r.isTyping ? "T" : "-")
                       + (r.isEditing ? "E" : "-"))
            shown.push(r.role + ": " + r.content)
        }
        compare(flags, data.flags)
        // Every row shows its own message, also a row that now holds another one.
        compare(shown, TestSupport.messages(view.conversationID))
        if (ctl.sending)
            stop(view)
    }

    function test_returnKeys_data() {
        return [
            { tag: "Enter sends", key: Qt.Key_Enter, text: "hi", sent: true, input: "" },
            { tag: "Alt+Return breaks the line", key: Qt.Key_Return, modifiers: Qt.AltModifier, text: "a", input: "a\n" },
            { tag: "Shift+Return breaks the line", key: Qt.Key_Return, modifiers: Qt.ShiftModifier, text: "a", input: "a\n" },
            { tag: "blank input", key: Qt.Key_Return, text: "  ", input: "  " },
            // The input method commits, and the Return that did it arrives right after; the next
            // Return sends.
            { tag: "Return that commits a composition", key: Qt.Key_Return, text: "", compose: true },
        ]
    }

    function test_returnKeys(data) {
        const view = pane([])
        const input = findChild(view, "input")
        tryVerify(() => input.activeFocus, 1000, "the composer has the focus when the pane appears")
        for (const ch of data.text)
            keyClick(ch)
        if (data.compose) {
            TestSupport.inputMethod(input, "nihao", "")
            keyClick(Qt.Key_Return)
            TestSupport.inputMethod(input, "", "你好")
        }
        keyClick(data.key, data.modifiers || Qt.NoModifier)
        compare(TestSupport.messages(view.conversationID), data.sent ? ["user: " + data.text, "assistant: "] : [])
        // A line break is a line feed whatever the modifier, never U+2028.
        if (!data.compose)
            compare(input.text, data.input)
        else {
            wait(0)
            keyClick(Qt.Key_Return)
            compare(TestSupport.messages(view.conversationID), ["user: 你好", "assistant: "])
        }
        if (view.controller.sending)
            stop(view)
    }

    // Sending disables the composer; a pane opened again while the reply streams shows it as
    // sending, and its stop button stops that reply and gives the composer back its focus.
    function test_sendAndStop() {
        const first = pane([])
        const id = first.conversationID
        first.controller.input = " \n "
        verify(!findChild(first, "sendButton").enabled)
        first.controller.input = "问题"
        mouseClick(findChild(first, "sendButton"))
        verify(!findChild(first, "input").enabled)
        first.destroy()
        wait(0)

        const view = createTemporaryObject(chatComponent, test, { "conversationID": id, "width": 900 })
        waitForRendering(view)
        verify(view.controller.sending)
        verify(!findChild(view, "sendButton"))
        verify(!findChild(view, "input").enabled)
        const list = findChild(view, "messageList")
        tryVerify(() => list.itemAtIndex(1) && list.itemAtIndex(1).isTyping)
        const stopButton = findChild(view, "stopButton")
        mouseMove(stopButton)
        tryCompare(findChild(view, "stopToolTip"), "visible", true)
        compare(findChild(view, "stopToolTip").text, "停止生成（Esc）")
        mouseClick(stopButton)
        tryCompare(view.controller, "sending", false)
        compare(TestSupport.messages(id), ["user: 问题"])
        verify(findChild(view, "sendButton") && findChild(view, "input").enabled)
        tryVerify(() => findChild(view, "input").activeFocus, 1000, "the composer gets its focus back")
    }

    // A pasted image becomes an attachment and pasted text stays text; a chip can be removed,
    // and files alone can be sent.
    function test_pasteAttaches() {
        const view = pane([])
        const input = findChild(view, "input")
        input.forceActiveFocus()
        TestSupport.setClipboardText("文字")
        keyClick(Qt.Key_V, Qt.ControlModifier)
        compare(input.text, "文字")
        compare(view.controller.attachments.count, 0)
        TestSupport.setClipboardImage(400, 300)
        keyClick(Qt.Key_V, Qt.ControlModifier)
        compare(input.text, "文字")
        compare(view.controller.attachments.count, 1)
        tryVerify(() => !view.controller.attachments.busy)
        mouseClick(findChild(view, "removeAttachment"))
        compare(view.controller.attachments.count, 0)
        view.controller.input = ""
        keyClick(Qt.Key_V, Qt.ControlModifier)
        tryVerify(() => view.controller.attachments.count === 1 && !view.controller.attachments.busy)
        verify(findChild(view, "sendButton").enabled)
    }

    // Files dropped onto the pane from a file manager are attached in order; one that cannot
    // be is refused by name, and nothing is taken while a reply streams.
    SignalSpy {
        id: noticeSpy
        signalName: "noticeRequested"
    }

    function test_dropAttaches_data() {
        return [
            { tag: "text files", files: [["a.py", "print(1)\n"], ["b.md", "# 标题\n"]],
              attached: ["a.py", "b.md"], refused: "" },
            { tag: "one refused", files: [["c.bin", "\u0000\u0001"], ["d.txt", "好"]],
              attached: ["d.txt"], refused: "c.bin" },
            { tag: "while sending", files: [["e.txt", "e"]], attached: [], refused: "",
              sending: true },
        ]
    }
    function test_dropAttaches(data) {
        const view = pane([])
        noticeSpy.clear()
        noticeSpy.target = view
        const notices = noticeSpy
        if (data.sending) {
            view.controller.input = "问题"
            view.controller.send()
            verify(view.controller.sending)
        }
        const paths = data.files.map(f => TestSupport.writeFile(f[0], f[1]))
        compare(TestSupport.dropFiles(findChild(view, "messageList"), paths), !data.sending)
        const files = view.controller.attachments
        tryVerify(() => !files.busy)
        const names = []
        for (let i = 0; i < files.count; ++i)
            names.push(files.data(files.index(i, 0), Qt.DisplayRole))
        compare(names, data.attached)
        compare(notices.count, data.refused === "" ? 0 : 1)
        if (data.refused !== "")
            verify(notices.signalArguments[0][0].indexOf(data.refused) >= 0)
        if (data.sending)
            stop(view)
    }

    function test_modelPicker_data() {
        return [
            { tag: "settings model", models: [" deepseek-chat ", "gpt-4o-mini", "", "deepseek-chat"], own: null, checked: "gpt-4o-mini" },
            { tag: "own model", models: ["deepseek-chat"], own: "deepseek-chat", checked: "deepseek-chat" },
            { tag: "own model not listed", models: ["deepseek-chat"], own: "o3", checked: "" },
        ]
    }

    // The menu's entries as shown: "[gateway]" for a header, "✓" before the checked model.
    function menuEntries(menu) {
        const entries = []
        for (let i = 0; i < menu.count; ++i) {
            const item = menu.itemAt(i)
            if (item.objectName === "modelHeader")
                entries.push("[" + item.text + "]")
            else if (item.objectName === "modelEntry")
                entries.push((findChild(item, "checkMark").opacity > 0 ? "✓" : "") + item.text)
        }
        return entries
    }

    // The n-th model entry, headers and the filter field not counted.
    function menuEntry(menu, n) {
        for (let i = 0; i < menu.count; ++i) {
            if (menu.itemAt(i).objectName === "modelEntry" && n-- === 0)
                return menu.itemAt(i)
        }
        return null
    }

    function filterField(menu) {
        for (let i = 0; i < menu.count; ++i) {
            if (menu.itemAt(i).objectName === "modelFilter")
                return menu.itemAt(i)
        }
        return null
    }

    function openMenu(view) {
        mouseClick(findChild(view, "modelPicker"))
        const menu = findChild(view, "modelMenu")
        tryCompare(menu, "opened", true)
        return menu
    }

    function test_modelPicker(data) {
        TestSupport.setSettings({ "models": data.models })
        const view = pane([], 900, data.own)
        const picker = findChild(view, "modelPicker")
        const menu = openMenu(view)
        // Entries trimmed, blanks and repeats dropped; the check mark on the model in use; one
        // gateway needs no header.
        compare(menuEntries(menu), ["gpt-4o-mini", "deepseek-chat"].map(m => (m === data.checked ? "✓" : "") + m))
        verify(!filterField(menu).visible)
        mouseClick(menuEntry(menu, 1))
        tryCompare(menu, "visible", false)
        compare(picker.text, "deepseek-chat")
        compare(findChild(view, "headerModel").text, "deepseek-chat")
    }

    // With a second gateway each has its section; the same model name on both is two entries,
    // and the check is on the conversation's own pair. Choosing moves this conversation alone.
    function test_modelPickerSections() {
        TestSupport.setSettings({ "models": ["deepseek-chat"] })
        const relay = TestSupport.addGateway("中转", ["deepseek-chat", "claude"])
        const other = TestSupport.addConversation([], "deepseek-chat")
        const view = pane([], 900)
        let menu = openMenu(view)
        compare(menuEntries(menu), ["[默认]", "✓gpt-4o-mini", "deepseek-chat", "[中转]", "deepseek-chat", "claude"])
        for (let i = 0; i < menu.count; ++i) {
            const item = menu.itemAt(i)
            if (item.objectName === "modelHeader")
                verify(!item.enabled && item.focusPolicy === Qt.NoFocus, "a header takes no focus")
        }
        mouseClick(menuEntry(menu, 2))
        tryCompare(menu, "visible", false)
        compare(TestSupport.modelChoice(view.conversationID), relay + "/deepseek-chat")
        compare(TestSupport.modelChoice(other), "/deepseek-chat")
        compare(findChild(view, "modelPicker").text, "deepseek-chat")
        compare(findChild(view, "headerModel").text, "deepseek-chat · 中转")

        menu = openMenu(view)
        compare(menuEntries(menu), ["[默认]", "gpt-4o-mini", "deepseek-chat", "[中转]", "✓deepseek-chat", "claude"])
        menu.close()
        tryCompare(menu, "visible", false)

        // A removed gateway stays the conversation's, and says so.
        TestSupport.removeGateway(relay)
        compare(findChild(view, "modelPicker").text, "deepseek-chat（网关已删除）")
        compare(TestSupport.modelChoice(view.conversationID), relay + "/deepseek-chat")
    }

    // A long list gets a filter field, focused when the menu opens; it keeps the matching
    // models with their headers.
    function test_modelPickerFilter() {
        const many = []
        for (let i = 0; i < 16; ++i)
            many.push("model-" + i)
        TestSupport.addGateway("OpenRouter", many)
        const view = pane([], 900)
        const menu = openMenu(view)
        const field = filterField(menu)
        verify(field.visible)
        tryVerify(() => field.activeFocus, 1000, "the filter has the keyboard")
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_4)
        tryCompare(view.controller.modelOptions, "filter", "14")
        compare(menuEntries(menu), ["[OpenRouter]", "model-14"])
        // The new rows are laid out before they can be clicked.
        tryVerify(() => menuEntry(menu, 0).y > filterField(menu).y)
        mouseClick(menuEntry(menu, 0))
        tryCompare(menu, "visible", false)
        compare(findChild(view, "modelPicker").text, "model-14")
    }

    // A failed reply shows the alert, which is made only then. It holds the keyboard: what is
    // typed does not reach the composer, Return and Escape close it like 好, nothing is sent,
    // and the composer has the keyboard again afterwards.
    function test_errorAlert_data() {
        return [{ "tag": "好" }, { "tag": "Return", "key": Qt.Key_Return },
                { "tag": "Enter", "key": Qt.Key_Enter }, { "tag": "Escape", "key": Qt.Key_Escape }]
    }

    function test_errorAlert(data) {
        TestSupport.setSettings({ "baseURL": "http://127.0.0.1:1/v1" })
        const view = pane([])
        verify(!findChild(view, "errorAlert"))
        view.controller.input = "你好"
        view.controller.send()
        tryVerify(() => findChild(view, "errorAlert") !== null, 5000)
        const alert = findChild(view, "errorAlert")
        tryCompare(alert, "opened", true)
        tryCompare(view.controller, "sending", false)
        verify(view.controller.errorMessage.length > 0)
        const sent = TestSupport.messages(view.conversationID)
        compare(sent.length, 2)

        keyClick(Qt.Key_X)
        compare(view.controller.input, "")
        if (data.key === undefined)
            mouseClick(findChild(alert, "errorOk"))
        else
            keyClick(data.key)
        tryCompare(alert, "visible", false)
        verify(!view.controller.showError)
        compare(TestSupport.messages(view.conversationID), sent)
        keyClick(Qt.Key_Y)
        compare(view.controller.input, "y")
    }

    SignalSpy {
        id: settingsSpy
        signalName: "settingsRequested"
    }

    // A failed reply shows why and what to do, after the alert is gone and after a restart:
    // a reply that never began shows the strip alone, one cut off keeps its text above it.
    // The strip's buttons retry and open the settings.
    function test_failureStrip_data() {
        const noKey = "还没填 API Key，请到「设置」里填写。"
        const cut = "网络错误：服务器中途断开了连接（RemoteHostClosedError）"
        return [
            { tag: "never began", content: "⚠️ " + noKey, error: noKey, kind: "noKey",
              heading: noKey, text: false, settings: true },
            { tag: "cut off", content: "好的，我来回答这个问题", error: cut,
              kind: "network:RemoteHostClosedError", heading: "回复中断", text: true, settings: false },
        ]
    }

    function test_failureStrip(data) {
        const view = pane([["user", "你好"], ["assistant", data.content, data.error, data.kind]])
        const list = findChild(view, "messageList")
        const row = list.itemAtIndex(1)
        const strip = findChild(row, "failureStrip")
        verify(strip.visible)
        compare(findChild(strip, "failureHeading").text, data.heading)
        verify(findChild(strip, "failureAdvice").text.length > 0)
        compare(findChild(row, "markdown").visible && findChild(row, "markdown").height > 0, data.text)
        const settingsButton = findChild(strip, "failureSettingsButton")
        compare(settingsButton.visible, data.settings)
        if (data.settings) {
            settingsSpy.target = view
            settingsSpy.clear()
            mouseClick(settingsButton)
            compare(settingsSpy.count, 1)
        }
        // Retry replaces the reply, mark and all.
        const retry = findChild(strip, "retryButton")
        verify(retry.visible)
        mouseClick(retry)
        tryCompare(view.controller, "sending", true)
        compare(TestSupport.messages(view.conversationID), ["user: 你好", "assistant: "])
        tryVerify(() => !findChild(list.itemAtIndex(1), "failureStrip"))
        stop(view)
    }

    // Only the last reply is retried, and not while another reply streams.
    function test_retryOnlyOnTheLastReply() {
        const error = "请求失败（HTTP 500）"
        const view = pane([["user", "一"], ["assistant", "⚠️ " + error, error, "http:500"],
                           ["user", "二"], ["assistant", "⚠️ " + error, error, "http:500"]])
        const list = findChild(view, "messageList")
        verify(!findChild(list.itemAtIndex(1), "retryButton").visible)
        verify(findChild(list.itemAtIndex(3), "retryButton").visible)
        view.controller.input = "三"
        view.controller.send()
        tryCompare(view.controller, "sending", true)
        verify(!findChild(list.itemAtIndex(3), "retryButton").visible)
        stop(view)
    }

    // Escape stops a streaming reply from the composer or from the message list, and first
    // leaves an inline edit.
    function test_escapeStops_data() {
        return [{ tag: "composer" }, { tag: "message list", list: true }]
    }

    function test_escapeStops(data) {
        const view = pane([["user", "你好"], ["assistant", "答"]])
        const list = findChild(view, "messageList")
        view.controller.input = "再问"
        keyClick(Qt.Key_Return)
        tryCompare(view.controller, "sending", true)
        if (data.list)
            list.forceActiveFocus()
        keyClick(Qt.Key_Escape)
        tryCompare(view.controller, "sending", false)
        compare(TestSupport.messages(view.conversationID), ["user: 你好", "assistant: 答", "user: 再问"])
        tryVerify(() => findChild(view, "input").activeFocus || data.list)
        // Escape with nothing streaming changes nothing.
        keyClick(Qt.Key_Escape)
        compare(TestSupport.messages(view.conversationID), ["user: 你好", "assistant: 答", "user: 再问"])
    }

    function test_escapeLeavesTheEdit() {
        const view = pane([["user", "你好"], ["assistant", "答"]])
        view.controller.startEdit(TestSupport.messageIDs(view.conversationID)[0])
        tryVerify(() => findChild(view, "editor") !== null && findChild(view, "editor").activeFocus)
        keyClick(Qt.Key_Escape)
        compare(view.controller.editingID, "")
        verify(!view.controller.sending)
    }

    // The end marker, with the padding under it, is in view.
    function atEnd(list) {
        const y = list.footerItem.mapToItem(list, 0, 0).y
        return y >= 0 && y + list.footerItem.height <= list.height + 1
    }

    function test_scrollsToTheEnd() {
        const shape = []
        for (let i = 0; i < 30; ++i)
            shape.push([i % 2 ? "assistant" : "user", "第 " + i + " 条\n\n" + "内容 ".repeat(80)])
        const view = pane(shape)
        const list = findChild(view, "messageList")
        tryVerify(() => atEnd(list), 2000, "a conversation opens at its end")
        verify(!list.atYBeginning)

        view.controller.input = "继续"
        view.controller.send()
        tryVerify(() => atEnd(list), 2000, "after a count change")
        const last = list.itemAtIndex(list.count - 1)
        for (let i = 0; i < 40; ++i) {
            TestSupport.appendToLast(view.conversationID, "第 " + i + " 段流式文字。\n\n")
            waitForRendering(list)
            verify(atEnd(list), "after delta " + i)
        }
        verify(list.itemAtIndex(list.count - 1) === last, "the streaming row is updated, not rebuilt")

        // The user scrolls up to read: the growing reply no longer pulls the view down, and the
        // "↓" button shows. It takes the view back to the end, which it then follows again.
        const toEnd = findChild(view, "scrollToEndButton")
        verify(!toEnd.visible)
        for (let i = 0; i < 10; ++i)
            mouseWheel(list, list.width / 2, list.height / 2, 0, 120)
        tryVerify(() => !list.moving)
        const readingAt = list.contentY
        verify(!atEnd(list))
        for (let i = 0; i < 5; ++i) {
            TestSupport.appendToLast(view.conversationID, "读的时候还在流 " + i + "。\n\n")
            waitForRendering(list)
        }
        compare(list.contentY, readingAt, "the view stays where the user reads")
        verify(toEnd.visible)
        toEnd.clicked()
        tryVerify(() => atEnd(list), 2000)
        verify(!toEnd.visible)
        TestSupport.appendToLast(view.conversationID, "跟到最后")
        waitForRendering(list)
        verify(atEnd(list))

        // Scrolling back down to the end follows again, too.
        for (let i = 0; i < 3; ++i)
            mouseWheel(list, list.width / 2, list.height / 2, 0, 120)
        tryVerify(() => !list.moving)
        verify(toEnd.visible)
        for (let i = 0; i < 30 && !list.atYEnd; ++i) {
            mouseWheel(list, list.width / 2, list.height / 2, 0, -120)
            tryVerify(() => !list.moving)
        }
        verify(!toEnd.visible)
        TestSupport.appendToLast(view.conversationID, "\n\n又一段")
        waitForRendering(list)
        verify(atEnd(list))
        stop(view)

        // Sending returns to the end, wherever the user was.
        for (let i = 0; i < 10; ++i)
            mouseWheel(list, list.width / 2, list.height / 2, 0, 120)
        tryVerify(() => !list.moving)
        verify(!atEnd(list))
        view.controller.input = "再问一个"
        view.controller.send()
        tryVerify(() => atEnd(list), 2000)
        stop(view)
    }

    // Every icon-only control has a name for screen readers, and Tab reaches it.
    function test_accessibleNames() {
        const view = pane([["user", "问"], ["assistant", "答\n\n```js\nlet x = 1\n```"]])
        const expected = {
            "settingsButton": "设置",
            "sendButton": "发送",
            "modelPicker": "模型：" + view.controller.effectiveModel,
            "scrollToEndButton": "滚动到最新消息",
            "codeCopyButton": "复制代码",
            "copyAction": "复制",
            "regenerateAction": "重新生成",
        }
        for (const name in expected) {
            const item = findChild(view, name)
            verify(item, name)
            compare(item.Accessible.name, expected[name], name)
            verify(item.focusPolicy & Qt.TabFocus, name + " is reached by Tab")
        }
        verify(findChild(view, "messageList").activeFocusOnTab)
    }

    function test_editFromTheRow() {
        const view = pane([["user", "旧问题"], ["assistant", "回答"]])
        const ctl = view.controller
        const row = findChild(view, "messageList").itemAtIndex(0)
        mouseMove(row, row.width - 20, 10)
        mouseClick(findChild(row, "editAction"))
        const editor = findChild(row, "editor")
        compare(editor.text, "旧问题")
        editor.cursorPosition = editor.length
        keyClick(Qt.Key_A)
        compare(ctl.editText, "旧问题a")
        mouseClick(findChild(row, "cancelEditButton"))
        compare(ctl.editingID, "")
        compare(ctl.editText, "旧问题a", "cancelling leaves the edit text alone")
    }
}
