// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sidebarmodel.h"
#include "store/store.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TstSidebarModel : public QObject
{
    Q_OBJECT

private slots:
    void followsSelection();
};

// The selected row and id stay right through inserts above the selection, removals, selection
// changes and ids that name no conversation, and are announced only when they change.
void TstSidebarModel::followsSelection()
{
    QTemporaryDir dir;
    Store store(dir.path());
    SidebarModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &SidebarModel::selectionChanged);
    auto expect = [&](int row, int announced) {
        QCOMPARE(model.selectedRow(), row);
        QCOMPARE(model.selectedId(), row < 0 ? QString() : model.idAt(row));
        QCOMPARE(changed.size(), announced);
    };

    model.setStore(&store);
    expect(-1, 0);

    store.newConversation();
    const QString c = store.selectedIDString();
    store.newConversation();
    const QString b = store.selectedIDString();
    store.newConversation();
    // Each insert above the selection moves it down a row before the new one is selected.
    expect(0, 5);

    store.setSelectedIDString(c);
    expect(2, 6);
    QCOMPARE(model.selectedId(), c);
    QCOMPARE(model.rowOf(b), 1);

    // A removal above the selection moves its row, not its id.
    store.remove(b);
    expect(1, 7);
    QCOMPARE(model.selectedId(), c);

    // Selecting the same conversation again announces nothing.
    store.setSelectedIDString(c);
    expect(1, 7);

    // An id that names no conversation is no selection.
    store.setSelectedIDString(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    expect(-1, 8);

    store.setSelectedIDString(c);
    store.remove(c);
    expect(0, 11);
    store.remove(model.selectedId());
    expect(-1, 12);
    QCOMPARE(model.idAt(0), QString());
}

QTEST_GUILESS_MAIN(TstSidebarModel)

#include "tst_sidebarmodel.moc"
