// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Corvane

// The text menu's entries are enabled only where they apply: in a field, a password field and
// read-only text.
Item {
    id: root

    width: 400
    height: 300

    TextField {
        id: field
        width: 200
    }
    TextField {
        id: secret
        y: 40
        width: 200
        echoMode: TextInput.Password
    }
    TextEdit {
        id: reply
        y: 80
        width: 200
        readOnly: true
        text: "回复的文字"
    }
    TextContextMenu {
        id: menu
    }

    TestCase {
        name: "TextMenu"
        when: windowShown

        // Undo, redo, cut, copy and select all: T enabled, F disabled, - hidden.
        function states() {
            return ["undo", "redo", "cut", "copy", "selectAll"].map(name => {
                const entry = findChild(menu, name + "Entry")
                return !entry.visible ? "-" : entry.enabled ? "T" : "F"
            }).join("")
        }

        function cleanup() {
            menu.close()
        }

        // "?": not checked
        function test_states_data() {
            return [
                { tag: "empty field", target: field, text: "", select: false, expected: "?FFFF" },
                { tag: "typed, nothing selected", target: field, text: "你好", select: false, expected: "TFFFT" },
                { tag: "all selected", target: field, text: "你好", select: true, expected: "TFTTF" },
                { tag: "password, selected", target: secret, text: "sk-secret", select: true, expected: "TFFFF" },
                { tag: "read-only, selected", target: reply, text: null, select: true, expected: "---TF" },
                { tag: "read-only, nothing selected", target: reply, text: null, select: false, expected: "---FT" },
            ]
        }

        function test_states(data) {
            const t = data.target
            if (data.text !== null) {
                t.clear()
                t.insert(0, data.text)
            }
            t.deselect()
            if (data.select)
                t.selectAll()
            menu.openFor(t)
            const got = states()
            compare(got, Array.from(data.expected, (c, i) => c === "?" ? got[i] : c).join(""))
            compare(findChild(menu, "pasteEntry").visible, t.readOnly !== true)
        }

        function test_actions() {
            field.clear()
            field.insert(0, "abc")
            field.selectAll()
            menu.openFor(field)
            findChild(menu, "cutEntry").triggered()
            compare(field.text, "")
            menu.openFor(field)
            findChild(menu, "pasteEntry").triggered()
            compare(field.text, "abc")
            menu.openFor(field)
            findChild(menu, "undoEntry").triggered()
            compare(field.text, "")
            menu.openFor(field)
            verify(findChild(menu, "redoEntry").enabled)
            findChild(menu, "redoEntry").triggered()
            compare(field.text, "abc")
        }
    }
}
