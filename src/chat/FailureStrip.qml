// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// Under a failed reply: what failed, the gateway's own words, one line on what to do, and the
// ways on: retry, the settings, the gateway's whole answer.
Rectangle {
    id: root

    /// heading, message, advice, details, offerSettings (see the message list's failure role).
    property var failure
    /// The retry button is offered (the last reply, while nothing streams).
    property bool canRetry
    /// The gateway's whole answer is open.
    property bool detailsShown: false

    signal retry
    /// Send again without any image, and without the history's from then on.
    signal retryWithoutImages
    signal openSettings
    /// The model takes no tools: turn them off and retry.
    signal turnToolsOff

    implicitHeight: column.implicitHeight + 2 * column.y
    radius: Theme.boxRadius
    color: Qt.alpha(Theme.destructive, Theme.dark ? 0.14 : 0.07)
    border.width: 1
    border.color: Qt.alpha(Theme.destructive, 0.35)

    component StripButton: Button {
        flat: true
        font.pixelSize: Theme.footnote
        topPadding: 3
        bottomPadding: 3
        leftPadding: 8
        rightPadding: 8
        palette.buttonText: Theme.label
        background: Rectangle {
            radius: Theme.smallRadius
            color: parent.down ? Theme.quaternaryLabel : Theme.controlBackground
            border.width: 1
            border.color: parent.visualFocus ? Theme.accent : Theme.separator
        }
    }

    Column {
        id: column

        x: 12
        y: 10
        width: parent.width - 2 * x
        spacing: Theme.spacingXS

        Row {
            spacing: Theme.spacingXS
            width: parent.width

            Icon {
                id: mark
                anchors.top: parent.top
                anchors.topMargin: 1
                glyph: Theme.iconWarning
                size: Theme.callout
                color: Theme.destructive
            }
            Text {
                objectName: "failureHeading"
                width: parent.width - mark.width - parent.spacing
                text: root.failure ? root.failure.heading : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: Theme.callout
                font.weight: Font.DemiBold
                color: Theme.destructive
            }
        }
        // Selectable, so the gateway's words can be copied into a search or a support request.
        TextEdit {
            objectName: "failureMessage"
            width: parent.width
            visible: text !== ""
            text: root.failure ? root.failure.message : ""
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
            readOnly: true
            selectByMouse: true
            font.pixelSize: Theme.callout
            color: Theme.label
        }
        Text {
            objectName: "failureAdvice"
            width: parent.width
            text: root.failure ? root.failure.advice : ""
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
        Flow {
            width: parent.width
            spacing: Theme.spacingS
            topPadding: 2

            StripButton {
                objectName: "retryButton"
                visible: root.canRetry
                text: qsTr("重试")
                onClicked: root.retry()
            }
            StripButton {
                objectName: "retryWithoutImagesButton"
                visible: root.canRetry && !!root.failure && !!root.failure.offerWithoutImages
                text: qsTr("不带图片重试")
                onClicked: root.retryWithoutImages()
            }
            StripButton {
                objectName: "toolsOffButton"
                visible: !!root.failure && !!root.failure.offerToolsOff && root.canRetry
                text: qsTr("关闭工具后重试")
                onClicked: root.turnToolsOff()
            }
            StripButton {
                objectName: "failureSettingsButton"
                visible: !!root.failure && root.failure.offerSettings
                text: qsTr("打开设置")
                onClicked: root.openSettings()
            }
            StripButton {
                objectName: "detailsButton"
                visible: !!root.failure && root.failure.details !== ""
                text: root.detailsShown ? qsTr("收起详情") : qsTr("详情")
                onClicked: root.detailsShown = !root.detailsShown
            }
        }
        Rectangle {
            objectName: "failureDetails"
            visible: root.detailsShown && !!root.failure && root.failure.details !== ""
            width: parent.width
            height: Math.min(details.implicitHeight, 220)
            radius: Theme.smallRadius
            color: Theme.textBackground
            border.width: 1
            border.color: Theme.separator

            ScrollView {
                anchors.fill: parent
                TextArea {
                    id: details
                    text: root.failure ? root.failure.details : ""
                    textFormat: TextEdit.PlainText
                    wrapMode: TextEdit.WrapAnywhere
                    readOnly: true
                    selectByMouse: true
                    font.family: Theme.monoFont
                    font.pixelSize: Theme.footnote
                    color: Theme.label
                    background: null
                }
            }
        }
    }
}
