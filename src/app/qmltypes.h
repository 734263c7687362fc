// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/store.h"

#include <QQmlEngine>

/// Exposes the one Store, created in main(), to QML as the singleton "Store".
struct StoreForeign
{
    Q_GADGET
    QML_FOREIGN(Store)
    QML_NAMED_ELEMENT(Store)
    QML_SINGLETON

public:
    static Store *create(QQmlEngine *, QJSEngine *);
    static void setInstance(Store *store);
};
