// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/storagecodec.h"
#include "storetestutil.h"

#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QUuid uuid(const char *text)
{
    return QUuid::fromString(QLatin1StringView(text));
}

// The record behind tests/data/golden-data.json.
AppData goldenData()
{
    AppData d;
    d.settings.apiKey = u"sk-\"secret\"\\x"_s;
    d.settings.systemPrompt = u"你是助手。\n回答要短。"_s;
    d.settings.models = {u"gpt-4o-mini"_s, u"deepseek/deepseek-r1"_s};

    Conversation a;
    a.id = uuid("0f8fad5b-d9cb-469f-a165-70867728950e");
    a.title = u"周报 \"Q3\" C:\\tmp/a"_s;
    // clang-format off
    a.messages = {
        {uuid("7C9E6679-7425-40DE-944B-E07FC1F90AE7"), Message::Role::User, u"你好 😀\u2028end\t\u0001\u001f\b\f\r\n\u007f"_s, {}, {}},
        {uuid("16FD2706-8BAF-433B-82EB-8C7FADA847DA"), Message::Role::Assistant, u"**粗体** </script>"_s, {}, {}},
    };
    // clang-format on
    a.createdAt = 773020800.123456789;
    a.model = u""_s;

    Conversation b;
    b.id = uuid("886313E1-3B8A-5372-9B90-0C9AEE199E5D");
    b.title = QChar(0xD800) + u"\u0000é"_s; // a lone surrogate is kept as an escape
    b.messages = {
        {uuid("6BA7B810-9DAD-11D1-80B4-00C04FD430C8"), Message::Role::System, u"s"_s, {}, {}}};
    b.createdAt = -31622400.5;

    Conversation c;
    c.id = uuid("A8098C1A-F86E-11DA-BD1A-00112444BE1E");
    c.createdAt = 773020800;
    c.model = u"gpt-4o"_s;

    d.conversations = {a, b, c};
    return d;
}

QByteArray withConversations(const QByteArray &conversations)
{
    return R"({"settings":{},"conversations":[)" + conversations + "]}";
}

} // namespace

class TestStorageCodec : public QObject
{
    Q_OBJECT

private slots:
    void golden()
    {
        const QByteArray expected =
            StoreTest::readAll(QStringLiteral(CORVANE_TEST_DATA "/golden-data.json"));
        QVERIFY(!expected.isEmpty());
        const AppData data = goldenData();

        QCOMPARE(encodeAppData(data), expected);

        const auto decoded = decodeAppData(expected);
        QVERIFY(decoded);
        QCOMPARE(decoded->settings, data.settings);
        QCOMPARE(decoded->conversations, data.conversations);
        // A history is read once and kept: its lists have no room to grow.
        for (const auto &read : {decoded, decodeAppDataWithQt(expected)}) {
            QCOMPARE(read->conversations.capacity(), read->conversations.size());
            for (const Conversation &c : read->conversations)
                QCOMPARE(c.messages.capacity(), c.messages.size());
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("createdAt");
        QTest::addColumn<QByteArray>("dateText");
        QTest::addColumn<std::optional<QString>>("model");

        const std::optional<QString> none;
        const auto model = [](const QString &m) { return std::optional(m); };
        // clang-format off
        QTest::newRow("quotes, backslash, line feed, Chinese") << u"他说 \"好\"\\n\n第二行"_s << 773020800.0 << "773020800"_ba << none;
        QTest::newRow("full precision date") << u"x"_s << 773020800.123456789 << "773020800.1234568"_ba << model(u""_s);
        QTest::newRow("tiny date")           << u"\u2028\u2029"_s << 1e-7 << "1e-07"_ba << model(u"gpt/4o"_s);
        QTest::newRow("negative date")       << u"\t\u0007"_s << -978307200.25 << "-978307200.25"_ba << none;
        QTest::newRow("smallest subnormal")  << u"😀👍🏽"_s << 5e-324 << "5e-324"_ba << none;
        QTest::newRow("largest double")      << u""_s << std::numeric_limits<double>::max() << "1.7976931348623157e+308"_ba << model(u"m"_s);
        QTest::newRow("beyond int64")        << u"a"_s << 123456789012345678901.0 << "123456789012345683968"_ba << none;
        QTest::newRow("byte order mark first") << u"\uFEFF开头\uFEFF"_s << 1.0 << "1"_ba << none;
        // clang-format on
    }

    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(double, createdAt);
        QFETCH(QByteArray, dateText);
        QFETCH(std::optional<QString>, model);

        Conversation c = Conversation::make();
        c.title = text;
        c.messages = {Message::make(Message::Role::User, text),
                      Message::make(Message::Role::Assistant, text + text)};
        c.createdAt = createdAt;
        c.model = model;
        const QByteArray bytes = encodeAppData(AppSettings{}, {c});

        // The text form of each date is exact; that the output is compact, escaped and encodes
        // again to the same bytes, the storage fuzzer checks on every input.
        QVERIFY(bytes.contains("\"createdAt\":" + dateText + (model ? "," : "}")));
        QCOMPARE(bytes.count("\"model\":"), model ? 2 : 1);
        QCOMPARE(decodeAppData(bytes).value_or(AppData()).conversations, QList{c});
        // Written escaped, a byte order mark survives Qt's reader too, which drops a raw one.
        if (text.startsWith(QChar(0xFEFF)))
            QCOMPARE(decodeAppDataWithQt(bytes).value_or(AppData()).conversations, QList{c});
    }

    // The keys of further gateways: a file with them reads and writes back as it was; a
    // malformed entry is skipped and said, never a reason to refuse the file; both readers
    // agree on all of it.
    void gateways_data()
    {
        QTest::addColumn<QByteArray>("settings");     // after the first gateway's keys
        QTest::addColumn<QByteArray>("conversation"); // after its "createdAt"
        QTest::addColumn<int>("providers");           // kept
        QTest::addColumn<bool>("skipped");
        QTest::addColumn<bool>("same"); // encodes back to the same bytes

        const QByteArray g1 = "\"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\"";
        const QByteArray g2 = "\"6FA459EA-EE8A-3CA4-894E-DB77E160355E\"";
        const QByteArray local =
            "{\"id\":" + g1 +
            R"(,"name":"本机","baseURL":"http:\/\/127.0.0.1:11434\/v1","apiKey":"","models":["qwen3"],"noKey":true})";
        const QByteArray relay =
            "{\"id\":" + g2 +
            R"(,"name":"OpenAI","baseURL":"b","apiKey":"sk-2","models":[],"streamUsage":true})";
        const auto entry = [&g1](const QByteArray &rest) {
            return ",\"providers\":[{\"id\":" + g1 + rest + "}]";
        };
        // clang-format off
        QTest::newRow("none")              << ""_ba << ""_ba << 0 << false << true;
        QTest::newRow("every key")         << R"(,"name":"主力","providers":[)" + local + "," + relay + "],\"defaultProvider\":" + g2
                                           << ",\"model\":\"qwen3\",\"provider\":" + g1 << 2 << false << true;
        QTest::newRow("provider, no model") << ",\"providers\":[" + relay + "]" << ",\"provider\":" + g2 << 1 << false << true;
        QTest::newRow("default name")      << R"(,"name":"默认")"_ba << ""_ba << 0 << false << false;
        QTest::newRow("nulls")             << R"(,"name":null,"providers":null,"defaultProvider":null)"_ba << R"(,"provider":null)"_ba << 0 << false << false;
        QTest::newRow("entry, fields missing") << entry("") << ""_ba << 1 << false << false;
        QTest::newRow("entry, unknown key") << entry(R"(,"headers":{"X-Title":"c"})") << ""_ba << 1 << false << false;
        QTest::newRow("entry, no id")      << R"(,"providers":[{"name":"x"}])"_ba << ""_ba << 0 << true << false;
        QTest::newRow("entry, id not a UUID") << R"(,"providers":[{"id":"relay"}])"_ba << ""_ba << 0 << true << false;
        QTest::newRow("entry, id all zeros") << R"(,"providers":[{"id":"00000000-0000-0000-0000-000000000000"}])"_ba << ""_ba << 0 << true << false;
        QTest::newRow("entry, name a number") << entry(R"(,"name":1)") << ""_ba << 0 << true << false;
        QTest::newRow("entry, key a number") << entry(R"(,"apiKey":1)") << ""_ba << 0 << true << false;
        QTest::newRow("entry, model a number") << entry(R"(,"models":["a",2])") << ""_ba << 0 << true << false;
        QTest::newRow("entry, flag a string") << entry(R"(,"noKey":"yes")") << ""_ba << 0 << true << false;
        QTest::newRow("entry, a string")   << R"(,"providers":["x"])"_ba << ""_ba << 0 << true << false;
        QTest::newRow("duplicate id")      << ",\"providers\":[" + local + "," + local + "]" << ""_ba << 1 << true << false;
        QTest::newRow("bad beside good")   << ",\"providers\":[" + relay + ",{},7]" << ""_ba << 1 << true << false;
        QTest::newRow("providers an object") << R"(,"providers":{})"_ba << ""_ba << 0 << true << false;
        QTest::newRow("name a number")     << R"(,"name":1)"_ba << ""_ba << 0 << true << false;
        QTest::newRow("default not a UUID") << R"(,"defaultProvider":"b")"_ba << ""_ba << 0 << true << false;
        QTest::newRow("provider a number") << ""_ba << R"(,"provider":1)"_ba << 0 << true << false;
        QTest::newRow("provider braces")   << ""_ba << R"(,"provider":"{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}")"_ba << 0 << true << false;
        // The conversation's option beside its gateway: written only when it is off.
        QTest::newRow("history images off") << ""_ba << R"(,"historyImages":false)"_ba << 0 << false << true;
        QTest::newRow("history images off, after the gateway") << ",\"providers\":[" + local + "]"
                                           << ",\"provider\":" + g1 + R"(,"historyImages":false)" << 1 << false << true;
        QTest::newRow("history images on") << ""_ba << R"(,"historyImages":true)"_ba << 0 << false << false;
        QTest::newRow("history images null") << ""_ba << R"(,"historyImages":null)"_ba << 0 << false << false;
        QTest::newRow("history images a string") << ""_ba << R"(,"historyImages":"false")"_ba << 0 << true << false;
        // clang-format on
    }

    void gateways()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, conversation);
        QFETCH(int, providers);
        QFETCH(bool, skipped);
        QFETCH(bool, same);
        const QByteArray bytes =
            R"({"settings":{"baseURL":"a","apiKey":"k","model":"m","systemPrompt":"","models":[])" +
            settings +
            R"(},"conversations":[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"t","messages":[],"createdAt":1)" +
            conversation + "}]}";
        const auto fast = decodeAppData(bytes);
        const auto qt = decodeAppDataWithQt(bytes);
        QVERIFY(fast && qt);
        QCOMPARE(fast->settings, qt->settings);
        QCOMPARE(fast->conversations, qt->conversations);
        QCOMPARE(fast->skippedEntries, skipped);
        QCOMPARE(qt->skippedEntries, skipped);
        QCOMPARE(fast->settings.providers.size(), providers);
        QCOMPARE(fast->conversations.size(), 1);
        QCOMPARE(fast->settings.apiKey, u"k"_s);
        const QByteArray encoded = encodeAppData(*fast);
        if (same)
            QCOMPARE(encoded, bytes);
        else
            QVERIFY(encoded != bytes);
        // What was read is what is written: nothing is skipped the second time.
        const auto again = decodeAppData(encoded);
        QVERIFY(again && !again->skippedEntries);
        QCOMPARE(again->settings, fast->settings);
        QCOMPARE(again->conversations, fast->conversations);
    }

    void nonFiniteDateWritesNothing()
    {
        Conversation c = Conversation::make();
        for (double date : {std::numeric_limits<double>::quiet_NaN(), -HUGE_VAL}) {
            c.createdAt = date;
            QVERIFY(encodeAppData(AppSettings{}, {c}).isEmpty());
        }
    }

    // A file is read whole or not at all. The storage fuzzer compares the reader with a plain
    // reading of the format on every input; these are the decisions that reading makes.
    void strictFailures_data()
    {
        QTest::addColumn<QByteArray>("json");

        const auto top = [](const char *settings, const char *conversations) {
            return R"({"settings":)" + QByteArray(settings) + R"(,"conversations":)" +
                   conversations + "}";
        };
        // A message with the given fields after a valid id.
        const auto message = [](const char *fields) {
            return withConversations(
                R"({"messages":[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7")" +
                QByteArray(fields) + "}]}");
        };

        // clang-format off
        QTest::newRow("empty")                << QByteArray();
        QTest::newRow("not JSON")             << "{settings:{}}"_ba;
        QTest::newRow("trailing garbage")     << top("{}", "[] x");
        QTest::newRow("invalid UTF-8")        << top(R"({"apiKey":")" "\xff" R"("})", "[]");
        QTest::newRow("no conversations")     << R"({"settings":{"apiKey":"k"}})"_ba;
        QTest::newRow("null conversations")   << top("{}", "null");
        QTest::newRow("no settings")          << R"({"conversations":[]})"_ba;
        QTest::newRow("baseURL number")       << top(R"({"baseURL":1})", "[]");
        QTest::newRow("null in models")       << top(R"({"models":["a",null]})", "[]");
        QTest::newRow("null conversation")    << withConversations("{},null");
        QTest::newRow("createdAt string")     << withConversations(R"({"createdAt":"773020800"})");
        QTest::newRow("id braces")            << withConversations(R"({"id":"{0F8FAD5B-D9CB-469F-A165-70867728950E}"})");
        QTest::newRow("id without hyphens")   << withConversations(R"({"id":"0F8FAD5BD9CB469FA16570867728950E"})");
        QTest::newRow("id long")              << withConversations(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950EA"})");
        QTest::newRow("id non-hex")           << withConversations(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950G"})");
        QTest::newRow("message id null")      << withConversations(R"({"messages":[{"id":null,"role":"user","content":"x"}]})");
        QTest::newRow("role User")            << message(R"(,"role":"User","content":"x")");
        QTest::newRow("role with space")      << message(R"(,"role":" user","content":"x")");
        QTest::newRow("content null")         << message(R"(,"role":"user","content":null)");
        QTest::newRow("bad after good")       << withConversations(R"({},{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7"},{"title":1})");
        // clang-format on
    }

    void strictFailures()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!decodeAppData(json));
        QVERIFY(!decodeAppDataWithQt(json));
    }

    // The fast reader and Qt's reader give the same file: the last of duplicate keys counts,
    // escapes and numbers read alike, and what simdjson refuses (a lone surrogate, a number
    // beyond 64 bits) is read by Qt's reader. Every id and date is given, so both readings are
    // the same bytes when written again.
    void mcpServers_data()
    {
        QTest::addColumn<QByteArray>("settings"); // after the first gateway's keys
        QTest::addColumn<QStringList>("names");   // kept, in this order
        QTest::addColumn<bool>("skipped");
        QTest::addColumn<bool>("same"); // encodes back to the same bytes

        const QByteArray full =
            R"("fs":{"command":"npx","args":["-y","@modelcontextprotocol\/server-filesystem","~\/文档"],)"
            R"("env":{"ZED":"1","API_KEY":"s'k","A":""},"cwd":"\/tmp","url":"http:\/\/h\/mcp",)"
            R"("headers":{"X-B":"2","Authorization":"Bearer t"},"enabled":false,"approval":"never",)"
            R"("disabledTools":["write_file"]})";
        const auto servers = [](const QByteArray &entries) {
            return ",\"mcpServers\":{" + entries + "}";
        };
        // clang-format off
        QTest::newRow("none")                << ""_ba << QStringList() << false << true;
        QTest::newRow("every key")           << servers(full) << QStringList{u"fs"_s} << false << true;
        QTest::newRow("user's order")        << servers(R"("z":{"command":"a"},"b":{},"m":{"approval":"askOncePerTool"})")
                                             << QStringList{u"z"_s, u"b"_s, u"m"_s} << false << true;
        QTest::newRow("escaped name")        << servers(R"("\u4e2d\/x":{"command":"a"})") << QStringList{u"中/x"_s} << false << false;
        QTest::newRow("written as default")  << servers(R"("a":{"enabled":true,"approval":"ask","args":[],"env":{},"disabledTools":[]})")
                                             << QStringList{u"a"_s} << false << false;
        QTest::newRow("nulls")               << servers(R"("a":{"command":null,"env":null,"enabled":null})") << QStringList{u"a"_s} << false << false;
        QTest::newRow("unknown key kept out") << servers(R"("a":{"type":"stdio"})") << QStringList{u"a"_s} << false << false;
        QTest::newRow("mcpServers null")     << R"(,"mcpServers":null)"_ba << QStringList() << false << false;
        QTest::newRow("mcpServers a list")   << R"(,"mcpServers":[])"_ba << QStringList() << true << false;
        QTest::newRow("entry a string")      << servers(R"("a":"npx","b":{})") << QStringList{u"b"_s} << true << false;
        QTest::newRow("empty name")          << servers(R"("":{"command":"a"})") << QStringList() << true << false;
        QTest::newRow("command a number")    << servers(R"("a":{"command":1},"b":{})") << QStringList{u"b"_s} << true << false;
        QTest::newRow("args not strings")    << servers(R"("a":{"args":["x",1]})") << QStringList() << true << false;
        QTest::newRow("env a list")          << servers(R"("a":{"env":["A=1"]})") << QStringList() << true << false;
        QTest::newRow("env value a number")  << servers(R"("a":{"env":{"A":1}})") << QStringList() << true << false;
        QTest::newRow("headers value null")  << servers(R"("a":{"headers":{"A":null}})") << QStringList() << true << false;
        QTest::newRow("enabled a string")    << servers(R"("a":{"enabled":"no"})") << QStringList() << true << false;
        QTest::newRow("approval unknown")    << servers(R"("a":{"approval":"always"})") << QStringList() << true << false;
        QTest::newRow("disabledTools a string") << servers(R"("a":{"disabledTools":"x"})") << QStringList() << true << false;
        QTest::newRow("duplicate name")      << servers(R"("a":{"command":"1"},"b":{},"a":{"command":"2"})")
                                             << QStringList{u"a"_s, u"b"_s} << true << false;
        QTest::newRow("duplicate, last bad") << servers(R"("a":{"command":"1"},"b":{},"a":{"command":2})")
                                             << QStringList{u"b"_s} << true << false;
        QTest::newRow("duplicate env key")   << servers(R"("a":{"env":{"X":"1","Y":"2","X":"3"}})") << QStringList{u"a"_s} << true << false;
        QTest::newRow("duplicate settings key") << R"(,"mcpServers":{"a":{}},"mcpServers":{"c":{},"b":{}})"_ba
                                             << QStringList{u"c"_s, u"b"_s} << false << false;
        // clang-format on
    }

    void mcpServers()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, names);
        QFETCH(bool, skipped);
        QFETCH(bool, same);
        const QByteArray bytes =
            R"({"settings":{"baseURL":"a","apiKey":"k","model":"m","systemPrompt":"","models":[])" +
            settings + R"(},"conversations":[]})";
        const auto fast = decodeAppData(bytes);
        const auto qt = decodeAppDataWithQt(bytes);
        QVERIFY(fast && qt);
        QCOMPARE(fast->settings, qt->settings);
        QCOMPARE(fast->skippedEntries, skipped);
        QCOMPARE(qt->skippedEntries, skipped);
        QStringList got;
        for (const McpServer &server : fast->settings.mcpServers)
            got.append(server.name);
        QCOMPARE(got, names);
        const QByteArray encoded = encodeAppData(*fast);
        QCOMPARE(encoded == bytes, same);
        const auto again = decodeAppData(encoded);
        QVERIFY(again && !again->skippedEntries);
        QCOMPARE(again->settings, fast->settings);
        QCOMPARE(decodeAppDataWithQt(encoded)->settings, fast->settings);
    }

    // Each field lands where it belongs, the ordered ones in the file's order.
    void mcpServerFields()
    {
        McpServer s;
        s.name = u"fs"_s;
        s.command = u"npx"_s;
        s.args = {u"-y"_s, u"@modelcontextprotocol/server-filesystem"_s, u"~/文档"_s};
        s.env = {{u"ZED"_s, u"1"_s}, {u"API_KEY"_s, u"s'k"_s}, {u"A"_s, u""_s}};
        s.cwd = u"/tmp"_s;
        s.url = u"http://h/mcp"_s;
        s.headers = {{u"X-B"_s, u"2"_s}, {u"Authorization"_s, u"Bearer t"_s}};
        s.enabled = false;
        s.approval = McpApproval::Never;
        s.disabledTools = {u"write_file"_s};
        McpServer plain;
        plain.name = u"b"_s;
        plain.approval = McpApproval::AskOncePerTool;
        AppData data;
        data.settings.mcpServers = {s, plain};
        const QByteArray bytes = encodeAppData(data);
        const QByteArray expected =
            ",\"mcpServers\":{\"fs\":{\"command\":\"npx\",\"args\":[\"-y\",\"@"
            "modelcontextprotocol\\/server-filesystem\",\"~\\/"
            "文档\"],\"env\":{\"ZED\":\"1\",\"API_KEY\":\"s'k\",\"A\":\"\"},\"cwd\":\"\\/"
            "tmp\",\"url\":\"http:\\/\\/h\\/"
            "mcp\",\"headers\":{\"X-B\":\"2\",\"Authorization\":\"Bearer "
            "t\"},\"enabled\":false,\"approval\":\"never\",\"disabledTools\":[\"write_file\"]},"
            "\"b\":{\"approval\":\"askOncePerTool\"}}},\"conversations\":[]}";
        QVERIFY(bytes.endsWith(expected));
        // Qt's reader, which finds the order in the text, also past a byte order mark.
        for (const auto &read : {decodeAppData(bytes), decodeAppDataWithQt(bytes),
                                 decodeAppDataWithQt("\xEF\xBB\xBF" + bytes)}) {
            QVERIFY(read);
            QCOMPARE(read->settings.mcpServers, data.settings.mcpServers);
        }
    }

    void fastReaderAgrees_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        const QByteArray id = R"("id":"0F8FAD5B-D9CB-469F-A165-70867728950E")";
        const QByteArray mid = R"("id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7")";
        const auto conv = [&](const QByteArray &fields) {
            return withConversations("{" + id + R"(,"createdAt":1)" + fields + "}");
        };
        const auto msg = [&](const QByteArray &fields) {
            return conv(R"(,"messages":[{)" + mid + fields + "}]");
        };
        // Over 8 MB, where the reader prepares the heap, asks for huge pages and reads the
        // conversations on two threads: each keeps its place, and a bad one anywhere counts.
        const QByteArray answer = "\"role\":\"user\",\"content\":\"" +
                                  QByteArray("长的回答，a long answer. ").repeated(1500) + '"';
        const auto large = [&](int bad) {
            QByteArray list;
            for (int i = 0; i < 240; ++i) {
                list += (i ? "," : "") +
                        ("{" + id + ",\"title\":" +
                         (i == bad ? QByteArray("1") : '"' + QByteArray::number(i) + '"') +
                         ",\"createdAt\":1,\"messages\":[{" + mid + "," + answer + "}]}");
            }
            return withConversations(list);
        };
        // clang-format off
        QTest::newRow("over 8 MB")            << large(-1) << true;
        QTest::newRow("over 8 MB, first bad") << large(0) << false;
        QTest::newRow("over 8 MB, last bad")  << large(239) << false;
        QTest::newRow("plain")                << msg(R"(,"role":"user","content":"你好")") << true;
        QTest::newRow("duplicate, last wins") << msg(R"(,"role":"user","content":1,"content":"x")") << true;
        QTest::newRow("duplicate, last bad")  << msg(R"(,"role":"user","content":"x","content":1)") << false;
        QTest::newRow("duplicate settings")   << R"({"settings":{"model":"a"},"conversations":[],"settings":{"model":"b"}})"_ba << true;
        QTest::newRow("escaped key")          << "{\"\\u0073ettings\":{},\"conversations\":[]}"_ba << true;
        QTest::newRow("raw UTF-8, 1 to 4 bytes") << msg(R"(,"role":"user","content":"aé你😀\u00e9 ß")") << true;
        QTest::newRow("surrogate pair")       << conv(R"(,"title":"\ud83d\ude00 \u4f60")") << true;
        QTest::newRow("lone surrogate")       << conv(R"(,"title":"a\ud800b")") << true;
        // Qt's reader drops a byte order mark that starts a string or a key; the file is its.
        QTest::newRow("mark starts a title")  << conv(",\"title\":\"\xEF\xBB\xBFt\"") << true;
        QTest::newRow("mark starts a key")    << conv(",\"\xEF\xBB\xBFtitle\":\"t\"") << true;
        QTest::newRow("mark inside a title")  << conv(",\"title\":\"a\xEF\xBB\xBF\"") << true;
        QTest::newRow("escaped mark")         << conv(R"(,"title":"\ufefft")") << true;
        QTest::newRow("NUL and controls")     << conv(R"(,"title":"\u0000\t\b\f\/")") << true;
        QTest::newRow("integer date")         << conv(R"(,"createdAt":773020800)") << true;
        QTest::newRow("exponent date")        << conv(R"(,"createdAt":7.730208001E+8)") << true;
        QTest::newRow("underflow date")       << conv(R"(,"createdAt":4.9e-524)") << false;
        QTest::newRow("just under subnormal") << conv(R"(,"createdAt":4.9e-325)") << false;
        QTest::newRow("underflow elsewhere")  << conv(R"(,"x":[{"y":4.9e-394}])") << false;
        QTest::newRow("underflow in a gateway") << R"({"settings":{"providers":[{"x":4.9e-394}]},"conversations":[]})"_ba << false;
        QTest::newRow("underflow as a gateway") << conv(R"(,"provider":4.9e-394)") << false;
        QTest::newRow("gateway, last wins")   << conv(R"(,"provider":1,"provider":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427")") << true;
        QTest::newRow("gateway entry, last wins") << R"({"settings":{"providers":[{"id":1,"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","noKey":true}]},"conversations":[]})"_ba << true;
        QTest::newRow("underflow, overridden") << conv(R"(,"createdAt":4.9e-394,"createdAt":2)") << false;
        QTest::newRow("negative zero")        << conv(R"(,"createdAt":-0.0)") << true;
        QTest::newRow("tiny date")            << conv(R"(,"createdAt":4.9e-324)") << true;
        QTest::newRow("uint64 date")          << conv(R"(,"createdAt":18446744073709551615)") << true;
        QTest::newRow("beyond 64 bits")       << conv(R"(,"createdAt":123456789012345678901234567890)") << true;
        QTest::newRow("unknown nested keys")  << conv(R"(,"x":{"y":[[[{"z":null}]]]},"model":"m")") << true;
        QTest::newRow("spaces everywhere")    << " \n{ \"settings\" : { } ,\t\"conversations\" : [ ] }\r\n "_ba << true;
        QTest::newRow("model null")           << conv(R"(,"model":null)") << true;
        QTest::newRow("reasoning number")     << msg(R"(,"role":"assistant","content":"","reasoning":2)") << true;
        QTest::newRow("role duplicate")       << msg(R"(,"role":"robot","role":"system","content":"")") << true;
        QTest::newRow("underflow in a server") << R"({"settings":{"mcpServers":{"a":{"x":4.9e-394}}},"conversations":[]})"_ba << false;
        QTest::newRow("lone surrogate in a server") << R"({"settings":{"mcpServers":{"a\ud800":{"env":{"K":"\udc00"}}}},"conversations":[]})"_ba << true;
        QTest::newRow("bad UTF-8 in a key")   << "{\"settings\":{\"a\xc3\":1},\"conversations\":[]}"_ba << false;
        // clang-format on
    }

    void fastReaderAgrees()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        const auto fast = decodeAppData(json);
        const auto qt = decodeAppDataWithQt(json);
        QCOMPARE(bool(fast), valid);
        QCOMPARE(bool(qt), valid);
        if (valid)
            QCOMPARE(encodeAppData(*fast), encodeAppData(*qt));

        // Read in place, from a file, with bytes that look like JSON in the room after it.
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(json) == json.size() && file.seek(0));
        QByteArray padded(json.size() + storageReadPadding, '{');
        padded = readPadded(file);
        QCOMPARE(padded, json);
        QVERIFY(json.isEmpty() || padded.data_ptr().freeSpaceAtEnd() >= storageReadPadding);
        std::fill(padded.end(), padded.data() + padded.capacity(), '"');
        const auto inPlace = decodeAppData(padded);
        QCOMPARE(bool(inPlace), valid);
        if (valid)
            QCOMPARE(encodeAppData(*inPlace), encodeAppData(*qt));

        // The same file mapped into memory, as the program reads its history.
        QFile again(file.fileName());
        QVERIFY(again.open(QIODevice::ReadOnly));
        const FileContents contents(again);
        QVERIFY(contents.isValid());
        QCOMPARE(contents.isMapped(), !json.isEmpty());
        QCOMPARE(contents.bytes(), json);
        const auto mapped = decodeAppData(contents);
        QCOMPARE(bool(mapped), valid);
        if (valid)
            QCOMPARE(encodeAppData(*mapped), encodeAppData(*qt));
    }

    // A mapped file that ends at or just before the end of a page: the reader looks past the
    // last byte, which must find zeros there rather than a page that is not there.
    void mappedFileAtPageEnd_data()
    {
        QTest::addColumn<int>("size");
        const int page = int(sysconf(_SC_PAGESIZE));
        for (const int size : {page - int(storageReadPadding) - 1, page - int(storageReadPadding),
                               page - 1, page, 2 * page - 7, 2 * page, 64 * page})
            QTest::addRow("%d bytes", size) << size;
    }

    void mappedFileAtPageEnd()
    {
        QFETCH(int, size);
        // Leading spaces bring the document to the size; its last byte is the closing brace,
        // right before the end of the file, with a string just before it.
        const QByteArray doc = R"({"settings":{"model":"m"},"conversations":[]})"_ba;
        const QByteArray json = QByteArray(size - doc.size(), ' ') + doc;
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(json) == size && file.flush());
        QFile in(file.fileName());
        QVERIFY(in.open(QIODevice::ReadOnly));
        const FileContents contents(in);
        QVERIFY(contents.isMapped());
        QCOMPARE(contents.bytes().size(), size);
        const auto data = decodeAppData(contents);
        QVERIFY(data);
        QCOMPARE(data->settings.model, u"m"_s);
        // Zeros follow the contents, however the file ends.
        const char *end = contents.bytes().data() + size;
        QVERIFY(std::all_of(end, end + storageReadPadding, [](char c) { return c == 0; }));
    }

    // What cannot be mapped is read: an empty file and a device that is not a regular file.
    void unmappableFilesAreRead()
    {
        QTemporaryFile empty;
        QVERIFY(empty.open());
        const FileContents none(empty);
        QVERIFY(none.isValid() && !none.isMapped() && none.bytes().isEmpty());
        QVERIFY(!decodeAppData(none));

        QFile device(u"/dev/null"_s);
        if (!device.open(QIODevice::ReadOnly))
            QSKIP("no /dev/null");
        const FileContents nothing(device);
        QVERIFY(nothing.isValid() && !nothing.isMapped());
        QVERIFY(!decodeAppData(nothing));
    }

    // Missing and null keys of a conversation take their defaults; the time is that of reading.
    // The optional reasoning key: written after the content only when there is some; any value
    // but a string reads as none and never fails the file.
    void reasoning_data()
    {
        QTest::addColumn<QByteArray>("member"); // appended to the message object
        QTest::addColumn<QString>("reasoning");
        QTest::newRow("text") << ",\"reasoning\":\"先想 \\\"一下\\\"\\n\""_ba
                              << u"先想 \"一下\"\n"_s;
        QTest::newRow("before the content") << R"(,"reasoning":"r","x":1)"_ba << u"r"_s;
        QTest::newRow("absent") << ""_ba << QString();
        QTest::newRow("empty") << R"(,"reasoning":"")"_ba << QString();
        QTest::newRow("null") << R"(,"reasoning":null)"_ba << QString();
        QTest::newRow("number") << R"(,"reasoning":5)"_ba << QString();
        QTest::newRow("object") << R"(,"reasoning":{"text":"r"})"_ba << QString();
    }

    void reasoning()
    {
        QFETCH(QByteArray, member);
        QFETCH(QString, reasoning);
        const QByteArray message =
            R"({"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","role":"assistant","content":"答")";
        const auto decoded = decodeAppData(
            withConversations(R"({"messages":[)" + message + member + R"(}],"createdAt":1})"));
        QVERIFY(decoded);
        const Message &m = decoded->conversations.at(0).messages.at(0);
        QCOMPARE(m.content, u"答"_s);
        QCOMPARE(m.reasoning, reasoning);
        const QByteArray written = encodeAppData(*decoded);
        const QByteArray key = reasoning.isEmpty() ? "}" : R"(,"reasoning":)";
        QVERIFY(written.contains(message + key));
        QCOMPARE(decodeAppData(written)->conversations, decoded->conversations);
    }

    // A reply's failure and usage: written after the content and the reasoning, in one order,
    // each only when it holds something; any value that is not what the key holds reads as
    // none and never fails the file; both readers read them alike.
    void extras_data()
    {
        QTest::addColumn<QByteArray>("member");  // appended to the message object
        QTest::addColumn<QByteArray>("written"); // what follows the content when written

        // clang-format off
        QTest::newRow("none") << ""_ba << ""_ba;
        QTest::newRow("error and kind")
            << R"(,"error":"请求失败（HTTP 401）","errorKind":"http:401")"_ba
            << R"(,"error":"请求失败（HTTP 401）","errorKind":"http:401")"_ba;
        QTest::newRow("every key, out of order")
            << R"(,"usage":{"completion_tokens":5,"prompt_tokens":3},"errorKind":"noKey","reasoning":"r","error":"e")"_ba
            << R"(,"reasoning":"r","error":"e","errorKind":"noKey","usage":{"prompt_tokens":3,"completion_tokens":5})"_ba;
        QTest::newRow("error without kind") << R"(,"error":"e","errorKind":7)"_ba << R"(,"error":"e")"_ba;
        QTest::newRow("kind without error") << R"(,"errorKind":"noKey")"_ba << ""_ba;
        QTest::newRow("error empty") << R"(,"error":"","errorKind":"noKey")"_ba << ""_ba;
        QTest::newRow("error null") << R"(,"error":null)"_ba << ""_ba;
        QTest::newRow("error object") << R"(,"error":{"message":"e"})"_ba << ""_ba;
        QTest::newRow("counts as numbers may be written")
            << R"(,"usage":{"prompt_tokens":1.0,"completion_tokens":-1,"reasoning_tokens":7e0,"x":1})"_ba
            << R"(,"usage":{"prompt_tokens":1,"reasoning_tokens":7})"_ba;
        QTest::newRow("counts that are not counts")
            << R"(,"usage":{"prompt_tokens":1.5,"completion_tokens":"5","reasoning_tokens":1e300})"_ba << ""_ba;
        QTest::newRow("counts beyond a double's whole numbers")
            << R"(,"usage":{"prompt_tokens":18446744073709551615,"completion_tokens":9007199254740993})"_ba << ""_ba;
        QTest::newRow("usage not an object") << R"(,"usage":[1,2])"_ba << ""_ba;
        QTest::newRow("usage empty") << R"(,"usage":{})"_ba << ""_ba;
        // clang-format on
    }

    void extras()
    {
        QFETCH(QByteArray, member);
        QFETCH(QByteArray, written);
        const QByteArray message =
            R"({"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","role":"assistant","content":"答")";
        const QByteArray file =
            withConversations(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","messages":[)" +
                              message + member + R"(}],"createdAt":1})");
        const auto decoded = decodeAppData(file);
        const auto byQt = decodeAppDataWithQt(file);
        QVERIFY(decoded && byQt);
        QCOMPARE(decoded->conversations, byQt->conversations);
        const QByteArray encoded = encodeAppData(*decoded);
        QVERIFY2(encoded.contains(message + written + "}]"), encoded.constData());
        QCOMPARE(decodeAppData(encoded)->conversations, decoded->conversations);
        // A message cleared of its extras is an ordinary one again.
        Message m = decoded->conversations.at(0).messages.at(0);
        m.setError({}, {});
        m.setUsage({});
        QVERIFY(!m.extras);
    }

    // A message's files: written last, only when there are some; a malformed entry is skipped and
    // said (the file is then kept aside before it is written over), never a reason to refuse it.
    void attachments_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<bool>("skipped");

        const QByteArray hash(64, 'a');
        const auto file = [](const QByteArray &fields) { return "{" + fields + "}"; };
        const QByteArray png = file("\"name\":\"截图.png\",\"type\":\"image/png\",\"sha256\":\"" +
                                    hash + "\",\"size\":1024");
        const QByteArray text = file("\"name\":\"a.txt\",\"type\":\"text/plain\",\"sha256\":\"" +
                                     hash + "\",\"size\":3");
        const QByteArray shuffled = file("\"size\":3,\"sha256\":\"" + hash +
                                         "\",\"type\":\"text/plain\",\"name\":\"a.txt\",\"x\":1");
        const QByteArray negative =
            file("\"name\":\"b\",\"type\":\"t\",\"sha256\":\"" + hash + "\",\"size\":-1");
        const QByteArray list = ",\"attachments\":[";
        // clang-format off
        QTest::newRow("one") << list + png + "]" << list + png + "]" << false;
        QTest::newRow("after the extras, keys in order")
            << list + shuffled + "],\"usage\":{\"prompt_tokens\":1}"
            << ",\"usage\":{\"prompt_tokens\":1}" + list + text + "]" << false;
        QTest::newRow("empty list") << list + "]" << QByteArray() << false;
        QTest::newRow("null") << ",\"attachments\":null"_ba << QByteArray() << false;
        QTest::newRow("not a list") << ",\"attachments\":{}"_ba << QByteArray() << true;
        QTest::newRow("upper-case hash") << list + QByteArray(png).replace(hash, hash.toUpper()) + "]" << QByteArray() << true;
        QTest::newRow("bad entries skipped, good kept")
            << list + "7,{\"name\":\"x\"}," + png + "," + negative + "]" << list + png + "]" << true;
        // clang-format on
    }

    void attachments()
    {
        QFETCH(QByteArray, member);
        QFETCH(QByteArray, written);
        QFETCH(bool, skipped);
        checkMessageMember(member, written, skipped);
    }

    // A reply's tool calls: written after every other key, only when there are some, each
    // call with all its keys; a malformed entry is skipped and said, like a malformed file.
    void toolCalls_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<bool>("skipped");

        const QByteArray call = "{\"id\":\"c1\",\"name\":\"fs__read\",\"arguments\":\"{\\\"p\\\":"
                                "\\\"a/b\\\"}\",\"result\":\"内容\",\"isError\":false}";
        const QByteArray list = ",\"toolCalls\":[";
        const QByteArray files = ",\"attachments\":[{\"name\":\"a\",\"type\":\"t\",\"sha256\":\"" +
                                 QByteArray(64, 'a') + "\",\"size\":1}]";
        // clang-format off
        QTest::newRow("one") << list + call + "]" << list + call + "]" << false;
        QTest::newRow("after the files, keys in order, missing texts empty")
            << list + "{\"isError\":true,\"name\":\"x\",\"id\":\"c2\",\"extra_content\":{}}]" + files
            << files + list + "{\"id\":\"c2\",\"name\":\"x\",\"arguments\":\"\",\"result\":\"\",\"isError\":true}]" << false;
        QTest::newRow("empty list") << list + "]" << QByteArray() << false;
        QTest::newRow("null") << ",\"toolCalls\":null"_ba << QByteArray() << false;
        QTest::newRow("not a list") << ",\"toolCalls\":\"x\""_ba << QByteArray() << true;
        QTest::newRow("bad entries skipped, good kept")
            << list + "7,{\"id\":\"c\"},{\"id\":1,\"name\":\"n\"},{\"id\":\"c\",\"name\":\"n\",\"result\":2},{\"id\":\"c\",\"name\":\"n\",\"isError\":\"yes\"}," + call + "]"
            << list + call + "]" << true;
        // clang-format on
    }

    void toolCalls()
    {
        QFETCH(QByteArray, member);
        QFETCH(QByteArray, written);
        QFETCH(bool, skipped);
        checkMessageMember(member, written, skipped);
    }

    // A conversation's tools are on unless it says otherwise: "tools":false is written last,
    // only when they are off; any other value reads as on.
    void toolsSwitch_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<bool>("tools");
        QTest::addColumn<bool>("skipped");

        // clang-format off
        QTest::newRow("absent") << ""_ba << true << false;
        QTest::newRow("off") << ",\"tools\":false"_ba << false << false;
        QTest::newRow("on") << ",\"tools\":true"_ba << true << false;
        QTest::newRow("null") << ",\"tools\":null"_ba << true << false;
        QTest::newRow("a number") << ",\"tools\":0"_ba << true << true;
        // clang-format on
    }

    void toolsSwitch()
    {
        QFETCH(QByteArray, member);
        QFETCH(bool, tools);
        QFETCH(bool, skipped);
        // A plain string: moc loses the class after a raw string that ends in a quote.
        const QByteArray head = "{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\",\"title\":\"t\","
                                "\"messages\":[],\"createdAt\":1,\"model\":\"m\","
                                "\"provider\":\"16FD2706-8BAF-433B-82EB-8C7FADA847DA\"";
        const QByteArray file = withConversations(head + member + "}");
        const auto decoded = decodeAppData(file);
        const auto byQt = decodeAppDataWithQt(file);
        QVERIFY(decoded && byQt);
        QCOMPARE(decoded->conversations, byQt->conversations);
        QCOMPARE(decoded->skippedEntries, skipped);
        QCOMPARE(byQt->skippedEntries, skipped);
        QCOMPARE(decoded->conversations.at(0).tools, tools);
        const QByteArray encoded = encodeAppData(*decoded);
        QVERIFY2(encoded.contains(head + (tools ? ""_ba : ",\"tools\":false"_ba) + "}]"),
                 encoded.constData());
    }

private:
    // One message read with member added, by both readers alike, then written with written
    // after its content.
    void checkMessageMember(const QByteArray &member, const QByteArray &written, bool skipped)
    {
        const QByteArray message =
            R"({"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","role":"user","content":"看图")";
        const QByteArray file =
            withConversations(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","messages":[)" +
                              message + member + R"(}],"createdAt":1})");
        const auto decoded = decodeAppData(file);
        const auto byQt = decodeAppDataWithQt(file);
        QVERIFY(decoded && byQt);
        QCOMPARE(decoded->conversations, byQt->conversations);
        QCOMPARE(decoded->skippedEntries, skipped);
        QCOMPARE(byQt->skippedEntries, skipped);
        const QByteArray encoded = encodeAppData(*decoded);
        // Every '/' is written escaped.
        QVERIFY2(encoded.contains(message + QByteArray(written).replace("/", "\\/") + "}]"),
                 encoded.constData());
        QCOMPARE(decodeAppData(encoded)->conversations, decoded->conversations);
    }

private slots:
    // The strings of a conversation are read into shared room; changing one, in any way a
    // string can change, leaves the others as they were, also once it is the last one left.
    void textsStayApart_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("target"); // into texts(), below: title, model, then each
                                         // message's content and reasoning
        QTest::addColumn<bool>("alone");
        const QStringList changes = {u"append"_s,  u"prepend"_s, u"insert"_s, u"remove"_s,
                                     u"chop"_s,    u"replace"_s, u"write"_s,  u"grow"_s,
                                     u"squeeze"_s, u"clear"_s};
        for (const QString &change : changes) {
            // A Chinese and an ASCII text that share room, and one too long to share.
            for (const int target : {2, 4, 12}) {
                for (const bool alone : {false, true}) {
                    QTest::addRow("%s %d%s", qPrintable(change), target, alone ? " alone" : "")
                        << change << target << alone;
                }
            }
        }
    }

    void textsStayApart()
    {
        QFETCH(QString, change);
        QFETCH(int, target);
        QFETCH(bool, alone);

        Conversation c = Conversation::make();
        c.title = u"标题"_s;
        for (const QString &text : {u"你好，世界"_s, u"plain ascii text"_s, u"emoji 😀 here"_s,
                                    u""_s, u"第二条 message"_s, QString(40000, u'长')}) {
            c.messages.append(Message::make(Message::Role::User, text));
        }
        c.messages[2].reasoning = u"先想一下"_s;
        c.model = u"gpt-4o"_s;
        auto decoded = decodeAppData(encodeAppData({}, {c}));
        QVERIFY(decoded);
        const auto texts = [](Conversation &in) {
            QList<QString *> all{&in.title, &*in.model};
            for (Message &m : in.messages)
                all << &m.content << &m.reasoning;
            return all;
        };
        const auto deep = [](const QString &s) { return QString(s.constData(), s.size()); };
        const auto apply = [&change](QString &s) {
            if (change == u"append")
                s.append(u"+尾"_s);
            else if (change == u"prepend")
                s.prepend(u"头+"_s);
            else if (change == u"insert")
                s.insert(2, u"中"_s);
            else if (change == u"remove")
                s.remove(0, 2);
            else if (change == u"chop")
                s.chop(1);
            else if (change == u"replace")
                s.replace(u'a', u'@');
            else if (change == u"write")
                s.data()[1] = u'X';
            else if (change == u"grow")
                s.resize(s.size() + 300, u'!');
            else if (change == u"squeeze")
                s.squeeze();
            else if (change == u"clear")
                s.clear();
        };

        QList<QString *> mine = texts(decoded->conversations[0]);
        QList<QString *> written = texts(c);
        QCOMPARE(mine.size(), written.size());
        for (qsizetype i = 0; i < mine.size(); ++i) {
            QCOMPARE(*mine[i], *written[i]);
            QCOMPARE(mine[i]->utf16()[mine[i]->size()], u'\0');
        }

        QString expected = deep(*mine[target]);
        apply(expected);
        QString kept;
        QString *changed = mine[target];
        if (alone) {
            kept = *changed;
            decoded.reset();
            changed = &kept;
        }
        apply(*changed);
        // Something else allocated where freed text was must not show through.
        const QList<QString> filler(64, QString(64, u'x'));
        QCOMPARE(*changed, expected);
        QCOMPARE(changed->utf16()[changed->size()], u'\0');
        if (!alone) {
            for (qsizetype i = 0; i < mine.size(); ++i) {
                if (i != target)
                    QCOMPARE(*mine[i], *written[i]);
            }
        }
        QCOMPARE(filler.constFirst(), QString(64, u'x'));
    }

    void lenientConversation_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<double>("createdAt"); // NaN: the time of reading
        QTest::addColumn<std::optional<QString>>("model");

        const double now = std::numeric_limits<double>::quiet_NaN();
        const std::optional<QString> none;
        // clang-format off
        QTest::newRow("empty object") << "{}"_ba << now << none;
        QTest::newRow("all null") << R"({"id":null,"title":null,"messages":null,"createdAt":null,"model":null})"_ba << now << none;
        QTest::newRow("empty model kept") << R"({"model":"","createdAt":1})"_ba << 1.0 << std::optional(u""_s);
        // clang-format on
    }

    void lenientConversation()
    {
        QFETCH(QByteArray, json);
        QFETCH(double, createdAt);
        QFETCH(std::optional<QString>, model);

        const double before = currentTimeStamp();
        const auto decoded = decodeAppData(withConversations(json));
        const double after = currentTimeStamp();
        QVERIFY(decoded);
        QCOMPARE(decoded->conversations.size(), 1);
        const Conversation &c = decoded->conversations.constFirst();
        QCOMPARE(c.id.version(), QUuid::Random); // made up afresh at each reading
        QVERIFY(c.id != decodeAppData(withConversations(json))->conversations.at(0).id);
        QCOMPARE(c.title, u"新对话"_s);
        QVERIFY(c.messages.isEmpty());
        if (std::isnan(createdAt))
            QVERIFY(c.createdAt >= before && c.createdAt <= after);
        else
            QCOMPARE(c.createdAt, createdAt);
        QCOMPARE(c.model, model);
    }
};

QTEST_APPLESS_MAIN(TestStorageCodec)
#include "tst_storagecodec.moc"
