// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane
import CorvaneTest

TestCase {
    id: test
    name: "MarkdownViews"
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

    function cleanup() {
        TextZoom.reset()
    }

    function view(text, onAccent) {
        const v = createTemporaryObject(blocksComponent, test, { "text": text, "onAccent": !!onAccent })
        waitForRendering(v)
        return v
    }

    // The block views made, in order.
    function blocks(v) {
        const out = []
        const stack = findChild(v, "blockStack")
        for (let i = 0; i < stack.children.length; ++i)
            out.push(stack.children[i])
        return out.sort((a, b) => a.y - b.y)
    }

    // A colour as the text documents name it: "#aarrggbb".
    function argb(c) {
        return "#" + [c.a, c.r, c.g, c.b].map(v => Math.round(v * 255).toString(16).padStart(2, "0")).join("")
    }

    function cells(table) {
        const grid = findChild(table, "tableGrid")
        const out = []
        for (let i = 0; i < grid.children.length; ++i) {
            if (grid.children[i].inlineHtml !== undefined)
                out.push(grid.children[i])
        }
        return out
    }

    function test_codeCopyAndReset() {
        TestSupport.setClipboardText("")
        const code = blocks(view("```\n{\n  \"a\": 1\n}\n```"))[0]
        compare(findChild(code, "codeLanguage").text, "代码")
        const button = findChild(code, "codeCopyButton")
        compare(button.text, "复制")
        mouseClick(button)
        compare(TestSupport.clipboardText(), "{\n  \"a\": 1\n}", "the code only, without fences or tag")
        compare(button.text, "已复制")
        TestSupport.setClipboardText("")
        mouseClick(button)
        compare(TestSupport.clipboardText(), "{\n  \"a\": 1\n}", "a second press copies again")
        tryCompare(button, "text", "复制", 3000)
    }

    function test_tableGrid_data() {
        return [
            { tag: "ragged", text: "| a | b | c |\n|---|\n| d | e |\n| f | g | h | i |", cells: 9, columns: 4, divider: true },
            { tag: "header only", text: "| a | b |", cells: 2, columns: 2, divider: false },
            { tag: "empty", text: "|---|", cells: 0, columns: 0, divider: false },
        ]
    }

    function test_tableGrid(data) {
        const table = blocks(view(data.text))[0]
        compare(table.columnCount, data.columns)
        compare(findChild(table, "tableDivider").visible, data.divider)
        const all = cells(table)
        compare(all.length, data.cells, "no cell is made up")
        for (const cell of all) {
            compare(cell.font.weight, cell.row === 0 ? Font.DemiBold : Font.Normal)
            // Cells of one column line up, whatever the length of their rows.
            compare(cell.x, all.find(c => c.column === cell.column).x)
        }
    }

    // A streamed text keeps the views already shown: the earlier blocks, a paragraph that
    // grows, and the cells of a table that begins as a lone "|" and gains cells, a delimiter row
    // and rows. The layout settles without a loop.
    function test_streamingKeepsViews() {
        failOnWarning(/loop/)
        const v = view("# 标题\n\n第一段\n\n| ")
        const before = blocks(v)
        v.text = "# 标题\n\n第一段继续\n\n| 事务 | 请求 | 流式输"
        waitForRendering(v)
        const first = cells(blocks(v)[2])[0]
        v.text += "出 |\n|---|---|---|\n| 1 | 2 |"
        waitForRendering(v)
        const after = blocks(v)
        verify(after[0] === before[0] && after[1] === before[1])
        verify(after[1].inlineHtml.indexOf("继续") >= 0)
        compare(after[2].columnCount, 3)
        compare(cells(after[2]).length, 5)
        verify(cells(after[2])[0] === first)
    }

    // Inline formulas keep their paragraph's lines apart, display formulas stand on their own,
    // centred, and none of the blocks overlap once every image has arrived. A copy of the
    // paragraph gives the TeX; a formula with an error shows its source and tells why.
    function test_mathLayout() {
        const v = view("质能方程 $E=mc^2$ 与 \\(\\frac{a}{b}\\) 在同一行。\n"
                       + "$$\\begin{pmatrix}1&2\\\\3&4\\end{pmatrix}$$\n"
                       + "反应 \\[\\ce{2H2 + O2 -> 2H2O}\\]\n\n$$\\frac{1}{$$\n\n错 $\\frac{1}{$")
        const b = blocks(v)
        compare(b.map(x => x.objectName).join(" "), "paragraph math paragraph math math paragraph")
        const images = b.filter(x => x.objectName === "math").map(x => findChild(x, "formula"))
        for (const image of images)
            tryCompare(image, "drawn", true, 20000)
        const paragraph = b[0]
        const line = paragraph.font.pixelSize
        verify(images[0].implicitHeight > 2 * line, "two rows of a matrix are taller than a line")
        fuzzyCompare(images[0].x, (b[1].width - images[0].implicitWidth) / 2, 1)
        // The inline images arrive after the text: the paragraph stays one line, a little taller.
        tryVerify(() => paragraph.implicitHeight > line * 1.2, 5000)
        verify(paragraph.lineCount === 1 && paragraph.implicitHeight < line * 3)
        waitForRendering(v)
        for (let i = 1; i < b.length; ++i)
            verify(b[i].y >= b[i - 1].y + b[i - 1].height, "block " + i + " overlaps the one above")
        TestSupport.setClipboardText("")
        paragraph.forceActiveFocus()
        paragraph.selectAll()
        keySequence(StandardKey.Copy)
        compare(TestSupport.clipboardText(), "质能方程 $E=mc^2$ 与 $\\frac{a}{b}$ 在同一行。")
        // A right click on a display formula offers its TeX; the menu is made then.
        verify(b[1].copyMenu === null)
        mouseClick(images[0], images[0].width / 2, images[0].height / 2, Qt.RightButton)
        verify(b[1].copyMenu !== null)
        tryCompare(b[1].copyMenu, "opened", true)
        b[1].copyMenu.itemAt(0).triggered()
        compare(TestSupport.clipboardText(), "$$\\begin{pmatrix}1&2\\\\3&4\\end{pmatrix}$$")
        b[1].copyMenu.close()
        verify(b[4].error.indexOf("Missing close brace") >= 0, b[4].error)
        // The pointer on the inline formula (the third character) finds its error, and the
        // tooltip shows it.
        tryVerify(() => MathFormulas.errorAt(b[5].textDocument, 2).indexOf("Missing close") >= 0)
        compare(MathFormulas.errorAt(b[5].textDocument, 0), "")
        const at = b[5].positionToRectangle(2)
        mouseMove(b[5], at.x + 3, at.y + at.height / 2)
        tryVerify(() => b[5].formulaError.indexOf("Missing close") >= 0)
        // Every text's tooltip is the one shared instance.
        const tip = ToolTip.toolTip
        tryVerify(() => tip.visible && tip.text === b[5].formulaError, 2000)
        mouseMove(b[0], 5, 5)
        tryVerify(() => !tip.visible)
    }

    // The pointer shows the I-beam over text and the pointing hand over a link, also over a
    // link that a streamed paragraph gains later.
    function test_pointerCursor() {
        const v = view("一段文字")
        const p = blocks(v)[0]
        mouseMove(p, 4, p.height / 2)
        tryVerify(() => TestSupport.cursorShape(p) === Qt.IBeamCursor)
        v.text += " [链接](https://example.com) 后面"
        waitForRendering(v)
        const link = p.positionToRectangle(6)
        mouseMove(p, link.x + 4, link.y + link.height / 2)
        tryVerify(() => TestSupport.cursorShape(p) === Qt.PointingHandCursor)
        compare(p.hoveredLink, "https://example.com")
        mouseMove(p, 4, p.height / 2)
        tryVerify(() => TestSupport.cursorShape(p) === Qt.IBeamCursor)
    }

    // Links take the link colour and code spans their faint box, on the page and on the bubble,
    // also when a streamed paragraph gains them later; the rest of the text has neither.
    function test_inlineColors_data() {
        return [
            { tag: "page", text: "前 [链接](https://example.com) 和 `code` 末", more: "" },
            { tag: "bubble", text: "前 [链接](https://example.com) 和 `code` 末", more: "", onAccent: true },
            { tag: "gained later", text: "前 ", more: "[链接](https://example.com) 和 `code` 末" },
            { tag: "code, no link", text: "前 xx 和 `code` 末", more: "" },
        ]
    }

    function test_inlineColors(data) {
        const v = view(data.text, data.onAccent)
        v.text += data.more
        waitForRendering(v)
        const p = blocks(v)[0]
        const doc = p.textDocument
        const link = TestSupport.colorsAt(doc, 2)
        if (data.tag !== "code, no link")
            compare(link.color, argb(data.onAccent ? Theme.bubbleText : Theme.link))
        compare(link.background, "")
        compare(TestSupport.colorsAt(doc, 7).background,
                argb(data.onAccent ? Theme.bubbleCodeSpanBackground : Theme.codeSpanBackground))
        const plain = TestSupport.colorsAt(doc, 5)
        compare(plain.color, "")
        compare(plain.background, "")
    }

    // A search's matches are marked in Theme's colours, in rich text and in code, on the page and
    // on the bubble, whether the query comes with the text or later.
    function test_searchMarks_data() {
        return [
            { tag: "paragraph", text: "找到 needle 了", at: 3 },
            { tag: "paragraph, query later", text: "找到 needle 了", at: 3, later: true },
            { tag: "paragraph on the bubble", text: "找到 needle 了", at: 3, onAccent: true },
            { tag: "code", text: "```js\nlet needle = 1\n```", code: true, at: 4 },
            { tag: "code, query later", text: "```js\nlet needle = 1\n```", code: true, at: 4, later: true },
        ]
    }

    function test_searchMarks(data) {
        const v = createTemporaryObject(blocksComponent, test, {
            "text": data.text, "onAccent": !!data.onAccent, "matchQuery": data.later ? "" : "needle" })
        waitForRendering(v)
        v.matchQuery = "needle"
        const block = blocks(v)[0]
        const doc = (data.code ? findChild(block, "codeText") : block).textDocument
        tryVerify(() => TestSupport.highlightAt(doc, data.at).background === argb(Theme.matchBackground))
        compare(TestSupport.highlightAt(doc, data.at).color, argb(Theme.matchText))
        compare(TestSupport.highlightAt(doc, data.at - 2).background, "", "only the match is marked")
    }

    // Marks go from the screen when the query changes to one without a match, or ends; a code
    // block's and a paragraph's alike.
    function test_searchMarksGo_data() {
        return [
            { tag: "paragraph, no match", text: "找到 needle 了", at: 3, next: "zzz" },
            { tag: "paragraph, search ended", text: "找到 needle 了", at: 3, next: "" },
            { tag: "code, no match", text: "```js\nlet needle = 1\n```", code: true, at: 4, next: "zzz" },
            { tag: "code, search ended", text: "```js\nlet needle = 1\n```", code: true, at: 4, next: "" },
        ]
    }

    function test_searchMarksGo(data) {
        const v = createTemporaryObject(blocksComponent, test, { "text": data.text, "matchQuery": "needle" })
        waitForRendering(v)
        const block = blocks(v)[0]
        const text = data.code ? findChild(block, "codeText") : block
        const mark = text.positionToRectangle(data.at + 2)
        const at = text.mapToItem(test, mark.x + mark.width / 2, mark.y + 2)
        const marked = () => {
            const p = grabImage(test).pixel(at.x, at.y)
            return Qt.colorEqual(p, Theme.matchBackground)
        }
        tryVerify(marked, 5000, "the match is marked on screen")
        v.matchQuery = data.next
        tryVerify(() => !marked(), 5000, "the mark is gone from the screen")
    }

    // A table or a display formula wider than the message scrolls sideways; what is cut off is
    // seen to be there: a scroll bar under it, within the block, and a fade at the edge until the
    // end is in view. A small one keeps its natural width, with neither.
    function test_sideScroll_data() {
        const row = Array(8).fill("一个相当长的单元格").join(" | ")
        const sum = Array(40).fill("a_{i}").join(" + ")
        return [
            { tag: "wide table", text: "| " + row + " |\n| " + row + " |", scroller: "tableScroller", wide: true },
            { tag: "small table", text: "| a | b |", scroller: "tableScroller", wide: false },
            { tag: "wide formula", text: "$$" + sum + "$$", scroller: "mathScroller", wide: true },
            { tag: "small formula", text: "$$a+b$$", scroller: "mathScroller", wide: false },
        ]
    }

    function test_sideScroll(data) {
        const block = blocks(view(data.text))[0]
        const formula = findChild(block, "formula")
        if (formula)
            tryCompare(formula, "drawn", true, 20000)
        const scroller = findChild(block, data.scroller)
        const bar = findChild(block, "sideScrollBar")
        const fade = findChild(block, "sideFade")
        if (data.scroller === "tableScroller") {
            if (data.wide)
                compare(block.width, 600, "a wide table takes the message width")
            else
                verify(block.width < 100, "a small table keeps its natural width")
        }
        compare(scroller.interactive, data.wide)
        compare(bar.visible, data.wide)
        compare(fade.visible, data.wide)
        if (data.wide)
            verify(bar.y >= scroller.y + scroller.height && block.height >= bar.y + bar.height,
                   "the bar is under the content, within the block")
        if (!data.wide)
            return
        scroller.contentX = scroller.contentWidth - scroller.width
        verify(!fade.visible)
    }

    // Shift with the wheel over a wide table scrolls the table sideways and leaves the page; the
    // plain wheel scrolls the page and leaves the table.
    function test_shiftWheelScrollsSideways_data() {
        return [
            { tag: "shift", modifiers: Qt.ShiftModifier, sideways: true },
            { tag: "plain", modifiers: Qt.NoModifier, sideways: false },
        ]
    }

    function test_shiftWheelScrollsSideways(data) {
        const row = Array(8).fill("一个相当长的单元格").join(" | ")
        const page = createTemporaryObject(pageComponent, test)
        page.view.text = "| " + row + " |\n| " + row + " |"
        waitForRendering(page)
        page.contentY = 100
        const scroller = findChild(page.view, "tableScroller")
        verify(scroller.interactive)
        mouseWheel(scroller, 50, 10, 0, -120, Qt.NoButton, data.modifiers)
        if (data.sideways) {
            tryVerify(() => scroller.contentX > 0)
            compare(page.contentY, 100, "the page stays")
        } else {
            tryVerify(() => page.contentY > 100)
            compare(scroller.contentX, 0, "the table stays")
        }
    }

    Component {
        id: pageComponent

        Flickable {
            readonly property alias view: pageView

            width: 600
            height: 300
            contentHeight: 2000
            boundsBehavior: Flickable.StopAtBounds

            MarkdownBlocksView {
                id: pageView
                y: 200
                width: 600
            }
        }
    }

    function test_zoomScalesText_data() {
        return [
            { tag: "1.5", tenths: 15, body: 21, h1: 33, h2: 29, h4: 24, code: 20, label: 17 },
        ]
    }

    function test_zoomScalesText(data) {
        for (let z = 10; z < data.tenths; ++z)
            TextZoom.zoomIn()
        const b = blocks(view("# h1\n\n## h2\n\n#### h4\n\nbody\n\n- item\n\n```\ncode\n```"))
        // Pixel sizes are whole numbers.
        compare([b[0].font.pixelSize, b[1].font.pixelSize, b[2].font.pixelSize, b[3].font.pixelSize,
                 findChild(b[4], "listText").font.pixelSize, findChild(b[5], "codeText").font.pixelSize,
                 findChild(b[5], "codeLanguage").font.pixelSize],
                [data.h1, data.h2, data.h4, data.body, data.body, data.code, data.label])
        compare([b[0].font.weight, b[2].font.weight], [Font.Bold, Font.DemiBold])
    }

    function test_listMarkers_data() {
        return [
            { tag: "bullets", text: "- a\n  - b\n    - c\n      - d", markers: ["•", "•", "•", "•"], insets: [0, 16, 32, 48] },
            { tag: "numbers as written", text: "007. a\n3) b\n  1. c", markers: ["007.", "3.", "1."], insets: [0, 0, 16] },
        ]
    }

    function test_listMarkers(data) {
        const list = blocks(view(data.text))[0]
        const markers = []
        const insets = []
        for (let i = 0; i < list.children.length; ++i) {
            const marker = findChild(list.children[i], "listMarker")
            if (marker) {
                markers.push(marker.text)
                insets.push(marker.x)
            }
        }
        compare(markers, data.markers)
        compare(insets, data.insets)
    }

    // The blocks stay stacked 10 apart in the text's order, and the view as tall as the stack,
    // whichever block of the text changes.
    function test_blocksStayStacked_data() {
        const para = i => "段落" + i
        const base = [0, 1, 2, 3, 4].map(para)
        const many = Array.from({ length: 40 }, (_, i) => para(i))
        return [
            { tag: "early block of many grows", from: many, to: ["段落0", "段落1\n二\n三"].concat(many.slice(2)) },
            { tag: "last grows", from: base, to: base.slice(0, 4).concat(["段落4\n更多\n再多"]) },
            { tag: "middle grows", from: base, to: ["段落0", "段落1\n二\n三\n四"].concat(base.slice(2)) },
            { tag: "middle removed", from: base, to: ["段落0", "段落1", "段落3", "段落4"] },
            { tag: "middle inserted", from: base, to: ["段落0", "# 标题", "```\na\nb\n```"].concat(base.slice(1)) },
            { tag: "kind changes", from: base, to: ["段落0", "- 项\n- 项", "段落2", "> 引文\n> 二", "段落4"] },
            { tag: "all but one removed", from: base, to: ["段落0"] },
        ]
    }

    function test_blocksStayStacked(data) {
        const v = view(data.from.join("\n\n"))
        v.text = data.to.join("\n\n")
        waitForRendering(v)
        const shown = blocks(v)
        compare(shown.length, data.to.length)
        let y = 0
        for (const block of shown) {
            compare(block.y, y)
            verify(block.height > 0)
            y += block.height + 10
        }
        compare(v.height, y - 10)
    }

    // Only blocks near the visible part have views. Read from the end up, the estimated heights
    // above become real ones: what is seen stays in place once the view follows the reported
    // shift, and once every block was seen the stack is exact.
    function test_onlyBlocksNearTheViewHaveViews() {
        const texts = []
        for (let i = 0; i < 300; ++i)
            texts.push(i % 7 === 3 ? "```\nx = " + i + "\ny\n```" : "段落 " + "文字 word ".repeat(i % 40))
        const v = createTemporaryObject(blocksComponent, test, {
            "text": texts.join("\n\n"), "visibleTop": 0, "visibleBottom": 600 })
        const stack = findChild(v, "blockStack")
        const show = top => {
            v.visibleTop = top
            v.visibleBottom = top + 600
            stack.layout()
        }
        // The view follows as the chat's list does.
        v.contentShifted.connect(dy => show(v.visibleTop + dy))
        show(v.height - 600)
        while (v.visibleTop >= 200) {
            const shown = blocks(v)
            verify(shown.length > 3 && shown.length < 80, shown.length)
            for (const b of shown)
                verify(b.y + b.height > v.visibleTop - 800 && b.y < v.visibleBottom + 800)
            const seen = shown.find(b => b.y >= v.visibleTop)
            const offset = seen.y - v.visibleTop
            show(v.visibleTop - 200)
            compare(seen.y - (v.visibleTop + 200), offset, "what was seen stays in place")
        }
        const heights = []
        for (let i = 0; i < 300; ++i) {
            show(v.blockTop(i))
            heights.push(v.blockAt(i).height)
        }
        compare(v.height, heights.reduce((h, x) => h + x, 0) + 299 * 10)
    }
}
