// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

/**
 * Texts the program itself writes into data.json or into an exported file: the default titles,
 * the mark of a restored copy, the export's headings, an error that becomes a reply. They are
 * written in their Chinese source form whatever language the interface speaks, so that a file
 * never depends on the language it was written in, and translated only where they are shown.
 * Each is marked with QT_TRANSLATE_NOOP("Stored", …), so the catalogue keeps them under that
 * one context.
 */
namespace StoredText {

/// A stored text as it is written (its source form) or as it is shown (its translation).
enum class Form { Written, Shown };

/// A text marked with QT_TRANSLATE_NOOP("Stored", …), in the form asked for.
inline QString text(const char *source, Form form)
{
    return form == Form::Shown ? QCoreApplication::translate("Stored", source)
                               : QString::fromUtf8(source);
}

/// A whole stored text as it is shown: its translation when the catalogue has one, else itself.
inline QString shown(const QString &stored)
{
    return QCoreApplication::translate("Stored", stored.toUtf8().constData());
}

} // namespace StoredText
