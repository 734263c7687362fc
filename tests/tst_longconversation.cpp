// SPDX-License-Identifier: GPL-3.0-or-later
// A conversation of 2,000 messages opened in the real window: the pane must build only the rows
// near its end. Building hundreds of rows on the way (each a Markdown view) held the window for
// seconds and took gigabytes.
#include "app/qmltypes.h"
#include "store/store.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
        Store store(dir.path());
        StoreForeign::setInstance(&store);
        store.newConversation();
        store.newConversation();
        const QUuid longID = *store.selectedID();
        // Rows of very different heights, as in real conversations.
        for (int i = 0; i < 2000; ++i) {
            const bool user = i % 2 == 0;
            const QString text =
                user ? QStringLiteral("问题 %1").arg(i)
                     : QStringLiteral("回答的一段文字，长短不一。").repeated(1 + i % 40) +
                           QStringLiteral("\n\n- 一\n- 二\n\n```\ncode %1\n```").arg(i);
            store.appendMessage(
                longID, Message::make(user ? Message::Role::User : Message::Role::Assistant, text));
        }
        store.setSelectedID(store.conversations().at(1).id);

        QQmlApplicationEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        engine.load(QUrl(QStringLiteral("qrc:/Corvane/app/Main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        RowCounter counter;
        qApp->installEventFilter(&counter);
        store.setSelectedID(longID);
        QTRY_VERIFY(findItem(window->contentItem(), QStringLiteral("messageList")));
        QQuickItem *list = findItem(window->contentItem(), QStringLiteral("messageList"));
        QTRY_VERIFY(list->property("atYEnd").toBool());
        QTest::qWait(100); // a few more frames: nothing more may be built while it settles
        qApp->removeEventFilter(&counter);
        QVERIFY(list->property("atYEnd").toBool());
        // The rows that fit in the window and its cache margin, not hundreds.
        QVERIFY2(counter.made < 40, qPrintable(QStringLiteral("%1 rows made").arg(counter.made)));
        StoreForeign::setInstance(nullptr);
    }
};

QTEST_MAIN(TestLongConversation)
#include "tst_longconversation.moc"
