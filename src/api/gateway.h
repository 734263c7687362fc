// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QString>
#include <QUuid>

/// Where requests go and what opens them: one gateway's address and key, as the user typed them.
struct Gateway
{
    QString baseURL;
    QString apiKey;
    /// A local server: no key is checked or sent.
    bool noKey = false;
    /// Requests ask for the token usage in the stream.
    bool streamUsage = false;
    /// The gateway is no longer listed: every request to it is refused.
    bool removed = false;

    /// The first gateway, the one the settings' own fields describe.
    static Gateway fromSettings(const AppSettings &settings);
    /// The gateway with that id; null for the first. One that is no longer listed is removed.
    static Gateway fromSettings(const AppSettings &settings, const QUuid &provider);

    /// No key to send where one is needed: the key is empty once spaces and tabs are trimmed.
    /// A removed gateway needs none, since nothing goes to it.
    bool keyMissing() const;
};
