// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// A thematic break: a hairline across the message.
Rectangle {
    property bool onAccent: false
    readonly property real naturalWidth: 0

    objectName: "rule"
    implicitHeight: 1
    color: onAccent ? Theme.bubbleBoxBorder : Theme.separator
}
