// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
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
    Component {
        id: codeComponent
        CodeBlockView {
            width: 600
        }
    }
    Component {
        id: tableComponent
        TableBlockView {
        }
    }

    function cleanup() {
        TextZoom.reset()
    }

    function blocks(text, onAccent) {
        const view = createTemporaryObject(blocksComponent, test, { "text": text, "onAccent": !!onAccent })
        verify(view)
        return view
    }

    // The block views, in order (each sits in a slot of the column).
    function blockItems(view) {
        const out = []
        for (let i = 0; i < view.children.length; ++i) {
            if (view.children[i].block)
                out.push(view.children[i].block)
        }
        return out
    }

    function cellsOf(grid) {
        const out = []
        for (let i = 0; i < grid.children.length; ++i) {
            if (grid.children[i].inlineHtml !== undefined)
                out.push(grid.children[i])
        }
        return out
    }

    function setZoom(tenths) {
        TextZoom.reset()
        for (let z = 10; z < tenths; ++z)
            TextZoom.zoomIn()
        compare(Math.round(TextZoom.value * 10), tenths)
    }

    function test_codeLabel_data() {
        return [
            { tag: "no language", lang: "", label: "代码" },
            { tag: "json", lang: "json", label: "json" },
            { tag: "as written", lang: "C++ <b>", label: "C++ <b>" },
        ]
    }

    function test_codeLabel(data) {
        const code = createTemporaryObject(codeComponent, test, { "lang": data.lang, "code": "x" })
        compare(findChild(code, "codeLanguage").text, data.label)
    }

    function test_codeCopyAndReset() {
        TestSupport.setClipboardText("")
        const code = createTemporaryObject(codeComponent, test,
                                           { "lang": "json", "code": "{\n  \"a\": 1\n}" })
        const button = findChild(code, "codeCopyButton")
        compare(button.text, "复制")
        mouseClick(button)
        compare(TestSupport.clipboardText(), "{\n  \"a\": 1\n}")
        compare(button.text, "已复制")
        // A second press copies again; the state still ends by itself.
        TestSupport.setClipboardText("")
        mouseClick(button)
        compare(TestSupport.clipboardText(), "{\n  \"a\": 1\n}")
        compare(button.text, "已复制")
        tryCompare(button, "text", "复制", 3000)
    }

    function test_codeWrapsAndSpansTheWidth() {
        const view = blocks("```\n" + "x".repeat(400) + "\n```\n\n```\nshort\n```")
        const items = blockItems(view)
        compare(items.length, 2)
        for (const item of items)
            compare(item.width, view.width)
        const longText = findChild(items[0], "codeText")
        const shortText = findChild(items[1], "codeText")
        verify(longText.lineCount > 1)
        compare(shortText.lineCount, 1)
    }

    function test_tableGrid_data() {
        return [
            { tag: "ragged", rows: [["a", "b", "c"], ["d", "e"], ["f", "g", "h", "i"]],
              columns: 4, cells: 9, divider: true },
            { tag: "header only", rows: [["a", "b"]], columns: 2, cells: 2, divider: false },
            { tag: "two rows", rows: [["a"], ["b"]], columns: 1, cells: 2, divider: true },
            { tag: "empty", rows: [], columns: 0, cells: 0, divider: false },
        ]
    }

    function test_tableGrid(data) {
        const table = createTemporaryObject(tableComponent, test, { "rows": data.rows })
        waitForRendering(table)
        const grid = findChild(table, "tableGrid")
        compare(table.columnCount, data.columns)
        compare(findChild(table, "tableDivider").visible, data.divider)
        const cells = cellsOf(grid)
        compare(cells.length, data.cells)
        // The header row is semibold, the others regular; short rows leave their tail empty.
        for (const cell of cells) {
            compare(cell.font.weight, cell.row === 0 ? Font.DemiBold : Font.Normal)
            const rowStart = cells.filter(c => c.row === cell.row).reduce((x, c) => Math.min(x, c.x), 1e9)
            verify(cell.x >= rowStart)
        }
        if (data.tag === "ragged") {
            const col3 = cells.filter(c => c.column === 3)
            compare(col3.length, 1)
            compare(col3[0].row, 2)
            // Column 2 holds cells of rows 0 and 2 only, aligned under each other.
            const col2 = cells.filter(c => c.column === 2)
            compare(col2.length, 2)
            compare(col2[0].x, col2[1].x)
        }
    }

    function test_tableKeepsNaturalWidth() {
        const view = blocks("| a | b |\n|---|---|\n| 1 | 2 |")
        const table = blockItems(view)[0]
        verify(table.width < view.width / 2)
    }

    function test_tableGrowsInPlace() {
        // A streamed table keeps its cells and adds the new ones.
        const view = blocks("| a | b |\n|---|---|\n| 1 | 2 |")
        const grid = findChild(blockItems(view)[0], "tableGrid")
        const first = cellsOf(grid)[0]
        view.text = "| a | b |\n|---|---|\n| 1 | 2 |\n| 3 | 4"
        const cells = cellsOf(grid)
        compare(cells.length, 6)
        verify(cells.indexOf(first) >= 0)
    }

    function test_tableStreamsInWithoutLayoutLoops() {
        // A table begins as a lone "|", then gains cells, a delimiter row and rows.
        failOnWarning(/loop/)
        const view = blocks("前文\n\n| ")
        waitForRendering(view)
        view.text = "前文\n\n| 事务 | 请求 | 流式输"
        waitForRendering(view)
        view.text += "出 |\n|---|---|---|\n| 1 | 2 |"
        waitForRendering(view)
        const table = blockItems(view)[1]
        compare(table.columnCount, 3)
        compare(findChild(table, "tableDivider").visible, true)
    }

    function test_wideTableScrollsSideways() {
        const row = Array(8).fill("一个相当长的单元格").join(" | ")
        const view = blocks("| " + row + " |\n|" + "---|".repeat(8) + "\n| " + row + " |")
        const table = blockItems(view)[0]
        waitForRendering(table)
        compare(table.width, view.width)
        verify(findChild(table, "tableScroller").interactive)
        // A narrow table neither scrolls nor stretches.
        const small = blockItems(blocks("| a | b |"))[0]
        waitForRendering(small)
        verify(!findChild(small, "tableScroller").interactive)
        verify(small.width < view.width / 2)
    }

    function test_zoomScalesText_data() {
        return [
            { tag: "1.0", tenths: 10, body: 14, h1: 22, h2: 19, h4: 16, code: 13, label: 11 },
            { tag: "1.5", tenths: 15, body: 21, h1: 33, h2: 28.5, h4: 24, code: 19.5, label: 16.5 },
            { tag: "1.8", tenths: 18, body: 25.2, h1: 39.6, h2: 34.2, h4: 28.8, code: 23.4, label: 19.8 },
        ]
    }

    function test_zoomScalesText(data) {
        setZoom(data.tenths)
        const view = blocks("# h1\n\n## h2\n\n#### h4\n\nbody\n\n- item\n\n> quote\n\n```\ncode\n```")
        const items = blockItems(view)
        // Pixel sizes are whole numbers.
        const size = item => item.font.pixelSize
        for (const key of ["body", "h1", "h2", "h4", "code", "label"])
            data[key] = Math.round(data[key])
        fuzzyCompare(size(items[0]), data.h1, 0.01)
        compare(items[0].font.weight, Font.Bold)
        fuzzyCompare(size(items[1]), data.h2, 0.01)
        fuzzyCompare(size(items[2]), data.h4, 0.01)
        compare(items[2].font.weight, Font.DemiBold)
        fuzzyCompare(size(items[3]), data.body, 0.01)
        fuzzyCompare(size(findChild(items[4], "listText")), data.body, 0.01)
        fuzzyCompare(findChild(items[6], "codeText").font.pixelSize, data.code, 0.01)
        fuzzyCompare(findChild(items[6], "codeLanguage").font.pixelSize, data.label, 0.01)
    }

    function test_zoomLeavesRowChromeAlone() {
        const rowComponent = Qt.createComponent("qrc:/Corvane/chat/MessageRow.qml")
        const props = { width: 600, messageId: "x", role: "assistant", content: "a", isLast: true,
                        isStreaming: false, isTyping: false, isEditing: false }
        const before = createTemporaryObject(rowComponent, test, props)
        const actionsHeight = findChild(before, "actions").height
        setZoom(18)
        const after = createTemporaryObject(rowComponent, test, props)
        compare(findChild(after, "actions").height, actionsHeight)
        verify(findChild(after, "markdown").height > findChild(before, "markdown").height)
    }

    function test_listMarkers_data() {
        return [
            { tag: "bullets", text: "- a\n  - b\n    - c\n      - d", markers: ["•", "•", "•", "•"],
              insets: [0, 16, 32, 48] },
            { tag: "numbers as written", text: "007. a\n3) b\n  1. c", markers: ["007.", "3.", "1."],
              insets: [0, 0, 16] },
        ]
    }

    function test_listMarkers(data) {
        const view = blocks(data.text)
        const list = blockItems(view)[0]
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

    function test_accentColours_data() {
        return [
            { tag: "on the window", onAccent: false },
            { tag: "in a bubble", onAccent: true },
        ]
    }

    function test_accentColours(data) {
        const view = blocks("- a\n\n> q", data.onAccent)
        const items = blockItems(view)
        const marker = findChild(items[0], "listMarker")
        const bar = findChild(items[1], "quoteBar")
        if (data.onAccent) {
            // Colours compare at 8 bits per channel.
            compare(String(marker.color), String(Qt.rgba(1, 1, 1, 0.82)))
            compare(String(bar.color), String(Qt.rgba(1, 1, 1, 0.5)))
        } else {
            compare(String(marker.color), String(Theme.secondaryLabel))
            compare(String(bar.color), String(Theme.quoteBar))
        }
    }

    function test_streamingKeepsEarlierBlocks() {
        // Only the growing block changes; the blocks before it stay the same objects.
        const view = blocks("# 标题\n\n第一段")
        const before = blockItems(view)
        view.text += "继续"
        view.text += "\n\n- 列表"
        const after = blockItems(view)
        compare(after.length, 3)
        verify(after[0] === before[0])
        verify(after[1] === before[1])
        verify(after[1].inlineHtml.indexOf("继续") >= 0)
    }

    function test_emptyTextShowsOneEmptyParagraph() {
        const view = blocks("")
        const items = blockItems(view)
        compare(items.length, 1)
        compare(items[0].objectName, "paragraph")
    }
}
