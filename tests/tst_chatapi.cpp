// SPDX-License-Identifier: GPL-3.0-or-later
#include "api/chatapi.h"
#include "testgateway.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using Kind = ChatAPIError::Kind;

namespace {

struct Outcome
{
    QStringList deltas;
    std::optional<ChatAPIError> error;
    bool finished = false;
};

// Runs one request to its end. cancelAfter cancels from inside the n-th delta handler
// (0: right after the call).
Outcome run(const ChatAPI &api, const QList<Message> &messages, int cancelAfter = -1)
{
    Outcome out;
    ChatStream *stream = api.streamChat(messages);
    QObject::connect(stream, &ChatStream::delta, stream, [&, stream](const QString &text) {
        out.deltas.append(text);
        if (out.deltas.size() == cancelAfter)
            stream->cancel();
    });
    QEventLoop loop;
    QObject::connect(stream, &ChatStream::finished, stream,
                     [&](const std::optional<ChatAPIError> &error) {
                         out.error = error;
                         out.finished = true;
                         loop.quit();
                     });
    if (cancelAfter == 0)
        stream->cancel();
    QTimer::singleShot(20s, &loop, &QEventLoop::quit); // a hang fails the test, not the run
    loop.exec();
    if (!out.finished) // fails every comparison below
        out.error = ChatAPIError::http(-999, QStringLiteral("the stream did not finish"));
    delete stream;
    return out;
}

const QList<Message> hello{Message::make(Message::Role::User, QStringLiteral("你好"))};

QString errorText(const std::optional<ChatAPIError> &e)
{
    return e ? QStringLiteral("%1: %2").arg(int(e->kind())).arg(e->description())
             : QStringLiteral("no error");
}

} // namespace

class TestChatAPI : public QObject
{
    Q_OBJECT

private:
    TestGateway *m_gateway = nullptr;

    ChatAPI api(const QString &baseURL = {}, const QString &key = QStringLiteral("sk-test")) const
    {
        AppSettings s;
        s.baseURL = baseURL.isNull() ? m_gateway->url(QStringLiteral("/v1")) : baseURL;
        s.apiKey = key;
        return ChatAPI(s, QStringLiteral("test-model"));
    }

private slots:
    void init()
    {
        m_gateway = new TestGateway(this);
        QVERIFY(m_gateway->listen());
    }
    void cleanup() { delete m_gateway; }

    void request_data()
    {
        QTest::addColumn<QString>("baseURL"); // %1 is the gateway's origin
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("systemPrompt");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("system"); // null: no system object

        const QString key = QStringLiteral("sk-test");
        QTest::newRow("bare") << "%1/v1" << key << "" << QByteArray("/v1/chat/completions")
                              << QString();
        QTest::newRow("spaces and slash")
            << " \t%1/v1/ \n"
            << key << "" << QByteArray("/v1/chat/completions") << QString();
        QTest::newRow("two slashes")
            << "%1/v1//" << key << "" << QByteArray("/v1/chat/completions") << QString();
        QTest::newRow("origin only")
            << "%1/" << key << "" << QByteArray("/chat/completions") << QString();
        QTest::newRow("key spaces kept") << "%1/v1"
                                         << " sk-test\t "
                                         << "" << QByteArray("/v1/chat/completions") << QString();
        QTest::newRow("system trimmed") << "%1/v1" << key << " \n 简短回答。\u3000\n"
                                        << QByteArray("/v1/chat/completions") << "简短回答。";
        QTest::newRow("system blank")
            << "%1/v1" << key << " \n\t\u2028 " << QByteArray("/v1/chat/completions") << QString();
    }

    void request()
    {
        QFETCH(QString, baseURL);
        QFETCH(QString, apiKey);
        QFETCH(QString, systemPrompt);
        QFETCH(QByteArray, target);
        QFETCH(QString, system);

        AppSettings settings;
        settings.baseURL = baseURL.arg(m_gateway->url());
        settings.apiKey = apiKey;
        settings.systemPrompt = systemPrompt;
        settings.model = QStringLiteral("settings-model");
        const QList<Message> history{
            Message::make(Message::Role::User, QStringLiteral("  第一句 🙂\n")),
            Message::make(Message::Role::Assistant, QString()),
            Message::make(Message::Role::System, QStringLiteral("\tsay \"hi\" / bye ")),
        };
        m_gateway->enqueue(TestGateway::eventStream({"data: [DONE]\n"}));
        const Outcome out = run(ChatAPI(settings, QStringLiteral("gpt-x")), history);
        QVERIFY2(!out.error, qPrintable(errorText(out.error)));

        QCOMPARE(m_gateway->requests().size(), 1);
        const TestGateway::Request &r = m_gateway->requests().first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.target, target);
        QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(r.header("Authorization"), "Bearer " + apiKey.toUtf8());
        // Only Qt's own transport headers besides ours.
        const QList<QByteArray> allowed{"host",           "content-type",   "authorization",
                                        "content-length", "connection",     "accept-encoding",
                                        "user-agent",     "accept-language"};
        for (const auto &h : r.headers)
            QVERIFY2(allowed.contains(h.first.toLower()), h.first.constData());

        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.body, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(r.body, doc.toJson(QJsonDocument::Compact));
        QJsonArray messages;
        if (!system.isNull())
            messages.append(QJsonObject{{"role", "system"}, {"content", system}});
        for (const Message &m : history)
            messages.append(
                QJsonObject{{"role", Message::roleName(m.role)}, {"content", m.content}});
        const QJsonObject expected{{"model", "gpt-x"}, {"messages", messages}, {"stream", true}};
        QCOMPARE(doc.object(), expected);
    }

    void events_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("deltas");

        const QByteArray a = TestGateway::deltaEvent("a");
        const QByteArray b = TestGateway::deltaEvent("b");
        const QByteArray ev = R"({"choices":[{"delta":{"content":"x"}}]})";
        QTest::newRow("spacing after data:")
            << QByteArray("data:" + ev + "\ndata:    " + ev + "\ndata:\t" + ev + " \t\n")
            << QStringList{"x", "x", "x"};
        QTest::newRow("[DONE] forms") << a + "data:[DONE]\n" + b << QStringList{"a"};
        QTest::newRow("[DONE] padded") << a + "data: \t[DONE]\t \n" + b << QStringList{"a"};
        QTest::newRow("[DONE] full-width space")
            << a + "data:\u3000[DONE]\n" + b << QStringList{"a"};
        QTest::newRow("not the end marker")
            << QByteArray("data: [done]\n[DONE]\ndata: [DONE]x\n" + a) << QStringList{"a"};
        QTest::newRow("not data lines")
            << QByteArray(": keep-alive\nevent: message\nid: 1\nretry: 5\n\nDATA: " + ev +
                          "\n data: " + ev + "\ndata " + ev + "\n" + a)
            << QStringList{"a"};
        QTest::newRow("shapes ignored")
            << QByteArray("data: {\"choices\":[]}\n"
                          "data: {\"choices\":[{\"index\":0}]}\n"
                          "data: {\"choices\":[{\"delta\":{}}]}\n"
                          "data: {\"choices\":[{\"delta\":{\"content\":null}}]}\n"
                          "data: {\"choices\":[{\"delta\":{\"content\":5}}]}\n"
                          "data: {\"choices\":[{\"delta\":{\"content\":\"\"}}]}\n"
                          "data: {\"choices\":[{\"delta\":\"x\"}]}\n"
                          "data: {\"choices\":{\"delta\":{\"content\":\"x\"}}}\n"
                          "data: {\"choices\":[{\"delta\":{\"content\":\"x\"}},3]}\n"
                          "data: [{\"choices\":[{\"delta\":{\"content\":\"x\"}}]}]\n"
                          "data: \"x\"\n"
                          "data: {\"choices\":[{\"delta\":{\"content\":\"x\"\n"
                          "data:\n" +
                          a)
            << QStringList{"a"};
        QTest::newRow("first choice only")
            << QByteArray(
                   R"(data: {"choices":[{"delta":{"content":"one"}},{"delta":{"content":"two"}}]})"
                   "\n")
            << QStringList{"one"};
        QTest::newRow("content kept as is")
            << TestGateway::deltaEvent("line\nbreak") + TestGateway::deltaEvent("   ") +
                   TestGateway::deltaEvent(" 中文🙂 ")
            << QStringList{"line\nbreak", "   ", " 中文🙂 "};
        QTest::newRow("CRLF") << QByteArray("data: " + ev + "\r\n\r\ndata: [DONE]\r\n" + a)
                              << QStringList{"x"};
        QTest::newRow("lone CR") << QByteArray("data: " + ev + "\r\rdata: " + ev + "\r")
                                 << QStringList{"x", "x"};
        QTest::newRow("last line unterminated")
            << QByteArray(a + "data: " + ev) << QStringList{"a", "x"};
        QTest::newRow("unterminated [DONE]") << QByteArray(a + "data: [DONE]") << QStringList{"a"};
        QTest::newRow("plain JSON body") << QByteArray(ev + "\n") << QStringList{};
        QTest::newRow("empty body") << QByteArray() << QStringList{};
    }

    void events()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, deltas);
        m_gateway->enqueue(TestGateway::eventStream({body}));
        const Outcome out = run(api(), hello);
        QVERIFY2(!out.error, qPrintable(errorText(out.error)));
        QCOMPARE(out.deltas, deltas);
    }

    // Every two-piece split of a stream, so line ends and multi-byte characters are cut apart.
    void splitStream_data()
    {
        QTest::addColumn<qsizetype>("offset");
        for (qsizetype i = 1; i < streamBody().size(); ++i)
            QTest::addRow("offset %lld", qlonglong(i)) << i;
    }

    void splitStream()
    {
        QFETCH(qsizetype, offset);
        const QByteArray body = streamBody();
        m_gateway->enqueue(TestGateway::eventStream({body.left(offset), body.mid(offset)}, 2));
        const Outcome out = run(api(), hello);
        QVERIFY2(!out.error, qPrintable(errorText(out.error)));
        QCOMPARE(out.deltas, (QStringList{"你好", "🙂!", "é"}));
    }

    void gzipStream_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::newRow("until close") << false;
        QTest::newRow("chunked") << true;
    }

    void gzipStream()
    {
        QFETCH(bool, chunked);
        const QByteArray zipped = TestGateway::gzip(streamBody());
        QList<TestGateway::Header> headers{{"Content-Encoding", "gzip"}, {"Connection", "close"}};
        if (chunked)
            headers.append(TestGateway::Header{"Transfer-Encoding", "chunked"});
        TestGateway::Reply reply;
        reply.then(TestGateway::head(200, headers));
        for (qsizetype i = 0; i < zipped.size(); i += 7) {
            const QByteArray piece = zipped.mid(i, 7);
            reply.then(chunked ? TestGateway::chunk(piece) : piece, 1);
        }
        if (chunked)
            reply.then("0\r\n\r\n");
        m_gateway->enqueue(reply);
        const Outcome out = run(api(), hello);
        QVERIFY2(!out.error, qPrintable(errorText(out.error)));
        QCOMPARE(out.deltas, (QStringList{"你好", "🙂!", "é"}));
        QVERIFY(m_gateway->requests().first().header("Accept-Encoding").contains("gzip"));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QStringList>("deltas");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // exact, or a prefix for network errors

        const QByteArray json = R"({"error":{"message":"invalid key"}})";
        QTest::newRow("401") << head(401, json.size()) + json << QStringList{} << Kind::Http << 401
                             << "请求失败（HTTP 401）：\n" + QString::fromUtf8(json);
        QTest::newRow("401 with challenge")
            << TestGateway::head(401, {{"WWW-Authenticate", "Bearer"},
                                       {"Content-Length", QByteArray::number(json.size())}}) +
                   json
            << QStringList{} << Kind::Http << 401
            << "请求失败（HTTP 401）：\n" + QString::fromUtf8(json);
        const QByteArray lines = "{\n  \"error\": \"rate limited\"\r\n}\n";
        QTest::newRow("429 over three lines")
            << head(429, lines.size()) + lines << QStringList{} << Kind::Http << 429
            << "请求失败（HTTP 429）：\n{  \"error\": \"rate limited\"}";
        QTest::newRow("500 empty")
            << head(500, 0) << QStringList{} << Kind::Http << 500 << "请求失败（HTTP 500）";
        QTest::newRow("503 blank body")
            << head(503, 4) + " \n\t\n"
            << QStringList{} << Kind::Http << 503 << "请求失败（HTTP 503）";
        QTest::newRow("404 chunked")
            << TestGateway::head(404, {{"Transfer-Encoding", "chunked"}}) +
                   TestGateway::chunk("not ") + TestGateway::chunk("found") + "0\r\n\r\n"
            << QStringList{} << Kind::Http << 404 << "请求失败（HTTP 404）：\nnot found";
        QTest::newRow("dropped mid-stream")
            << head(200, 500) + TestGateway::deltaEvent("partial") << QStringList{"partial"}
            << Kind::Network << 0 << "网络错误：";
        QTest::newRow("dropped mid-event, chunked")
            << TestGateway::head(200, {{"Transfer-Encoding", "chunked"}}) +
                   TestGateway::chunk(TestGateway::deltaEvent("partial")) + "4000\r\ndata: {\"cho"
            << QStringList{"partial"} << Kind::Network << 0 << "网络错误：";
        QTest::newRow("error body cut off") << head(502, 500) + "bad gateway" << QStringList{}
                                            << Kind::Network << 0 << "网络错误：";
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n") << QStringList{}
                                  << Kind::Network << 0 << "网络错误：";
    }

    void failures()
    {
        QFETCH(QByteArray, response);
        QFETCH(QStringList, deltas);
        QFETCH(Kind, kind);
        QFETCH(int, status);
        QFETCH(QString, message);
        // Qt sends the request again when the first answer is not HTTP: answer every try.
        m_gateway->setDefaultReply(TestGateway::Reply().then(response));
        const Outcome out = run(api(), hello);
        QVERIFY(out.error);
        QCOMPARE(out.deltas, deltas);
        QCOMPARE(out.error->kind(), kind);
        QVERIFY(!out.error->isCancellation());
        if (kind == Kind::Http) {
            QCOMPARE(out.error->statusCode(), status);
            QCOMPARE(out.error->description(), message);
        } else {
            QVERIFY2(out.error->description().startsWith(message),
                     qPrintable(errorText(out.error)));
        }
    }

    // Nothing reaches the gateway for these; the outcome still arrives from the event loop.
    void refusedBeforeSending_data()
    {
        QTest::addColumn<QString>("baseURL"); // null: the gateway
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("message"); // exact, or a prefix for network errors

        const QString noKey = QStringLiteral("还没填 API Key，请到「设置」里填写。");
        const QString badKey = QStringLiteral("API Key 含有换行或控制字符，请到「设置」重新填写。");
        const QString badURL = QStringLiteral("API 地址无效，请到「设置」检查。");
        const QString noResponse = QStringLiteral("请求失败（HTTP -1）：\n无响应");
        QTest::newRow("empty key") << QString() << "" << Kind::NoKey << noKey;
        QTest::newRow("blank key") << QString() << " \t\u3000 " << Kind::NoKey << noKey;
        QTest::newRow("key injecting a header")
            << QString() << "sk-a\r\nX-Injected: 1" << Kind::BadKey << badKey;
        QTest::newRow("key with line feed") << QString() << "sk-a\n" << Kind::BadKey << badKey;
        QTest::newRow("key with NUL")
            << QString() << QString::fromUtf8("sk\0a", 4) << Kind::BadKey << badKey;
        QTest::newRow("key with DEL") << QString() << "sk\x7f" << Kind::BadKey << badKey;
        QTest::newRow("key with line separator")
            << QString() << "sk\u2028a" << Kind::BadKey << badKey;
        QTest::newRow("space in host") << "http://exa mple.com/v1"
                                       << "sk" << Kind::BadURL << badURL;
        QTest::newRow("broken IPv6 host") << "http://[::1/v1"
                                          << "sk" << Kind::BadURL << badURL;
        QTest::newRow("file scheme") << "file:///etc"
                                     << "sk" << Kind::Http << noResponse;
        QTest::newRow("ftp scheme") << "ftp://127.0.0.1/v1"
                                    << "sk" << Kind::Http << noResponse;
        QTest::newRow("data scheme") << "data:text/plain,x"
                                     << "sk" << Kind::Http << noResponse;
        // The HTTP layer refuses the relative address "/chat/completions" itself.
        QTest::newRow("empty address") << " // "
                                       << "sk" << Kind::Network << "网络错误：";
    }

    void refusedBeforeSending()
    {
        QFETCH(QString, baseURL);
        QFETCH(QString, apiKey);
        QFETCH(Kind, kind);
        QFETCH(QString, message);
        ChatStream *stream = api(baseURL, apiKey).streamChat(hello, this);
        QSignalSpy finished(stream, &ChatStream::finished);
        QVERIFY(finished.isEmpty());
        QVERIFY(finished.wait());
        const auto error = finished.first().first().value<std::optional<ChatAPIError>>();
        QVERIFY(error);
        QCOMPARE(error->kind(), kind);
        if (kind == Kind::Network)
            QVERIFY(error->description().startsWith(message));
        else
            QCOMPARE(error->description(), message);
        QTest::qWait(20);
        QCOMPARE(m_gateway->connectionCount(), 0);
        delete stream;
    }

    void endings_data()
    {
        QTest::addColumn<int>("cancelAfter"); // -1: never
        QTest::addColumn<bool>("respond");    // false: the gateway never answers
        QTest::addColumn<QStringList>("deltas");
        QTest::addColumn<std::optional<ChatAPIError>>("error");

        QTest::newRow("[DONE] then silence")
            << -1 << true << QStringList{"a", "b"} << std::optional<ChatAPIError>();
        QTest::newRow("cancel in a delta")
            << 1 << true << QStringList{"a"} << std::optional(ChatAPIError::cancelled());
        QTest::newRow("cancel at once")
            << 0 << false << QStringList{} << std::optional(ChatAPIError::cancelled());
        QTest::newRow("silence after a delta")
            << -1 << true << QStringList{"a"} << std::optional(ChatAPIError::timedOut());
        QTest::newRow("no answer at all")
            << -1 << false << QStringList{} << std::optional(ChatAPIError::timedOut());
    }

    void endings()
    {
        QFETCH(int, cancelAfter);
        QFETCH(bool, respond);
        QFETCH(QStringList, deltas);
        QFETCH(std::optional<ChatAPIError>, error);
        TestGateway::Reply reply;
        if (respond) {
            reply = TestGateway::eventStream({TestGateway::deltaEvent("a")});
            if (deltas.size() == 2)
                reply.then(TestGateway::deltaEvent("b") + "data: [DONE]\n" +
                           TestGateway::deltaEvent("c"));
        }
        m_gateway->enqueue(reply.stall());
        ChatAPI client = api();
        // Short, but far longer than the loopback exchange; a stream that kept reading after
        // [DONE] would time out here too.
        client.setTimeout(error ? 1s : 5s);
        const Outcome out = run(client, hello, cancelAfter);
        QCOMPARE(out.deltas, deltas);
        QCOMPARE(out.error, error);
        if (error) {
            QCOMPARE(out.error->isCancellation(), error->kind() == Kind::Cancelled);
            if (!error->isCancellation())
                QCOMPARE(out.error->description(),
                         QStringLiteral("请求超时：服务器长时间没有回应，请稍后再试。"));
        }
    }

    void redirects_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("location"); // %1: the other gateway's port
        QTest::addColumn<bool>("sameOrigin");

        QTest::newRow("other port") << 307 << "http://127.0.0.1:%1/v1/chat/completions" << false;
        QTest::newRow("other host") << 308 << "http://localhost:%1/v1/chat/completions" << false;
        QTest::newRow("other scheme") << 301 << "https://127.0.0.1:%1/v1/chat/completions" << false;
        QTest::newRow("same origin") << 307 << "/v2/chat/completions" << true;
    }

    void redirects()
    {
        QFETCH(int, status);
        QFETCH(QString, location);
        QFETCH(bool, sameOrigin);
        TestGateway other;
        QVERIFY(other.listen());
        other.enqueue(TestGateway::eventStream({TestGateway::deltaEvent("leaked")}));
        m_gateway->enqueue(TestGateway::response(
            status, "moved",
            {{"Location",
              QString(location).replace("%1", QString::number(other.port())).toUtf8()}}));
        m_gateway->enqueue(TestGateway::eventStream({TestGateway::deltaEvent("followed")}));

        const Outcome out = run(api(), hello);
        QCOMPARE(other.connectionCount(), 0);
        if (sameOrigin) {
            QVERIFY2(!out.error, qPrintable(errorText(out.error)));
            QCOMPARE(out.deltas, QStringList{"followed"});
            QCOMPARE(m_gateway->requests().size(), 2);
            const TestGateway::Request &second = m_gateway->requests().at(1);
            QCOMPARE(second.target, QByteArray("/v2/chat/completions"));
            QCOMPARE(second.body, m_gateway->requests().at(0).body);
            QCOMPARE(second.header("Authorization"), QByteArray("Bearer sk-test"));
        } else {
            QCOMPARE(out.error, std::optional(ChatAPIError::http(status, QString())));
            QVERIFY(out.deltas.isEmpty());
        }
    }

    void boundedMemory_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QStringList>("deltas");
        QTest::addColumn<int>("status");

        // 3-byte characters, so the limit falls inside one.
        QByteArray body = QStringLiteral("错误").repeated(40000).toUtf8();
        body.insert(999, "\n");
        QTest::newRow("error body over the limit")
            << head(500, body.size()) + body << QStringList{} << 500;
        const QByteArray huge = TestGateway::deltaEvent(QString(17 * 1024 * 1024, u'x'));
        QTest::newRow("endless line")
            << QByteArray(TestGateway::head(200, {{"Connection", "close"}}) + huge +
                          TestGateway::deltaEvent("after"))
            << QStringList{"after"} << 200;
    }

    void boundedMemory()
    {
        QFETCH(QByteArray, response);
        QFETCH(QStringList, deltas);
        QFETCH(int, status);
        m_gateway->enqueue(TestGateway::Reply().then(response));
        const Outcome out = run(api(), hello);
        QCOMPARE(out.deltas, deltas);
        if (status == 200) {
            QVERIFY2(!out.error, qPrintable(errorText(out.error)));
            return;
        }
        QVERIFY(out.error);
        QCOMPARE(out.error->statusCode(), status);
        const QString text = out.error->body();
        QVERIFY(text.toUtf8().size() <= ChatAPI::maxErrorBodyLength);
        QVERIFY(text.toUtf8().size() > ChatAPI::maxErrorBodyLength - 4);
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QVERIFY(text.startsWith(QStringLiteral("错误")));
    }

private:
    static QByteArray head(int status, qsizetype length)
    {
        return TestGateway::head(
            status, {{"Content-Length", QByteArray::number(length)}, {"Connection", "close"}});
    }

    // Chinese, an emoji and a two-byte letter, with LF, CRLF and lone CR line ends.
    static QByteArray streamBody()
    {
        return ": open\r\n"
               "data: {\"choices\":[{\"delta\":{\"content\":\"你好\"}}]}\r\n\r\n"
               "data:{\"choices\":[{\"delta\":{\"content\":\"🙂!\"}}]}\n\n"
               "data: {\"choices\":[{\"delta\":{\"content\":\"é\"}}]}\r\r"
               "data: [DONE]\n";
    }
};

QTEST_GUILESS_MAIN(TestChatAPI)
#include "tst_chatapi.moc"
