// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// The chat pane's header: the conversation's title with the model beneath it, the conversation's
// options and the settings button.
Item {
    id: root

    required property ChatController controller

    /// The user asked for the Settings window.
    signal settingsRequested

    implicitHeight: 52

    Column {
        anchors.left: parent.left
        anchors.leftMargin: 18
        anchors.right: moreButton.left
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.headerLineSpacing

        Text {
            objectName: "headerTitle"
            width: parent.width
            text: root.controller.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            font.pixelSize: Theme.title3
            font.weight: Font.DemiBold
            color: Theme.label
        }
        Text {
            objectName: "headerModel"
            width: parent.width
            text: root.controller.gatewayName === ""
                  ? root.controller.modelLabel
                  : qsTr("%1 · %2").arg(root.controller.effectiveModel).arg(root.controller.gatewayName)
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            maximumLineCount: 1
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
    }

    ToolButton {
        id: moreButton
        objectName: "conversationOptionsButton"
        anchors.right: settingsButton.left
        anchors.verticalCenter: parent.verticalCenter
        text: qsTr("对话选项")
        Accessible.name: text
        display: AbstractButton.IconOnly
        hoverEnabled: true
        ToolTip.visible: hovered && !optionsMenu.visible
        ToolTip.delay: 600
        ToolTip.text: text
        onClicked: optionsMenu.visible ? optionsMenu.close() : optionsMenu.popup(moreButton, 0,
                                                                                  moreButton.height)
        contentItem: Icon {
            glyph: Theme.iconMore
            size: 18
            color: Theme.secondaryLabel
        }

        AppMenu {
            id: optionsMenu
            objectName: "conversationOptions"

            MenuItem {
                objectName: "historyImagesItem"
                // For a model that cannot read images, and to save the tokens they cost: the
                // message being sent still takes its own.
                text: qsTr("不再发送历史图片")
                checkable: true
                checked: !root.controller.historyImages
                onToggled: root.controller.historyImages = !checked
            }
        }
    }

    ToolButton {
        id: settingsButton
        objectName: "settingsButton"
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        text: qsTr("设置")
        Accessible.name: text
        display: AbstractButton.IconOnly
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 600
        ToolTip.text: qsTr("设置")
        onClicked: root.settingsRequested()
        contentItem: Icon {
            glyph: Theme.iconSettings
            size: 18
            color: Theme.secondaryLabel
        }
    }
}
