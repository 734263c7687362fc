// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

/// Whether the desktop's file chooser portal should draw the program's file dialogs.
namespace PortalCheck {

/// Whether a running desktop portal on the bus at busAddress answers as a file chooser within
/// timeoutMs. A portal that is not running is not started for this: starting one can take
/// seconds, and the program then simply keeps its other dialogs. Blocks for at most the
/// time-out; needs no application object.
bool fileChooserAnswers(const QByteArray &busAddress, int timeoutMs);

/**
 * Chooses Qt's portal platform theme, whose file dialogs are the desktop's own (GNOME's, KDE's,
 * a sandbox's), when nobody chose a theme, the plugin is installed and a portal's file chooser
 * answers on the session bus. Qt loads that theme only when asked by name, and only when the
 * application object is made: call this before QGuiApplication.
 */
void choosePlatformTheme();

} // namespace PortalCheck
