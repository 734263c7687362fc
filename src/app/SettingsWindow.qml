// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The non-modal Settings window. Escape, Ctrl+W and "完成" close it.
AppWindow {
    id: window

    /// The main window's menu commands: their shortcuts work here too, as menu commands do in
    /// every window of the program.
    property list<Action> menuActions

    title: qsTr("设置")
    width: 700
    height: 560
    minimumWidth: 600
    minimumHeight: 420

    Instantiator {
        model: window.menuActions
        delegate: Shortcut {
            required property Action modelData

            sequence: modelData.shortcut
            context: Qt.WindowShortcut
            enabled: modelData.enabled
            onActivated: modelData.trigger()
        }
    }

    Shortcut {
        sequence: "Ctrl+W"
        context: Qt.WindowShortcut
        onActivated: window.close()
    }

    SettingsView {
        objectName: "settingsView"
        anchors.fill: parent
        focus: true
        onDone: window.close()
        // Reached only when nothing inside wanted the key: an open menu or dialog closes first.
        Keys.onEscapePressed: window.close()
    }
}
