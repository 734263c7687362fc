// SPDX-License-Identifier: GPL-3.0-or-later
// The chat list's follower on a real ListView: following the end as rows arrive and grow,
// letting go when the user scrolls, the keys, and a search match held in place while the rows
// above it settle. Every check waits for the view's layout and the follower's queued work,
// never for a fixed time.
#include "chat/quick/listfollower.h"

#include <QAbstractListModel>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQuickTest>

#include <memory>

namespace {

/// Rows of given heights; announces its count and the growth of its last row as the
/// conversation's message list does.
class Rows : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    int count() const { return int(m_heights.size()); }
    int rowCount(const QModelIndex & = {}) const override { return count(); }
    QVariant data(const QModelIndex &index, int) const override
    {
        return m_heights.value(index.row());
    }
    QHash<int, QByteArray> roleNames() const override { return {{Qt::UserRole, "rowHeight"}}; }

    void append(int n, qreal height)
    {
        beginInsertRows({}, count(), count() + n - 1);
        m_heights.append(QList<qreal>(n, height));
        endInsertRows();
        emit countChanged();
        emit lastContentChanged();
    }
    void resize(int row, qreal height)
    {
        m_heights[row] = height;
        emit dataChanged(index(row), index(row));
        if (row == count() - 1)
            emit lastContentChanged();
    }
    qreal height(int row) const { return m_heights.at(row); }

signals:
    void countChanged();
    void lastContentChanged();

private:
    QList<qreal> m_heights;
};

// A row's blocks are 20 px apart; -1 is the row's top.
const QByteArray listQml = R"(
import QtQuick
ListView {
    width: 400
    height: 300
    cacheBuffer: 0
    delegate: Item {
        required property real rowHeight
        property int laidOut: 0
        width: ListView.view.width
        height: rowHeight
        function blockTop(block) { return block < 0 ? 0 : 20 * block }
        function layoutBlocks() { ++laidOut }
    }
}
)";

} // namespace

enum class Change { Append, GrowLast, GrowAbove, Shrink };
Q_DECLARE_METATYPE(Change)

class TestListFollower : public QObject
{
    Q_OBJECT

    QQmlEngine m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    std::unique_ptr<Rows> m_rows;
    QQuickItem *m_list = nullptr;
    std::unique_ptr<ListFollower> m_follower;

    qreal contentY() const { return m_list->property("contentY").toReal(); }
    bool atEnd() const { return m_list->property("atYEnd").toBool(); }

    // The view's layout done and the follower's queued work run, as often as either asks for
    // more.
    void settle()
    {
        for (int turn = 0; turn < 10; ++turn) {
            QVERIFY(QQuickTest::qWaitForPolish(m_list));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            if (!QQuickTest::qIsPolishScheduled(m_list))
                return;
        }
        QFAIL("the view does not settle");
    }

    // The top of a row's block in the view's coordinates.
    qreal blockY(int row, int block) const
    {
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(m_list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, item),
                                  Q_ARG(int, row));
        return item ? item->mapToItem(m_list, QPointF(0, block < 0 ? 0 : 20 * block)).y() : -1e9;
    }

    // The user flicks the view up and lets it come to rest.
    void flickUp()
    {
        QSignalSpy ended(m_list, SIGNAL(movementEnded()));
        QMetaObject::invokeMethod(m_list, "flick", Q_ARG(qreal, 0), Q_ARG(qreal, 1500));
        QVERIFY(ended.wait(5000));
        settle();
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QQuickWindow>();
        m_window->resize(400, 300);
        m_rows = std::make_unique<Rows>();
        QQmlComponent component(&m_engine);
        component.setData(listQml, QUrl());
        m_list = qobject_cast<QQuickItem *>(component.create());
        QVERIFY2(m_list, qPrintable(component.errorString()));
        m_list->setParentItem(m_window->contentItem());
        m_list->setProperty("model", QVariant::fromValue<QObject *>(m_rows.get()));
        m_follower = std::make_unique<ListFollower>();
        m_follower->setView(m_list);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_rows->append(40, 100);
        settle();
    }

    void cleanup()
    {
        m_follower.reset();
        delete m_list;
        m_window.reset();
        m_rows.reset();
    }

    // Whatever moves the end, a view that follows it keeps it in sight; one the user scrolled
    // away from stays where it is, with the way back shown.
    void followsTheEndUntilScrolledAway_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("scrolledAway");
        const std::pair<const char *, Change> changes[] = {
            {"a row arrives", Change::Append},
            {"the last row grows", Change::GrowLast},
            {"a row above grows", Change::GrowAbove},
            {"the view shrinks", Change::Shrink},
        };
        for (const auto &[name, change] : changes) {
            QTest::addRow("following: %s", name) << change << false;
            if (change != Change::Append) // a new row is always shown, see below
                QTest::addRow("scrolled away: %s", name) << change << true;
        }
    }
    void followsTheEndUntilScrolledAway()
    {
        QFETCH(Change, change);
        QFETCH(bool, scrolledAway);
        QVERIFY(atEnd() && m_follower->following());
        QVERIFY(!m_follower->awayFromEnd());
        if (scrolledAway) {
            flickUp();
            QVERIFY(!atEnd());
            QVERIFY(!m_follower->following());
            QVERIFY(m_follower->awayFromEnd());
        }
        const qreal before = contentY();
        const int last = m_rows->count() - 1;
        switch (change) {
        case Change::Append:
            m_rows->append(1, 250);
            break;
        case Change::GrowLast:
            for (int i = 0; i < 5; ++i) // as a reply streams: the row grows delta by delta
                m_rows->resize(last, m_rows->height(last) + 90);
            break;
        case Change::GrowAbove:
            m_rows->resize(last - 1, 400);
            break;
        case Change::Shrink:
            m_list->setHeight(200);
            break;
        }
        settle();
        QCOMPARE(atEnd(), !scrolledAway);
        QCOMPARE(m_follower->following(), !scrolledAway);
        QCOMPARE(m_follower->awayFromEnd(), scrolledAway);
        if (scrolledAway && change != Change::GrowAbove)
            QCOMPARE(contentY(), before);
    }

    // The way back, and a new message wherever the user reads, return to the end, which the
    // view then follows again.
    void returnsToTheEnd_data()
    {
        QTest::addColumn<bool>("newRow");
        QTest::newRow("the way back") << false;
        QTest::newRow("a new message") << true;
    }
    void returnsToTheEnd()
    {
        QFETCH(bool, newRow);
        m_follower->scrollByKey(Qt::Key_Home);
        settle();
        QVERIFY(m_follower->awayFromEnd());
        if (newRow)
            m_rows->append(1, 120);
        else
            m_follower->scrollToEnd();
        settle();
        QVERIFY(atEnd());
        QVERIFY(m_follower->following());
        QVERIFY(!m_follower->awayFromEnd());
        m_rows->resize(m_rows->count() - 1, 700);
        settle();
        QVERIFY(atEnd());
    }

    // Reaching the end by the user's own scrolling follows again.
    void followsAgainAtTheEnd()
    {
        flickUp();
        QVERIFY(!m_follower->following());
        QSignalSpy ended(m_list, SIGNAL(movementEnded()));
        QMetaObject::invokeMethod(m_list, "flick", Q_ARG(qreal, 0), Q_ARG(qreal, -20000));
        QVERIFY(ended.wait(5000));
        QVERIFY(atEnd());
        QVERIFY(m_follower->following());
    }

    void keys_data()
    {
        QTest::addColumn<bool>("fromEnd");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qreal>("moved"); // NaN: to the end; -Infinity: to the start
        QTest::addColumn<bool>("following");
        const qreal end = qQNaN();
        const qreal start = -qInf();
        QTest::newRow("up") << true << int(Qt::Key_Up) << true << -60.0 << false;
        QTest::newRow("down at the end") << true << int(Qt::Key_Down) << true << 0.0 << true;
        QTest::newRow("page up") << true << int(Qt::Key_PageUp) << true << -270.0 << false;
        QTest::newRow("home") << true << int(Qt::Key_Home) << true << start << false;
        QTest::newRow("down from the start") << false << int(Qt::Key_Down) << true << 60.0 << false;
        QTest::newRow("page down") << false << int(Qt::Key_PageDown) << true << 270.0 << false;
        QTest::newRow("end") << false << int(Qt::Key_End) << true << end << true;
        QTest::newRow("another key") << false << int(Qt::Key_A) << false << 0.0 << false;
    }
    void keys()
    {
        QFETCH(bool, fromEnd);
        QFETCH(int, key);
        QFETCH(bool, accepted);
        QFETCH(qreal, moved);
        QFETCH(bool, following);
        if (!fromEnd) {
            m_follower->scrollByKey(Qt::Key_Home);
            settle();
            QVERIFY(m_list->property("atYBeginning").toBool());
        }
        const qreal before = contentY();
        QCOMPARE(m_follower->scrollByKey(key), accepted);
        settle();
        if (qIsNaN(moved))
            QVERIFY(atEnd());
        else if (qIsInf(moved))
            QVERIFY(m_list->property("atYBeginning").toBool());
        else
            QCOMPARE(contentY(), before + moved);
        QCOMPARE(m_follower->following(), following);
    }

    // Pressing the bar is the user's scrolling: released at the end, the view follows again.
    void scrollBar_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("released at the end") << false;
        QTest::newRow("released above it") << true;
    }
    void scrollBar()
    {
        QFETCH(bool, moved);
        m_follower->scrollBarPressed(true);
        QVERIFY(!m_follower->following());
        if (moved)
            m_list->setProperty("contentY", contentY() - 500);
        m_follower->scrollBarPressed(false);
        QCOMPARE(m_follower->following(), !moved);
    }

    // Text above the part read changed height: the view moves with it only while it keeps to
    // neither the end nor a match.
    void contentShifted_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<qreal>("moved");
        QTest::newRow("following the end") << "end" << 0.0;
        QTest::newRow("holding a match") << "match" << 0.0;
        QTest::newRow("where the user scrolled") << "user" << 35.0;
    }
    void contentShifted()
    {
        QFETCH(QString, state);
        QFETCH(qreal, moved);
        if (state == QLatin1String("match"))
            QVERIFY(m_follower->showMatch(20, 1));
        else if (state == QLatin1String("user"))
            m_follower->scrollByKey(Qt::Key_PageUp);
        settle();
        const qreal before = contentY();
        m_follower->contentShifted(35);
        QCOMPARE(contentY(), before + moved);
    }

    // A match is placed near the top with a little room above it, also in a row not built
    // yet, and held there while rows above it change; no match leaves the view at the end.
    void showsAMatch_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("block");
        QTest::newRow("no match") << -1 << 0;
        QTest::newRow("a row in view") << 37 << 1;
        QTest::newRow("a row far above") << 3 << 4;
        QTest::newRow("the row's top") << 10 << -1;
    }
    void showsAMatch()
    {
        QFETCH(int, row);
        QFETCH(int, block);
        m_follower->setSettleTime(60 * 1000); // held until the user scrolls
        const qreal before = contentY();
        QCOMPARE(m_follower->showMatch(row, block), row >= 0);
        settle();
        if (row < 0) {
            QCOMPARE(contentY(), before);
            QVERIFY(m_follower->following() && !m_follower->holdingMatch());
            return;
        }
        QVERIFY(m_follower->holdingMatch() && !m_follower->following());
        QCOMPARE(blockY(row, block), ListFollower::matchMargin);
        // Rows laid out above it change their heights: it is placed again.
        m_rows->resize(row - 1, 333);
        m_rows->resize(0, 10);
        settle();
        QCOMPARE(blockY(row, block), ListFollower::matchMargin);
        // The user's scrolling ends the hold: what changes above then moves the match.
        QSignalSpy released(m_follower.get(), &ListFollower::holdingMatchChanged);
        QMetaObject::invokeMethod(m_list, "flick", Q_ARG(qreal, 0), Q_ARG(qreal, 800));
        QCOMPARE(released.count(), 1);
        QVERIFY(!m_follower->holdingMatch() && !m_follower->following());
    }

    // Once the rows have settled, the view is the user's.
    void letsTheMatchGo()
    {
        m_follower->setSettleTime(10);
        QSignalSpy released(m_follower.get(), &ListFollower::holdingMatchChanged);
        QVERIFY(m_follower->showMatch(30, 0));
        QVERIFY(m_follower->holdingMatch());
        QVERIFY(released.wait(5000));
        QVERIFY(!m_follower->holdingMatch());
        const qreal held = contentY();
        m_rows->resize(29, 500);
        settle();
        QCOMPARE(contentY(), held);
    }

    // With no rows there is no way back to show, whatever the follower keeps to.
    void emptyListShowsNoWayBack()
    {
        auto empty = std::make_unique<Rows>();
        m_list->setProperty("model", QVariant::fromValue<QObject *>(empty.get()));
        m_follower->scrollByKey(Qt::Key_Home);
        settle();
        QVERIFY(!m_follower->following());
        QVERIFY(!m_follower->awayFromEnd());
        m_list->setProperty("model", QVariant());
    }
};

QTEST_MAIN(TestListFollower)
#include "tst_listfollower.moc"
