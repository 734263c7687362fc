// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The non-modal Settings window, fixed at 460 × 460.
AppWindow {
    id: window

    /// The main window's menu commands: their shortcuts work here too, as menu commands do in
    /// every window of the program.
    property list<Action> menuActions

    title: qsTr("设置")
    width: 460
    height: 460
    minimumWidth: 460
    maximumWidth: 460
    minimumHeight: 460
    maximumHeight: 460

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

    SettingsView {
        anchors.fill: parent
    }
}
