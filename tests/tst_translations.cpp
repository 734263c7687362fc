// SPDX-License-Identifier: GPL-3.0-or-later
// The interface language: Chinese unless the user chose English, switched at once, with Qt's
// own texts, dates and the program's catalogue following it, and the objects that keep
// translated texts told.
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
