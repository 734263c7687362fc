// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications of replies that end in the background, against a fake notification service on
// the test's own session bus (the test runs under dbus-run-session; without a session bus it
// skips).
#include "app/desktopnotifier.h"
#include "storetestutil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace StoreTest;

/// The part of org.freedesktop.Notifications that the program uses.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString appName, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(replacesId)
        Q_UNUSED(timeout)
        shown.append({appName, icon, summary, body, actions, hints});
        return uint(shown.size()) + 100;
    }

signals:
    void ActionInvoked(uint id, const QString &action);
    void NotificationClosed(uint id, uint reason);
};

class TstDesktopNotifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (run under dbus-run-session)");
        m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("fakenotifications"));
        QVERIFY(m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_fake,
                                     QDBusConnection::ExportAllSlots |
                                         QDBusConnection::ExportAllSignals));
        QVERIFY(m_bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void init()
    {
        QSettings().remove(QStringLiteral("desktopNotifications"));
        m_fake.shown.clear();
        QVERIFY(writeConversations(m_dir.path(), QStringLiteral("AB")));
        m_store = std::make_unique<Store>(m_dir.path());
    }

    // A reply that ends or fails in the background is announced with its conversation's
    // title; none is while the window is in front or notifications are off. (What is not
    // announced is seen by the next announcement arriving first.)
    void announces_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("body"); // empty: nothing announced

        QTest::newRow("ended") << false << true << ""
                               << "回复已完成";
        QTest::newRow("failed") << false << true << "连接超时"
                                << "回复失败：连接超时";
        QTest::newRow("window active") << true << true << ""
                                       << "";
        QTest::newRow("turned off") << false << false << ""
                                    << "";
    }

    void announces()
    {
        QFETCH(bool, active);
        QFETCH(bool, enabled);
        QFETCH(QString, error);
        QFETCH(QString, body);
        DesktopNotifier notifier;
        notifier.setStore(m_store.get());
        notifier.setWindowActive(active);
        notifier.setEnabled(enabled);
        QCOMPARE(QSettings().value(QStringLiteral("desktopNotifications"), true).toBool(), enabled);

        emit m_store->replies()->replyFinished(conv(u'B').id, error);
        notifier.setWindowActive(false);
        notifier.setEnabled(true);
        notifier.notify(QStringLiteral("X"), QStringLiteral("marker"), QString());
        QTRY_COMPARE(m_fake.shown.size(), body.isEmpty() ? 1 : 2);
        QCOMPARE(m_fake.shown.constLast().summary, QStringLiteral("marker"));
        if (body.isEmpty())
            return;
        const FakeNotifications::Shown &shown = m_fake.shown.constFirst();
        QCOMPARE(shown.summary, conv(u'B').title);
        QCOMPARE(shown.body, body);
        QCOMPARE(shown.appName, QStringLiteral("Corvane"));
        QCOMPARE(shown.icon, QStringLiteral(CORVANE_APP_ID));
        QCOMPARE(shown.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral(CORVANE_APP_ID));
        QVERIFY(shown.actions.contains(QStringLiteral("default")));
    }

    // A click on a notification's body asks for its conversation; another action, or a
    // notification closed or never sent by this program, asks for none.
    void clickOpensConversation_data()
    {
        QTest::addColumn<int>(
            "notification"); // of the two sent, 0 or 1; -1: one of another program
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("closedFirst");
        QTest::addColumn<QString>("opened"); // empty: none

        QTest::newRow("first") << 0 << "default" << false << "A";
        QTest::newRow("second") << 1 << "default" << false << "B";
        QTest::newRow("another action") << 0 << "other" << false << "";
        QTest::newRow("closed") << 0 << "default" << true << "";
        QTest::newRow("another program's") << -1 << "default" << false << "";
    }

    void clickOpensConversation()
    {
        QFETCH(int, notification);
        QFETCH(QString, action);
        QFETCH(bool, closedFirst);
        QFETCH(QString, opened);
        DesktopNotifier notifier;
        notifier.setWindowActive(false);
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        notifier.notify(QStringLiteral("A"), QStringLiteral("a"), QString());
        notifier.notify(QStringLiteral("B"), QStringLiteral("b"), QString());
        QTRY_COMPARE(m_fake.shown.size(), 2);
        // The ids come back asynchronously: a third notice proves the first two are known.
        notifier.notify(QStringLiteral("C"), QStringLiteral("c"), QString());
        QTRY_COMPARE(m_fake.shown.size(), 3);

        const uint id = notification < 0 ? 999 : uint(notification) + 101;
        if (closedFirst)
            emit m_fake.NotificationClosed(id, 2);
        emit m_fake.ActionInvoked(id, action);
        // The third notification's click, which must be answered, comes after.
        emit m_fake.ActionInvoked(103, QStringLiteral("default"));
        QTRY_VERIFY(!activated.isEmpty() && activated.constLast().constFirst().toString() == u"C");
        QCOMPARE(activated.size(), opened.isEmpty() ? 1 : 2);
        if (!opened.isEmpty())
            QCOMPARE(activated.constFirst().constFirst().toString(), opened);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    QDBusConnection m_bus{QString()};
    FakeNotifications m_fake;
};

QTEST_GUILESS_MAIN(TstDesktopNotifier)

#include "tst_desktopnotifier.moc"
