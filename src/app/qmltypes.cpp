// SPDX-License-Identifier: GPL-3.0-or-later
#include "qmltypes.h"

#include <QCoreApplication>

namespace {
QmlStore *g_store = nullptr;
McpHub *g_hub = nullptr;
} // namespace

McpHub *ToolHubForeign::create(QQmlEngine *, QJSEngine *)
{
    // Tests and tools that run views alone get a hub of their own with no servers.
    if (!g_hub)
        g_hub = new McpHub(qApp);
    QJSEngine::setObjectOwnership(g_hub, QJSEngine::CppOwnership);
    return g_hub;
}

void ToolHubForeign::setInstance(McpHub *hub)
{
    g_hub = hub;
}

QmlStore *StoreForeign::create(QQmlEngine *, QJSEngine *)
{
    Q_ASSERT(g_store);
    // The Store belongs to main(); the engine must not delete it.
    QJSEngine::setObjectOwnership(g_store, QJSEngine::CppOwnership);
    return g_store;
}

Language *LanguageForeign::create(QQmlEngine *engine, QJSEngine *)
{
    Language *language = Language::instance();
    // Shared by the engines and the application; none of them may delete it.
    QJSEngine::setObjectOwnership(language, QJSEngine::CppOwnership);
    // qsTr() bindings are evaluated again only when the engine is told.
    QObject::connect(language, &Language::codeChanged, engine, &QQmlEngine::retranslate);
    return language;
}

void StoreForeign::setInstance(QmlStore *store)
{
    g_store = store;
}

QString QmlStore::selectedIDText() const
{
    const std::optional<QUuid> id = selectedID();
    return id ? canonicalUuidString(*id) : QString();
}

void QmlStore::setSelectedIDText(const QString &id)
{
    setSelectedID(parseCanonicalUuid(id));
}

void QmlStore::remove(const QString &id)
{
    if (const auto uuid = parseCanonicalUuid(id))
        remove(*uuid);
}

void QmlStore::rename(const QString &id, const QString &name)
{
    if (const auto uuid = parseCanonicalUuid(id))
        rename(*uuid, name);
}
