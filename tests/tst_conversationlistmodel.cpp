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

namespace {

using Ranges = QList<std::pair<int, int>>;

// A Store loaded from a file holding one conversation per letter.
std::unique_ptr<Store> storeWith(const QTemporaryDir &tmp, const QString &letters)
{
    return writeConversations(tmp.path(), letters) ? std::make_unique<Store>(tmp.path()) : nullptr;
}

Ranges ranges(const QSignalSpy &spy)
{
    Ranges r;
    for (const QVariantList &args : spy)
        r.append({args.at(1).toInt(), args.at(2).toInt()});
    return r;
}

} // namespace

class TestConversationListModel : public QObject
{
    Q_OBJECT

private slots:
    void followsStoreRows_data();
    void followsStoreRows();
    void roles();
    void storeGoesAway();
};

void TestConversationListModel::followsStoreRows_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Ranges>("inserted");
    QTest::addColumn<Ranges>("removed");
    QTest::addColumn<QList<int>>("changed");

    // clang-format off
    QTest::newRow("new")             << "AB"    << "new"      << Ranges{{0, 0}} << Ranges{}       << QList<int>{};
    QTest::newRow("remove middle")   << "ABC"   << "remove B" << Ranges{} << Ranges{{1, 1}}         << QList<int>{};
    QTest::newRow("remove dupes")    << "ABAAC" << "remove A" << Ranges{} << Ranges{{2, 3}, {0, 0}} << QList<int>{};
    QTest::newRow("remove unknown")  << "AB"    << "remove X" << Ranges{} << Ranges{}               << QList<int>{};
    QTest::newRow("rename")          << "ABC"   << "rename C" << Ranges{} << Ranges{}               << QList<int>{2};
    QTest::newRow("model of one")    << "ABC"   << "model B"  << Ranges{} << Ranges{}               << QList<int>{1};
    QTest::newRow("messages etc.")   << "AB"    << "other B"  << Ranges{} << Ranges{}               << QList<int>{};
    // clang-format on
}

void TestConversationListModel::followsStoreRows()
{
    QFETCH(QString, list);
    QFETCH(QString, operation);
    QFETCH(Ranges, inserted);
    QFETCH(Ranges, removed);
    QFETCH(QList<int>, changed);

    QTemporaryDir tmp;
    const auto store = storeWith(tmp, list);
    QVERIFY(store);
    ConversationListModel model(store.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), list.size());

    QSignalSpy insertSpy(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removeSpy(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changeSpy(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy resetSpy(&model, &QAbstractItemModel::modelReset);

    const QUuid target = conv(operation.back()).id;
    const qsizetype index = store->indexOf(target).value_or(-1);
    if (operation == u"new")
        store->newConversation();
    else if (operation.startsWith(u"remove"))
        store->remove(target);
    else if (operation.startsWith(u"rename"))
        store->rename(target, u"周报"_s);
    else if (operation.startsWith(u"model"))
        store->setModel(index, u"gpt-4o"_s);
    else {
        store->appendMessage(index, Message::make(Message::Role::User, u"hi"_s));
        store->appendToMessage(index, 0, u"!");
        store->setSelectedID(target);
        AppSettings s;
        s.model = u"other"_s;
        store->setSettings(s);
    }

    QCOMPARE(ranges(insertSpy), inserted);
    QCOMPARE(ranges(removeSpy), removed);
    QList<int> changedRows;
    for (const QVariantList &args : changeSpy) {
        const auto topLeft = args.at(0).value<QModelIndex>();
        QCOMPARE(args.at(1).value<QModelIndex>(), topLeft);
        QVERIFY(args.at(2).value<QList<int>>().contains(ConversationListModel::DisplayTitleRole));
        changedRows.append(topLeft.row());
    }
    QCOMPARE(changedRows, changed);
    QCOMPARE(resetSpy.size(), 0);

    QCOMPARE(model.rowCount(), store->conversations().size());
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex i = model.index(row);
        QCOMPARE(i.data(ConversationListModel::IdRole).toString(),
                 canonicalUuidString(store->conversations().at(row).id));
        QCOMPARE(i.data(ConversationListModel::TitleRole).toString(),
                 store->conversations().at(row).title);
    }
}

void TestConversationListModel::roles()
{
    QTemporaryDir tmp;
    const auto store = storeWith(tmp, u"AB"_s);
    QVERIFY(store);
    ConversationListModel model(store.get());
    store->setTitle(0, QString());
    store->setModel(1, u""_s);

    const QModelIndex a = model.index(0);
    const QModelIndex b = model.index(1);
    QCOMPARE(a.data(ConversationListModel::TitleRole).toString(), QString());
    QCOMPARE(a.data(ConversationListModel::DisplayTitleRole).toString(), u"未命名"_s);
    QCOMPARE(a.data(Qt::DisplayRole).toString(), u"未命名"_s);
    QCOMPARE(b.data(ConversationListModel::DisplayTitleRole).toString(), u"B"_s);
    QVERIFY(!a.data(ConversationListModel::ModelRole).isValid());
    QVERIFY(b.data(ConversationListModel::ModelRole).isValid());
    QCOMPARE(b.data(ConversationListModel::ModelRole).toString(), QString());
    QCOMPARE(a.data(ConversationListModel::CreatedAtRole).toDouble(), 773020800.0);
    const QString id = a.data(ConversationListModel::IdRole).toString();
    QCOMPARE(id, id.toUpper());
    QCOMPARE(parseCanonicalUuid(id), conv(u'A').id);
    QCOMPARE(model.roleNames().value(ConversationListModel::DisplayTitleRole), "displayTitle"_ba);
}

void TestConversationListModel::storeGoesAway()
{
    QTemporaryDir tmp;
    auto store = storeWith(tmp, u"ABC"_s);
    QVERIFY(store);
    ConversationListModel model(store.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy storeChanged(&model, &ConversationListModel::storeChanged);
    store.reset();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.store(), nullptr);
    QCOMPARE(storeChanged.size(), 1);
}

QTEST_GUILESS_MAIN(TestConversationListModel)
#include "tst_conversationlistmodel.moc"
