// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVariant>

/// Shortcuts as the desktop writes them in menus, for QML (the singleton `KeyText`).
class KeyText : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /**
     * The shortcut as menus show it ("Ctrl+N"): an Action's shortcut, either a key sequence in
     * text ("Ctrl+,") or a QKeySequence::StandardKey, whose first binding on this platform is
     * shown. Empty for no shortcut, or a standard key the platform does not bind.
     */
    Q_INVOKABLE static QString nativeText(const QVariant &shortcut);
};
