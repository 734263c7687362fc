// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls

// Put inside a text item: a right click opens its window's text menu for that item.
TapHandler {
    acceptedButtons: Qt.RightButton
    onTapped: {
        const window = parent.Window.window
        if (window && window.openTextMenu)
            window.openTextMenu(parent)
    }
}
