// SPDX-License-Identifier: GPL-3.0-or-later
#include "languagechange.h"

LanguageChange *LanguageChange::instance()
{
    // Never deleted: objects may stop following it as late as the end of the program.
    static auto *notifier = new LanguageChange;
    return notifier;
}
