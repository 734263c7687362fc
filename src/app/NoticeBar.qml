// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// A short message at the bottom of the window that goes away by itself, with at most one
// action. It never takes the focus.
Rectangle {
    id: bar

    property string text
    property string actionText
    property int timeout: 8000
    property real maximumWidth: 480

    signal actionTriggered
    signal expired

    function show(message, action) {
        text = message
        actionText = action || ""
        visible = true
        timer.restart()
    }
    function hide() {
        timer.stop()
        visible = false
    }

    visible: false
    implicitWidth: Math.min(row.implicitWidth + 20, maximumWidth)
    implicitHeight: 40
    radius: 8
    // The text colour as the fill: dark in a light window, light in a dark one.
    color: Qt.rgba(Theme.label.r, Theme.label.g, Theme.label.b, 0.92)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text

    Timer {
        id: timer

        interval: bar.timeout
        onTriggered: {
            bar.visible = false
            bar.expired()
        }
    }

    // Pointing at the bar keeps it.
    HoverHandler {
        onHoveredChanged: hovered ? timer.stop() : timer.restart()
    }

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 6
        spacing: 8

        Label {
            Layout.fillWidth: true
            text: bar.text
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            color: Theme.windowBackground
        }
        ToolButton {
            id: action

            objectName: "noticeAction"
            visible: bar.actionText !== ""
            text: bar.actionText
            focusPolicy: Qt.NoFocus
            contentItem: Label {
                text: action.text
                font.bold: true
                color: Theme.windowBackground
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                radius: 6
                color: action.hovered ? Qt.rgba(1, 1, 1, 0.15) : "transparent"
            }
            onClicked: bar.actionTriggered()
        }
    }
}
