// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace DataFolder {

namespace {

// Closes a folder of ours that others may read or enter. Only the owner may change the mode,
// and a folder someone else owns (a shared or managed setup) is theirs to decide.
void tighten(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(native.constData(), &st) != 0 || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        ::chmod(native.constData(), S_IRWXU);
#else
    Q_UNUSED(path)
#endif
}

} // namespace

QString standardPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Corvane");
}

bool ensure(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir()) {
        tighten(path);
        return true;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return QDir().mkdir(path, folderMode);
}

} // namespace DataFolder
