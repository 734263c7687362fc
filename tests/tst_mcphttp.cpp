// SPDX-License-Identifier: GPL-3.0-or-later
// MCP over HTTP: the answers a server may give to a POST, the failures a user is told of, the
// session and its event stream, the older HTTP+SSE servers, an event stream picked up again
// where it broke off, and the reference server in both of its HTTP modes.
#include "mcp/mcphttptransport.h"
#include "testgateway.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

using Headers = QList<McpHttpTransport::Header>;

namespace {

QByteArray request(int id, const QString &method, const QJsonObject &params = {})
{
    return QJsonDocument(QJsonObject{{u"jsonrpc"_s, u"2.0"_s},
                                     {u"id"_s, id},
                                     {u"method"_s, method},
                                     {u"params"_s, params}})
        .toJson(QJsonDocument::Compact);
}

QByteArray notification(const QString &method)
{
    return QJsonDocument(QJsonObject{{u"jsonrpc"_s, u"2.0"_s}, {u"method"_s, method}})
        .toJson(QJsonDocument::Compact);
}

QByteArray result(int id, const QJsonObject &value = {})
{
    return QJsonDocument(QJsonObject{{u"jsonrpc"_s, u"2.0"_s}, {u"id"_s, id}, {u"result"_s, value}})
        .toJson(QJsonDocument::Compact);
}

QByteArray initialize(int id = 1)
{
    return request(id, u"initialize"_s,
                   {{u"protocolVersion"_s, u"2025-06-18"_s},
                    {u"capabilities"_s, QJsonObject()},
                    {u"clientInfo"_s, QJsonObject{{u"name"_s, u"t"_s}, {u"version"_s, u"1"_s}}}});
}

TestGateway::Reply json(const QByteArray &body, Headers headers = {})
{
    headers.append(McpHttpTransport::Header{"Content-Type", "application/json"});
    return TestGateway::response(200, body, headers);
}

TestGateway::Reply stream(const QList<QByteArray> &events, bool stall = false)
{
    TestGateway::Reply reply = TestGateway::eventStream(events);
    return stall ? reply.stall() : reply;
}

QByteArray sseEvent(const QByteArray &data, const QByteArray &name = {})
{
    return (name.isEmpty() ? QByteArray() : "event: " + name + "\n") + "data: " + data + "\n\n";
}

bool isMethod(const TestGateway::Request &r, const QString &method)
{
    return r.method == "POST" &&
           QJsonDocument::fromJson(r.body).object().value(u"method").toString() == method;
}

// What a transport said, in order.
struct Recorder
{
    explicit Recorder(McpTransport *transport)
    {
        QObject::connect(transport, &McpTransport::started, [this] { ++started; });
        QObject::connect(transport, &McpTransport::message, [this](const QJsonObject &m) {
            // A response by its id, anything else by its method.
            messages.append(m.contains(u"method") ? m.value(u"method").toString()
                                                  : QString::number(m.value(u"id").toInt()));
            bodies.append(m);
        });
        QObject::connect(transport, &McpTransport::failed,
                         [this](const QString &reason) { failures.append(reason); });
        QObject::connect(transport, &McpTransport::sessionExpired, [this] { ++expired; });
        QObject::connect(transport, &McpTransport::logLine,
                         [this](const QString &line) { logs.append(line); });
    }

    QJsonObject response(int id) const
    {
        for (const QJsonObject &m : bodies) {
            if (!m.contains(u"method") && m.value(u"id") == QJsonValue(id))
                return m;
        }
        return {};
    }

    int started = 0;
    int expired = 0;
    QStringList messages;
    QList<QJsonObject> bodies;
    QStringList failures;
    QStringList logs;
};

// The bundled Node and the reference server, where the build installed them.
QString partner(const QString &path)
{
    const QString file = QStringLiteral(CORVANE_MCP_PARTNERS "/node_modules/") + path;
    return QFileInfo::exists(file) ? file : QString();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestMcpHttp : public QObject
{
    Q_OBJECT

private slots:
    // Every shape of answer a POST may get, in pieces as small as they come.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("raw"); // the whole HTTP response
        QTest::addColumn<int>("pieceSize");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<bool>("logged");

        const auto raw = [](const TestGateway::Reply &reply) {
            QByteArray out;
            for (const auto &piece : reply.pieces)
                out += piece.bytes;
            return out;
        };
        const QByteArray call = request(1, u"tools/call"_s);
        const QByteArray progress = notification(u"notifications/progress"_s);

        QTest::newRow("one JSON message")
            << call << raw(json(result(1))) << 0 << QStringList{u"1"_s} << false;
        QTest::newRow("a batch") << call << raw(json("[" + progress + "," + result(1) + "]")) << 0
                                 << QStringList{u"notifications/progress"_s, u"1"_s} << false;
        QTest::newRow("an event stream, three bytes at a time")
            << call
            << raw(stream({"id: e1\nretry: 10\ndata: \n\n", sseEvent(progress, "message"),
                           ": keep-alive\r\n\r\n", "data: " + result(1) + "\r\n\r\n"}))
            << 3 << QStringList{u"notifications/progress"_s, u"1"_s} << false;
        QTest::newRow("a message over several data lines")
            << call
            << raw(stream({"data: {\"jsonrpc\":\"2.0\",\ndata: \"id\":1,\"result\":{}}\n\n"})) << 0
            << QStringList{u"1"_s} << false;
        QTest::newRow("garbage between events")
            << call
            << raw(stream({sseEvent("not json"), sseEvent("[1,2]"), sseEvent("{}", "other"),
                           sseEvent(result(1))}))
            << 0 << QStringList{u"1"_s} << true;
        QTest::newRow("an accepted notification, no body")
            << notification(u"notifications/cancelled"_s) << raw(TestGateway::response(202, {}))
            << 0 << QStringList{} << false;
        QTest::newRow("a JSON answer that is no message")
            << call << raw(json("42")) << 0 << QStringList{} << true;
    }

    void answers()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, raw);
        QFETCH(int, pieceSize);
        QFETCH(QStringList, delivered);
        QFETCH(bool, logged);

        TestGateway server;
        QVERIFY(server.listen());
        TestGateway::Reply reply;
        for (qsizetype i = 0; i < raw.size(); i += pieceSize ? pieceSize : raw.size())
            reply.then(raw.mid(i, pieceSize ? pieceSize : raw.size()), pieceSize ? 1 : 0);
        server.enqueue(reply);
        // Answered after the row's reply: once it is here, the row's answer was read.
        server.enqueue(json(result(99)));

        McpHttpTransport transport(server.url(u"/mcp"_s), {});
        Recorder rec(&transport);
        transport.start();
        QTRY_COMPARE(rec.started, 1);
        transport.send(message);
        QTRY_COMPARE(server.requests().size(), 1);
        transport.send(request(99, u"ping"_s));
        QTRY_VERIFY(rec.messages.contains(u"99"_s));
        const auto others = [&rec] {
            QStringList list = rec.messages;
            list.removeOne(u"99"_s);
            return list;
        };
        QTRY_COMPARE(others(), delivered);
        QCOMPARE(!rec.logs.isEmpty(), logged);
        QCOMPARE(rec.failures, QStringList());

        const TestGateway::Request &sent = server.requests().first();
        QCOMPARE(sent.method, "POST");
        QCOMPARE(sent.body, message);
        QCOMPARE(sent.header("Content-Type"), "application/json");
        QCOMPARE(sent.header("Accept"), "application/json, text/event-stream");
    }

    // What the user is told when the server cannot be used, and that tokens stay at home.
    void failures_data()
    {
        QTest::addColumn<QString>("url"); // empty: the scripted server's /mcp
        QTest::addColumn<Headers>("headers");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("reason"); // a pattern the reason matches

        const Headers token{{"Authorization", "Bearer t"}};
        // clang-format off
        QTest::newRow("server error, with its body") << QString() << token
            << QByteArray("HTTP/1.1 500 X\r\nContent-Length: 13\r\n\r\ndatabase down") << u"HTTP 500.*database down"_s;
        QTest::newRow("unauthorised, no body") << QString() << token
            << QByteArray("HTTP/1.1 401 X\r\nContent-Length: 0\r\n\r\n") << u"HTTP 401$"_s;
        QTest::newRow("redirect to another origin") << QString() << token
            << QByteArray("HTTP/1.1 307 X\r\nLocation: OTHER/mcp\r\nContent-Length: 0\r\n\r\n") << u"另一个来源"_s;
        QTest::newRow("no answer in time") << QString() << token << QByteArray() << u"秒内没有回答"_s;
        QTest::newRow("cut off JSON") << QString() << token
            << QByteArray("HTTP/1.1 200 X\r\nContent-Type: application/json\r\nContent-Length: 50\r\n\r\n{\"jsonrpc\"")
            << u"网络错误"_s;
        QTest::newRow("nobody listens") << u"CLOSED"_s << token << QByteArray() << u"无法连接到服务器"_s;
        QTest::newRow("a header that would split") << QString() << Headers{{"X-Token", "a\r\nHost: evil"}}
            << QByteArray() << u"请求头“X-Token”"_s;
        QTest::newRow("a header name with a space") << QString() << Headers{{"X Token", "a"}}
            << QByteArray() << u"请求头“X Token”"_s;
        QTest::newRow("not HTTP") << u"ftp://127.0.0.1/mcp"_s << token << QByteArray() << u"http://"_s;
        // clang-format on
    }

    void failures()
    {
        QFETCH(QString, url);
        QFETCH(Headers, headers);
        QFETCH(QByteArray, raw);
        QFETCH(QString, reason);

        TestGateway server, other;
        QVERIFY(server.listen() && other.listen());
        raw.replace("OTHER", other.url().toUtf8());
        server.enqueue(raw.isEmpty() ? TestGateway::Reply().stall()
                                     : TestGateway::Reply().then(raw));
        if (url == u"CLOSED")
            url = u"http://127.0.0.1:%1/mcp"_s.arg(freePort());

        McpHttpTransport transport(url.isEmpty() ? server.url(u"/mcp"_s) : url, headers);
        transport.setTimeLimit(300ms);
        Recorder rec(&transport);
        transport.start();
        transport.send(initialize());
        QTRY_COMPARE(rec.failures.size(), 1);
        QVERIFY2(rec.failures.first().contains(QRegularExpression(reason)),
                 qPrintable(rec.failures.first()));
        QCOMPARE(rec.messages, QStringList());
        QCOMPARE(other.requests().size(), 0);
        // Failed once and for good: nothing more goes out.
        const qsizetype sent = server.requests().size();
        transport.send(request(2, u"tools/list"_s));
        QCOMPARE(server.requests().size(), sent);
    }

    // A redirect within the server's origin is followed, and the headers go along.
    void sameOriginRedirect()
    {
        TestGateway server;
        QVERIFY(server.listen());
        server.enqueue(TestGateway::response(307, {}, {{"Location", "/mcp2"}}));
        server.enqueue(json(result(1)));
        McpHttpTransport transport(server.url(u"/mcp"_s), {{"Authorization", "Bearer t"}});
        Recorder rec(&transport);
        transport.start();
        transport.send(request(1, u"tools/list"_s));
        QTRY_COMPARE(rec.messages, QStringList{u"1"_s});
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(1).target, "/mcp2");
        QCOMPARE(server.requests().at(1).header("Authorization"), "Bearer t");
        QCOMPARE(server.requests().at(1).body, request(1, u"tools/list"_s));
    }

    // The session the server names goes with every later request, the server's own messages come
    // on the GET stream (or not at all, where it refuses one), and close() ends the session.
    void session_data()
    {
        QTest::addColumn<int>("listenStatus");
        QTest::addColumn<bool>("initializeStreamed");
        QTest::newRow("event stream open") << 200 << false;
        QTest::newRow("event stream refused") << 405 << false;
        // The answer arrives before its stream ends; the client goes on at once.
        QTest::newRow("initialize answered on a stream that stays open") << 405 << true;
    }

    void session()
    {
        QFETCH(int, listenStatus);
        QFETCH(bool, initializeStreamed);
        TestGateway server;
        QVERIFY(server.listen());
        server.setResponder(
            [&](const TestGateway::Request &r) -> std::optional<TestGateway::Reply> {
                if (r.method == "GET") {
                    if (listenStatus != 200)
                        return TestGateway::response(listenStatus, {});
                    return stream({sseEvent(notification(u"notifications/tools/list_changed"_s))},
                                  true);
                }
                if (r.method == "DELETE")
                    return TestGateway::response(200, {});
                if (isMethod(r, u"initialize"_s) && initializeStreamed) {
                    TestGateway::Reply reply;
                    reply.then(TestGateway::head(200, {{"Content-Type", "text/event-stream"},
                                                       {"Mcp-Session-Id", "s-1"},
                                                       {"Connection", "close"}}))
                        .then(sseEvent(result(1, {{u"protocolVersion"_s, u"2025-06-18"_s}})))
                        .then({}, 300);
                    return reply;
                }
                if (isMethod(r, u"initialize"_s))
                    return json(result(1, {{u"protocolVersion"_s, u"2025-06-18"_s}}),
                                {{"Mcp-Session-Id", "s-1"}});
                if (isMethod(r, u"notifications/initialized"_s))
                    return TestGateway::response(202, {});
                return json(result(2));
            });

        auto transport =
            std::make_unique<McpHttpTransport>(server.url(u"/mcp"_s), Headers{{"X-Token", "t"}});
        Recorder rec(transport.get());
        // As a client does: the next messages go as soon as the answer is there.
        connect(transport.get(), &McpTransport::message, this,
                [&transport](const QJsonObject &message) {
                    if (message.value(u"id"_s) != QJsonValue(1))
                        return;
                    transport->setProtocolVersion(u"2025-06-18"_s);
                    transport->send(notification(u"notifications/initialized"_s));
                    transport->send(request(2, u"tools/list"_s));
                });
        transport->start();
        transport->send(initialize());
        QTRY_VERIFY(rec.messages.contains(u"2"_s));
        QCOMPARE(rec.messages.first(), u"1"_s);
        // The initialize POST carries neither; everything after carries both.
        QCOMPARE(server.requests().at(0).header("Mcp-Session-Id"), QByteArray());
        QCOMPARE(server.requests().at(0).header("MCP-Protocol-Version"), QByteArray());
        if (listenStatus == 200)
            QTRY_VERIFY(rec.messages.contains(u"notifications/tools/list_changed"_s));
        else
            QTRY_VERIFY(!rec.logs.isEmpty()); // the refusal is only noted
        QCOMPARE(rec.failures, QStringList());

        transport->close();
        QTRY_VERIFY(std::any_of(server.requests().cbegin(), server.requests().cend(),
                                [](const auto &r) { return r.method == "DELETE"; }));
        transport.reset();
        for (const TestGateway::Request &r : server.requests().mid(1)) {
            QCOMPARE(r.header("Mcp-Session-Id"), "s-1");
            QCOMPARE(r.header("MCP-Protocol-Version"), "2025-06-18");
            QCOMPARE(r.header("X-Token"), "t");
            if (r.method == "GET")
                QCOMPARE(r.header("Accept"), "text/event-stream");
        }
        QVERIFY(std::any_of(server.requests().cbegin(), server.requests().cend(),
                            [](const auto &r) { return r.method == "GET"; }));
    }

    // A server that forgot the session says 404: the client is told to begin again, and the new
    // initialize goes without the old session.
    void sessionExpiry()
    {
        TestGateway server;
        QVERIFY(server.listen());
        server.enqueue(json(result(1, {{u"protocolVersion"_s, u"2025-06-18"_s}}),
                            {{"Mcp-Session-Id", "s-1"}}));
        server.enqueue(TestGateway::response(404, "no such session"));
        server.enqueue(json(result(3, {{u"protocolVersion"_s, u"2025-06-18"_s}}),
                            {{"Mcp-Session-Id", "s-2"}}));
        McpHttpTransport transport(server.url(u"/mcp"_s), {});
        Recorder rec(&transport);
        transport.start();
        transport.send(initialize(1));
        QTRY_COMPARE(rec.messages.size(), 1);
        transport.setProtocolVersion(u"2025-06-18"_s);
        transport.send(request(2, u"tools/list"_s));
        QTRY_COMPARE(rec.expired, 1);
        QCOMPARE(rec.failures, QStringList());
        transport.send(initialize(3));
        QTRY_COMPARE(rec.messages, (QStringList{u"1"_s, u"3"_s}));
        QCOMPARE(server.requests().at(1).header("Mcp-Session-Id"), "s-1");
        QCOMPARE(server.requests().at(2).header("Mcp-Session-Id"), QByteArray());
        QCOMPARE(server.requests().at(2).header("MCP-Protocol-Version"), QByteArray());
        QCOMPARE(rec.expired, 1);
    }

    // A server of the older kind refuses the POST; the address then opens an event stream that
    // names where messages go, and initialize is sent again there.
    void fallback_data()
    {
        QTest::addColumn<int>("postStatus");
        QTest::addColumn<QByteArray>("endpoint"); // SERVER: the scripted server's origin
        QTest::addColumn<int>("streamStatus");
        QTest::addColumn<QString>("reason"); // empty: the fallback works

        QTest::newRow("405") << 405 << QByteArray("/messages?sid=7") << 200 << QString();
        QTest::newRow("404") << 404 << QByteArray("/messages?sid=7") << 200 << QString();
        QTest::newRow("400, an absolute endpoint")
            << 400 << QByteArray("SERVER/messages?sid=7") << 200 << QString();
        QTest::newRow("endpoint on another origin")
            << 405 << QByteArray("http://127.0.0.2:9/messages") << 200 << u"来源"_s;
        QTest::newRow("no event stream either")
            << 405 << QByteArray() << 404 << u"HTTP 405.*HTTP 404"_s;
    }

    void fallback()
    {
        QFETCH(int, postStatus);
        QFETCH(QByteArray, endpoint);
        QFETCH(int, streamStatus);
        QFETCH(QString, reason);

        TestGateway server;
        QVERIFY(server.listen());
        endpoint.replace("SERVER", server.url().toUtf8());
        server.setResponder(
            [&](const TestGateway::Request &r) -> std::optional<TestGateway::Reply> {
                if (r.method == "GET" && streamStatus != 200)
                    return TestGateway::response(streamStatus, {});
                if (r.method == "GET") {
                    // The answer follows once the POST to the endpoint had time to arrive.
                    TestGateway::Reply reply = stream({sseEvent(endpoint, "endpoint")});
                    reply.then(sseEvent("garbage", "message"), 200);
                    reply.then(
                        sseEvent(result(1, {{u"protocolVersion"_s, u"2024-11-05"_s}}), "message"));
                    return reply.stall();
                }
                if (r.target == "/mcp")
                    return TestGateway::response(postStatus, {});
                return TestGateway::response(202, "Accepted");
            });
        McpHttpTransport transport(server.url(u"/mcp"_s), {{"X-Token", "t"}});
        Recorder rec(&transport);
        transport.start();
        transport.send(initialize());
        if (!reason.isEmpty()) {
            QTRY_COMPARE(rec.failures.size(), 1);
            QVERIFY2(rec.failures.first().contains(QRegularExpression(reason)),
                     qPrintable(rec.failures.first()));
            QCOMPARE(server.requests().size(), 2); // nothing went to the other origin
            return;
        }
        QTRY_COMPARE(rec.messages, QStringList{u"1"_s});
        QCOMPARE(transport.mode(), McpHttpTransport::Mode::LegacySse);
        QCOMPARE(rec.failures, QStringList());
        QVERIFY(!rec.logs.isEmpty()); // the switch and the garbage are noted
        const auto isPosted = [](const TestGateway::Request &r) { return r.target != "/mcp"; };
        QTRY_VERIFY(std::any_of(server.requests().cbegin(), server.requests().cend(), isPosted));
        const auto posted =
            std::find_if(server.requests().cbegin(), server.requests().cend(), isPosted);
        QCOMPARE(posted->target, "/messages?sid=7");
        QCOMPARE(posted->body, initialize());
        QCOMPARE(posted->header("X-Token"), "t");
        QCOMPARE(server.requests().at(1).header("Accept"), "text/event-stream");
    }

    // A POST's event stream that ends before its answer is picked up with a GET naming the last
    // event, after the delay the server asked for.
    void resume()
    {
        TestGateway server;
        QVERIFY(server.listen());
        QElapsedTimer sinceClose;
        server.setResponder(
            [&](const TestGateway::Request &r) -> std::optional<TestGateway::Reply> {
                if (r.method == "POST") {
                    sinceClose.start();
                    return stream({"id: e-1\nretry: 300\ndata: \n\n"});
                }
                return stream({sseEvent(result(5))}, true);
            });
        McpHttpTransport transport(server.url(u"/mcp"_s), {});
        Recorder rec(&transport);
        transport.start();
        transport.send(request(5, u"tools/call"_s));
        QTRY_COMPARE(rec.messages, QStringList{u"5"_s});
        QVERIFY(sinceClose.elapsed() >= 300);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(1).method, "GET");
        QCOMPARE(server.requests().at(1).header("Last-Event-ID"), "e-1");
        QCOMPARE(rec.failures, QStringList());
    }

    // The reference server, in its Streamable HTTP mode and in its older SSE mode.
    void referenceServer_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("path");
        QTest::addColumn<McpHttpTransport::Mode>("transportMode");
        QTest::newRow("Streamable HTTP")
            << u"streamableHttp"_s << u"/mcp"_s << McpHttpTransport::Mode::Streamable;
        QTest::newRow("HTTP+SSE") << u"sse"_s << u"/sse"_s << McpHttpTransport::Mode::LegacySse;
    }

    void referenceServer()
    {
        QFETCH(QString, mode);
        QFETCH(QString, path);
        QFETCH(McpHttpTransport::Mode, transportMode);
        const QString node = partner(u".bin/node"_s);
        const QString server = partner(u"@modelcontextprotocol/server-everything/dist/index.js"_s);
        if (node.isEmpty() || server.isEmpty())
            QSKIP("the MCP test partners are not installed (npm ci in the build tree)");

        const quint16 port = freePort();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PORT"_s, QString::number(port));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(node, {server, mode});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += process.readAll()).contains(QByteArray::number(port)) ||
                                     process.state() == QProcess::NotRunning,
                                 20000);
        QCOMPARE(process.state(), QProcess::Running);

        McpHttpTransport transport(u"http://127.0.0.1:%1"_s.arg(port) + path, {});
        Recorder rec(&transport);
        transport.start();
        transport.send(initialize(1));
        QTRY_VERIFY_WITH_TIMEOUT(!rec.response(1).isEmpty() || !rec.failures.isEmpty(), 10000);
        QCOMPARE(rec.failures, QStringList());
        QCOMPARE(transport.mode(), transportMode);
        const QString version =
            rec.response(1).value(u"result"_s).toObject().value(u"protocolVersion"_s).toString();
        QCOMPARE(version, u"2025-06-18"_s);
        transport.setProtocolVersion(version);
        transport.send(notification(u"notifications/initialized"_s));
        transport.send(request(2, u"tools/list"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!rec.response(2).isEmpty(), 10000);
        QStringList tools;
        for (const QJsonValue &tool :
             rec.response(2).value(u"result"_s).toObject().value(u"tools"_s).toArray())
            tools.append(tool.toObject().value(u"name"_s).toString());
        QVERIFY2(tools.contains(u"echo"_s), qPrintable(tools.join(u' ')));

        transport.send(request(3, u"tools/call"_s,
                               {{u"name"_s, u"echo"_s},
                                {u"arguments"_s, QJsonObject{{u"message"_s, u"你好，工具"_s}}}}));
        QTRY_VERIFY_WITH_TIMEOUT(!rec.response(3).isEmpty(), 10000);
        const QJsonArray content =
            rec.response(3).value(u"result"_s).toObject().value(u"content"_s).toArray();
        QVERIFY(!content.isEmpty());
        QVERIFY2(content.first().toObject().value(u"text"_s).toString().contains(u"你好，工具"_s),
                 QJsonDocument(content).toJson().constData());
        QCOMPARE(rec.failures, QStringList());
        transport.close();
        process.terminate();
        process.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestMcpHttp)
#include "tst_mcphttp.moc"
