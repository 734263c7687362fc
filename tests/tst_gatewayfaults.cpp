// SPDX-License-Identifier: GPL-3.0-or-later
// A misbehaving gateway against the chat controller: connections reset in the middle of a
// reply, a reply trickling in byte by byte, a 10 MB line, invalid UTF-8, and error bodies that
// do not end. Each time the user must see a clear message, the conversation must keep (and
// save) what had arrived, and memory must stay bounded.
#include "api/chatapierror.h"
#include "chat/chatcontroller.h"
#include "model/storagecodec.h"
#include "store/store.h"
#include "storetestutil.h"
#include "testgateway.h"

#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

using Reply = TestGateway::Reply;

constexpr qsizetype MiB = 1024 * 1024;

/// A field of this process's status in bytes: "VmRSS:" now, "VmHWM:" the peak since resetPeak().
qint64 memory(QByteArrayView field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.sliced(field.size()).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

/// Starts a new peak (Linux 4.0 and later); false where that is not possible.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

/// The head of an event stream, sent until close or in chunks.
QByteArray streamHead(bool chunked = false)
{
    if (chunked)
        return TestGateway::head(
            200, {{"Content-Type", "text/event-stream"}, {"Transfer-Encoding", "chunked"}});
    return TestGateway::head(200, {{"Content-Type", "text/event-stream"}});
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
    std::unique_ptr<TestGateway> m_gateway;
    std::unique_ptr<Store> m_store;
    QUuid m_conv;

    struct Outcome
    {
        QString reply; // the assistant message after the end
        bool showError = false;
        QString error;             // the alert's text
        bool savedAsShown = false; // data.json holds exactly the conversation in memory
    };

    const Conversation &conversation() const { return *m_store->conversation(m_conv); }

    bool fileMatches() const
    {
        m_store->flush();
        const std::optional<AppData> saved = decodeAppData(StoreTest::readAll(m_store->fileURL()));
        return saved && saved->conversations == QList{conversation()};
    }

    // Sends one message against the scripted reply and waits for the stream to end.
    Outcome send(const Reply &reply)
    {
        m_gateway->enqueue(reply);
        ChatController c(m_store.get(), m_conv);
        Outcome out;
        c.setInput(QStringLiteral("讲个故事"));
        c.send();
        const bool ended = QTest::qWaitFor([&] { return !c.sending(); }, 60'000);
        const QList<Message> &messages = conversation().messages;
        out.reply = !ended                 ? QStringLiteral("<still sending>")
                    : messages.size() == 2 ? messages.last().content
                                           : QStringLiteral("<missing>");
        out.showError = c.showError();
        out.error = c.errorMessage();
        out.savedAsShown = fileMatches();
        return out;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_gateway = std::make_unique<TestGateway>();
        QVERIFY(m_gateway->listen());
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
        QTest::newRow("reset, chunked, mid-event") << Reply().then(streamHead(true)).then(TestGateway::chunk(two)).then("4000\r\ndata: {\"cho", 150).reset() << false;
        // Qt 6.4 takes the end of the connection after a whole chunk for the end of the body,
        // or not, depending on which of two socket signals it handles first; the client cannot
        // see the chunk framing. Whichever it is, nothing that arrived may be lost.
        QTest::newRow("closed, chunked, between events") << Reply().then(streamHead(true)).then(TestGateway::chunk(two)).then("", 150) << true;
        // clang-format on
    }

    void connectionLost()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, unseen);
        const Outcome out = send(reply);
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
        if (chunked) { // chunks that end inside events and characters
            QByteArray framed;
            for (qsizetype at = 0; at < body.size(); at += 5)
                framed += TestGateway::chunk(body.mid(at, 5));
            body = framed + "0\r\n\r\n";
        }
        const Outcome out = send(inPieces(Reply(), streamHead(chunked) + body, 1, 2));
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
        Reply reply = inPieces(Reply().then(streamHead()), line, 256 * 1024, 1);
        reply.then(TestGateway::deltaEvent(QStringLiteral("完")) + "data: [DONE]\n\n");
        const Outcome out = send(reply);
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
        QVERIFY(!out.showError);
        QCOMPARE(out.reply, QStringLiteral("前") + shown + QStringLiteral("后"));
        QVERIFY(out.savedAsShown);
    }

    // 20 MB the client must read and drop: memory stays far below that, the user sees the
    // status and the first 64 KB of the body, and a body that never ends ends the request too.
    void endlessBody_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("error"); // empty: no alert, and the reply is "终于"

        // Lines of exactly 64 bytes: the kept 64 KB are 1,024 whole lines, joined.
        QByteArray line = "{\"error\":\"上游过载，请稍后再试 upstream overloaded";
        line += QByteArray(64 - line.size() - 2, '.') + "\"}\n";
        const QByteArray block = line.repeated(1024);
        const QString kept = QString::fromUtf8(QByteArray(block).replace('\n', QByteArray()));
        const QString status = QStringLiteral("请求失败（HTTP %1）：\n") + kept;
        const qsizetype total = 20 * MiB;
        const Reply close = Reply().then(TestGateway::head(500, {{"Connection", "close"}}));
        const Reply challenge = Reply().then(TestGateway::head(
            401, {{"WWW-Authenticate", "Bearer realm=\"api\""}, {"Connection", "close"}}));
        // A successful stream of nothing but keep-alive comments, then one delta.
        Reply comments = repeated(Reply().then(streamHead()),
                                  QByteArray(": keep-alive\n").repeated(5000), total, 1);
        comments.then(TestGateway::deltaEvent(QStringLiteral("终于")) + "data: [DONE]\n\n");
        // clang-format off
        QTest::newRow("500 until close") << repeated(close, block, total, 1) << status.arg(500);
        QTest::newRow("500 that stalls") << repeated(close, block, 4 * block.size(), 1).stall() << status.arg(500);
        QTest::newRow("401 with a challenge") << repeated(challenge, block, total, 1) << status.arg(401);
        QTest::newRow("200 of keep-alives") << comments << QString();
        // clang-format on
    }

    void endlessBody()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, error);
        if (!resetPeak())
            QSKIP("the peak resident memory cannot be reset here");
        const qint64 before = memory("VmRSS:");
        const Outcome out = send(reply);
        const qint64 peak = memory("VmHWM:");
        QCOMPARE(out.reply,
                 error.isEmpty() ? QStringLiteral("终于") : QStringLiteral("⚠️ ") + error);
        QCOMPARE(out.showError, !error.isEmpty());
        QCOMPARE(out.error, error);
        QVERIFY(out.savedAsShown);
        // Nothing more is read: the client has closed the connection.
        QTRY_VERIFY(std::ranges::none_of(m_gateway->findChildren<QTcpSocket *>(), [](auto *s) {
            return s->state() == QAbstractSocket::ConnectedState;
        }));
        if (QByteArrayView(QTest::currentDataTag()).startsWith("401"))
            QEXPECT_FAIL("", "Qt holds a 401 body whole until it ends, out of the client's reach",
                         Continue);
        // Gathering the body would take more than 20 MB; reading and dropping takes little.
        const qint64 growth = peak - before;
        QVERIFY2(growth < 8 * MiB,
                 qPrintable(QStringLiteral("peak grew by %1 KB").arg(growth / 1024)));
    }
};

QTEST_GUILESS_MAIN(TestGatewayFaults)
#include "tst_gatewayfaults.moc"
