// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcp/mcpimport.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestMcpImport : public QObject
{
    Q_OBJECT

private slots:
    // The shapes users paste, each read into servers in the pasted order.
    void shapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("error"); // a part of it; empty: none

        // clang-format off
        QTest::newRow("mcpServers block")  << uR"({"mcpServers":{"zeta":{"command":"npx","args":["-y","@modelcontextprotocol/server-filesystem","/home"]},"alpha":{"url":"https://example.com/mcp"}}})"_s
                                           << QStringList{u"zeta"_s, u"alpha"_s} << QString();
        QTest::newRow("servers block")     << uR"({"servers":{"b":{"type":"stdio","command":"uvx","args":["mcp-server-git"]}}})"_s << QStringList{u"b"_s} << QString();
        QTest::newRow("bare servers")      << uR"(  {"git":{"command":"uvx"},"web":{"url":"http://127.0.0.1:3000/mcp"}}  )"_s << QStringList{u"git"_s, u"web"_s} << QString();
        QTest::newRow("one server, npx")   << uR"({"command":"npx","args":["-y","@modelcontextprotocol/server-everything@2026.8.31"]})"_s << QStringList{u"server-everything"_s} << QString();
        QTest::newRow("one server, url")   << uR"({"url":"https://mcp.example.com/mcp"})"_s << QStringList{u"mcp.example.com"_s} << QString();
        QTest::newRow("one server, path")  << uR"({"command":"/opt/tools/my-server"})"_s << QStringList{u"my-server"_s} << QString();
        QTest::newRow("not JSON")          << u"mcpServers: {}"_s << QStringList() << u"不是有效的 JSON"_s;
        QTest::newRow("a list")            << u"[]"_s << QStringList() << u"应为一个 JSON 对象"_s;
        QTest::newRow("no servers")        << uR"({"mcpServers":{}})"_s << QStringList() << u"没有找到任何服务器"_s;
        QTest::newRow("server a string")   << uR"({"mcpServers":{"a":"npx"}})"_s << QStringList() << u"服务器「a」应为一个对象"_s;
        QTest::newRow("neither command nor url") << uR"({"a":{"args":[]}})"_s << QStringList() << u"服务器「a」既没有“command”也没有“url”"_s;
        QTest::newRow("args an object")    << uR"({"a":{"command":"x","args":{"k":1}}})"_s << QStringList() << u"服务器「a」的“args”应为一个列表"_s;
        QTest::newRow("env value a list")  << uR"({"a":{"command":"x","env":{"K":[1]}}})"_s << QStringList() << u"服务器「a」的“env”"_s;
        QTest::newRow("approval unknown")  << uR"({"a":{"command":"x","approval":"always"}})"_s << QStringList() << u"“approval”应为"_s;
        QTest::newRow("empty name")        << uR"({"":{"command":"x"}})"_s << QStringList() << u"名称不能为空"_s;
        // clang-format on
    }

    void shapes()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QFETCH(QString, error);
        const McpImport read = McpImport::parse(text);
        QStringList got;
        for (const McpServer &s : read.servers)
            got.append(s.name);
        QCOMPARE(got, names);
        if (error.isEmpty())
            QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        else
            QVERIFY2(read.error.contains(error), qPrintable(read.error));
    }

    // Every field, in the pasted order, scalars taken as text.
    void fields()
    {
        const McpImport read = McpImport::parse(uR"({"mcpServers":{"db":{
            "command":"docker","args":["run","-p",8080,true],
            "env":{"Z_TOKEN":"t","PORT":5432,"A":"1"},
            "cwd":"/srv","headers":{"X-Key":"k","Accept":"a"},
            "disabled":true,"approval":"askOncePerTool","disabledTools":["drop"],"alwaysAllow":["x"]}}})"_s);
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(read.servers.size(), 1);
        const McpServer &s = read.servers.first();
        QCOMPARE(s.command, u"docker"_s);
        QCOMPARE(s.args, (QList<QString>{u"run"_s, u"-p"_s, u"8080"_s, u"true"_s}));
        QCOMPARE(s.env, (McpServer::Pairs{
                            {u"Z_TOKEN"_s, u"t"_s}, {u"PORT"_s, u"5432"_s}, {u"A"_s, u"1"_s}}));
        QCOMPARE(s.cwd, u"/srv"_s);
        QCOMPARE(s.headers, (McpServer::Pairs{{u"X-Key"_s, u"k"_s}, {u"Accept"_s, u"a"_s}}));
        QCOMPARE(s.enabled, false);
        QCOMPARE(s.approval, McpApproval::AskOncePerTool);
        QCOMPARE(s.disabledTools, QList<QString>{u"drop"_s});
    }
};

QTEST_GUILESS_MAIN(TestMcpImport)
#include "tst_mcpimport.moc"
