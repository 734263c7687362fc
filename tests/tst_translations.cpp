// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts, dates and numbers follow the Chinese interface, including the texts of Qt's
// file dialog that Qt's Chinese catalogue lacks and the program carries.
#include "app/translations.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
#include <QTest>

class TstTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(installTranslations(*QCoreApplication::instance()), 3); }

    void qtTexts_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("shown");

        // Carried by the program's catalogue.
        QTest::newRow("file name") << "FileDialog"
                                   << "File name"
                                   << "文件名";
        QTest::newRow("filter") << "FileDialog"
                                << "Filter"
                                << "文件类型";
        // Qt's own catalogues.
        QTest::newRow("qtbase") << "QPlatformTheme"
                                << "Cancel"
                                << "取消";
    }

    void qtTexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, shown);
        QCOMPARE(QCoreApplication::translate(qPrintable(context), qPrintable(source)), shown);
    }

    void datesInChinese()
    {
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 12, 16));
        const QString text = QLocale().toString(when, QLocale::ShortFormat);
        QVERIFY2(text.startsWith(u"2026/12/8"), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TstTranslations)

#include "tst_translations.moc"
