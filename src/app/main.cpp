// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "app/mcpprobe.h"
#include "app/portalcheck.h"
#include "app/qmltypes.h"
#include "app/quitsequence.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/translations.h"
#include "chat/attachmentsweeper.h"
#include "store/datafolder.h"
#include "store/store.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <future>
#include <optional>

namespace {

void bringToFront(QWindow *window)
{
    if (!window)
        return;
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication::setOrganizationName(QStringLiteral("Corvane"));
    // Also the window's class on X11 (with the program's file name as its instance), which the
    // desktop entry names in StartupWMClass.
    QGuiApplication::setApplicationName(QStringLiteral(CORVANE_APP_NAME));
    QGuiApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    // The probe is a terminal program of its own: no display, no data folder, and no word with
    // a running program.
    if (McpProbe::requested(argc, argv)) {
        QCoreApplication app(argc, argv);
        return McpProbe::run(app.arguments().mid(2));
    }
    // Help and version need neither a display nor the data folder: they work over ssh and
    // while another program holds the folder.
    if (const std::optional<int> status = CommandLine::answerEarly(argc, argv))
        return *status;
    const QString dataDir = DataFolder::standardPath();
    // Declared before the Store, so the lock is released after the Store's final save.
    SingleInstance instance(dataDir);
    // The history is read and decoded on a second core from the moment the folder is ours,
    // while this thread connects to the display and prepares the window. Nothing can reach the
    // Store before the file is decided, because there is none yet, and the event loop does not
    // run until the window is made: no save or user action can come first and write an empty
    // history over the user's. The reading uses no locale or display, which the application
    // object sets up meanwhile. It has a thread of its own, not the background runner's: it
    // starts before the application object whose event loop the runner delivers through, and
    // the first frame waits for it directly, so a runner would only add a hop to the start.
    const auto read = [&dataDir] {
        return std::async(std::launch::async, &DataFile::read, dataDir);
    };
    std::future<DataFile> reading;
    if (instance.takeFolder())
        reading = read();

    // The desktop's own file dialogs, where its portal offers them.
    PortalCheck::choosePlatformTheme();
    QGuiApplication app(argc, argv);
    // The stored interface language, before anything is shown or printed.
    Language::instance();
    // Checked before asking a running program to show its window: a mistyped option ends here.
    if (const std::optional<int> status = CommandLine::refuseUnknown(app.arguments()))
        return *status;
    // Lets the desktop match the window to its entry and icon: Wayland's app id only; on X11
    // the window's class does (see above).
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVANE_APP_ID));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/Corvane/icons/corvane.svg")));

    StartUp::chooseRenderer();

    // One look on every desktop; AppWindow gives Fusion the desktop's palette, so light and
    // dark themes both work.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    // Held already unless another program has the folder: then it is asked to show its window.
    switch (instance.start()) {
    case SingleInstance::Role::First:
        break;
    case SingleInstance::Role::Other:
        return 0;
    case SingleInstance::Role::NoAnswer:
        std::fprintf(stderr, "%s\n", qUtf8Printable(instance.errorString()));
        return 1;
    }

    // From here a signal ends the program through the event loop; one that comes while the
    // Store loads waits for the loop to run.
    QuitSequence quit;
    quit.catchSignals();

    // A folder that was taken only now (its previous program was ending) is read from here.
    if (!reading.valid())
        reading = read();
    const QUrl mainQml(QStringLiteral("qrc:/Corvane/app/Main.qml"));
    // Made once the file is decided, and declared before the engine, so that it outlives the
    // window's objects.
    std::optional<QmlStore> store;
    // Removes the files no message uses any more, the first time after the first save.
    std::optional<AttachmentSweeper> sweeper;
    // The tool servers, which the chat calls tools through; declared before the engine, whose
    // objects hold on to it.
    McpHub toolHub;
    ToolHubForeign::setInstance(&toolHub);

    QQmlEngine engine;
    StartUp::prepareEngine(engine);
    // Loads and compiles Main.qml and every type it uses, without creating anything yet.
    QQmlComponent mainComponent(&engine, mainQml);
    StartUp::prepareFirstFrame([&reading] {
        return reading.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    });

    store.emplace(reading.get());
    sweeper.emplace(&*store);
    StoreForeign::setInstance(&*store);
    const std::unique_ptr<QQuickWindow> window = StartUp::createWindow(mainComponent);
    if (!window)
        return 1;
    quit.watch(window.get(), &*store);
    // Tool servers follow the settings, and start once the window has shown: a server started
    // by npx takes seconds, and nothing of it is needed for the first frame.
    toolHub.setServers(store->settings().mcpServers);
    QObject::connect(&*store, &Store::settingsChanged, &toolHub,
                     [&toolHub, &store] { toolHub.setServers(store->settings().mcpServers); });
    QObject::connect(
        window.get(), &QQuickWindow::frameSwapped, &toolHub,
        [&toolHub] { QTimer::singleShot(500, &toolHub, [&toolHub] { toolHub.startAll(); }); },
        Qt::SingleShotConnection);
    QObject::connect(&instance, &SingleInstance::raiseRequested, window.get(),
                     [window = window.get()] { bringToFront(window); });
    const int status = app.exec();
    // Taking the window and the history apart takes a moment with a large one; a start in that
    // moment waits for the folder rather than asking this program to show its window.
    instance.stopListening();
    return status;
}
