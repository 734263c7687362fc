// SPDX-License-Identifier: GPL-3.0-or-later
// A misbehaving gateway against the chat controller: connections reset in the middle of a
// reply, a reply trickling in byte by byte, a 10 MB line, invalid UTF-8, and error bodies that
// do not end. Each time the user must see a clear message, the conversation must keep (and
// save) what had arrived, memory must stay bounded and the event loop must keep turning.
#include "api/chatapierror.h"
#include "chat/chatcontroller.h"
#include "model/storagecodec.h"
#include "store/store.h"
#include "testgateway.h"

#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

using Reply = TestGateway::Reply;

constexpr qsizetype MiB = 1024 * 1024;

/// Resident memory of this process in bytes: now, and at its peak since resetPeak().
struct Memory
{
    qint64 rss = -1;
    qint64 peak = -1;

    static Memory read()
    {
        Memory m;
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return m;
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 2)
                continue;
            if (fields.at(0) == "VmRSS:")
                m.rss = fields.at(1).toLongLong() * 1024;
            else if (fields.at(0) == "VmHWM:")
                m.peak = fields.at(1).toLongLong() * 1024;
        }
        return m;
    }

    /// Starts a new peak (Linux 4.0 and later); false where that is not possible.
    static bool resetPeak()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    }
};

/// The gateway in a thread of its own, so that the main thread runs only the client: a client
/// that blocked it would stop the timer the tests count, instead of stopping the gateway too.
class ThreadedGateway
{
public:
    ThreadedGateway() : m_gateway(new TestGateway)
    {
        m_gateway->moveToThread(&m_thread);
        m_thread.start();
        call([this] { m_listening = m_gateway->listen(); });
    }
    ~ThreadedGateway()
    {
        m_gateway->deleteLater(); // deleted in its own thread as that thread ends
        m_thread.quit();
        m_thread.wait();
    }

    bool listening() const { return m_listening; }
    QString url(const QString &path) const { return m_gateway->url(path); }
    void enqueue(const Reply &reply)
    {
        call([this, reply] { m_gateway->enqueue(reply); });
    }
    /// Connections the client has not closed yet.
    int openConnections()
    {
        int open = 0;
        call([this, &open] {
            for (const QTcpSocket *s : m_gateway->findChildren<QTcpSocket *>())
                open += s->state() == QAbstractSocket::ConnectedState;
        });
        return open;
    }

private:
    template<typename F> void call(F f)
    {
        QMetaObject::invokeMethod(m_gateway, f, Qt::BlockingQueuedConnection);
    }

    QThread m_thread;
    TestGateway *m_gateway;
    bool m_listening = false;
};

QByteArray chunkedHead()
{
    return TestGateway::head(
        200, {{"Content-Type", "text/event-stream"}, {"Transfer-Encoding", "chunked"}});
}

/// The reply with bytes appended in pieces of `size`, each sent `delayMs` after the previous.
Reply inPieces(Reply reply, const QByteArray &bytes, qsizetype size, int delayMs)
{
    for (qsizetype at = 0; at < bytes.size(); at += size)
        reply.then(bytes.mid(at, size), delayMs);
    return reply;
}

/// The reply with `block` appended until `total` bytes, one piece each `delayMs`. The pieces
/// share one buffer, so the gateway's script stays small in memory.
Reply repeated(Reply reply, const QByteArray &block, qsizetype total, int delayMs)
{
    for (qsizetype sent = 0; sent < total; sent += block.size())
        reply.then(block, delayMs);
    return reply;
}

} // namespace

Q_DECLARE_METATYPE(TestGateway::Reply)

class TestGatewayFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ThreadedGateway> m_gateway;
    std::unique_ptr<Store> m_store;
    QUuid m_conv;

    struct Outcome
    {
        bool ended = false;
        QString reply; // the assistant message after the end
        bool showError = false;
        QString error;             // the alert's text
        bool savedAsShown = false; // data.json holds exactly the conversation in memory
    };

    const Conversation &conversation() const
    {
        return m_store->conversations().at(*m_store->indexOf(m_conv));
    }

    bool fileMatches() const
    {
        m_store->flush();
        QFile f(m_store->fileURL());
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const std::optional<AppData> saved = decodeAppData(f.readAll());
        return saved && saved->conversations.size() == 1 &&
               saved->conversations.first() == conversation();
    }

    // Sends one message against the scripted reply and waits for the stream to end.
    Outcome send(const Reply &reply)
    {
        m_gateway->enqueue(reply);
        ChatController c(m_store.get(), m_conv);
        Outcome out;
        c.setInput(QStringLiteral("讲个故事"));
        c.send();
        out.ended = QTest::qWaitFor([&] { return !c.sending(); }, 60'000);
        const QList<Message> &messages = conversation().messages;
        out.reply = messages.size() == 2 ? messages.last().content : QStringLiteral("<missing>");
        out.showError = c.showError();
        out.error = c.errorMessage();
        out.savedAsShown = fileMatches();
        return out;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_gateway = std::make_unique<ThreadedGateway>();
        QVERIFY(m_gateway->listening());
        m_store = std::make_unique<Store>(m_dir->path());
        AppSettings s;
        s.baseURL = m_gateway->url(QStringLiteral("/v1"));
        s.apiKey = QStringLiteral("sk-test");
        m_store->setSettings(s);
        m_store->newConversation();
        m_conv = *m_store->selectedID();
    }

    void cleanup()
    {
        m_store.reset();
        m_gateway.reset();
        m_dir.reset();
    }

    // The connection goes away after two deltas have been read: the user sees why, and the two
    // deltas stay in the conversation and in the file.
    void connectionLost_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("unseen"); // Qt may take this cut for the body's end

        const QByteArray two = TestGateway::deltaEvent(QStringLiteral("从前有座山，")) +
                               TestGateway::deltaEvent(QStringLiteral("山里有座庙"));
        const QByteArray sized = TestGateway::head(
            200, {{"Content-Type", "text/event-stream"}, {"Content-Length", "100000"}});
        // clang-format off
        QTest::newRow("reset, announced length") << Reply().then(sized).then(two).then("data: {\"cho", 150).reset() << false;
        QTest::newRow("reset, chunked, mid-event")
            << Reply().then(chunkedHead()).then(TestGateway::chunk(two)).then("4000\r\ndata: {\"cho", 150).reset() << false;
        // clang-format on
        // Qt 6.4 takes the end of the connection after a whole chunk for the end of the body,
        // or not, depending on which of two socket signals it handles first; the client cannot
        // see the chunk framing. Whichever it is, nothing that arrived may be lost.
        QTest::newRow("closed, chunked, between events")
            << Reply().then(chunkedHead()).then(TestGateway::chunk(two)).then("", 150) << true;
    }

    void connectionLost()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, unseen);
        const Outcome out = send(reply);
        QVERIFY(out.ended);
        QCOMPARE(out.reply, QStringLiteral("从前有座山，山里有座庙"));
        QVERIFY(out.savedAsShown);
        if (unseen && !out.showError)
            return;
        QVERIFY(out.showError);
        QCOMPARE(out.error, ChatAPIError::networkDescription(QNetworkReply::RemoteHostClosedError));
    }

    // Every byte alone, CJK and emoji characters cut apart, chunk framing split too.
    void trickle_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::newRow("until close") << false;
        QTest::newRow("chunked") << true;
    }

    void trickle()
    {
        QFETCH(bool, chunked);
        const QStringList parts{QStringLiteral("慢慢"), QStringLiteral("来🙂，"),
                                QStringLiteral("é\n```\ncode\n```")};
        QByteArray body = ": keep-alive\r\n\r\n";
        for (const QString &p : parts)
            body += TestGateway::deltaEvent(p);
        body += "data: [DONE]\n\n";
        QByteArray bytes = body;
        if (chunked) {
            bytes.clear();
            for (const QByteArray &line : body.split('\n'))
                bytes += TestGateway::chunk(line + '\n');
            bytes.chop(TestGateway::chunk("\n").size()); // split() leaves one piece too many
            bytes += "0\r\n\r\n";
        }
        const QByteArray head =
            chunked ? chunkedHead()
                    : TestGateway::head(200, {{"Content-Type", "text/event-stream"}});
        const Outcome out = send(inPieces(Reply(), head + bytes, 1, 2));
        QVERIFY(out.ended);
        QCOMPARE(out.reply, parts.join(QString()));
        QVERIFY(!out.showError);
        QVERIFY(out.savedAsShown);
    }

    // A line of 10 MB (under the client's line limit) is one delta, whole.
    void tenMegabyteLine()
    {
        const QByteArray piece = QStringLiteral("长行 long line 测试。").toUtf8();
        const QString big = QString::fromUtf8(piece.repeated(10 * MiB / piece.size() + 1));
        const QByteArray line = TestGateway::deltaEvent(big);
        QVERIFY(line.size() > 10 * MiB);
        Reply reply;
        reply.then(TestGateway::head(200, {{"Content-Type", "text/event-stream"}}));
        reply = inPieces(reply, line, 256 * 1024, 1);
        reply.then(TestGateway::deltaEvent(QStringLiteral("完")) + "data: [DONE]\n\n");
        const Outcome out = send(reply);
        QVERIFY(out.ended);
        QVERIFY(!out.showError);
        QCOMPARE(out.reply.size(), big.size() + 1);
        QVERIFY(out.reply == big + QStringLiteral("完"));
        QVERIFY(out.savedAsShown);
    }

    // Each byte that is not part of a valid UTF-8 character becomes one U+FFFD; the rest of the
    // reply and of the stream survives, and the file keeps exactly what is shown.
    void invalidUtf8_data()
    {
        QTest::addColumn<QByteArray>("content"); // inside the JSON string of one delta
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("stray bytes")            << QByteArray("a\xff" "b\xfe") << QStringLiteral("a\uFFFDb\uFFFD");
        QTest::newRow("cut character")          << QByteArray("\xe4\xbd" "好") << QStringLiteral("\uFFFD\uFFFD好");
        QTest::newRow("overlong slash")         << QByteArray("\xc0\xaf") << QStringLiteral("\uFFFD\uFFFD");
        QTest::newRow("encoded surrogate")      << QByteArray("x\xed\xa0\x80y") << QStringLiteral("x\uFFFD\uFFFD\uFFFDy");
        QTest::newRow("cut emoji at the end")   << QByteArray("z\xf0\x9f\x98") << QStringLiteral("z\uFFFD\uFFFD\uFFFD");
        QTest::newRow("escaped lone surrogate") << QByteArray("\\ud83d!") << QString(QChar(0xD83D)) + u'!';
        // clang-format on
    }

    void invalidUtf8()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        const QByteArray event =
            "data: {\"choices\":[{\"delta\":{\"content\":\"" + content + "\"}}]}\n\n";
        const Outcome out = send(TestGateway::eventStream(
            {TestGateway::deltaEvent(QStringLiteral("前")), event,
             TestGateway::deltaEvent(QStringLiteral("后")), "data: [DONE]\n\n"}));
        QVERIFY(out.ended);
        QVERIFY(!out.showError);
        QCOMPARE(out.reply, QStringLiteral("前") + shown + QStringLiteral("后"));
        QVERIFY(out.savedAsShown);
    }

    void invalidUtf8InErrorBody()
    {
        const Outcome out = send(TestGateway::response(502, "bad \xff\xfe gateway \xe4\xbd"));
        QVERIFY(out.ended);
        const QString message =
            QStringLiteral("请求失败（HTTP 502）：\nbad \uFFFD\uFFFD gateway \uFFFD\uFFFD");
        QCOMPARE(out.error, message);
        QCOMPARE(out.reply, QStringLiteral("⚠️ ") + message);
        QVERIFY(out.savedAsShown);
    }

    // 20 MB the client must read and drop: memory stays far below that, the user sees the
    // status and the first 64 KB of the body, and a body that never ends ends the request too.
    void endlessBody_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("reply_text"); // the assistant message after the end
        QTest::addColumn<QString>("error");      // empty: no alert

        // Lines of exactly 64 bytes: the kept 64 KB are 1,024 whole lines, joined.
        QByteArray line = "{\"error\":\"上游过载，请稍后再试 upstream overloaded";
        line += QByteArray(64 - line.size() - 2, '.') + "\"}\n";
        const QByteArray block = line.repeated(1024);
        const QString kept = QString::fromUtf8(QByteArray(block).replace('\n', QByteArray()));
        const qsizetype total = 20 * MiB;

        const QString status500 = QStringLiteral("请求失败（HTTP 500）：\n") + kept;
        Reply close = repeated(Reply().then(TestGateway::head(500, {{"Connection", "close"}})),
                               block, total, 1);
        QTest::newRow("500 until close")
            << close << QStringLiteral("⚠️ ") + status500 << status500;

        Reply stalled = repeated(Reply().then(TestGateway::head(500, {{"Connection", "close"}})),
                                 block, 4 * block.size(), 1);
        QTest::newRow("500 that stalls")
            << stalled.stall() << QStringLiteral("⚠️ ") + status500 << status500;

        const QString status401 = QStringLiteral("请求失败（HTTP 401）：\n") + kept;
        Reply challenge = repeated(
            Reply().then(TestGateway::head(
                401, {{"WWW-Authenticate", "Bearer realm=\"api\""}, {"Connection", "close"}})),
            block, total, 1);
        QTest::newRow("401 with a challenge")
            << challenge << QStringLiteral("⚠️ ") + status401 << status401;

        // A successful stream of nothing but keep-alive comments, then one delta.
        Reply comments =
            repeated(Reply().then(TestGateway::head(200, {{"Content-Type", "text/event-stream"}})),
                     QByteArray(": keep-alive\n").repeated(5000), total, 1);
        comments.then(TestGateway::deltaEvent(QStringLiteral("终于")) + "data: [DONE]\n\n");
        QTest::newRow("200 of keep-alives") << comments << QStringLiteral("终于") << QString();
    }

    void endlessBody()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, reply_text);
        QFETCH(QString, error);
        if (!Memory::resetPeak())
            QSKIP("the peak resident memory cannot be reset here");
        const Memory before = Memory::read();
        const Outcome out = send(reply);
        const Memory after = Memory::read();
        QVERIFY(out.ended);
        QCOMPARE(out.reply, reply_text);
        QCOMPARE(out.showError, !error.isEmpty());
        QCOMPARE(out.error, error);
        QVERIFY(out.savedAsShown);
        QTRY_COMPARE(m_gateway->openConnections(), 0); // nothing more is read
        if (QByteArrayView(QTest::currentDataTag()).startsWith("401"))
            QEXPECT_FAIL("", "Qt holds a 401 body whole until it ends, out of the client's reach",
                         Continue);
        // Gathering the body would take more than 20 MB; reading and dropping takes little.
        const qint64 growth = after.peak - before.rss;
        QVERIFY2(growth < 8 * MiB,
                 qPrintable(QStringLiteral("peak grew by %1 KB").arg(growth / 1024)));
    }
};

QTEST_GUILESS_MAIN(TestGatewayFaults)
#include "tst_gatewayfaults.moc"
