// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

/// Installs Qt's own Chinese translations (qtbase, qtdeclarative) from Qt's translations folder,
/// so the texts Qt itself shows (error strings, standard dialogs, context menus) match the
/// interface. A missing file is skipped. Returns how many were installed.
int installTranslations(QCoreApplication &app);
