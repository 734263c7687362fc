// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcp/mcphub.h"
#include "mcp/mcpstdiotransport.h"
#include "mcptestutil.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

/// What one collectTools() answered.
struct Collected
{
    QObject context;
    bool answered = false;
    QList<ToolSpec> tools;
    QStringList notReady;

    void collect(McpHub &hub, int waitMs)
    {
        answered = false;
        hub.collectTools(waitMs, &context, [this](QList<ToolSpec> t, QStringList n) {
            answered = true;
            tools = std::move(t);
            notReady = std::move(n);
        });
    }

    QStringList functions() const
    {
        QStringList names;
        for (const ToolSpec &tool : tools)
            names.append(tool.function);
        return names;
    }
};

/// The hub's servers with a short grace period, so that stopped ones go quickly; each server's
/// process group is remembered.
struct Hub
{
    Hub()
    {
        hub.setRequestTimeout(8000); // the silent server's time
        hub.setTransportFactory([this](const McpServer &server, QString &) {
            auto *t = new McpStdioTransport(server);
            t->setGracePeriod(200);
            QObject::connect(t, &McpTransport::started, &hub,
                             [this, t, name = server.name] { groups[name] = t->processGroup(); });
            return t;
        });
    }

    McpHub hub;
    QHash<QString, qint64> groups;
};

} // namespace

class TestMcpHub : public QObject
{
    Q_OBJECT

private slots:
    void functionNames_data()
    {
        using Tools = QList<std::pair<QString, QString>>;
        QTest::addColumn<Tools>("tools");
        QTest::addColumn<QStringList>("names");
        const QString longTool(70, u't');
        // clang-format off
        QTest::newRow("plain")           << Tools{{u"everything"_s, u"get-sum"_s}} << QStringList{u"everything__get-sum"_s};
        QTest::newRow("cleaned")         << Tools{{u"my files"_s, u"read.file/v2"_s}} << QStringList{u"my_files__read_file_v2"_s};
        QTest::newRow("one _ per character") << Tools{{u"文件😀"_s, u"读"_s}} << QStringList{u"______"_s};
        QTest::newRow("cut to 64")       << Tools{{u"s"_s, longTool}} << QStringList{(u"s__"_s + longTool).left(64)};
        QTest::newRow("collision")       << Tools{{u"a b"_s, u"x"_s}, {u"a_b"_s, u"x"_s}, {u"a.b"_s, u"x"_s}}
                                         << QStringList{u"a_b__x"_s, u"a_b__x_2"_s, u"a_b__x_3"_s};
        QTest::newRow("collision after the cut") << Tools{{u"s"_s, longTool}, {u"s"_s, longTool + u"2"_s}}
                                         << QStringList{(u"s__"_s + longTool).left(64), (u"s__"_s + longTool).left(62) + u"_2"_s};
        QTest::newRow("suffix taken already") << Tools{{u"a"_s, u"x_2"_s}, {u"a"_s, u"x"_s}, {u"a"_s, u"x"_s}}
                                         << QStringList{u"a__x_2"_s, u"a__x"_s, u"a__x_3"_s};
        // clang-format on
    }

    void functionNames()
    {
        using Tools = QList<std::pair<QString, QString>>;
        QFETCH(Tools, tools);
        QFETCH(QStringList, names);
        QCOMPARE(McpHub::functionNames(tools), names);
    }

    // Tools of ready servers only, without the disabled ones; the others are named.
    void collectTools()
    {
        Hub h;
        McpServer paged = McpTest::scripted(u"paged"_s, u"paged"_s);
        paged.disabledTools = {u"tool1"_s};
        paged.approval = McpApproval::Never;
        McpServer silent = McpTest::scripted(u"silent"_s, u"silent"_s);
        McpServer off = McpTest::scripted(u"paged"_s, u"off"_s);
        off.enabled = false;
        h.hub.setServers({paged, silent, off});
        QVERIFY(h.hub.hasTools());
        QCOMPARE(h.hub.status(u"paged"_s), McpHub::Status::Idle);
        QCOMPARE(h.hub.status(u"off"_s), McpHub::Status::Disabled);

        Collected c;
        c.collect(h.hub, 4000);
        QVERIFY(!c.answered);
        QCOMPARE(h.hub.status(u"paged"_s), McpHub::Status::Starting);
        QTRY_VERIFY(c.answered);
        QCOMPARE(c.functions(), (QStringList{u"paged__tool0"_s, u"paged__tool2"_s,
                                             u"paged__tool3"_s, u"paged__tool4"_s}));
        QCOMPARE(c.tools.first().server, u"paged"_s);
        QCOMPARE(c.tools.first().tool, u"tool0"_s);
        QCOMPARE(c.tools.first().description, u"about tool0"_s);
        QCOMPARE(c.notReady, QStringList{u"silent"_s});
        QCOMPARE(h.hub.approvalFor(u"paged"_s), ToolApproval::Never);
        QCOMPARE(h.hub.approvalFor(u"silent"_s), ToolApproval::Ask);
        const QList<McpHub::ToolInfo> tools = h.hub.tools(u"paged"_s);
        QCOMPARE(tools.size(), 5);
        QVERIFY(!tools.at(1).enabled && tools.at(0).enabled);

        // The silent one gives up after its time; then nothing is starting and the answer
        // comes at once.
        QTRY_COMPARE_WITH_TIMEOUT(h.hub.status(u"silent"_s), McpHub::Status::Failed, 10000);
        QVERIFY(h.hub.statusReason(u"silent"_s).contains(u"没有回应"_s));
        QVERIFY(h.hub.log(u"silent"_s).last().contains(u"没有回应"_s));
        h.hub.setServers({paged, off});
        c.collect(h.hub, 60000);
        QTRY_VERIFY(c.answered);
        QCOMPARE(c.notReady, QStringList());
    }

    // A call goes to its server; one that failed starts again on its next use.
    void callsAndRestart()
    {
        Hub h;
        h.hub.setServers({McpTest::scripted(u"crash"_s, u"c"_s)});
        h.hub.startAll();
        QTRY_COMPARE(h.hub.status(u"c"_s), McpHub::Status::Ready);
        const qint64 first = h.groups.value(u"c"_s);
        QList<ToolOutcome> got;
        QObject context;
        const ToolSpec tool{u"c__tool0"_s, u"c"_s, u"tool0"_s, {}, {}};
        h.hub.call(tool, {}, &context, [&](ToolOutcome o) { got.append(o); });
        QTRY_COMPARE(got.size(), 1);
        QVERIFY(got.first().isError);
        QVERIFY(got.first().text.contains(u"退出码 3"_s));
        QCOMPARE(h.hub.status(u"c"_s), McpHub::Status::Failed);

        // The next call starts it again and waits for it.
        h.hub.call(tool, {}, &context, [&](ToolOutcome o) { got.append(o); });
        QCOMPARE(h.hub.status(u"c"_s), McpHub::Status::Starting);
        QTRY_COMPARE(got.size(), 2);
        QVERIFY(h.groups.value(u"c"_s) != first);
        QVERIFY(got.last().text.contains(u"退出码 3"_s));
    }

    // A call cancelled while its server starts is never sent; a running one is cancelled.
    void cancel()
    {
        Hub h;
        h.hub.setServers({McpTest::scripted(u"paged"_s, u"p"_s)});
        QList<ToolOutcome> got;
        QObject context;
        const ToolSpec wait{u"p__wait"_s, u"p"_s, u"wait"_s, {}, {}};
        const ToolSpec one{u"p__tool1"_s, u"p"_s, u"tool1"_s, {}, {}};
        const quint64 queued =
            h.hub.call(wait, {}, &context, [&](ToolOutcome o) { got.append(o); });
        h.hub.cancel(queued);
        h.hub.call(one, {}, &context, [&](ToolOutcome o) { got.append(o); });
        QTRY_COMPARE(got.size(), 1);
        QCOMPARE(got.first().text, u"called tool1"_s);
        QVERIFY(!h.hub.log(u"p"_s).join(u'\n').contains(u"cancelled"_s));

        const quint64 running =
            h.hub.call(wait, {}, &context, [&](ToolOutcome o) { got.append(o); });
        h.hub.cancel(running);
        QTRY_VERIFY(h.hub.log(u"p"_s).join(u'\n').contains(u"cancelled"_s));
        QCOMPARE(got.size(), 1);
    }

    // A new list restarts only the servers whose connection changed.
    void setServersRestartsWhatChanged()
    {
        Hub h;
        const McpServer a = McpTest::scripted(u"paged"_s, u"a"_s);
        const McpServer b = McpTest::scripted(u"paged"_s, u"b"_s);
        h.hub.setServers({a, b});
        h.hub.startAll();
        QTRY_COMPARE(h.hub.status(u"a"_s), McpHub::Status::Ready);
        QTRY_COMPARE(h.hub.status(u"b"_s), McpHub::Status::Ready);
        const qint64 groupA = h.groups.value(u"a"_s);
        const qint64 groupB = h.groups.value(u"b"_s);

        McpServer a2 = a;
        a2.approval = McpApproval::AskOncePerTool; // not a connection change
        McpServer b2 = b;
        b2.env = {{u"X"_s, u"1"_s}};
        const McpServer c = McpTest::scripted(u"paged"_s, u"c"_s);
        QSignalSpy serversChanged(&h.hub, &McpHub::serversChanged);
        h.hub.setServers({c, a2, b2});
        QCOMPARE(serversChanged.size(), 1);
        QCOMPARE(h.hub.status(u"a"_s), McpHub::Status::Ready);
        QCOMPARE(h.hub.approvalFor(u"a"_s), ToolApproval::AskOncePerTool);
        QCOMPARE(h.hub.status(u"b"_s), McpHub::Status::Starting);
        QCOMPARE(h.hub.status(u"c"_s), McpHub::Status::Starting); // started: startAll() was called
        QTRY_COMPARE(h.hub.status(u"b"_s), McpHub::Status::Ready);
        QCOMPARE(h.groups.value(u"a"_s), groupA);
        QVERIFY(h.groups.value(u"b"_s) != groupB);
        QTRY_VERIFY(McpTest::runningInGroup(groupB).isEmpty());

        // Removed and switched off: stopped, their processes gone.
        const qint64 groupC = h.groups.value(u"c"_s);
        QTRY_VERIFY(groupC > 0);
        McpServer a3 = a2;
        a3.enabled = false;
        h.hub.setServers({a3});
        QCOMPARE(h.hub.status(u"a"_s), McpHub::Status::Disabled);
        QVERIFY(!h.hub.hasTools());
        QTRY_VERIFY(McpTest::runningInGroup(groupA).isEmpty());
        QTRY_VERIFY(McpTest::runningInGroup(groupC).isEmpty());
    }

    void reconnect()
    {
        Hub h;
        h.hub.setServers({McpTest::scripted(u"paged"_s, u"p"_s)});
        h.hub.startAll();
        QTRY_COMPARE(h.hub.status(u"p"_s), McpHub::Status::Ready);
        const qint64 group = h.groups.value(u"p"_s);
        h.hub.reconnect(u"p"_s);
        QCOMPARE(h.hub.status(u"p"_s), McpHub::Status::Starting);
        QTRY_COMPARE(h.hub.status(u"p"_s), McpHub::Status::Ready);
        QVERIFY(h.groups.value(u"p"_s) != group);
    }
};

QTEST_GUILESS_MAIN(TestMcpHub)
#include "tst_mcphub.moc"
