// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QString>

/// Where requests go and what opens them: one gateway's address and key, as the user typed them.
struct Gateway
{
    QString baseURL;
    QString apiKey;

    /// The gateway the settings describe.
    static Gateway fromSettings(const AppSettings &settings);

    /// No key to send: the key is empty once spaces and tabs are trimmed.
    bool keyMissing() const;
};
