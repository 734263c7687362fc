// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "app/theme.h"

#include <QQmlAbstractUrlInterceptor>
#include <QQmlEngine>
#include <QQuickWindow>

namespace StartUp {

void prepareEngine(QQmlEngine &engine)
{
    engine.addImportPath(QStringLiteral("qrc:/"));
    for (QQmlAbstractUrlInterceptor *interceptor : engine.urlInterceptors())
        engine.removeUrlInterceptor(interceptor);
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
