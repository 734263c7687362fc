// SPDX-License-Identifier: GPL-3.0-or-later
// Light, dark or the desktop's choice, with a fake freedesktop portal on the test's own session
// bus (the test runs under dbus-run-session; without a session bus the portal cases skip).
#include "app/appearance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using SettingsMap = QMap<QString, QVariantMap>;

/// The part of org.freedesktop.portal.Settings that the program uses.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QVariant scheme; // absent: the namespace has no color-scheme key

public slots:
    SettingsMap ReadAll(const QStringList &namespaces)
    {
        SettingsMap out;
        if (namespaces.contains(QStringLiteral("org.freedesktop.appearance")) && scheme.isValid())
            out.insert(QStringLiteral("org.freedesktop.appearance"),
                       {{QStringLiteral("color-scheme"), scheme}});
        return out;
    }

signals:
    void SettingChanged(const QString &ns, const QString &key, const QDBusVariant &value);
};

static QColor window()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Window);
}

class TstAppearance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
        qDBusRegisterMetaType<SettingsMap>();
        m_platform = QGuiApplication::palette();
    }

    void init()
    {
        QSettings().remove(QStringLiteral("appearance"));
        QGuiApplication::setPalette(QPalette());
    }

    void cleanup()
    {
        if (m_portal) {
            m_portalBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
            m_portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
            m_portal.reset();
        }
    }

    // What is stored decides the palette at once, before any portal could answer; what the user
    // picks is stored.
    void storedChoice_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("mode");
        QTest::newRow("nothing stored") << QVariant() << int(Appearance::System);
        QTest::newRow("light") << QVariant(QStringLiteral("light")) << int(Appearance::Light);
        QTest::newRow("dark") << QVariant(QStringLiteral("dark")) << int(Appearance::Dark);
        QTest::newRow("garbage") << QVariant(QStringLiteral("Dark ")) << int(Appearance::System);
        QTest::newRow("a number") << QVariant(2) << int(Appearance::System);
    }

    void storedChoice()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, mode);
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("appearance"), stored);

        Appearance appearance;
        QCOMPARE(int(appearance.mode()), mode);
        QCOMPARE(window(), windowFor(mode == Appearance::Dark    ? 1
                                     : mode == Appearance::Light ? 2
                                                                 : 0));

        // Every pick is stored and applied; the dark one really is dark.
        QSignalSpy changed(&appearance, &Appearance::modeChanged);
        appearance.setMode(Appearance::Dark);
        QCOMPARE(window(), Appearance::darkPalette().color(QPalette::Window));
        QVERIFY(window().lightness() < 128);
        QCOMPARE(QSettings().value(QStringLiteral("appearance")).toString(),
                 QStringLiteral("dark"));
        appearance.setMode(Appearance::Light);
        QVERIFY(window().lightness() > 128);
        QCOMPARE(Appearance().mode(), Appearance::Light);
        QCOMPARE(changed.count(), mode == Appearance::Dark ? 1 : 2);
    }

    // "Follow the system": the portal's answer at start, then its change signal. Its values are
    // 0 (no preference: the platform palette), 1 (dark) and 2 (light).
    // A forced light choice ignores the desktop's changes, and going back to "follow" takes them
    // up.
    void followsPortal_data()
    {
        QTest::addColumn<QVariant>("initial");
        QTest::addColumn<int>("expectInitial");
        QTest::addColumn<uint>("changed");
        QTest::addColumn<bool>("forcedLight");

        QTest::newRow("dark, then light") << QVariant(uint(1)) << 1 << 2u << false;
        QTest::newRow("light, then dark") << QVariant(uint(2)) << 2 << 1u << false;
        QTest::newRow("no preference, then dark") << QVariant(uint(0)) << 0 << 1u << false;
        QTest::newRow("dark, then no preference") << QVariant(uint(1)) << 1 << 0u << false;
        QTest::newRow("key missing") << QVariant() << 0 << 1u << false;
        QTest::newRow("out of range") << QVariant(uint(7)) << 0 << 2u << false;
        QTest::newRow("forced light, then dark") << QVariant(uint(2)) << 2 << 1u << true;
    }

    void followsPortal()
    {
        QFETCH(QVariant, initial);
        QFETCH(int, expectInitial);
        QFETCH(uint, changed);
        QFETCH(bool, forcedLight);
        if (!startPortal(initial))
            QSKIP("no session bus (run under dbus-run-session)");
        if (forcedLight)
            QSettings().setValue(QStringLiteral("appearance"), QStringLiteral("light"));

        Appearance appearance;
        QTRY_COMPARE(appearance.systemScheme(), expectInitial);
        QCOMPARE(window(), windowFor(forcedLight ? 2 : expectInitial));

        QVERIFY(announce(appearance, changed));
        QCOMPARE(window(), windowFor(forcedLight ? 2 : int(changed)));
        appearance.setMode(Appearance::System);
        QCOMPARE(window(), windowFor(int(changed)));
    }

private:
    /// Serves the fake portal on a connection of its own, so its calls and signals really cross
    /// the bus.
    bool startPortal(const QVariant &scheme)
    {
        if (!QDBusConnection::sessionBus().isConnected())
            return false;
        m_portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                    QStringLiteral("fakeportal"));
        m_portal = std::make_unique<FakePortal>();
        m_portal->scheme = scheme;
        return m_portalBus.registerObject(
                   QStringLiteral("/org/freedesktop/portal/desktop"), m_portal.get(),
                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               m_portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    /// The window colour for a portal scheme: 1 dark, 2 light, anything else the platform's.
    QColor windowFor(int scheme) const
    {
        return scheme == 1   ? Appearance::darkPalette().color(QPalette::Window)
               : scheme == 2 ? Appearance::lightPalette().color(QPalette::Window)
                             : m_platform.color(QPalette::Window);
    }

    /// Sends the portal's change signal and waits until the program has seen it.
    bool announce(const Appearance &appearance, uint scheme)
    {
        emit m_portal->SettingChanged(QStringLiteral("org.freedesktop.appearance"),
                                      QStringLiteral("color-scheme"), QDBusVariant(scheme));
        return QTest::qWaitFor([&] { return appearance.systemScheme() == int(scheme); });
    }

    QPalette m_platform;
    QDBusConnection m_portalBus{QString()};
    std::unique_ptr<FakePortal> m_portal;
};

QTEST_MAIN(TstAppearance)
#include "tst_appearance.moc"
