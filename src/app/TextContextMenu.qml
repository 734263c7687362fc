// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The right-click menu of text: undo, redo, cut, copy, paste and select all for a field, copy
// and select all for read-only text. One menu serves a window (AppWindow.textMenu); a
// TextMenuHandler in a text item opens it for that item. Each entry is enabled only where it
// applies; a password field never gives its text away.
Menu {
    id: menu

    /// The TextField, TextArea or TextEdit the menu was opened for.
    property var target: null
    readonly property bool editable: target !== null && !target.readOnly
    readonly property bool secret: target !== null && target.echoMode !== undefined
                                   && target.echoMode !== TextInput.Normal
    readonly property bool hasSelection: target !== null && target.selectedText.length > 0

    function openFor(item) {
        target = item
        popup()
    }

    // Fusion draws a disabled entry of a menu that has no window palette like an enabled one.
    component Entry: AppMenuItem {
        opacity: enabled ? 1 : 0.4
    }
    // Entries that only a field has are left out for read-only text.
    component EditEntry: Entry {
        visible: menu.editable
        height: visible ? implicitHeight : 0
    }

    EditEntry {
        objectName: "undoEntry"
        shortcut: StandardKey.Undo
        text: qsTr("撤销")
        enabled: menu.editable && menu.target.canUndo
        onTriggered: menu.target.undo()
    }
    EditEntry {
        objectName: "redoEntry"
        shortcut: StandardKey.Redo
        text: qsTr("重做")
        enabled: menu.editable && menu.target.canRedo
        onTriggered: menu.target.redo()
    }
    MenuSeparator {
        visible: menu.editable
        height: visible ? implicitHeight : 0
    }
    EditEntry {
        objectName: "cutEntry"
        shortcut: StandardKey.Cut
        text: qsTr("剪切")
        enabled: menu.editable && !menu.secret && menu.hasSelection
        onTriggered: menu.target.cut()
    }
    Entry {
        objectName: "copyEntry"
        shortcut: StandardKey.Copy
        text: qsTr("复制")
        enabled: !menu.secret && menu.hasSelection
        // Rich text with formulas copies their TeX.
        onTriggered: menu.target.copySource ? menu.target.copySource() : menu.target.copy()
    }
    EditEntry {
        objectName: "pasteEntry"
        shortcut: StandardKey.Paste
        text: qsTr("粘贴")
        enabled: menu.editable && menu.target.canPaste
        onTriggered: menu.target.paste()
    }
    MenuSeparator {}
    Entry {
        objectName: "selectAllEntry"
        shortcut: StandardKey.SelectAll
        text: qsTr("全选")
        enabled: menu.target !== null && menu.target.length > 0
                 && menu.target.selectedText.length < menu.target.length
        onTriggered: menu.target.selectAll()
    }
}
