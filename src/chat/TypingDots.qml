// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// Three dots pulsing in a wave while a reply has no text yet.
Row {
    id: root

    spacing: Theme.listSpacing
    topPadding: 6
    bottomPadding: 6
    Accessible.role: Accessible.Animation
    Accessible.name: qsTr("正在输入")

    Repeater {
        model: 3

        Rectangle {
            id: dot

            required property int index

            width: 6
            height: 6
            radius: Theme.dotRadius
            color: Theme.secondaryLabel
            opacity: 0.25

            // Each dot starts its endless fade later than the one before, which makes the wave.
            SequentialAnimation {
                running: root.visible
                PauseAnimation {
                    duration: dot.index * 180
                }
                SequentialAnimation {
                    loops: Animation.Infinite
                    NumberAnimation {
                        target: dot
                        property: "opacity"
                        from: 0.25
                        to: 1.0
                        duration: 500
                        easing.type: Easing.InOutQuad
                    }
                    NumberAnimation {
                        target: dot
                        property: "opacity"
                        from: 1.0
                        to: 0.25
                        duration: 500
                        easing.type: Easing.InOutQuad
                    }
                }
            }
        }
    }
}
