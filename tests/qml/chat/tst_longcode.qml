// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Corvane
import CorvaneTest

// A long code block is drawn in pieces made near the visible part: they come and go as it
// scrolls, a growing block adds to its last piece, and selection, copy, colours and search
// marks work across them.
TestCase {
    id: test
    name: "LongCode"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component {
        id: blocksComponent
        MarkdownBlocksView {
            width: 600
        }
    }

    /// `count` numbered lines of Python.
    function pyLines(count, from) {
        const out = []
        for (let i = from || 0; i < (from || 0) + count; ++i)
            out.push("x" + i + " = " + i)
        return out.join("\n")
    }

    function fenced(code) {
        return "```py\n" + code + "\n```"
    }

    function codeBlock(v) {
        const stack = findChild(v, "blockStack")
        tryVerify(() => stack.itemAt(0) !== null)
        return stack.itemAt(0)
    }

    // The pieces made, in order.
    function pieces(block) {
        const stack = findChild(block, "codePieces")
        const out = []
        for (let i = 0; i < stack.children.length; ++i)
            out.push(stack.children[i])
        return out.sort((a, b) => a.y - b.y)
    }

    function view(text, props) {
        const v = createTemporaryObject(blocksComponent, test, Object.assign({ "text": text }, props || {}))
        waitForRendering(v)
        return v
    }

    /// Shows 600 pixels of the view from `top`, and makes the pieces they need.
    function show(v, stack, top) {
        v.visibleTop = top
        v.visibleBottom = top + 600
        v.layout()
        stack.layout()
    }

    // Only the pieces near the visible part have text items; scrolling to the end and back
    // releases them and makes them again, with their text and colours.
    function test_piecesComeAndGo() {
        const code = pyLines(1000)
        const v = view(fenced(code), { "visibleTop": 0, "visibleBottom": 600 })
        const block = codeBlock(v)
        const stack = findChild(block, "codePieces")
        compare(stack.model.count, 10)
        verify(pieces(block).length <= 2, "only what is seen of 1,000 lines: " + pieces(block).length)
        const first = pieces(block)[0]
        compare(first.pieceStart, 0)
        tryVerify(() => findChild(first, "codeHighlighter").highlighted, 10000)

        const end = block.height
        show(v, stack, end - 600)
        const shown = pieces(block)
        verify(shown.length <= 3, "the view's pieces only: " + shown.length)
        verify(shown[shown.length - 1].lastPiece)
        verify(shown[0].y > 0)
        compare(shown[shown.length - 1].text, code.slice(shown[shown.length - 1].pieceStart))

        show(v, stack, 0)

        tryVerify(() => pieces(block)[0].pieceStart === 0 && pieces(block).length <= 2)
        const again = pieces(block)[0]
        verify(again !== first, "made again")
        compare(again.text, code.slice(0, again.pieceEnd))
        // Coloured at once: the block's tokens were kept.
        verify(findChild(again, "codeHighlighter").highlighted)
        verify(TestSupport.highlightAt(again.textDocument, 5).color !== "")
    }

    // A block that grows across a piece's end keeps the pieces it had: the first piece's item
    // stays, holds its 100 lines, and the new lines go into a new piece.
    function test_growingBlock() {
        const v = view(fenced(pyLines(80)).slice(0, -4), { "streaming": true })
        const block = codeBlock(v)
        const first = pieces(block)[0]
        compare(pieces(block).length, 1)
        compare(first.objectName, "codeText")
        v.text += "\n" + pyLines(50, 80)
        waitForRendering(v)
        tryCompare(pieces(block), "length", 2)
        verify(pieces(block)[0] === first, "the first piece was not made again")
        compare(first.text, pyLines(100))
        compare(pieces(block)[1].text, pyLines(30, 100))
        compare(pieces(block)[1].y, first.y + first.height)
    }

    // A selection made by dragging from the first piece into the third is copied whole, line
    // breaks between pieces included; select all takes the whole block.
    function test_selectionAcrossPieces() {
        const code = pyLines(250)
        const block = codeBlock(view(fenced(code)))
        const shown = pieces(block)
        compare(shown.length, 3)
        const selector = findChild(block, "codeSelector")
        verify(selector.enabled)
        const from = shown[0].positionToRectangle(shown[0].text.indexOf("x10 ="))
        const to = shown[2].positionToRectangle(shown[2].text.indexOf("x220 ="))
        const area = selector.parent
        mousePress(selector, from.x + 1, from.y + 5)
        mouseMove(selector, 300, shown[1].y + 20)
        mouseMove(selector, to.x + 1, shown[2].y + to.y + 5)
        mouseRelease(selector, to.x + 1, shown[2].y + to.y + 5)
        compare(block.selectedCode(), code.slice(code.indexOf("x10 ="), code.indexOf("x220 =")))
        verify(shown[1].selectedText.length === shown[1].length, "the middle piece is selected whole")
        TestSupport.setClipboardText("")
        keySequence(StandardKey.Copy)
        compare(TestSupport.clipboardText(), code.slice(code.indexOf("x10 ="), code.indexOf("x220 =")))
        // Shift and a press move the selection's end, keeping its start.
        mouseClick(selector, 300, shown[1].y + 5, Qt.LeftButton, Qt.ShiftModifier)
        compare(block.selectedCode(), code.slice(code.indexOf("x10 ="), shown[1].pieceStart + shown[1].positionAt(300, 5)))
        keySequence(StandardKey.SelectAll)
        keySequence(StandardKey.Copy)
        compare(TestSupport.clipboardText(), code)
        // A press elsewhere takes the selection away.
        const other = createTemporaryObject(focusComponent, test)
        other.forceActiveFocus()
        compare(block.selectedCode(), "")
        compare(shown[1].selectedText, "")
    }

    Component {
        id: focusComponent
        Item {
            activeFocusOnTab: true
        }
    }

    // A search match in the third piece is marked there, and the block is seen where it matches.
    function test_marksInThirdPiece() {
        const code = pyLines(250).replace("x220 = 220", "x220 = needle")
        const v = view(fenced(code), { "matchQuery": "needle" })
        const block = codeBlock(v)
        const third = pieces(block)[2]
        const at = third.text.indexOf("needle")
        verify(at >= 0)
        tryCompare(TestSupport.highlightAt(third.textDocument, at), "background", argb(Theme.matchBackground))
        compare(TestSupport.highlightAt(pieces(block)[0].textDocument, 0).background, "")
        const y = block.matchY()
        verify(y >= findChild(block, "codePieces").parent.y + third.y, "at the third piece: " + y)
        verify(y < findChild(block, "codePieces").parent.y + third.y + third.height)
        compare(v.blockTop(0), y)
    }

    function argb(c) {
        return "#" + [c.a, c.r, c.g, c.b].map(v => Math.round(v * 255).toString(16).padStart(2, "0")).join("")
    }

    // A line far longer than a piece (minified code) is laid out in slices of at most a piece's
    // length, one after the other, and copied whole.
    function test_veryLongLine() {
        const line = "{\"k\":1},".repeat(3000) // 24,000 characters
        const block = codeBlock(view("```json\n" + line + "\n```"))
        const stack = findChild(block, "codePieces")
        compare(stack.model.count, 3)
        let total = ""
        for (const p of pieces(block)) {
            verify(p.length <= 8192)
            total += p.text
        }
        compare(total, line)
        TestSupport.setClipboardText("")
        block.copy()
        compare(TestSupport.clipboardText(), line)
    }
}
