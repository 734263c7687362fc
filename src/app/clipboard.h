// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

/// Plain-text copies to the system clipboard, for QML (the singleton `Clipboard`).
class Clipboard : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Replaces the clipboard's contents with `text` as plain text.
    Q_INVOKABLE void setText(const QString &text);
};
