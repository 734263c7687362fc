// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/linkopener.h"

#include <QTest>

class TstLinkOpener : public QObject
{
    Q_OBJECT

private slots:
    void isAllowed_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("https") << "https://example.com/a?b=c#d" << true;
        QTest::newRow("http") << "http://127.0.0.1:8080/" << true;
        QTest::newRow("scheme in capitals") << "HTTPS://EXAMPLE.COM" << true;
        QTest::newRow("mailto") << "mailto:someone@example.com" << true;
        QTest::newRow("non-ASCII path") << "https://zh.wikipedia.org/wiki/渡鸦" << true;
        QTest::newRow("http without host") << "http:relative/path" << false;
        QTest::newRow("mailto without address") << "mailto:" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
        QTest::newRow("custom app scheme") << "vscode://file/etc/passwd" << false;
        QTest::newRow("no scheme") << "www.example.com" << false;
    }

    void isAllowed()
    {
        QFETCH(QString, url);
        QFETCH(bool, allowed);
        QCOMPARE(LinkOpener::isAllowed(QUrl(url)), allowed);
    }
};

QTEST_GUILESS_MAIN(TstLinkOpener)

#include "tst_linkopener.moc"
