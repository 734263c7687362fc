// SPDX-License-Identifier: GPL-3.0-or-later
// The Store as QML sees it: its operations on ids, with the ids as text. (Through the QML
// engine: the Quick Tests of the sidebar and the window.)
#include "app/qmltypes.h"
#include "storetestutil.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

class TestQmlTypes : public QObject
{
    Q_OBJECT

private slots:
    void storeIdsAsText_data()
    {
        QTest::addColumn<QString>("op");    // "select", "remove" or "rename"
        QTest::addColumn<QString>("text");  // the id as QML gives it
        QTest::addColumn<QString>("after"); // the titles; "-": unchanged and nothing written
        QTest::addColumn<QString>("selectedAfter");

        const QString b = canonicalUuidString(conv(u'B').id);
        const QString x = canonicalUuidString(conv(u'X').id);
        // clang-format off
        QTest::newRow("select")              << "select" << b           << "-" << b;
        QTest::newRow("select lower-case")   << "select" << b.toLower() << "-" << b;
        QTest::newRow("select braced")       << "select" << u'{' + b + u'}' << "-" << "";
        QTest::newRow("select not an id")    << "select" << "B"         << "-" << "";
        QTest::newRow("select nothing")      << "select" << ""          << "-" << "";
        QTest::newRow("remove")              << "remove" << b           << "A" << "A";
        QTest::newRow("remove lower-case")   << "remove" << b.toLower() << "A" << "A";
        QTest::newRow("remove unknown id")   << "remove" << x           << "AB" << "A";
        QTest::newRow("remove not an id")    << "remove" << "B"         << "-" << "A";
        QTest::newRow("rename")              << "rename" << b           << "Ax" << "A";
        QTest::newRow("rename lower-case")   << "rename" << b.toLower() << "Ax" << "A";
        QTest::newRow("rename braced")       << "rename" << u'{' + b + u'}' << "-" << "A";
        QTest::newRow("rename unknown id")   << "rename" << x           << "-" << "A";
        // clang-format on
    }

    void storeIdsAsText()
    {
        QFETCH(QString, op);
        QFETCH(QString, text);
        QFETCH(QString, after);
        QFETCH(QString, selectedAfter);
        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), u"AB"_s));
        QmlStore store(tmp.path());
        QVERIFY(QFile::remove(store.fileURL()));
        QSignalSpy selection(&store, &Store::selectedIDChanged);
        QCOMPARE(store.property("selectedID").toString(), canonicalUuidString(conv(u'A').id));

        if (op == u"select")
            QVERIFY(store.setProperty("selectedID", text));
        else if (op == u"remove")
            QVERIFY(QMetaObject::invokeMethod(&store, "remove", Q_ARG(QString, text)));
        else
            QVERIFY(QMetaObject::invokeMethod(&store, "rename", Q_ARG(QString, text),
                                              Q_ARG(QString, u"x"_s)));
        store.flush();

        if (selectedAfter.size() == 1)
            selectedAfter = canonicalUuidString(conv(selectedAfter[0]).id);
        QCOMPARE(store.property("selectedID").toString(), selectedAfter);
        QCOMPARE(selection.size(), selectedAfter == canonicalUuidString(conv(u'A').id) ? 0 : 1);
        QCOMPARE(titles(store.conversations()), after == u"-" ? u"AB"_s : after);
        QCOMPARE(QFile::exists(store.fileURL()), after != u"-");
    }
};

QTEST_GUILESS_MAIN(TestQmlTypes)
#include "tst_qmltypes.moc"
