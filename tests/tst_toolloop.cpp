// SPDX-License-Identifier: GPL-3.0-or-later
// A reply that calls tools, through the chat controller, a loopback gateway and a fake host.
#include "chat/chatcontroller.h"
#include "chat/replystream.h"
#include "faketoolhost.h"
#include "store/conversationlistmodel.h"
#include "store/store.h"
#include "testgateway.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray event(const QJsonObject &delta, const QString &finish = {})
{
    QJsonObject choice{{"index", 0}, {"delta", delta}};
    if (!finish.isEmpty())
        choice.insert("finish_reason", finish);
    const QJsonObject o{{"choices", QJsonArray{choice}}};
    return "data: " + QJsonDocument(o).toJson(QJsonDocument::Compact) + "\n\n";
}

struct Called
{
    QString id;
    QString function;
    QString arguments;
};

// A reply that calls these functions, each call's arguments split across two deltas, and
// ends as "stop" as some gateways do.
TestGateway::Reply callsReply(const QList<Called> &calls)
{
    QList<QByteArray> pieces;
    for (int i = 0; i < calls.size(); ++i) {
        const Called &c = calls.at(i);
        const qsizetype half = c.arguments.size() / 2;
        pieces << event({{"tool_calls",
                          QJsonArray{QJsonObject{{"index", i},
                                                 {"id", c.id},
                                                 {"type", "function"},
                                                 {"function", QJsonObject{{"name", c.function},
                                                                          {"arguments", ""}}}}}}});
        for (const QString &part : {c.arguments.left(half), c.arguments.mid(half)})
            pieces << event({{"tool_calls",
                              QJsonArray{QJsonObject{
                                  {"index", i}, {"function", QJsonObject{{"arguments", part}}}}}}});
    }
    pieces << event({}, "stop") << "data: [DONE]\n\n";
    return TestGateway::eventStream(pieces);
}

TestGateway::Reply textReply(const QString &text)
{
    return TestGateway::eventStream({TestGateway::deltaEvent(text), "data: [DONE]\n\n"});
}

const QList<Called> twoReads{{"c1", "files__read", "{\"p\":1}"},
                             {"c2", "files__read", "{\"p\":2}"}};

} // namespace

class TestToolLoop : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestGateway> m_gateway;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<FakeToolHost> m_host;
    QUuid m_conv;

    const Conversation &conversation() const { return *m_store->conversation(m_conv); }

    QJsonObject request(qsizetype i) const
    {
        return QJsonDocument::fromJson(m_gateway->requests().at(i).body).object();
    }

    std::unique_ptr<ChatController> pane(bool withHost = true)
    {
        auto c = std::make_unique<ChatController>(m_store.get(), m_conv);
        if (withHost)
            c->setToolHost(m_host.get());
        return c;
    }

    static void send(ChatController &c, const QString &text)
    {
        c.setInput(text);
        c.send();
    }

    static bool waitIdle(ChatController &c)
    {
        return QTest::qWaitFor([&] { return !c.sending(); }, 10000);
    }

    // The call waiting for an answer, once one does.
    QString askedCall() const
    {
        if (!QTest::qWaitFor([&] { return m_store->replies()->awaitsUser(m_conv); }, 5000))
            return {};
        const auto *reply = qobject_cast<ReplyStream *>(m_store->replies()->reply(m_conv));
        return reply->approvalAsked()->id;
    }

    QStringList resultsOf(qsizetype message) const
    {
        QStringList list;
        for (const ToolCall &t : conversation().messages.at(message).toolCalls())
            list << (t.isError ? QStringLiteral("!") : QString()) + t.result;
        return list;
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
        m_host = std::make_unique<FakeToolHost>();
        m_host->tools = {{"files__read", "files", "read", "Reads a file.", {}},
                         {"web__get", "web", "get", "Fetches a page.", {}}};
    }

    void cleanup()
    {
        m_store.reset();
        m_host.reset();
        m_gateway.reset();
        m_dir.reset();
    }

    // Each call is approved as its server says; a refusal is the model's result, and the loop
    // goes on with the results in a new request and a new assistant message.
    void approvals_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QStringList>("answers"); // to each card, in order
        QTest::addColumn<QStringList>("results"); // "!": an error result

        const QString one = "read:{\"p\":1}";
        const QString two = "read:{\"p\":2}";
        const QString refused = u'!' + ReplyStream::refusedResult();
        using L = QStringList;
        const int ask = int(ToolApproval::Ask);
        // clang-format off
        QTest::newRow("never asks") << int(ToolApproval::Never) << L{} << L{one, two};
        QTest::newRow("ask: allow each") << ask << L{"allow", "allow"} << L{one, two};
        QTest::newRow("ask: deny, then allow") << ask << L{"deny", "allow"} << L{refused, two};
        QTest::newRow("ask: allow the conversation") << ask << L{"conversation"} << L{one, two};
        QTest::newRow("once per tool") << int(ToolApproval::AskOncePerTool) << L{"allow"} << L{one, two};
        QTest::newRow("once per tool, refused") << int(ToolApproval::AskOncePerTool) << L{"deny", "deny"} << L{refused, refused};
        // clang-format on
    }

    void approvals()
    {
        QFETCH(int, policy);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, results);
        m_host->policies.insert(QStringLiteral("files"), ToolApproval(policy));
        m_gateway->enqueue(callsReply(twoReads));
        m_gateway->enqueue(textReply(QStringLiteral("完成")));
        ConversationListModel sidebar;
        sidebar.setStore(m_store.get());
        auto c = pane();
        send(*c, QStringLiteral("读两个文件"));
        for (const QString &answer : std::as_const(answers)) {
            const QString id = askedCall();
            QVERIFY(!id.isEmpty());
            // The sidebar marks a conversation that waits for the user.
            QVERIFY(sidebar.data(sidebar.index(0), ConversationListModel::AwaitsUserRole).toBool());
            if (answer == u"allow")
                c->allowCall(id);
            else if (answer == u"deny")
                c->denyCall(id);
            else
                c->allowConversation(id);
        }
        QVERIFY(waitIdle(*c));
        QVERIFY(!sidebar.data(sidebar.index(0), ConversationListModel::AwaitsUserRole).toBool());
        QVERIFY(!c->showError());

        QCOMPARE(conversation().messages.size(), 3);
        QCOMPARE(resultsOf(1), results);
        QCOMPARE(conversation().messages.at(2).content, QStringLiteral("完成"));
        QCOMPARE(m_gateway->requests().size(), 2);
        const QJsonArray sent = request(1)[u"messages"].toArray();
        QCOMPARE(sent.size(), 4);
        QCOMPARE(sent[1][u"tool_calls"].toArray().size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(sent[2 + i][u"role"].toString(), QStringLiteral("tool"));
            QCOMPARE(sent[2 + i][u"tool_call_id"].toString(), twoReads.at(i).id);
            QString result = results.at(i);
            if (result.startsWith(u'!'))
                result.remove(0, 1);
            QCOMPARE(sent[2 + i][u"content"].toString(), result);
        }
    }

    // Two calls of one reply run side by side; their results keep the calls' order, whichever
    // ends first.
    void callsRunInParallel()
    {
        m_host->autoAnswer = false;
        m_gateway->enqueue(callsReply({{"a", "files__read", "{}"}, {"b", "web__get", ""}}));
        m_gateway->enqueue(textReply(QStringLiteral("好")));
        auto c = pane();
        send(*c, QStringLiteral("查"));
        QTRY_COMPARE(m_host->running.size(), 2);
        m_host->answer(m_host->running.at(1).handle);
        QCOMPARE(m_gateway->requests().size(), 1); // the other call still runs
        m_host->answer(m_host->running.at(0).handle);
        QVERIFY(waitIdle(*c));
        QCOMPARE(m_host->mostAtOnce, 2);
        // Arguments left out go as an empty object.
        QCOMPARE(resultsOf(1), (QStringList{"read:{}", "get:{}"}));
        QCOMPARE(m_gateway->requests().size(), 2);
    }

    // A stop answers every open call, cancels those that run, and keeps the round: the next
    // question's request answers every call id.
    void stop_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("cancelled");
        QTest::newRow("while the calls run") << int(ToolApproval::Never) << 2;
        QTest::newRow("while a card waits") << int(ToolApproval::Ask) << 0;
    }

    void stop()
    {
        QFETCH(int, policy);
        QFETCH(int, cancelled);
        m_host->policies.insert(QStringLiteral("files"), ToolApproval(policy));
        m_host->autoAnswer = false;
        m_gateway->enqueue(callsReply(twoReads));
        auto c = pane();
        send(*c, QStringLiteral("读"));
        if (cancelled > 0)
            QTRY_COMPARE(m_host->running.size(), cancelled);
        else
            QVERIFY(!askedCall().isEmpty());
        c->stop();
        QVERIFY(waitIdle(*c));
        QVERIFY(!c->showError());
        QVERIFY(!m_store->replies()->awaitsUser(m_conv));
        QCOMPARE(m_host->cancelled.size(), cancelled);
        QCOMPARE(m_host->running.size(), 0);
        const QString stopped = u'!' + ReplyStream::stoppedResult();
        QCOMPARE(resultsOf(1), (QStringList{stopped, stopped}));
        QCOMPARE(m_gateway->requests().size(), 1);

        m_gateway->enqueue(textReply(QStringLiteral("好")));
        send(*c, QStringLiteral("算了"));
        QVERIFY(waitIdle(*c));
        const QJsonArray sent = request(1)[u"messages"].toArray();
        QStringList roles;
        for (const QJsonValue &m : sent)
            roles << m[u"role"].toString();
        QCOMPARE(roles, (QStringList{"user", "assistant", "tool", "tool", "user"}));
        QCOMPARE(sent[2][u"content"].toString(), ReplyStream::stoppedResult());
    }

    // A model that never stops calling is stopped after so many rounds, with a failure shown.
    void roundLimit()
    {
        m_gateway->setDefaultReply(callsReply({{"x", "web__get", "{\"u\":\"a\"}"}}));
        auto c = pane();
        send(*c, QStringLiteral("一直查"));
        QVERIFY(waitIdle(*c));
        QCOMPARE(m_gateway->requests().size(), ReplyStream::maxToolRounds);
        QCOMPARE(m_host->started, ReplyStream::maxToolRounds);
        QCOMPARE(conversation().messages.size(), 1 + ReplyStream::maxToolRounds);
        QCOMPARE(conversation().messages.last().errorKind(), QStringLiteral("toolRounds"));
        QVERIFY(c->showError());
        QVERIFY(c->errorMessage().contains(u"16"));
    }

    // Tools are offered when the host has some and the conversation's switch is on; a server
    // that is not ready is named; a model may answer without calling.
    void offered_data()
    {
        QTest::addColumn<bool>("withHost");
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<QStringList>("notReady");
        QTest::addColumn<bool>("offered");
        QTest::newRow("on") << true << true << QStringList() << true;
        QTest::newRow("switched off") << true << false << QStringList() << false;
        QTest::newRow("no host") << false << true << QStringList() << false;
        QTest::newRow("a server not ready") << true << true << QStringList{"慢服务器"} << true;
    }

    void offered()
    {
        QFETCH(bool, withHost);
        QFETCH(bool, switchOn);
        QFETCH(QStringList, notReady);
        QFETCH(bool, offered);
        m_host->notReady = notReady;
        m_gateway->enqueue(textReply(QStringLiteral("直接回答")));
        auto c = pane(withHost);
        QCOMPARE(c->toolsAvailable(), withHost);
        QVERIFY(c->toolsEnabled());
        c->setToolsEnabled(switchOn);
        QCOMPARE(conversation().tools, switchOn);
        send(*c, QStringLiteral("你好"));
        QVERIFY(waitIdle(*c));
        QCOMPARE(request(0).contains(u"tools"), offered);
        if (offered)
            QCOMPARE(request(0)[u"tools"].toArray().size(), 2);
        QCOMPARE(conversation().messages.size(), 2);
        QVERIFY(conversation().messages.last().toolCalls().isEmpty());
        QCOMPARE(conversation().messages.last().content, QStringLiteral("直接回答"));
        QCOMPARE(c->toolNotice().contains(u"慢服务器"), !notReady.isEmpty());
    }

    // Regenerating drops every round after the question, calls and all.
    void regenerateAfterRounds()
    {
        Message round = Message::make(Message::Role::Assistant, QString());
        round.setToolCalls({{"c1", "files__read", "{}", "内容", false, {}}});
        for (const Message &m : {Message::make(Message::Role::User, QStringLiteral("问")), round,
                                 Message::make(Message::Role::Assistant, QStringLiteral("答"))})
            m_store->appendMessage(m_conv, m);
        m_gateway->enqueue(textReply(QStringLiteral("新答")));
        auto c = pane();
        c->regenerate();
        QVERIFY(waitIdle(*c));
        QCOMPARE(request(0)[u"messages"].toArray().size(), 1);
        QCOMPARE(conversation().messages.size(), 2);
        QCOMPARE(conversation().messages.last().content, QStringLiteral("新答"));
    }
};

QTEST_GUILESS_MAIN(TestToolLoop)
#include "tst_toolloop.moc"
