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
    // What is asked of the environment, the X server and the machine, and what that decides.
    // The X server is asked on X only, the devices on Wayland only, and neither when the user
    // chose; Mesa's variable is read as Mesa reads it.
    void facts_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QStringList>("env"); // NAME=value
        QTest::addColumn<bool>("xDirect");   // the X server's answer
        QTest::addColumn<bool>("device");    // whether a device node is found
        QTest::addColumn<QString>("asked");  // "x", "device" or ""
        QTest::addColumn<bool>("software");

        const QStringList none;
        // clang-format off
        QTest::newRow("X with direct rendering") << u"xcb"_s << none << true << false << u"x"_s << false;
        QTest::newRow("Xvfb on a machine with a device") << u"xcb"_s << none << false << true << u"x"_s << true;
        QTest::newRow("Wayland with a device") << u"wayland"_s << none << false << true << u"device"_s << false;
        QTest::newRow("Wayland variant without") << u"wayland-egl"_s << none << true << false << u"device"_s << true;
        QTest::newRow("Mesa told, yes") << u"xcb"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE= Yes "_s} << true << true << u"x"_s << true;
        QTest::newRow("Mesa told, 1") << u"wayland"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE=1"_s} << true << true << u"device"_s << true;
        QTest::newRow("Mesa told no") << u"xcb"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE=FALSE"_s} << true << true << u"x"_s << false;
        QTest::newRow("Mesa told 0") << u"xcb"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE=0"_s} << true << true << u"x"_s << false;
        QTest::newRow("Mesa variable empty") << u"xcb"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE="_s} << true << true << u"x"_s << false;
        QTest::newRow("user chose Qt Quick's backend") << u"xcb"_s << QStringList{u"QT_QUICK_BACKEND=software"_s} << false << false << QString() << false;
        QTest::newRow("user chose the RHI") << u"wayland"_s << QStringList{u"QSG_RHI_BACKEND=opengl"_s, u"LIBGL_ALWAYS_SOFTWARE=1"_s} << false << false << QString() << false;
        QTest::newRow("offscreen") << u"offscreen"_s << QStringList{u"LIBGL_ALWAYS_SOFTWARE=1"_s} << false << false << QString() << false;
        QTest::newRow("no platform yet") << QString() << none << false << false << QString() << false;
        // clang-format on
    }

    void facts()
    {
        QFETCH(QString, platform);
        QFETCH(QStringList, env);
        QFETCH(bool, xDirect);
        QFETCH(bool, device);
        QStringList asked;
        StartUp::FactSources sources{
            [&](const char *name) {
                for (const QString &entry : std::as_const(env)) {
                    if (entry.section(u'=', 0, 0) == QLatin1StringView(name))
                        return entry.section(u'=', 1).toUtf8();
                }
                return QByteArray();
            },
            [&] {
                asked << u"x"_s;
                return xDirect;
            },
            [&] {
                asked << u"device"_s;
                return device;
            }};
        const StartUp::GraphicsFacts facts = StartUp::gatherFacts(platform, sources);
        QTEST(asked.join(u','), "asked");
        QTEST(StartUp::drawInSoftware(facts), "software");
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
