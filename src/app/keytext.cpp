// SPDX-License-Identifier: GPL-3.0-or-later
#include "keytext.h"

#include <QKeySequence>

QString KeyText::nativeText(const QVariant &shortcut)
{
    QKeySequence sequence;
    if (shortcut.metaType() == QMetaType::fromType<QString>()) {
        sequence = QKeySequence::fromString(shortcut.toString(), QKeySequence::PortableText);
    } else if (shortcut.metaType() == QMetaType::fromType<QKeySequence>()) {
        sequence = shortcut.value<QKeySequence>();
    } else if (shortcut.canConvert<int>() && shortcut.isValid()) {
        // QML hands an enum over as a number.
        sequence = QKeySequence::keyBindings(QKeySequence::StandardKey(shortcut.toInt())).value(0);
    }
    return sequence.toString(QKeySequence::NativeText);
}
