// SPDX-License-Identifier: GPL-3.0-or-later
// A reply's fragments reach the Store at most once per frame, whole and in order, and the
// registry learns when the reply thinks. (Streams run end to end through the coalescer in
// tst_chatcontroller, which checks the text and the file.)
#include "chat/deltacoalescer.h"
#include "store/store.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

class TestDeltaCoalescer : public QObject
{
    Q_OBJECT

private slots:
    void oneChangePerFrame_data()
    {
        QTest::addColumn<QStringList>("deltas");  // "r:" marks reasoning
        QTest::addColumn<int>("inBurst");         // changes while the fragments arrive at once
        QTest::addColumn<int>("afterFrame");      // changes once the frame has ended
        QTest::addColumn<int>("thinkingChanges"); // the registry's, by then
        QTest::addColumn<bool>("thinkingEnded");

        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << u"第%1段 "_s.arg(i);
        QTest::newRow("300 at once") << many << 0 << 1 << 0 << false;
        // A kind switch hands over what waits; the reasoning starts the thinking, the answer
        // ends it.
        QTest::newRow("reasoning, then the answer")
            << QStringList{u"r:想"_s, u"r:一想"_s, u"答"_s, u"案"_s} << 1 << 2 << 2 << true;
        // Opened and closed within one frame, a think block still ends.
        QTest::newRow("think block cut up")
            << QStringList{u"<thi"_s, u"nk>嗯</th"_s, u"ink>好"_s} << 0 << 1 << 2 << true;
        QTest::newRow("think block not closed")
            << QStringList{u" \n<think>"_s, u"嗯 <b>"_s} << 0 << 1 << 1 << false;
        QTest::newRow("empty fragments")
            << QStringList{QString(), u"a"_s, QString()} << 0 << 1 << 0 << false;
    }

    void oneChangePerFrame()
    {
        QFETCH(QStringList, deltas);
        QFETCH(int, inBurst);
        QFETCH(int, afterFrame);
        QFETCH(int, thinkingChanges);
        QFETCH(bool, thinkingEnded);
        QTemporaryDir tmp;
        Store store(tmp.path());
        store.newConversation();
        const QUuid conv = *store.selectedID();
        const Message reply = Message::make(Message::Role::Assistant, QString());
        store.appendMessage(conv, reply);
        int changes = 0;
        connect(&store, &Store::messageContentChanged, this, [&] { ++changes; });
        connect(&store, &Store::messageReasoningChanged, this, [&] { ++changes; });
        QSignalSpy thought(store.replies(), &ReplyRegistry::thinkingChanged);

        DeltaCoalescer coalescer(&store, conv, reply.id);
        QString text, reasoning;
        for (const QString &d : deltas) {
            const bool thought = d.startsWith(u"r:");
            (thought ? reasoning : text) += d.mid(thought ? 2 : 0);
            if (thought)
                coalescer.appendReasoning(d.mid(2));
            else
                coalescer.appendText(d);
        }
        QCOMPARE(changes, inBurst);
        QTRY_COMPARE(changes, afterFrame);
        // And nothing more: a frame the last hand-over started would end before this one,
        // started after it.
        QTimer after;
        after.setSingleShot(true);
        after.setTimerType(Qt::PreciseTimer);
        QSignalSpy ended(&after, &QTimer::timeout);
        after.start(DeltaCoalescer::frame);
        QVERIFY(ended.wait());
        QCOMPARE(changes, afterFrame);
        QCOMPARE(store.message(conv, reply.id)->content, text);
        QCOMPARE(store.message(conv, reply.id)->reasoning, reasoning);
        QCOMPARE(thought.size(), thinkingChanges);
        const auto thinking = store.replies()->thinking(reply.id);
        QCOMPARE(thinking && thinking->endedMs >= 0, thinkingEnded);
    }
};

QTEST_GUILESS_MAIN(TestDeltaCoalescer)
#include "tst_deltacoalescer.moc"
