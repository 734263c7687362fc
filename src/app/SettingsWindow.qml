// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The non-modal Settings window, fixed at 460 × 460.
AppWindow {
    title: qsTr("设置")
    width: 460
    height: 460
    minimumWidth: 460
    maximumWidth: 460
    minimumHeight: 460
    maximumHeight: 460

    SettingsView {
        anchors.fill: parent
    }
}
