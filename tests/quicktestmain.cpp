// SPDX-License-Identifier: GPL-3.0-or-later
// The set-up of the Quick Tests (tests/qml/app and tests/qml/chat): the QML module, the Fusion
// style, one Store in a temporary folder, and the helpers the tests reach as singletons.
#include "app/qmltypes.h"
#include "quicktestsupport.h"
#include "store/store.h"

#include <QQmlEngine>
#include <QQuickStyle>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

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
            m_store = std::make_unique<QmlStore>(m_dir.path());
            StoreForeign::setInstance(m_store.get());
            m_support = std::make_unique<QuickTestSupport>(
                m_store.get(), m_dir.filePath(QStringLiteral("data.json")));
            qmlRegisterSingletonInstance("CorvaneTest", 1, 0, "TestSupport", m_support.get());
        }
    }

    void cleanupTestCase() { StoreForeign::setInstance(nullptr); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QmlStore> m_store;
    std::unique_ptr<QuickTestSupport> m_support;
};

QUICK_TEST_MAIN_WITH_SETUP(quickviews, Setup)

#include "quicktestmain.moc"
