// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

/**
 * The folder that holds data.json, and with it the API key. Everything that needs the folder
 * (the lock, the reader, the writer) makes it through here, so it is always made for its owner
 * only, however it is reached first.
 */
namespace DataFolder {

/// Owner-only modes of the folder and of every file Corvane writes into it.
inline constexpr QFile::Permissions folderMode =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
inline constexpr QFile::Permissions fileMode = QFile::ReadOwner | QFile::WriteOwner;

/// GenericDataLocation/Corvane, or empty when the system names no such place.
QString standardPath();

/// Makes the folder (and missing parents, with the usual modes) when it is not there; the
/// folder itself gets folderMode. A folder that exists and belongs to this user but is open to
/// group or others (an earlier version made it so) is closed to folderMode; one owned by
/// someone else is left alone. Returns whether the folder is there.
bool ensure(const QString &path);

} // namespace DataFolder
