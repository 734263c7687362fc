// SPDX-License-Identifier: GPL-3.0-or-later
// Quick Tests of the chat pane and the Markdown views (tests/qml/chat).
#include "app/qmltypes.h"
#include "chattestsupport.h"
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
            m_store = std::make_unique<Store>(m_dir.path());
            StoreForeign::setInstance(m_store.get());
            m_support = std::make_unique<ChatTestSupport>(m_store.get());
            qmlRegisterSingletonInstance("CorvaneTest", 1, 0, "TestSupport", m_support.get());
        }
    }

    void cleanupTestCase() { StoreForeign::setInstance(nullptr); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<ChatTestSupport> m_support;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_chatview, Setup)

#include "tst_chatview.moc"
