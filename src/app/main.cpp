// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qmltypes.h"
#include "app/translations.h"
#include "store/store.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Corvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Corvane"));
    installTranslations(app);

    // One look on every desktop; AppWindow gives Fusion the desktop's palette, so light and
    // dark themes both work.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    Store store;
    StoreForeign::setInstance(&store);

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/Corvane/app/Main.qml")));
    return app.exec();
}
