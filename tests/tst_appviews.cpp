// SPDX-License-Identifier: GPL-3.0-or-later
// Quick Tests of the window, the sidebar and the Settings window (tests/qml/app).
#include "app/qmltypes.h"
#include "model/storagecodec.h"
#include "store/store.h"

#include <QFile>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

/// Store set-ups and checks the views' tests cannot make through the Store's QML interface.
class AppTestSupport : public QObject
{
    Q_OBJECT

public:
    AppTestSupport(Store *store, QString dataFile) : m_store(store), m_dataFile(std::move(dataFile))
    {}

    /// Removes every conversation, restores default settings and deletes data.json.
    Q_INVOKABLE void reset()
    {
        while (!m_store->conversations().isEmpty())
            m_store->remove(m_store->conversations().constFirst().id);
        m_store->setSettings(AppSettings());
        removeDataFile();
    }
    /// Sets a title as stored, without the trimming of rename (an empty title, say).
    Q_INVOKABLE void setTitle(const QString &id, const QString &title)
    {
        if (const auto uuid = parseCanonicalUuid(id))
            m_store->setTitle(*uuid, title);
    }
    Q_INVOKABLE QString title(const QString &id) const
    {
        const auto uuid = parseCanonicalUuid(id);
        const Conversation *c = uuid ? m_store->conversation(*uuid) : nullptr;
        return c ? c->title : QString();
    }
    Q_INVOKABLE QStringList ids() const
    {
        QStringList ids;
        for (const Conversation &c : m_store->conversations())
            ids.append(canonicalUuidString(c.id));
        return ids;
    }
    /// Puts settings into the Store without saving them; missing keys read as empty.
    Q_INVOKABLE void setSettings(const QVariantMap &v)
    {
        m_store->setSettings({v.value("baseURL").toString(), v.value("apiKey").toString(),
                              v.value("model").toString(), v.value("systemPrompt").toString(),
                              v.value("models").toStringList()});
    }
    Q_INVOKABLE QVariantMap settings() const
    {
        const AppSettings &s = m_store->settings();
        return {{"baseURL", s.baseURL},
                {"apiKey", s.apiKey},
                {"model", s.model},
                {"systemPrompt", s.systemPrompt},
                {"models", QStringList(s.models)}};
    }
    Q_INVOKABLE bool dataFileExists() const { return QFile::exists(m_dataFile); }
    Q_INVOKABLE void removeDataFile() { QFile::remove(m_dataFile); }

private:
    Store *m_store;
    QString m_dataFile;
};

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // TextZoom reads and writes QSettings: keep it away from the user's.
        QStandardPaths::setTestModeEnabled(true);
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        // Every test file gets its own engine; they share one Store, as the app's windows do.
        if (!m_store) {
            m_store = std::make_unique<Store>(m_dir.path());
            StoreForeign::setInstance(m_store.get());
            m_support = std::make_unique<AppTestSupport>(
                m_store.get(), m_dir.filePath(QStringLiteral("data.json")));
            qmlRegisterSingletonInstance("CorvaneAppTest", 1, 0, "AppTest", m_support.get());
        }
    }

    void cleanupTestCase() { StoreForeign::setInstance(nullptr); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<AppTestSupport> m_support;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_appviews, Setup)

#include "tst_appviews.moc"
