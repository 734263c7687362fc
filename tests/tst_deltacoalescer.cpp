// SPDX-License-Identifier: GPL-3.0-or-later
// A reply's fragments reach the Store at most once per frame, whole and in order: alone, and
// through the chat controller from a gateway that sends a long reply at once.
#include "chat/chatcontroller.h"
#include "chat/deltacoalescer.h"
#include "model/storagecodec.h"
#include "store/store.h"
#include "storetestutil.h"
#include "testgateway.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDeltaCoalescer : public QObject
{
    Q_OBJECT

private slots:
    void oneChangePerFrame_data()
    {
        QTest::addColumn<QStringList>("deltas"); // "r:" marks reasoning
        QTest::addColumn<int>("inBurst");        // changes while the fragments arrive at once
        QTest::addColumn<int>("afterFrame");     // changes once the frame has ended
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("thinkingEnded");

        QStringList many;
        QString manyText;
        for (int i = 0; i < 300; ++i) {
            many << u"第%1段 "_s.arg(i);
            manyText += many.last();
        }
        QTest::newRow("300 at once") << many << 0 << 1 << manyText << false;
        // Each kind switch hands over what waits; the answer ends the thinking.
        QTest::newRow("reasoning, then the answer")
            << QStringList{u"r:想"_s, u"r:一"_s, u"r:想"_s, u"答"_s, u"案"_s} << 1 << 3 << u"答案"_s
            << true;
        // The opening and the closing tag within one frame still end the thinking.
        QTest::newRow("think block cut up, one frame")
            << QStringList{u"<thi"_s, u"nk>嗯"_s, u"</th"_s, u"ink>好"_s} << 0 << 2
            << u"<think>嗯</think>好"_s << true;
        QTest::newRow("empty fragments change nothing")
            << QStringList{QString(), u"a"_s, QString(), u"b"_s} << 0 << 1 << u"ab"_s << false;
    }

    void oneChangePerFrame()
    {
        QFETCH(QStringList, deltas);
        QFETCH(int, inBurst);
        QFETCH(int, afterFrame);
        QFETCH(QString, content);
        QFETCH(bool, thinkingEnded);

        QTemporaryDir tmp;
        Store store(tmp.path());
        store.newConversation();
        const QUuid conv = *store.selectedID();
        const Message reply = Message::make(Message::Role::Assistant, QString());
        store.appendMessage(conv, reply);
        int changes = 0;
        const auto count = [&] { ++changes; };
        connect(&store, &Store::messageContentChanged, this, count);
        connect(&store, &Store::messageReasoningChanged, this, count);

        DeltaCoalescer coalescer(&store, conv, reply.id);
        QString reasoning;
        for (const QString &d : deltas) {
            if (d.startsWith(u"r:")) {
                coalescer.appendReasoning(d.mid(2));
                reasoning += d.mid(2);
            } else {
                coalescer.appendText(d);
            }
        }
        QCOMPARE(changes, inBurst);
        QTRY_COMPARE(changes, afterFrame);
        QTest::qWait(3 * int(DeltaCoalescer::frame.count())); // nothing more comes
        QCOMPARE(changes, afterFrame);
        QCOMPARE(store.message(conv, reply.id)->content, content);
        QCOMPARE(store.message(conv, reply.id)->reasoning, reasoning);
        const auto thinking = store.thinking(reply.id);
        QCOMPARE(thinking && thinking->endedMs >= 0, thinkingEnded);
    }

    // A long reply sent in one go: few changes, and the text shown, the file and the end all
    // see every fragment, including the ones still waiting when the stream ended.
    void wholeReplyThroughTheController()
    {
        TestGateway gateway;
        QVERIFY(gateway.listen());
        QTemporaryDir tmp;
        Store store(tmp.path());
        AppSettings s;
        s.baseURL = gateway.url(u"/v1/"_s);
        s.apiKey = u"sk-test"_s;
        store.setSettings(s);
        store.newConversation();
        const QUuid conv = *store.selectedID();

        QList<QByteArray> pieces;
        QString text;
        for (int i = 0; i < 2000; ++i) {
            const QString d = i % 7 ? u"字%1"_s.arg(i) : u"\n\n- 第%1项 "_s.arg(i);
            pieces << TestGateway::deltaEvent(d);
            text += d;
        }
        gateway.enqueue(TestGateway::eventStream(pieces << "data: [DONE]\n\n"));
        ChatController c(&store, conv);
        QSignalSpy changes(&store, &Store::messageContentChanged);
        c.setInput(u"写长一点"_s);
        c.send();
        QVERIFY(QTest::qWaitFor([&] { return !c.sending(); }, 10000));
        QVERIFY(store.flush());

        const Conversation &shown = *store.conversation(conv);
        QCOMPARE(shown.messages.last().content, text);
        QVERIFY2(changes.size() < 100, qPrintable(QString::number(changes.size())));
        const auto saved = decodeAppData(StoreTest::readAll(store.fileURL()));
        QCOMPARE(saved->conversations.first(), shown);
    }
};

QTEST_MAIN(TestDeltaCoalescer)
#include "tst_deltacoalescer.moc"
