// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A display formula: centred in the column, scrolling sideways when wider than it. A right
// click copies its TeX; a formula that could not be typeset shows its source, and why when the
// pointer rests on it.
Flickable {
    id: root

    /// The formula's image id (the block model's html role).
    required property string html
    /// Its TeX, which a copy gives.
    required property string tex
    property bool onAccent: false
    property bool measure: false
    readonly property real naturalWidth: measure ? formula.implicitWidth : 0
    readonly property string error: formula.drawn ? MathFormulas.errorFor(html) : ""

    objectName: "math"
    implicitHeight: formula.implicitHeight + (scrollBar.visible ? scrollBar.height : 0)
    contentWidth: Math.max(width, formula.implicitWidth)
    contentHeight: height
    flickableDirection: Flickable.HorizontalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: contentWidth > width
    clip: true

    ScrollBar.horizontal: ScrollBar {
        id: scrollBar
        policy: root.contentWidth > root.width ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
    }

    Image {
        id: formula
        objectName: "formula"
        x: Math.max(0, Math.round((root.width - implicitWidth) / 2))
        source: {
            void MathFormulas.revision // asked for again once drawn
            return MathFormulas.source(root.html, root.onAccent ? Theme.bubbleText : Theme.label,
                                       TextZoom.bodySize, Screen.devicePixelRatio)
        }
        // Not ready yet: an empty image under a "pending/" address.
        readonly property bool drawn: status === Image.Ready && source.toString().indexOf("/pending/") < 0
        ToolTip.visible: root.error.length > 0 && hover.hovered
        ToolTip.text: root.error
        ToolTip.delay: 400

        HoverHandler {
            id: hover
        }
        TapHandler {
            acceptedButtons: Qt.RightButton
            onTapped: copyMenu.popup()
        }
    }

    Menu {
        id: copyMenu
        MenuItem {
            text: qsTr("复制公式")
            onTriggered: Clipboard.setText("$$" + root.tex + "$$")
        }
    }
}
