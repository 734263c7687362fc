// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTranslator;

/**
 * The interface language: Chinese ("zh_CN", the language the texts are written in, and the
 * default whatever the system's language) or English ("en"), which only the user chooses. Kept
 * as the Qt setting "language".
 *
 * For the language it installs Qt's own catalogues (qtbase, qtdeclarative: error strings,
 * standard dialogs, context menus) and the program's, and makes it the default locale, so the
 * dates, numbers and sizes Qt formats follow it. A change applies at once: the catalogues are
 * swapped, LanguageChange tells the C++ objects that keep translated texts, and every QML
 * engine that uses the singleton retranslates its bindings. A missing catalogue is skipped.
 *
 * One per program, made on first use (after the application object); QML sees it as the
 * singleton `Language`.
 */
class Language : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)

public:
    static inline const QString chinese = QStringLiteral("zh_CN");
    static inline const QString english = QStringLiteral("en");

    /// The program's one instance, made with the stored choice installed.
    static Language *instance();

    ~Language() override;

    QString code() const { return m_code; }
    /// Stores the choice and applies it. Codes other than chinese and english are ignored.
    void setCode(const QString &code);

    /// How many catalogues the current language installed.
    int catalogueCount() const { return int(m_translators.size()); }

signals:
    void codeChanged();

private:
    Language();
    void install();

    QString m_code;
    std::vector<std::unique_ptr<QTranslator>> m_translators;
};
