// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the desktop's file chooser portal answers, asked before the application object
// exists, against fake portals on the test's own session bus (the test runs under
// dbus-run-session; without a session bus it skips).
#include "app/portalcheck.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

#include <chrono>
#include <future>
#include <memory>

/// A portal's file chooser: only its version property is asked for.
class FakeChooser : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
    Q_PROPERTY(uint version READ version)

public:
    uint version() const { return 3; }
};

/// A portal that has settings but no file chooser backend.
class FakeSettingsOnly : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
    Q_PROPERTY(uint version READ version)

public:
    uint version() const { return 1; }
};

class TstPortalCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        if (m_address.isEmpty() || !QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus");
    }

    void cleanup()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        m_object.reset();
    }

    // The check blocks; this thread keeps answering for the fake portal meanwhile, or, when
    // the portal hangs, does not.
    void answers_data()
    {
        QTest::addColumn<QString>("portal");
        QTest::addColumn<bool>("expected");
        QTest::newRow("no portal running") << "" << false;
        QTest::newRow("portal without a file chooser") << "settings" << false;
        QTest::newRow("portal with a file chooser") << "chooser" << true;
        QTest::newRow("portal that does not answer in time") << "hung" << false;
    }
    void answers()
    {
        QFETCH(QString, portal);
        QFETCH(bool, expected);
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!portal.isEmpty()) {
            if (portal == u"settings")
                m_object = std::make_unique<FakeSettingsOnly>();
            else
                m_object = std::make_unique<FakeChooser>();
            QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                       m_object.get(), QDBusConnection::ExportAllProperties));
            QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        }
        const auto started = std::chrono::steady_clock::now();
        std::future<bool> check = std::async(
            std::launch::async, [this] { return PortalCheck::fileChooserAnswers(m_address, 400); });
        if (portal != u"hung") {
            while (check.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
                QCoreApplication::processEvents();
        }
        QCOMPARE(check.get(), expected);
        // The time-out bounds the wait, whatever the portal does.
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(5));
    }

    void noBusIsNoPortal()
    {
        QVERIFY(!PortalCheck::fileChooserAnswers(QByteArray(), 400));
        QVERIFY(!PortalCheck::fileChooserAnswers("unix:path=/nonexistent/bus", 400));
    }

private:
    QByteArray m_address;
    std::unique_ptr<QObject> m_object;
};

QTEST_GUILESS_MAIN(TstPortalCheck)
#include "tst_portalcheck.moc"
