// SPDX-License-Identifier: GPL-3.0-or-later
// Which renderer draws the window: Qt Quick's software renderer wherever OpenGL would run on
// the processor, and never against the user's own choice.
#include "app/startup.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestRendererChoice : public QObject
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
};

QTEST_APPLESS_MAIN(TestRendererChoice)
#include "tst_rendererchoice.moc"
