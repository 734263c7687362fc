// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/conversationlistmodel.h"
#include "store/store.h"
#include "storetestutil.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

class TestConversationListModel : public QObject
{
    Q_OBJECT

private slots:
    void followsStoreRows_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("log");

        // clang-format off
        QTest::newRow("new")            << "AB"    << "new"      << QStringList{"inserted 0-0"};
        QTest::newRow("remove middle")  << "ABC"   << "remove B" << QStringList{"removed 1-1"};
        QTest::newRow("remove dupes")   << "ABAAC" << "remove A" << QStringList{"removed 2-3", "removed 0-0"};
        QTest::newRow("remove unknown") << "AB"    << "remove X" << QStringList{};
        QTest::newRow("rename")         << "ABC"   << "rename C" << QStringList{"changed 2-2"};
        QTest::newRow("model of one")   << "ABC"   << "model B"  << QStringList{"changed 1-1"};
        QTest::newRow("messages etc.")  << "AB"    << "other B"  << QStringList{};
        // clang-format on
    }

    void followsStoreRows()
    {
        QFETCH(QString, list);
        QFETCH(QString, operation);

        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), list));
        const auto store = std::make_unique<Store>(tmp.path());
        ConversationListModel model(store.get());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList log;
        connect(
            &model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex &, int a, int b) { log << u"inserted %1-%2"_s.arg(a).arg(b); });
        connect(
            &model, &QAbstractItemModel::rowsRemoved, this,
            [&](const QModelIndex &, int a, int b) { log << u"removed %1-%2"_s.arg(a).arg(b); });
        connect(&model, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex &a, const QModelIndex &b, const QList<int> &roles) {
                    log << u"changed %1-%2"_s.arg(a.row()).arg(b.row()) +
                               (roles.contains(ConversationListModel::DisplayTitleRole)
                                    ? u""_s
                                    : u" without displayTitle"_s);
                });
        connect(&model, &QAbstractItemModel::modelReset, this, [&] { log << u"reset"_s; });

        const QUuid target = conv(operation.back()).id;
        if (operation == u"new")
            store->newConversation();
        else if (operation.startsWith(u"remove"))
            store->remove(target);
        else if (operation.startsWith(u"rename"))
            store->rename(target, u"周报"_s);
        else if (operation.startsWith(u"model"))
            store->setModel(target, u"gpt-4o"_s, {});
        else {
            const Message hi = Message::make(Message::Role::User, u"hi"_s);
            store->appendMessage(target, hi);
            store->appendToMessage(target, hi.id, u"!");
            store->setSelectedID(target);
            AppSettings s;
            s.model = u"other"_s;
            store->setSettings(s);
        }

        QTEST(log, "log");
        QStringList shown, stored;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row).data(ConversationListModel::IdRole).toString() +
                         model.index(row).data(ConversationListModel::TitleRole).toString();
        for (const Conversation &c : store->conversations())
            stored << canonicalUuidString(c.id) + c.title;
        QCOMPARE(shown, stored);
    }

    void storeGoesAway()
    {
        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), u"ABC"_s));
        auto store = std::make_unique<Store>(tmp.path());
        ConversationListModel model(store.get());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy storeChanged(&model, &ConversationListModel::storeChanged);
        store.reset();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(storeChanged.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConversationListModel)
#include "tst_conversationlistmodel.moc"
