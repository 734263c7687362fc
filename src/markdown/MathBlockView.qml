// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A display formula: centred in the column; one wider than the column scrolls sideways, with a
// scroll bar under it and a fade at the edge until its end is in view. A right click copies its
// TeX; a formula that could not be typeset shows its source, and why when the pointer rests on
// it.
Item {
    id: root

    /// The formula's image id (the block model's html role).
    required property string html
    /// Its TeX, which a copy gives.
    required property string tex
    property bool onAccent: false
    property bool measure: false
    readonly property real naturalWidth: measure ? formula.implicitWidth : 0
    readonly property string error: formula.drawn ? MathFormulas.errorFor(html) : ""
    /// The right-click menu, made on first use: a reply may hold many formulas.
    readonly property Menu copyMenu: copyMenuMaker.object

    objectName: "math"
    implicitHeight: formula.implicitHeight + scroller.barRoom

    SideScroller {
        id: scroller
        objectName: "mathScroller"

        width: root.width
        height: formula.implicitHeight
        naturalWidth: formula.implicitWidth
        onAccent: root.onAccent
        fadeColor: root.onAccent ? Theme.bubbleBottom : Theme.textBackground

        Image {
            id: formula
            objectName: "formula"

            // Not ready yet: a stand-in under an address MathFormulas marks as pending.
            readonly property bool drawn: status === Image.Ready && !MathFormulas.isPending(source)

            x: Math.max(0, Math.round((root.width - implicitWidth) / 2))
            source: {
                void MathFormulas.revision // asked for again once drawn
                return MathFormulas.source(root.html, root.onAccent ? Theme.bubbleText : Theme.label,
                                           TextZoom.bodySize, Screen.devicePixelRatio)
            }
            ToolTip.visible: root.error.length > 0 && hover.hovered
            ToolTip.text: root.error
            ToolTip.delay: 400

            HoverHandler {
                id: hover
            }
            TapHandler {
                acceptedButtons: Qt.RightButton
                onTapped: copyMenuMaker.get().popup()
            }
        }
    }

    LazyObject {
        id: copyMenuMaker
        owner: root

        Menu {
            MenuItem {
                text: qsTr("复制公式")
                onTriggered: Clipboard.setText(MathFormulas.displaySource(root.tex))
            }
        }
    }
}
