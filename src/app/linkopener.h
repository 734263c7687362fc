// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUrl>

/**
 * Opens links from rendered messages in the user's browser or mail program (the singleton
 * `LinkOpener`). Message text comes from a remote model, so only web and mail links are
 * opened; file:, javascript:, custom app schemes and the like are ignored.
 */
class LinkOpener : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// http and https with a host, and mailto with an address.
    static bool isAllowed(const QUrl &url);

    /// Opens `url` when it is allowed; returns whether it was handed to the system.
    Q_INVOKABLE bool open(const QString &url);
};
