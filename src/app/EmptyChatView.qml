// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Shapes
import QtQuick.Controls
import QtQuick.Layouts
import Corvane

// The detail column while no conversation is selected.
Rectangle {
    color: Theme.textBackground

    ColumnLayout {
        anchors.centerIn: parent
        spacing: Theme.emptyStateSpacing

        Shape {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 46
            implicitHeight: 46

            ShapePath {
                scale: Qt.size(46 / 24, 46 / 24)
                strokeColor: "transparent"
                fillColor: Theme.secondaryLabel
                PathSvg {
                    path: Theme.iconBubblesOutlinePath
                }
            }
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
