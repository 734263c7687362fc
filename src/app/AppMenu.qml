// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// A menu of this program: its entries made from actions show their shortcuts and, for a choice
// of one, a round indicator (see AppMenuItem).
Menu {
    delegate: AppMenuItem {}
}
