// SPDX-License-Identifier: GPL-3.0-or-later
#include "qmltypes.h"

namespace {
Store *g_store = nullptr;
}

Store *StoreForeign::create(QQmlEngine *, QJSEngine *)
{
    Q_ASSERT(g_store);
    // The Store belongs to main(); the engine must not delete it.
    QJSEngine::setObjectOwnership(g_store, QJSEngine::CppOwnership);
    return g_store;
}

void StoreForeign::setInstance(Store *store)
{
    g_store = store;
}
