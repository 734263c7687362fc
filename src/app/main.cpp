// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qmltypes.h"
#include "store/store.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Corvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Corvane"));

    Store store;
    StoreForeign::setInstance(&store);

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/Corvane/app/Main.qml")));
    return app.exec();
}
