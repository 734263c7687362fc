// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Texts of Qt's own file dialog (QtQuick.Dialogs, Fusion/FileDialog.qml) that Qt 6.4's Chinese
// catalogue lacks. Their translations are carried in this program's catalogue, under the
// dialog's own context, so the dialog reads in Chinese throughout.
[[maybe_unused]] constexpr const char *qtDialogTexts[] = {
    QT_TRANSLATE_NOOP("FileDialog", "File name"),
    QT_TRANSLATE_NOOP("FileDialog", "Filter"),
};

} // namespace

int installTranslations(QCoreApplication &app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Dates, numbers and sizes that Qt formats (the file dialog's) follow the interface.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    int installed = 0;
    const QString files[] = {folder + QStringLiteral("/qtbase_zh_CN"),
                             folder + QStringLiteral("/qtdeclarative_zh_CN"),
                             QStringLiteral(":/i18n/corvane_zh_CN")};
    for (const QString &file : files) {
        auto *translator = new QTranslator(&app);
        if (translator->load(file) && app.installTranslator(translator))
            ++installed;
        else
            delete translator;
    }
    return installed;
}
