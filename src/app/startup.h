// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QQmlEngine;

/// The steps of the start that main() and the start-up benchmark share, so that what is
/// measured is what runs.
namespace StartUp {

/// Imports from the resources, and no file selector: nothing here comes in variants chosen by
/// one, and without it resolving a URL (every text item does when it is made) does not look
/// for them.
void prepareEngine(QQmlEngine &engine);

/// While stillWaiting() (a large history is still being read), loads what the first frame
/// needs: the graphics driver and render loop, then the fonts. A small history is read by the
/// time this is called, and its start does not pay for them.
void prepareFirstFrame(const std::function<bool()> &stillWaiting);

} // namespace StartUp
