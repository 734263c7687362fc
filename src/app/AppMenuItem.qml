// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Fusion.impl
import Corvane

// An entry of this program's menus: Fusion's, with the entry's shortcut at the right edge, and a
// round indicator when the entry is one choice of several (its action is in an exclusive
// ActionGroup). Fusion's own entries show neither.
MenuItem {
    id: item

    /// The shortcut shown; the action's by default. An entry without an action (the text menu)
    /// names the key that does the same.
    property var shortcut: action ? action.shortcut : undefined
    readonly property string shortcutText: KeyText.nativeText(shortcut)
    /// One choice of several: the action's group allows only one checked.
    readonly property bool radio: !!action && !!action.ActionGroup.group
                                  && action.ActionGroup.group.exclusive

    rightPadding: padding + (shortcutLabel.visible ? shortcutLabel.implicitWidth + 28 : 0)

    Text {
        id: shortcutLabel
        objectName: "shortcutLabel"

        x: item.width - item.padding - width
        anchors.verticalCenter: parent.verticalCenter
        visible: item.shortcutText !== "" && !item.subMenu
        text: item.shortcutText
        font: item.font
        color: item.highlighted ? item.palette.highlightedText : item.palette.text
        opacity: item.highlighted ? 1 : 0.6
    }

    indicator: Item {
        x: item.mirrored ? item.width - width - item.rightPadding : item.leftPadding
        y: item.topPadding + (item.availableHeight - height) / 2
        implicitWidth: 14
        implicitHeight: 14
        visible: item.checkable

        CheckIndicator {
            objectName: "checkIndicator"
            anchors.fill: parent
            control: item
            visible: !item.radio
        }
        RadioIndicator {
            objectName: "radioIndicator"
            anchors.fill: parent
            control: item
            visible: item.radio
        }
    }
}
