// SPDX-License-Identifier: GPL-3.0-or-later
// The start's shared steps: which renderer draws the window (Qt Quick's software renderer
// wherever OpenGL would run on the processor, never against the user's own choice), and how
// the window is made from its component.
#include "app/startup.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("userChose");
        QTest::addColumn<bool>("softwareGlForced");
        QTest::addColumn<bool>("xDirectRendering");
        QTest::addColumn<bool>("gpuDevice");
        QTest::addColumn<bool>("software");

        // X: what the server offers decides, not the devices of the machine the program runs
        // on (a remote display, or Xvfb on a machine with a graphics card).
        QTest::newRow("X with direct rendering") << u"xcb"_s << false << false << true << true << false;
        QTest::newRow("X without (Xvfb, Xvnc)") << u"xcb"_s << false << false << false << true << true;
        QTest::newRow("X without, no device") << u"xcb"_s << false << false << false << false << true;
        QTest::newRow("X direct, no local device") << u"xcb"_s << false << false << true << false << false;
        QTest::newRow("X, Mesa told to draw in software") << u"xcb"_s << false << true << true << true << true;
        // Wayland: the compositor's clients render on this machine's devices.
        QTest::newRow("Wayland with a device") << u"wayland"_s << false << false << false << true << false;
        QTest::newRow("Wayland without") << u"wayland"_s << false << false << true << false << true;
        QTest::newRow("Wayland variant name") << u"wayland-egl"_s << false << false << true << false << true;
        QTest::newRow("Wayland, Mesa told") << u"wayland"_s << false << true << true << true << true;
        // The user's variable wins whatever the facts.
        QTest::newRow("user chose, X without") << u"xcb"_s << true << false << false << false << false;
        QTest::newRow("user chose, Mesa told") << u"wayland"_s << true << true << true << false << false;
        // Platforms that are not a desktop session are left as Qt sets them up.
        QTest::newRow("offscreen") << u"offscreen"_s << false << true << false << false << false;
        QTest::newRow("eglfs") << u"eglfs"_s << false << false << false << false << false;
        QTest::newRow("no platform yet") << QString() << false << false << false << false << false;
    }

    void choice()
    {
        QFETCH(QString, platform);
        QFETCH(bool, userChose);
        QFETCH(bool, softwareGlForced);
        QFETCH(bool, xDirectRendering);
        QFETCH(bool, gpuDevice);
        QFETCH(bool, software);
        StartUp::GraphicsFacts facts;
        facts.platform = platform;
        facts.userChose = userChose;
        facts.softwareGlForced = softwareGlForced;
        facts.xDirectRendering = xDirectRendering;
        facts.gpuDevice = gpuDevice;
        QCOMPARE(StartUp::drawInSoftware(facts), software);
    }

    // The window, and only a window, comes back; its views make their buffered items between
    // frames (the engine has the window's incubation controller from before it completes).
    void createWindow_data()
    {
        QTest::addColumn<QByteArray>("qml");
        QTest::addColumn<bool>("made");
        QTest::newRow("a window") << QByteArray("import QtQuick\nWindow {}") << true;
        QTest::newRow("not a window") << QByteArray("import QtQuick\nItem {}") << false;
        QTest::newRow("does not compile") << QByteArray("import QtQuick\nWindow { width: }") << false;
        QTest::newRow("unknown type") << QByteArray("import QtQuick\nNoSuchWindow {}") << false;
    }

    void createWindow()
    {
        QFETCH(QByteArray, qml);
        QFETCH(bool, made);
        QQmlEngine engine;
        StartUp::prepareEngine(engine);
        QQmlComponent component(&engine);
        component.setData(qml, QUrl::fromLocalFile(u"/startup-test/Main.qml"_s));
        const std::unique_ptr<QQuickWindow> window = StartUp::createWindow(component);
        QCOMPARE(bool(window), made);
        if (window)
            QCOMPARE(engine.incubationController(), window->incubationController());
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
