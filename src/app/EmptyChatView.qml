// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The detail column while no conversation is selected.
Rectangle {
    color: Theme.textBackground

    ColumnLayout {
        anchors.centerIn: parent
        spacing: Theme.emptyStateSpacing

        Icon {
            Layout.alignment: Qt.AlignHCenter
            glyph: Theme.iconBubbles
            size: 46
            color: Theme.secondaryLabel
        }
        Label {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("还没有对话")
            color: Theme.secondaryLabel
        }
        Button {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("新建对话")
            onClicked: Store.newConversation()
        }
    }
}
