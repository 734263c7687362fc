// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void Clipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}
