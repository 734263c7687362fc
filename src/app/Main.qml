// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

ApplicationWindow {
    width: 980
    height: 680
    minimumWidth: 720
    minimumHeight: 460
    visible: true
    title: "Corvane"

    Shortcut {
        sequence: "Ctrl+N"
        onActivated: Store.newConversation()
    }

    Label {
        anchors.centerIn: parent
        text: Store.conversationCount + " 个对话"
    }
}
