// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sidebarmodel.h"
#include "store/store.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

class TstSidebarModel : public QObject
{
    Q_OBJECT

private slots:
    void followsSelection();
};

// The selected row stays on the selected conversation through inserts and removals above it,
// and an id that names no listed conversation is no selection.
void TstSidebarModel::followsSelection()
{
    QTemporaryDir dir;
    Store store(dir.path());
    SidebarModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&store);
    QCOMPARE(model.selectedRow(), -1);

    store.newConversation();
    const QString c = store.selectedIDString();
    store.newConversation();
    const QString b = store.selectedIDString();
    store.newConversation();
    QCOMPARE(model.selectedRow(), 0);
    QCOMPARE(model.selectedID(), store.selectedIDString());

    store.setSelectedIDString(c);
    QCOMPARE(model.selectedRow(), 2);
    store.remove(b);
    QCOMPARE(model.selectedRow(), 1);
    QCOMPARE(model.selectedID(), c);
    store.newConversation();
    store.setSelectedIDString(c);
    QCOMPARE(model.selectedRow(), 2);

    store.setSelectedIDString(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    QCOMPARE(model.selectedRow(), -1);
    QCOMPARE(model.selectedID(), QString());
    QCOMPARE(model.idAt(5), QString());
}

QTEST_GUILESS_MAIN(TstSidebarModel)

#include "tst_sidebarmodel.moc"
