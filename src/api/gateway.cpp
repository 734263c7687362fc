// SPDX-License-Identifier: GPL-3.0-or-later
#include "gateway.h"

#include "model/textutil.h"

Gateway Gateway::fromSettings(const AppSettings &settings)
{
    return Gateway{settings.baseURL, settings.apiKey};
}

Gateway Gateway::fromSettings(const AppSettings &settings, const QUuid &provider)
{
    if (provider.isNull())
        return fromSettings(settings);
    const Provider *p = settings.provider(provider);
    if (!p)
        return Gateway{{}, {}, false, false, true};
    return Gateway{p->baseURL, p->apiKey, p->noKey, p->streamUsage};
}

bool Gateway::keyMissing() const
{
    return !noKey && !removed && TextUtil::trimHorizontal(apiKey).isEmpty();
}
