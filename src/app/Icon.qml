// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Corvane

// One glyph of the icon font (Theme.icon...), sized like text.
Text {
    property string glyph
    property real size: Theme.body

    text: glyph
    textFormat: Text.PlainText
    font.family: Theme.iconFont
    font.pixelSize: size
    color: Theme.label
    verticalAlignment: Text.AlignVCenter
    horizontalAlignment: Text.AlignHCenter
    Accessible.ignored: true
}
