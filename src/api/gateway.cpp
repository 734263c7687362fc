// SPDX-License-Identifier: GPL-3.0-or-later
#include "gateway.h"

#include "model/textutil.h"

Gateway Gateway::fromSettings(const AppSettings &settings)
{
    return Gateway{settings.baseURL, settings.apiKey};
}

bool Gateway::keyMissing() const
{
    return TextUtil::trimHorizontal(apiKey).isEmpty();
}
