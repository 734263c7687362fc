// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// Shown above everything while the last save failed, until a save works again. It never takes
// the keyboard: the user can go on writing while the disk is freed or the folder mended.
Rectangle {
    id: bar

    /// Why the save failed, for the user.
    required property string reason

    signal retryRequested

    implicitHeight: row.implicitHeight + 12
    color: Qt.rgba(Theme.destructive.r, Theme.destructive.g, Theme.destructive.b, 0.14)

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Qt.rgba(Theme.destructive.r, Theme.destructive.g, Theme.destructive.b, 0.5)
    }

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 8
        spacing: 8

        Label {
            objectName: "saveErrorText"
            Layout.fillWidth: true
            text: qsTr("无法保存对话：") + bar.reason
            color: Theme.label
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
        }
        Button {
            objectName: "saveRetryButton"
            text: qsTr("重试")
            focusPolicy: Qt.NoFocus
            onClicked: bar.retryRequested()
        }
    }
}
