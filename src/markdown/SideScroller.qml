// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// Content wider than the room it is given scrolls sideways, with a thin scroll bar under it and
// a fade at the cut edge until its end is in view, so that what is hidden is seen to be there.
// The bar and the fade are drawn in the scroller's parent, beside what the scroller clips; the
// parent leaves barRoom under the scroller for the bar.
Flickable {
    id: scroller

    /// The content's own width: wider than the scroller, it scrolls.
    required property real naturalWidth
    property bool onAccent: false
    /// What the fade ends in: the background behind the content.
    required property color fadeColor
    /// The room the bar takes under the scroller while it shows.
    readonly property real barRoom: interactive ? bar.height + 4 : 0

    contentWidth: Math.max(width, naturalWidth)
    contentHeight: height
    flickableDirection: Flickable.HorizontalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: naturalWidth > width + 0.5
    clip: interactive
    ScrollBar.horizontal: ScrollBar {
        id: bar
        objectName: "sideScrollBar"
        parent: scroller.parent
        x: scroller.x
        y: scroller.y + scroller.height + 4
        width: scroller.width
        policy: scroller.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        visible: scroller.interactive
        padding: 0
        contentItem: Rectangle {
            implicitHeight: 5
            radius: 2.5
            color: scroller.onAccent ? Theme.bubbleSecondary : Theme.tertiaryLabel
        }
        background: null
    }

    // Shift with the wheel scrolls sideways, as elsewhere on the desktop, and the page under
    // the content stays where it is; a plain turn of the wheel is left to the page.
    WheelHandler {
        objectName: "sideWheel"
        enabled: scroller.interactive
        acceptedModifiers: Qt.ShiftModifier
        orientation: Qt.Vertical
        onWheel: event => {
            const delta = event.pixelDelta.y !== 0
                    ? event.pixelDelta.y
                    : event.angleDelta.y / 120 * Qt.styleHints.wheelScrollLines * 20
            scroller.contentX = Math.max(0, Math.min(scroller.contentWidth - scroller.width,
                                                     scroller.contentX - delta))
        }
    }

    Rectangle {
        objectName: "sideFade"
        parent: scroller.parent
        x: scroller.x + scroller.width - width
        y: scroller.y
        width: 28
        height: scroller.height
        visible: scroller.interactive && !scroller.atXEnd
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop {
                position: 0
                color: "transparent"
            }
            GradientStop {
                position: 1
                color: scroller.fadeColor
            }
        }
    }
}
