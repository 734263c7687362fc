// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkopener.h"

#include <QDesktopServices>

bool LinkOpener::isAllowed(const QUrl &url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https")
        return !url.host().isEmpty();
    if (scheme == u"mailto")
        return !url.path().isEmpty();
    return false;
}

bool LinkOpener::open(const QString &url)
{
    const QUrl parsed(url.trimmed());
    if (!isAllowed(parsed))
        return false;
    return QDesktopServices::openUrl(parsed);
}
