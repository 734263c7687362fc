// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include "model/languagechange.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace {

const QString settingKey = QStringLiteral("language");

// Texts of Qt's own file dialog (QtQuick.Dialogs, Fusion/FileDialog.qml) that Qt 6.4's Chinese
// catalogue lacks. Their translations are carried in this program's catalogues, under the
// dialog's own context, so the dialog reads in the interface's language throughout.
[[maybe_unused]] constexpr const char *qtDialogTexts[] = {
    QT_TRANSLATE_NOOP("FileDialog", "File name"),
    QT_TRANSLATE_NOOP("FileDialog", "Filter"),
};

} // namespace

Language *Language::instance()
{
    // Owned by the application object: gone with it, after every window.
    static Language *language = [] {
        auto *made = new Language;
        made->setParent(QCoreApplication::instance());
        return made;
    }();
    return language;
}

Language::Language()
{
    const QString stored = QSettings().value(settingKey).toString();
    m_code = stored == english ? english : chinese;
    install();
}

Language::~Language() = default;

void Language::setCode(const QString &code)
{
    if (code == m_code || (code != chinese && code != english))
        return;
    m_code = code;
    QSettings().setValue(settingKey, code);
    install();
    LanguageChange::announce();
    emit codeChanged();
}

void Language::install()
{
    // Each installation and removal sends the application a LanguageChange event: the old
    // catalogues go only once the new ones are in, so no text is ever looked up in neither.
    std::vector<std::unique_ptr<QTranslator>> old = std::exchange(m_translators, {});
    QLocale::setDefault(m_code == english ? QLocale(QLocale::English, QLocale::UnitedStates)
                                          : QLocale(QLocale::Chinese, QLocale::China));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QString files[] = {folder + QStringLiteral("/qtbase_") + m_code,
                             folder + QStringLiteral("/qtdeclarative_") + m_code,
                             QStringLiteral(":/i18n/corvane_") + m_code};
    for (const QString &file : files) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(file) && QCoreApplication::installTranslator(translator.get()))
            m_translators.push_back(std::move(translator));
    }
    for (const auto &translator : old)
        QCoreApplication::removeTranslator(translator.get());
}
