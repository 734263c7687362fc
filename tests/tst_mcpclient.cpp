// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcp/mcpclient.h"
#include "mcp/mcpstdiotransport.h"
#include "mcp/mcptransport.h"
#include "mcptestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

/// A client on a child process, with the server's log gathered.
struct Connection
{
    explicit Connection(const McpServer &server, int graceMs = 300)
    {
        transport = new McpStdioTransport(server);
        transport->setGracePeriod(graceMs);
        client = std::make_unique<McpClient>(transport);
        QObject::connect(client.get(), &McpClient::logLine,
                         [this](const QString &line) { log.append(line); });
    }

    bool logHas(const QString &text) const
    {
        return std::any_of(log.cbegin(), log.cend(),
                           [&](const QString &line) { return line.contains(text); });
    }

    McpStdioTransport *transport;
    std::unique_ptr<McpClient> client;
    QStringList log;
};

struct Outcomes
{
    QObject context;
    QList<ToolOutcome> got;

    McpClient::CallDone done()
    {
        return [this](ToolOutcome o) { got.append(std::move(o)); };
    }
};

QStringList toolNames(const McpClient &client)
{
    QStringList names;
    for (const McpClient::Tool &tool : client.tools())
        names.append(tool.name);
    return names;
}

/// A transport the test speaks for the server through.
class FakeTransport : public McpTransport
{
public:
    void start() override
    {
        QTimer::singleShot(0, this, [this] { emit started(); });
    }
    void send(const QByteArray &message) override
    {
        sent.append(QJsonDocument::fromJson(message).object());
    }
    void close() override { closed = true; }
    void setProtocolVersion(const QString &v) override { version = v; }

    /// Answers the last request that has the method.
    void answer(const QString &method, const QJsonObject &result)
    {
        for (qsizetype i = sent.size() - 1; i >= 0; --i) {
            if (sent[i].value("method"_L1).toString() == method) {
                emit message(QJsonObject{{u"jsonrpc"_s, u"2.0"_s},
                                         {u"id"_s, sent[i].value("id"_L1)},
                                         {u"result"_s, result}});
                return;
            }
        }
        QFAIL(qPrintable(u"no request %1"_s.arg(method)));
    }
    qsizetype count(const QString &method) const
    {
        return std::count_if(sent.cbegin(), sent.cend(), [&](const QJsonObject &m) {
            return m.value("method"_L1).toString() == method;
        });
    }

    QList<QJsonObject> sent;
    QString version;
    bool closed = false;
};

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestMcpClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<Connection> m_everything;

private slots:
    // What a result gives the model.
    void outcome_data()
    {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isError");
        // clang-format off
        QTest::newRow("texts joined")    << R"({"content":[{"type":"text","text":"a"},{"type":"text","text":"b"}]})"_ba << u"a\nb"_s << false;
        QTest::newRow("image noted")     << R"({"content":[{"type":"text","text":"see:"},{"type":"image","data":"AAAA","mimeType":"image/png"}]})"_ba << u"see:\n[图片]"_s << false;
        QTest::newRow("audio noted")     << R"({"content":[{"type":"audio","data":"AAAA"}]})"_ba << u"[音频]"_s << false;
        QTest::newRow("link noted")      << R"({"content":[{"type":"resource_link","uri":"file:\/\/\/a.txt","name":"a"}]})"_ba << u"[链接：file:///a.txt]"_s << false;
        QTest::newRow("resource text")   << R"({"content":[{"type":"resource","resource":{"uri":"x:\/\/1","text":"inside"}}]})"_ba << u"inside"_s << false;
        QTest::newRow("resource blob")   << R"({"content":[{"type":"resource","resource":{"uri":"x:\/\/1","blob":"AA=="}}]})"_ba << u"[资源：x://1]"_s << false;
        QTest::newRow("structured only") << R"({"content":[],"structuredContent":{"t":22}})"_ba << u"{\"t\":22}"_s << false;
        QTest::newRow("structured, text wins") << R"({"content":[{"type":"text","text":"22 度"}],"structuredContent":{"t":22}})"_ba << u"22 度"_s << false;
        QTest::newRow("error result")    << R"({"content":[{"type":"text","text":"no such file"}],"isError":true})"_ba << u"no such file"_s << true;
        QTest::newRow("nothing")         << "{}"_ba << QString() << false;
        // clang-format on
    }

    void outcome()
    {
        QFETCH(QByteArray, result);
        QFETCH(QString, text);
        QFETCH(bool, isError);
        const QJsonObject r = QJsonDocument::fromJson(result).object();
        const ToolOutcome o = McpClient::outcome(r);
        QCOMPARE(o.text, text);
        QCOMPARE(o.isError, isError);
        QCOMPARE(o.content, r.value("content"_L1).toArray());
    }

    // A huge result is cut on a character's edge, saying how much was left out.
    void outcomeCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("kept");    // bytes of UTF-8 before the note
        QTest::addColumn<qsizetype>("omitted"); // -1: not cut
        const qsizetype max = McpClient::maxResultBytes;
        QTest::newRow("at the limit") << QString(max, u'a') << max << qsizetype(-1);
        QTest::newRow("one over") << QString(max + 1, u'a') << max << qsizetype(1);
        // 3 bytes each: the limit falls inside a character, which is left out whole.
        QTest::newRow("Chinese") << QString(max / 3 + 10, u'字') << max / 3 * 3
                                 << (max / 3 + 10) * 3 - max / 3 * 3;
    }

    void outcomeCut()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, kept);
        QFETCH(qsizetype, omitted);
        const ToolOutcome o = McpClient::outcome(QJsonObject{
            {u"content"_s, QJsonArray{QJsonObject{{u"type"_s, u"text"_s}, {u"text"_s, text}}}}});
        if (omitted < 0) {
            QCOMPARE(o.text, text);
            return;
        }
        const QByteArray bytes = o.text.toUtf8();
        QCOMPARE(bytes.left(kept), text.toUtf8().left(kept));
        QVERIFY(!o.text.contains(QChar::ReplacementCharacter));
        QVERIFY(o.text.endsWith(u"省略了其余 %1 字节）"_s.arg(omitted)));
    }

    void initTestCase()
    {
        m_everything = std::make_unique<Connection>(McpTest::everything());
        m_everything->client->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_everything->client->state(), McpClient::State::Ready, 30000);
    }

    void cleanupTestCase() { m_everything.reset(); }

    void everythingHandshake()
    {
        const McpClient &client = *m_everything->client;
        QCOMPARE(client.protocolVersion(), u"2025-06-18"_s);
        const QStringList names = toolNames(client);
        for (const char *name :
             {"echo", "get-sum", "get-tiny-image", "trigger-long-running-operation"})
            QVERIFY2(names.contains(QLatin1StringView(name)), name);
        // Runs only as a background task, which this client does not do.
        QVERIFY(!names.contains(u"simulate-research-query"_s));
        const auto echo = std::find_if(client.tools().cbegin(), client.tools().cend(),
                                       [](const auto &t) { return t.name == u"echo"_s; });
        QCOMPARE(echo->description, u"Echoes back the input string"_s);
        QVERIFY(echo->inputSchema.value("properties"_L1).toObject().contains("message"_L1));
    }

    void everythingCalls_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("arguments");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isError");
        QTest::addColumn<QStringList>("parts"); // the content's types
        // clang-format off
        QTest::newRow("echo")       << u"echo"_s << R"({"message":"你好"})"_ba << u"Echo: 你好"_s << false << QStringList{u"text"_s};
        QTest::newRow("get-sum")    << u"get-sum"_s << R"({"a":2,"b":3})"_ba << u"The sum of 2 and 3 is 5."_s << false << QStringList{u"text"_s};
        QTest::newRow("bad input")  << u"get-sum"_s << R"({"a":2,"b":"x"})"_ba << u"expected number"_s << true << QStringList{u"text"_s};
        QTest::newRow("no such tool") << u"nope"_s << "{}"_ba << u"nope"_s << true << QStringList{u"text"_s};
        QTest::newRow("image")      << u"get-tiny-image"_s << "{}"_ba << u"[图片]"_s << false << QStringList{u"text"_s, u"image"_s, u"text"_s};
        // clang-format on
    }

    void everythingCalls()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, arguments);
        QFETCH(QString, text);
        QFETCH(bool, isError);
        QFETCH(QStringList, parts);
        Outcomes out;
        m_everything->client->callTool(tool, object(arguments), &out.context, out.done());
        QVERIFY(out.got.isEmpty()); // never from within the call
        QTRY_COMPARE_WITH_TIMEOUT(out.got.size(), 1, 10000);
        const ToolOutcome &o = out.got.first();
        QVERIFY2(o.text.contains(text), qPrintable(o.text));
        QCOMPARE(o.isError, isError);
        QStringList types;
        for (const QJsonValue &part : o.content)
            types.append(part.toObject().value("type"_L1).toString());
        QCOMPARE(types, parts);
        if (types.contains(u"image"_s))
            QVERIFY(!o.content.at(1).toObject().value("data"_L1).toString().isEmpty());
    }

    // A long call stopped by the user: the server hears of it, the caller hears nothing, and the
    // connection goes on.
    void everythingCancel()
    {
        McpClient &client = *m_everything->client;
        Outcomes cancelled;
        const quint64 handle = client.callTool(u"trigger-long-running-operation"_s,
                                               object(R"({"duration":30,"steps":30})"),
                                               &cancelled.context, cancelled.done());
        QVERIFY(handle);
        client.cancelCall(handle, u"用户已停止"_s);
        Outcomes after;
        client.callTool(u"echo"_s, object(R"({"message":"still here"})"), &after.context,
                        after.done());
        QTRY_COMPARE_WITH_TIMEOUT(after.got.size(), 1, 10000);
        QCOMPARE(after.got.first().text, u"Echo: still here"_s);
        QVERIFY(cancelled.got.isEmpty());
        QCOMPARE(client.state(), McpClient::State::Ready);
    }

    // Several pages of tools, a changed list, and the server's own requests.
    void scriptedPagesAndRequests()
    {
        Connection c(McpTest::scripted(u"paged"_s));
        QSignalSpy toolsChanged(c.client.get(), &McpClient::toolsChanged);
        c.client->start();
        QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
        QCOMPARE(toolNames(*c.client),
                 (QStringList{u"tool0"_s, u"tool1"_s, u"tool2"_s, u"tool3"_s, u"tool4"_s}));
        QCOMPARE(c.client->tools().first().description, u"about tool0"_s);
        QTRY_VERIFY(c.logHas(u"answer s1 {}"_s));
        QTRY_VERIFY(c.logHas(u"answer s2 {\"code\": -32601"_s));
        QVERIFY(c.logHas(u"\"clientInfo\": {\"name\": \"Corvane\""_s));
        QVERIFY(c.logHas(u"\"capabilities\": {}"_s));

        toolsChanged.clear();
        Outcomes out;
        c.client->callTool(u"grow"_s, {}, &out.context, out.done());
        QTRY_COMPARE(toolsChanged.size(), 1);
        QCOMPARE(toolNames(*c.client).size(), 6);
        QCOMPARE(toolNames(*c.client).last(), u"tool5"_s);
        QTRY_COMPARE(out.got.size(), 1);
        QCOMPARE(out.got.first().text, u"called grow"_s);
    }

    // A call without an answer: cancelled by the user, or given up after its time.
    void scriptedCallWithoutAnswer_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("timed out") << false;
    }

    void scriptedCallWithoutAnswer()
    {
        QFETCH(bool, cancel);
        Connection c(McpTest::scripted(u"paged"_s));
        c.client->setCallTimeout(300);
        c.client->start();
        QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
        Outcomes out;
        const quint64 handle = c.client->callTool(u"wait"_s, {}, &out.context, out.done());
        if (cancel) {
            c.client->cancelCall(handle, u"用户已停止"_s);
            QTRY_VERIFY(c.logHas(u"cancelled %1 用户已停止"_s.arg(handle)));
            QVERIFY(out.got.isEmpty());
        } else {
            QTRY_COMPARE(out.got.size(), 1);
            QVERIFY(out.got.first().isError);
            QVERIFY2(out.got.first().text.contains(u"没有回应"_s),
                     qPrintable(out.got.first().text));
            QTRY_VERIFY(c.logHas(u"cancelled %1 "_s.arg(handle)));
        }
        // The connection itself is fine.
        QCOMPARE(c.client->state(), McpClient::State::Ready);
    }

    void scriptedFailures_data()
    {
        QTest::addColumn<McpServer>("server");
        QTest::addColumn<bool>("call"); // fails during a call rather than at the start
        QTest::addColumn<QStringList>("reason");
        QTest::addColumn<int>("timeoutMs"); // for the handshake
        McpServer missing;
        missing.name = u"x"_s;
        missing.command = u"corvane-no-such-command"_s;
        McpServer badFolder = McpTest::scripted(u"paged"_s);
        badFolder.cwd = u"/nonexistent/folder"_s;
        // clang-format off
        QTest::newRow("crash mid-call")  << McpTest::scripted(u"crash"_s) << true << QStringList{u"退出码 3"_s, u"boom: the database went away"_s} << 30000;
        QTest::newRow("never answers")   << McpTest::scripted(u"silent"_s) << false << QStringList{u"没有回应"_s} << 500;
        QTest::newRow("unknown version") << McpTest::scripted(u"version"_s) << false << QStringList{u"1999-01-01"_s} << 30000;
        QTest::newRow("no such command") << missing << false << QStringList{u"找不到命令「corvane-no-such-command」"_s} << 30000;
        QTest::newRow("no such folder")  << badFolder << false << QStringList{u"/nonexistent/folder"_s} << 30000;
        // clang-format on
    }

    void scriptedFailures()
    {
        QFETCH(McpServer, server);
        QFETCH(bool, call);
        QFETCH(QStringList, reason);
        QFETCH(int, timeoutMs);
        Connection c(server);
        c.client->setRequestTimeout(timeoutMs);
        QSignalSpy stateChanged(c.client.get(), &McpClient::stateChanged);
        c.client->start();
        Outcomes out;
        if (call) {
            QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
            c.client->callTool(u"tool0"_s, {}, &out.context, out.done());
        }
        QTRY_COMPARE_WITH_TIMEOUT(c.client->state(), McpClient::State::Failed, 10000);
        for (const QString &part : reason)
            QVERIFY2(c.client->failure().contains(part), qPrintable(c.client->failure()));
        if (call) {
            QTRY_COMPARE(out.got.size(), 1);
            QVERIFY(out.got.first().isError);
            QCOMPARE(out.got.first().text, c.client->failure());
        }
        // A failed client answers new calls at once, with its reason.
        Outcomes late;
        c.client->callTool(u"tool0"_s, {}, &late.context, late.done());
        QVERIFY(late.got.isEmpty());
        QTRY_COMPARE(late.got.size(), 1);
        QCOMPARE(late.got.first().text, c.client->failure());
    }

    // Lines that are not messages are logged and skipped; the rest works.
    void scriptedGarbage()
    {
        Connection c(McpTest::scripted(u"garbage"_s));
        c.client->start();
        QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
        QCOMPARE(c.client->tools().size(), 5);
        Outcomes out;
        c.client->callTool(u"tool1"_s, {}, &out.context, out.done());
        QTRY_COMPARE(out.got.size(), 1);
        QCOMPARE(out.got.first().text, u"called tool1"_s);
        QVERIFY(c.logHas(u"Starting server... (not JSON)"_s));
        QVERIFY(c.logHas(u"[1,2,3]"_s));
    }

    // The server's answer decides the version; one this client does not know fails it.
    void versions_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("ready");
        QTest::newRow("2025-06-18") << u"2025-06-18"_s << true;
        QTest::newRow("2025-03-26") << u"2025-03-26"_s << true;
        QTest::newRow("2024-11-05") << u"2024-11-05"_s << true;
        QTest::newRow("newer") << u"2099-01-01"_s << false;
        QTest::newRow("none") << QString() << false;
    }

    void versions()
    {
        QFETCH(QString, version);
        QFETCH(bool, ready);
        auto *transport = new FakeTransport;
        McpClient client(transport);
        client.start();
        QTRY_COMPARE(transport->count(u"initialize"_s), 1);
        const QJsonObject asked = transport->sent.first().value("params"_L1).toObject();
        QCOMPARE(asked.value("protocolVersion"_L1).toString(), u"2025-06-18"_s);
        transport->answer(u"initialize"_s, {{u"protocolVersion"_s, version}});
        if (!ready) {
            QCOMPARE(client.state(), McpClient::State::Failed);
            QVERIFY(client.failure().contains(u"协议版本"_s));
            QVERIFY(transport->closed);
            return;
        }
        QCOMPARE(transport->version, version);
        QCOMPARE(transport->count(u"notifications/initialized"_s), 1);
        QCOMPARE(client.state(), McpClient::State::Starting);
        transport->answer(u"tools/list"_s, {{u"tools"_s, QJsonArray()}});
        QCOMPARE(client.state(), McpClient::State::Ready);
    }

    // A session the server forgot: the running call fails, and the handshake starts again.
    void sessionExpired()
    {
        auto *transport = new FakeTransport;
        McpClient client(transport);
        client.start();
        QTRY_COMPARE(transport->count(u"initialize"_s), 1);
        transport->answer(u"initialize"_s, {{u"protocolVersion"_s, u"2025-06-18"_s}});
        transport->answer(u"tools/list"_s, {{u"tools"_s, QJsonArray()}});
        Outcomes out;
        client.callTool(u"t"_s, {}, &out.context, out.done());
        emit transport->sessionExpired();
        QCOMPARE(out.got.size(), 1);
        QVERIFY(out.got.first().isError);
        QCOMPARE(client.state(), McpClient::State::Starting);
        QCOMPARE(transport->count(u"initialize"_s), 2);
        transport->answer(u"initialize"_s, {{u"protocolVersion"_s, u"2025-06-18"_s}});
        transport->answer(u"tools/list"_s, {{u"tools"_s, QJsonArray()}});
        QCOMPARE(client.state(), McpClient::State::Ready);
    }

    // The server's variables are added to the program's environment; it runs in its folder.
    void environmentAndFolder_data()
    {
        QTest::addColumn<QString>("cwd");
        QTest::addColumn<QString>("folder");
        QTest::newRow("home by default") << QString() << QDir::homePath();
        QTest::newRow("home with ~") << u"~"_s << QDir::homePath();
        QTest::newRow("its own") << u"/tmp"_s << u"/tmp"_s;
    }

    void environmentAndFolder()
    {
        QFETCH(QString, cwd);
        QFETCH(QString, folder);
        McpServer server = McpTest::scripted(u"paged"_s);
        server.cwd = cwd;
        server.env = {{u"CORVANE_TEST_VALUE"_s, u"42"_s}};
        Connection c(server);
        c.client->start();
        QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
        QVERIFY2(c.logHas(u"started in %1 with CORVANE_TEST_VALUE=42 HOME=%2"_s.arg(
                     QFileInfo(folder).canonicalFilePath(), qEnvironmentVariable("HOME"))),
                 qPrintable(c.log.join(u'\n')));
    }

    // Commands are looked for on PATH, then in the folders user-level installers use.
    void findCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("found"); // relative to the fake home; empty: not found
        // clang-format off
        QTest::newRow("on PATH")           << u"tool"_s << u"%1/bin"_s << u"bin/tool"_s;
        QTest::newRow("PATH first")        << u"tool"_s << u"%1/bin:%1/.local/bin"_s << u"bin/tool"_s;
        QTest::newRow("in ~/.local/bin")   << u"uvx"_s << u"/nonexistent"_s << u".local/bin/uvx"_s;
        QTest::newRow("in ~/.cargo/bin")   << u"srv"_s << u""_s << u".cargo/bin/srv"_s;
        QTest::newRow("a path")            << u"bin/tool"_s << u""_s << u"bin/tool"_s;
        QTest::newRow("not executable")    << u"notes"_s << u"%1/bin"_s << QString();
        QTest::newRow("missing")           << u"corvane-missing"_s << u"%1/bin"_s << QString();
        // clang-format on
    }

    void findCommand()
    {
        QFETCH(QString, command);
        QFETCH(QString, path);
        QFETCH(QString, found);
        QTemporaryDir home;
        const auto make = [&](const QString &file, bool executable) {
            QDir(home.path()).mkpath(QFileInfo(file).path());
            QFile f(home.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n");
            f.setPermissions(executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
        };
        make(u"bin/tool"_s, true);
        make(u"bin/notes"_s, false);
        make(u".local/bin/tool"_s, true);
        make(u".local/bin/uvx"_s, true);
        make(u".cargo/bin/srv"_s, true);
        const QByteArray realHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        const QString got =
            McpStdioTransport::findCommand(command, path.arg(home.path()), home.path());
        qputenv("HOME", realHome);
        QCOMPARE(got, found.isEmpty() ? QString() : home.filePath(found));
    }

    // Stopping a server ends its whole process group, also a child that ignores SIGTERM.
    void shutdownEndsTheGroup()
    {
        Connection c(McpTest::scripted(u"group"_s), 200);
        c.client->start();
        QTRY_COMPARE(c.client->state(), McpClient::State::Ready);
        const qint64 group = c.transport->processGroup();
        QVERIFY(group > 0);
        QVERIFY(group != qint64(getpgrp()));
        QTRY_VERIFY(c.logHas(u"child "_s));
        QCOMPARE(McpTest::runningInGroup(group).size(), 2);
        c.client.reset();
        QTRY_VERIFY_WITH_TIMEOUT(McpTest::runningInGroup(group).isEmpty(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestMcpClient)
#include "tst_mcpclient.moc"
