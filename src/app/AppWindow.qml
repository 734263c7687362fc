// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A window of this program. Qt 6.4's Fusion style draws with a fixed light palette of its own;
// the window hands its controls the desktop's palette instead (the same one Theme derives its
// colours from), so light and dark system themes both work and changes are followed.
ApplicationWindow {
    id: appWindow

    /// The right-click menu of every text in this window (see TextMenuHandler); made when it
    /// is first opened, so that it costs the window's start nothing.
    readonly property TextContextMenu textMenu: textMenuMaker.object

    /// Opens the text menu for a text item of this window.
    function openTextMenu(item) {
        textMenuMaker.get().openFor(item)
    }

    font.pixelSize: Theme.body
    color: Theme.windowBackground

    palette.window: active.window
    palette.windowText: active.windowText
    palette.base: active.base
    palette.alternateBase: active.alternateBase
    palette.text: active.text
    palette.button: active.button
    palette.buttonText: active.buttonText
    palette.highlight: active.highlight
    palette.highlightedText: active.highlightedText
    palette.light: active.light
    palette.midlight: active.midlight
    palette.mid: active.mid
    palette.dark: active.dark
    palette.shadow: active.shadow
    palette.placeholderText: active.placeholderText
    palette.toolTipBase: active.window
    palette.toolTipText: active.windowText
    palette.link: Theme.link
    palette.disabled.windowText: disabled.windowText
    palette.disabled.text: disabled.text
    palette.disabled.buttonText: disabled.buttonText
    palette.disabled.button: disabled.button
    palette.disabled.base: disabled.base
    palette.disabled.highlight: disabled.highlight

    LazyObject {
        id: textMenuMaker
        owner: appWindow

        TextContextMenu {
            parent: appWindow.Overlay.overlay
        }
    }

    SystemPalette {
        id: active

        colorGroup: SystemPalette.Active
    }

    SystemPalette {
        id: disabled

        colorGroup: SystemPalette.Disabled
    }
}
