// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QQmlComponent;
class QQmlEngine;
class QQuickWindow;

/// The steps of the start that main() and the start-up benchmark share, so that what is
/// measured is what runs.
namespace StartUp {

/// What decides how the window's frames are drawn.
struct GraphicsFacts {
    /// QGuiApplication::platformName(): "xcb", "wayland", "offscreen", …
    QString platform;
    /// QT_QUICK_BACKEND or QSG_RHI_BACKEND is set: the user chose, and Qt follows it.
    bool userChose = false;
    /// LIBGL_ALWAYS_SOFTWARE is on: Mesa draws OpenGL on the processor whatever the hardware.
    bool softwareGlForced = false;
    /// The X server offers direct rendering (DRI3, DRI2 or NVIDIA's GLX); without it OpenGL
    /// clients draw on the processor (Xvfb, Xvnc, some remote desktops).
    bool xDirectRendering = true;
    /// The machine has a graphics device node (/dev/dri/renderD*, /dev/nvidia*).
    bool gpuDevice = true;
};

/// Whether Qt Quick's own software renderer should draw the window. Where OpenGL itself would
/// run on the processor (Mesa's llvmpipe), the software renderer is the better of the two: it
/// redraws only what changed where llvmpipe rasterises the whole window on every frame, it
/// needs no OpenGL context (tens of megabytes, and a tenth of a second to load the driver and
/// compile its pipelines at start), and it draws the same.
bool drawInSoftware(const GraphicsFacts &facts);

/// Where the facts come from. Each question is asked only where its answer counts.
struct FactSources {
    /// The value of an environment variable.
    std::function<QByteArray(const char *)> env;
    /// Asks the X server (a round trip) whether it offers direct rendering.
    std::function<bool()> xServerRendersDirectly;
    /// Looks for a graphics device node.
    std::function<bool()> hasGpuDevice;

    /// This program's: its environment, its X connection, this machine's /dev.
    static FactSources system();
};

/// The facts for a program on platform, from sources.
GraphicsFacts gatherFacts(const QString &platform, const FactSources &sources);

/// Gathers the facts for this program (after QGuiApplication is made) and, where
/// drawInSoftware() says so, chooses the software renderer. Call before any window is made.
void chooseRenderer();

/// Imports from the resources; Qt.quit() and Qt.exit() in QML end the event loop. The window
/// is made in a plain QQmlEngine: QQmlApplicationEngine adds a file selector when it loads,
/// and then every text item, as it is made, resolves its base URL through it, looking for
/// variants that nothing here comes in.
void prepareEngine(QQmlEngine &engine);

/// Makes the main window from its component (Main.qml, compiled); nullptr, with the reasons
/// printed, when it cannot be made.
std::unique_ptr<QQuickWindow> createWindow(QQmlComponent &component);

/// While stillWaiting() (a large history is still being read), loads what the first frame
/// needs: the graphics driver and render loop, then the fonts. A small history is read by the
/// time this is called, and its start does not pay for them.
void prepareFirstFrame(const std::function<bool()> &stillWaiting);

} // namespace StartUp
