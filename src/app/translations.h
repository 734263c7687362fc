// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

/// Installs Qt's own Chinese translations (qtbase, qtdeclarative) from Qt's translations folder,
/// and the program's catalogue with the texts of Qt's file dialog that Qt's lacks, so the texts
/// Qt itself shows (error strings, standard dialogs, context menus) match the interface; dates
/// and numbers that Qt formats follow it too. A missing file is skipped. Returns how many
/// catalogues were installed.
int installTranslations(QCoreApplication &app);
