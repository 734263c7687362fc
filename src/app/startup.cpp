// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "app/theme.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#if defined(CORVANE_HAVE_XCB) && QT_CONFIG(xcb)
#define CORVANE_ASK_X_SERVER
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace StartUp {

namespace {

// Mesa's reading of a boolean variable: set and not a "no".
bool isOn(const QByteArray &raw)
{
    const QByteArray value = raw.trimmed().toLower();
    return !value.isEmpty() && value != "0" && value != "false" && value != "no";
}

bool xServerRendersDirectly()
{
#ifdef CORVANE_ASK_X_SERVER
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    // Asked together: one round trip to the server.
    static constexpr std::array names{"DRI3", "DRI2", "NV-GLX"};
    std::array<xcb_query_extension_cookie_t, names.size()> cookies{};
    for (size_t i = 0; i < names.size(); ++i)
        cookies[i] = xcb_query_extension(connection, std::strlen(names[i]), names[i]);
    bool direct = false;
    for (const xcb_query_extension_cookie_t cookie : cookies) {
        const std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> reply(
            xcb_query_extension_reply(connection, cookie, nullptr), &std::free);
        direct = direct || (reply && reply->present);
    }
    return direct;
#else
    return true;
#endif
}

bool hasGpuDevice()
{
    return !QDir(QStringLiteral("/dev/dri"))
                .entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files)
                .isEmpty()
           || QFileInfo::exists(QStringLiteral("/dev/nvidia0"));
}

} // namespace

bool drawInSoftware(const GraphicsFacts &facts)
{
    if (facts.userChose)
        return false;
    const bool x11 = facts.platform == u"xcb";
    const bool wayland = facts.platform.startsWith(u"wayland");
    if (!x11 && !wayland)
        return false; // offscreen already draws in software; others are not desktops
    if (facts.softwareGlForced)
        return true;
    return x11 ? !facts.xDirectRendering : !facts.gpuDevice;
}

FactSources FactSources::system()
{
    return {[](const char *name) { return qgetenv(name); }, &StartUp::xServerRendersDirectly,
            &StartUp::hasGpuDevice};
}

GraphicsFacts gatherFacts(const QString &platform, const FactSources &sources)
{
    GraphicsFacts facts;
    facts.platform = platform;
    facts.userChose = !sources.env("QT_QUICK_BACKEND").isEmpty()
                      || !sources.env("QSG_RHI_BACKEND").isEmpty();
    facts.softwareGlForced = isOn(sources.env("LIBGL_ALWAYS_SOFTWARE"));
    // Only what the platform needs is asked: a round trip to the X server, a folder listing.
    if (!facts.userChose && platform == u"xcb")
        facts.xDirectRendering = sources.xServerRendersDirectly();
    if (!facts.userChose && platform.startsWith(u"wayland"))
        facts.gpuDevice = sources.hasGpuDevice();
    return facts;
}

void chooseRenderer()
{
    if (drawInSoftware(gatherFacts(QGuiApplication::platformName(), FactSources::system())))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void prepareEngine(QQmlEngine &engine)
{
    engine.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(&engine, &QQmlEngine::quit, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&engine, &QQmlEngine::exit, QCoreApplication::instance(),
                     &QCoreApplication::exit, Qt::QueuedConnection);
}

std::unique_ptr<QQuickWindow> createWindow(QQmlComponent &component)
{
    QQmlEngine *engine = component.engine();
    std::unique_ptr<QObject> root(
        component.isReady() ? component.beginCreate(engine->rootContext()) : nullptr);
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    // Views make the items of their cache buffers between frames, through the window's
    // incubation controller; without one they would make them all at once. Installed before
    // anything in the window completes, as QQmlApplicationEngine would.
    if (window && !engine->incubationController())
        engine->setIncubationController(window->incubationController());
    if (root)
        component.completeCreate();
    if (!window) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(component.url().toString()),
                     root ? "not a window" : qUtf8Printable(component.errorString()));
        return nullptr;
    }
    root.release();
    return std::unique_ptr<QQuickWindow>(window);
}

void prepareFirstFrame(const std::function<bool()> &stillWaiting)
{
    // The first window loads the graphics driver, a large library (Mesa's software one brings
    // in LLVM), and tries a context to choose how frames are drawn: about a tenth of a second.
    // A window made and dropped here, never shown, does both earlier.
    if (stillWaiting()) {
        const QQuickWindow window;
    }
    if (stillWaiting())
        Theme::prepareFonts();
}

} // namespace StartUp
