// SPDX-License-Identifier: GPL-3.0-or-later
// A conversation of 2,000 messages opened in the real window: the pane must build only the rows
// near its end (building hundreds of rows on the way, each a Markdown view, held the window for
// seconds and took gigabytes), or near the first match of a search it was opened from.
#include "app/qmltypes.h"
#include "store/store.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QtQuickTest>

namespace {

/// Counts the message rows made while it is installed: a row is seen when its own children are
/// added to it as it is built.
class RowCounter : public QObject
{
public:
    int made = 0;

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded && !m_live.contains(object) &&
            QByteArrayView(object->metaObject()->className()).startsWith("MessageRow")) {
            ++made;
            m_live.insert(object);
            connect(object, &QObject::destroyed, this, [this, object] { m_live.remove(object); });
        }
        return false;
    }

private:
    QSet<QObject *> m_live;
};

QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

/// Lets the window settle: its layout done and what that posted run, until neither asks for
/// more. Rows are built only in the list's layout.
bool settle(QQuickWindow *window)
{
    for (int turn = 0; turn < 50; ++turn) {
        if (!QQuickTest::qWaitForPolish(window))
            return false;
        QCoreApplication::processEvents();
        if (!QQuickTest::qIsPolishScheduled(window))
            return true;
    }
    return false;
}

} // namespace

class TestLongConversation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    }

    void opensAtItsEndBuildingFewRows()
    {
        QTemporaryDir dir;
        QmlStore store(dir.path());
        const QUuid longID = fill(store, -1, -1);
        Window w;
        QVERIFY(w.window);

        RowCounter counter;
        qApp->installEventFilter(&counter);
        store.setSelectedID(longID);
        QQuickItem *list = nullptr;
        QTRY_VERIFY((list = findItem(w.window->contentItem(), QStringLiteral("messageList"))));
        QTRY_VERIFY(list->property("atYEnd").toBool());
        // Nothing more may be built while it settles.
        QVERIFY(settle(w.window));
        qApp->removeEventFilter(&counter);
        QVERIFY(list->property("atYEnd").toBool());
        // The rows that fit in the window and its cache margin, not hundreds.
        QVERIFY2(counter.made < 40, qPrintable(QStringLiteral("%1 rows made").arg(counter.made)));
    }

    // Opened from the search, the pane shows the first match instead of the end (block 3: the
    // end of a long paragraph, block 0),
    // and leaves the view to the user's wheel; leaving the search takes the marks away.
    void opensAtTheFirstMatch_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("block");
        QTest::newRow("near the start, a paragraph") << 2 << 0;
        QTest::newRow("middle, a list item") << 1001 << 1;
        QTest::newRow("near the end, code") << 1995 << 2;
        QTest::newRow("the end of a paragraph taller than the view") << 600 << 3;
    }
    void opensAtTheFirstMatch()
    {
        QFETCH(int, row);
        QFETCH(int, block);
        QTemporaryDir dir;
        QmlStore store(dir.path());
        const QUuid longID = fill(store, row, block);
        const bool tall = block == 3;
        block %= 3;
        Window w;
        QVERIFY(w.window);
        QQuickItem *sidebar = findItem(w.window->contentItem(), QStringLiteral("sidebar"));
        QQuickItem *field = findItem(w.window->contentItem(), QStringLiteral("searchField"));
        QVERIFY(sidebar && field);
        field->setProperty("text", QStringLiteral("琥珀"));
        QQuickItem *results = findItem(w.window->contentItem(), QStringLiteral("searchResults"));
        QTRY_COMPARE(results->property("count").toInt(), 1);
        QMetaObject::invokeMethod(sidebar, "openResult", Q_ARG(QVariant, 0),
                                  Q_ARG(QVariant, false));
        QCOMPARE(store.selectedID(), std::optional(longID));

        QQuickItem *list = nullptr;
        QTRY_VERIFY((list = findItem(w.window->contentItem(), QStringLiteral("messageList"))));
        // The top of the match's block (of the match itself in a tall block) or, for -1, of its
        // row, in the list's coordinates.
        const auto blockY = [&](int b) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, item),
                                      Q_ARG(int, row));
            if (!item)
                return -1.0;
            QVariant top;
            QMetaObject::invokeMethod(item, "blockTop", Q_RETURN_ARG(QVariant, top),
                                      Q_ARG(QVariant, b));
            return item->mapToItem(list, QPointF(0, top.toReal())).y();
        };
        QTRY_VERIFY(blockY(block) >= 0 && blockY(block) < list->height() / 2);
        if (tall) // scrolled into the paragraph, whose start is out of sight
            QVERIFY(blockY(-1) < -list->height() / 2);
        QObject *follower = list->findChild<QObject *>(QStringLiteral("listFollower"));
        QVERIFY(follower);
        QVERIFY(!follower->property("following").toBool());
        QVERIFY(follower->property("holdingMatch").toBool());

        // The wheel once the rows have settled, while the view still keeps the match in place:
        // the view is the user's from then on (what the follower then leaves alone, its own
        // test shows).
        QVERIFY(settle(w.window));
        QVERIFY(follower->property("holdingMatch").toBool());
        const QPointF at = list->mapToScene(QPointF(list->width() / 2, list->height() / 2));
        const qreal before = list->property("contentY").toReal();
        QSignalSpy ended(list, SIGNAL(movementEnded()));
        QWheelEvent wheel(at, w.window->mapToGlobal(at), {}, QPoint(0, row > 10 ? 240 : -240),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.window, &wheel);
        QVERIFY(!follower->property("holdingMatch").toBool());
        QVERIFY(!follower->property("following").toBool());
        QVERIFY(ended.wait(5000));
        QVERIFY(settle(w.window));
        const qreal after = list->property("contentY").toReal();
        QVERIFY2(qAbs(after - before) > 50,
                 qPrintable(QStringLiteral("%1 → %2").arg(before).arg(after)));

        QQuickItem *pane = findItem(w.window->contentItem(), QStringLiteral("chatView"));
        QCOMPARE(pane->property("matchQuery").toString(), QStringLiteral("琥珀"));
        QMetaObject::invokeMethod(sidebar, "endSearch");
        QCOMPARE(pane->property("matchQuery").toString(), QString());
        QCOMPARE(store.selectedID(), std::optional(longID));
    }

private:
    // The real window over the Store set as the QML singleton.
    struct Window
    {
        QQmlApplicationEngine engine;
        QQuickWindow *window = nullptr;

        Window()
        {
            engine.addImportPath(QStringLiteral("qrc:/"));
            engine.load(QUrl(QStringLiteral("qrc:/Corvane/app/Main.qml")));
            if (engine.rootObjects().size() == 1)
                window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
            if (window && !QTest::qWaitForWindowExposed(window))
                window = nullptr;
        }
        ~Window() { StoreForeign::setInstance(nullptr); }
    };

    // Two conversations, the second of 2,000 messages of very different heights, as in real
    // conversations; the first is selected. The message at matchRow holds the word "琥珀" in
    // its block matchBlock (a paragraph, a list and a code block; 3: the end of a paragraph made
    // long). Returns the long one's id.
    static QUuid fill(QmlStore &store, int matchRow, int matchBlock)
    {
        StoreForeign::setInstance(&store);
        store.newConversation();
        store.newConversation();
        const QUuid longID = *store.selectedID();
        for (int i = 0; i < 2000; ++i) {
            const bool user = i % 2 == 0;
            QString text = user
                               ? QStringLiteral("问题 %1").arg(i)
                               : QStringLiteral("回答的一段文字，长短不一。").repeated(1 + i % 40) +
                                     QStringLiteral("\n\n- 一\n- 二\n\n```\ncode %1\n```").arg(i);
            if (i == matchRow) {
                QStringList blocks = {
                    QStringLiteral("开头的段落。").repeated(matchBlock == 3 ? 300 : 1),
                    QStringLiteral("- 甲\n- 乙"), QStringLiteral("```\nlet x = 1;\n```")};
                QString &matched = blocks[matchBlock % 3];
                matched.insert(matched.size() - (matchBlock == 2 ? 4 : 0), QStringLiteral(" 琥珀"));
                text = blocks.join(QStringLiteral("\n\n"));
            }
            store.appendMessage(
                longID, Message::make(user ? Message::Role::User : Message::Role::Assistant, text));
        }
        store.setSelectedID(store.conversations().at(1).id);
        return longID;
    }
};

QTEST_MAIN(TestLongConversation)
#include "tst_longconversation.moc"
