// SPDX-License-Identifier: GPL-3.0-or-later
// The interface language: Chinese unless the user chose English, switched at once, with Qt's
// own texts, dates and the program's catalogue following it, and the objects that keep
// translated texts told.
#include "api/chatapierror.h"
#include "api/failurenotice.h"
#include "app/translations.h"
#include "model/languagechange.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

class TstTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // Whatever the system's language and an unknown stored value, the start is Chinese.
        qputenv("LANG", "en_US.UTF-8");
        QSettings().setValue(QStringLiteral("language"), QStringLiteral("de"));
        QCOMPARE(Language::instance()->code(), Language::chinese);
        QCOMPARE(Language::instance()->catalogueCount(), 3);
    }

    void cleanupTestCase() { QSettings().remove(QStringLiteral("language")); }

    void texts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("shown");

        const QString zh = Language::chinese;
        const QString en = Language::english;
        // Qt's file dialog lacks these in Qt's Chinese catalogue: the program carries them.
        QTest::newRow("zh file name") << zh << "FileDialog"
                                      << "File name" << -1 << "文件名";
        QTest::newRow("zh filter") << zh << "FileDialog"
                                   << "Filter" << -1 << "文件类型";
        QTest::newRow("en filter") << en << "FileDialog"
                                   << "Filter" << -1 << "Filter";
        // Qt's own catalogues.
        QTest::newRow("zh qtbase") << zh << "QPlatformTheme"
                                   << "Cancel" << -1 << "取消";
        QTest::newRow("en qtbase") << en << "QPlatformTheme"
                                   << "Cancel" << -1 << "Cancel";
        // The program's texts: Chinese is their source.
        QTest::newRow("zh menu") << zh << "Main"
                                 << "新建对话" << -1 << "新建对话";
        QTest::newRow("en menu") << en << "Main"
                                 << "新建对话" << -1 << "New Chat";
        QTest::newRow("en stored title") << en << "Stored"
                                         << "新对话" << -1 << "New Chat";
        QTest::newRow("zh stored title") << zh << "Stored"
                                         << "新对话" << -1 << "新对话";
        // English counts in two forms.
        QTest::newRow("en one") << en << "HistoryActions"
                                << "已恢复 %n 个对话" << 1 << "Restored 1 chat";
        QTest::newRow("en several") << en << "HistoryActions"
                                    << "已恢复 %n 个对话" << 3 << "Restored 3 chats";
        QTest::newRow("zh several") << zh << "HistoryActions"
                                    << "已恢复 %n 个对话" << 3 << "已恢复 3 个对话";
    }

    void texts()
    {
        QFETCH(QString, language);
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(int, count);
        QFETCH(QString, shown);
        Language::instance()->setCode(language);
        QCOMPARE(
            QCoreApplication::translate(qPrintable(context), qPrintable(source), nullptr, count),
            shown);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("start");

        QTest::newRow("zh") << Language::chinese << "2026/12/8";
        QTest::newRow("en") << Language::english << "12/8/26";
    }

    void dates()
    {
        QFETCH(QString, language);
        QFETCH(QString, start);
        Language::instance()->setCode(language);
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 12, 16));
        const QString text = QLocale().toString(when, QLocale::ShortFormat);
        QVERIFY2(text.startsWith(start), qPrintable(text));
    }

    // A failed reply keeps its description as it was written; its row shows it in the
    // interface's language where it is the program's own words, and a gateway's as they came.
    void failureInEnglish_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("message");

        using E = ChatAPIError;
        const auto row = [](const char *name, const E &e, const char *heading,
                            const char *message) {
            QTest::newRow(name) << e.description(StoredText::Form::Written) << e.kindCode()
                                << QString::fromUtf8(heading) << QString::fromUtf8(message);
        };
        row("http", E::http(401, QStringLiteral("{\"error\":{\"message\":\"Invalid key\"}}")),
            "Request failed (HTTP 401)", "Invalid key");
        row("no response", E::noResponse(), "Request failed (HTTP -1)", "No response");
        row("network", E::network(QNetworkReply::ConnectionRefusedError, {}),
            "Network error: Cannot connect to the server (ConnectionRefusedError)", "");
        row("gateway", E::gateway(QStringLiteral("overloaded")), "Request failed (server error)",
            "overloaded");
        row("no key", E::noKey(), "No API key yet. Enter one in Settings.", "");
        // Words the program does not write (another version's, a hand-edited file) stay.
        QTest::newRow("other wording") << QStringLiteral("请求出错（HTTP 401）") << "http:401"
                                       << QStringLiteral("请求出错（HTTP 401）") << QString();
        QTest::newRow("other kind") << QStringLiteral("请求失败（HTTP 401）") << "http:500"
                                    << QStringLiteral("请求失败（HTTP 401）") << QString();
    }

    void failureInEnglish()
    {
        QFETCH(QString, error);
        QFETCH(QString, kind);
        QFETCH(QString, heading);
        QFETCH(QString, message);
        Language::instance()->setCode(Language::english);
        const FailureNotice n = FailureNotice::explain(error, kind, false);
        QCOMPARE(n.heading, heading);
        QCOMPARE(n.message, message);
    }

    // A change is stored and announced once; a repeated or unknown choice changes nothing.
    void switching()
    {
        Language *language = Language::instance();
        language->setCode(Language::chinese);
        QSignalSpy changed(language, &Language::codeChanged);
        QSignalSpy told(LanguageChange::instance(), &LanguageChange::changed);

        language->setCode(Language::english);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(told.size(), 1);
        QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), Language::english);
        // Qt's own texts are English already: its English catalogues may be empty, and are not
        // installed then. The program's is.
        QVERIFY(language->catalogueCount() >= 1);

        language->setCode(Language::english);
        language->setCode(QStringLiteral("fr"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(language->code(), Language::english);

        language->setCode(Language::chinese);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(told.size(), 2);
        QCOMPARE(language->catalogueCount(), 3);
        QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), Language::chinese);
        QCOMPARE(QCoreApplication::translate("Main", "新建对话"), QStringLiteral("新建对话"));
    }
};

QTEST_GUILESS_MAIN(TstTranslations)

#include "tst_translations.moc"
