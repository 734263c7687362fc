// SPDX-License-Identifier: GPL-3.0-or-later
// The chat controller against a loopback gateway and a real Store in a temporary folder.
#include "attach/attachmentstore.h"
#include "chat/chatcontroller.h"
#include "chat/messagelistmodel.h"
#include "model/storagecodec.h"
#include "store/store.h"
#include "storetestutil.h"
#include "testgateway.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using Role = Message::Role;

namespace {

Message msg(Role role, const QString &content)
{
    return Message::make(role, content);
}

QString rolesOf(const QList<Message> &list)
{
    QString s;
    for (const Message &m : list)
        s += m.role == Role::User ? u'u' : m.role == Role::Assistant ? u'a' : u's';
    return s;
}

} // namespace

class TestChatController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestGateway> m_gateway;
    std::unique_ptr<Store> m_store;
    QUuid m_conv;

    // A conversation holding the given messages, selected, with settings aimed at the gateway.
    void setUpConversation(const QList<Message> &messages = {}, const QString &title = {})
    {
        AppSettings s;
        s.baseURL = m_gateway->url(QStringLiteral("/v1/"));
        s.apiKey = QStringLiteral("sk-test");
        s.model = QStringLiteral("gpt-4o-mini");
        m_store->setSettings(s);
        m_store->newConversation();
        m_conv = *m_store->selectedID();
        for (const Message &m : messages)
            m_store->appendMessage(m_conv, m);
        if (!title.isNull())
            m_store->setTitle(m_conv, title);
        m_store->flush();
    }

    const Conversation &conversation() const { return *m_store->conversation(m_conv); }

    void setKey(const QString &key)
    {
        AppSettings s = m_store->settings();
        s.apiKey = key;
        m_store->setSettings(s);
    }

    // The messages of the last request.
    QJsonArray sentMessages() const
    {
        return QJsonDocument::fromJson(m_gateway->requests().last().body)[u"messages"].toArray();
    }

    AppData fileContents() const
    {
        m_store->flush();
        return decodeAppData(StoreTest::readAll(m_store->fileURL())).value_or(AppData{});
    }

    // An event stream of these deltas, then [DONE].
    static TestGateway::Reply reply(const QStringList &deltas, int delayMs = 0)
    {
        QList<QByteArray> pieces;
        for (const QString &d : deltas)
            pieces << TestGateway::deltaEvent(d);
        return TestGateway::eventStream(pieces << "data: [DONE]\n\n", delayMs);
    }

    static void sendText(ChatController &c, const QString &text)
    {
        c.setInput(text);
        c.send();
    }

    static QStringList modelNames(const ChatController &c)
    {
        QStringList names;
        for (const ModelPickerModel::Entry &e : c.modelOptions()->shown())
            names << e.model;
        return names;
    }

    static bool waitIdle(ChatController &c)
    {
        return QTest::qWaitFor([&] { return !c.sending(); }, 10000);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_gateway = std::make_unique<TestGateway>();
        QVERIFY(m_gateway->listen());
        m_store = std::make_unique<Store>(m_dir->path());
    }

    void cleanup()
    {
        m_store.reset();
        m_gateway.reset();
        m_dir.reset();
    }

    void sendStreamsReplyAndSavesOnce()
    {
        setUpConversation(
            {msg(Role::User, QStringLiteral(" 早先 ")),
             msg(Role::Assistant, QStringLiteral("⚠️ 请求失败（HTTP 500）"))},
            Conversation::defaultTitle());
        m_gateway->enqueue(reply({"你好", "，世界", "！"}, 20));
        ChatController c(m_store.get(), m_conv);
        QAbstractItemModelTester tester(c.messageModel());
        QSignalSpy saves(m_store.get(), &Store::saved);

        const QString text =
            QStringLiteral("请用一句话解释量子纠缠是什么，以及它为什么让爱因斯坦困扰");
        c.setInput(QStringLiteral(" \n ") + text + QStringLiteral("\u3000\n"));
        QVERIFY(c.canSend());
        c.send();
        QCOMPARE(c.input(), QString());
        QVERIFY(c.inputFocused());
        QVERIFY(c.sending());
        QVERIFY(!c.canSend());
        QCOMPARE(rolesOf(conversation().messages), QStringLiteral("uaua"));
        QCOMPARE(conversation().messages.at(2).content, text);
        QCOMPARE(conversation().title, text.left(24));
        QCOMPARE(saves.count(), 0);

        QVERIFY(waitIdle(c));
        QCOMPARE(conversation().messages.last().content, QStringLiteral("你好，世界！"));
        m_store->flush();
        QCOMPARE(saves.count(), 1);
        QVERIFY(!c.showError());

        // The history is every earlier message plus the new one, never the placeholder.
        const QJsonArray sent = sentMessages();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent.at(0)[u"content"].toString(), QStringLiteral(" 早先 "));
        QCOMPARE(sent.at(1)[u"role"].toString(), QStringLiteral("assistant"));
        QCOMPARE(sent.at(2)[u"content"].toString(), text);
        QCOMPARE(QJsonDocument::fromJson(m_gateway->requests().last().body)[u"model"].toString(),
                 QStringLiteral("gpt-4o-mini"));

        // What reached the file is exactly what the conversation holds.
        const AppData saved = fileContents();
        QCOMPARE(saved.conversations.size(), 1);
        QCOMPARE(saved.conversations.first(), conversation());
    }

    void titleRule_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString flag = QStringLiteral("🇨🇳");
        const QString untitled = Conversation::defaultTitle();
        // clang-format off
        QTest::newRow("default title") << untitled << QStringLiteral("短") << QStringLiteral("短");
        QTest::newRow("empty title") << QString("") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
        QTest::newRow("user title kept") << QStringLiteral("周报") << QStringLiteral("hello") << QStringLiteral("周报");
        // 25 flags of two code points each: the title stops after 24 whole flags.
        QTest::newRow("graphemes") << untitled << flag.repeated(25) << flag.repeated(24);
        // clang-format on
    }

    void titleRule()
    {
        QFETCH(QString, title);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        setUpConversation({}, title);
        m_gateway->setDefaultReply(reply({}));
        ChatController c(m_store.get(), m_conv);
        sendText(c, input);
        QCOMPARE(conversation().title, expected);
        QVERIFY(waitIdle(c));
    }

    void refusesBlankInputAndMissingConversation()
    {
        setUpConversation();
        ChatController c(m_store.get(), m_conv);
        c.setInput(QStringLiteral(" \n\t\u2028 "));
        QVERIFY(!c.canSend());
        c.send();
        QVERIFY(conversation().messages.isEmpty());

        // A deleted conversation: nothing is sent and the typed text stays.
        m_store->remove(m_conv);
        c.setInput(QStringLiteral("还在吗"));
        c.send();
        QVERIFY(!c.sending());
        QCOMPARE(c.input(), QStringLiteral("还在吗"));
        QCOMPARE(c.title(), QStringLiteral("Corvane"));
        QVERIFY(c.messages().isEmpty());
        QCOMPARE(m_gateway->requests().size(), 0);
    }

    void stop_data()
    {
        QTest::addColumn<QByteArray>("before"); // what arrives before the stop
        QTest::addColumn<QString>("reasoning");
        QTest::addColumn<QString>("content"); // null: the placeholder goes
        // clang-format off
        QTest::newRow("before the first delta") << QByteArray() << QString() << QString();
        QTest::newRow("after a delta") << TestGateway::deltaEvent(QStringLiteral("一半")) << QString() << "一半";
        QTest::newRow("while thinking") << QByteArray("data: {\"choices\":[{\"delta\":{\"reasoning\":\"想\"}}]}\n\n") << "想" << "";
        // clang-format on
    }

    void stop()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, reasoning);
        QFETCH(QString, content);
        setUpConversation();
        m_gateway->enqueue(TestGateway::eventStream({before}).stall());
        ChatController c(m_store.get(), m_conv);
        QSignalSpy saves(m_store.get(), &Store::saved);
        sendText(c, QStringLiteral("讲个长故事"));
        if (before.isEmpty())
            QTRY_COMPARE(m_gateway->requests().size(), 1);
        else
            QTRY_VERIFY(!conversation().messages.last().content.isEmpty() ||
                        !conversation().messages.last().reasoning.isEmpty());
        c.stop();
        QVERIFY(waitIdle(c));
        QVERIFY(!c.showError());
        m_store->flush();
        QCOMPARE(saves.count(), 1);
        QCOMPARE(rolesOf(conversation().messages),
                 content.isNull() ? QStringLiteral("u") : QStringLiteral("ua"));
        if (!content.isNull()) {
            QCOMPARE(conversation().messages.last().content, content);
            QCOMPARE(conversation().messages.last().reasoning, reasoning);
        }
        QCOMPARE(fileContents().conversations.first(), conversation());
    }

    // What the pane shows as the answer and as the reasoning.
    void answerAndReasoning_data()
    {
        QTest::addColumn<bool>("fromUser");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("stored"); // the message's reasoning
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("reasoning");
        // tag, from the user, content, stored reasoning, answer shown, reasoning shown
        const char *const rows[][6] = {
            {"plain", "", "答", "", "答", ""},
            {"reasoning apart", "", "答", "想", "答", "想"},
            {"<think> after white space", "", " \n<think>想\n</think>\n\n答", "", "答", "想\n"},
            {"<think> never closed", "", "<think>想", "", "", "想"},
            {"<think> not at the start", "", "前<think>想</think>", "", "前<think>想</think>", ""},
            {"reasoning apart wins", "", "<think>a</think>b", "r", "b", "r"},
            {"the user's text as it is", "u", "<think>a</think>b", "", "<think>a</think>b", ""},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << (*r[1] == 'u') << QString::fromUtf8(r[2])
                                << QString::fromUtf8(r[3]) << QString::fromUtf8(r[4])
                                << QString::fromUtf8(r[5]);
    }

    void answerAndReasoning()
    {
        QFETCH(bool, fromUser);
        QFETCH(QString, content);
        QFETCH(QString, stored);
        QFETCH(QString, answer);
        QFETCH(QString, reasoning);
        Message m = msg(fromUser ? Role::User : Role::Assistant, content);
        m.reasoning = stored;
        setUpConversation({m});
        ChatController c(m_store.get(), m_conv);
        const QModelIndex i = c.messageModel()->index(0);
        QCOMPARE(i.data(MessageListModel::AnswerRole).toString(), answer);
        QCOMPARE(i.data(MessageListModel::ReasoningRole).toString(), reasoning);
        // Not thought in this session: no seconds to show.
        QCOMPARE(i.data(MessageListModel::ThinkingSecondsRole).toInt(), -1);
    }

    // Replies good and bad: reasoning, failures before and after a success status, what is kept
    // of a failure beside the reply, and what goes back to the gateway in the next request:
    // never the reasoning, neither apart nor as a "<think>" block, never the client's own
    // failure text, but what the model said before a failure.
    void replies_data()
    {
        QTest::addColumn<int>("status"); // 0: no key, so nothing is sent
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("reasoning");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("settings");    // the row offers the settings
        QTest::addColumn<QStringList>("sent"); // the next request, role letter and text

        const auto thought = [](const char *text) {
            return "data: {\"choices\":[{\"delta\":{\"reasoning_content\":\"" + QByteArray(text) +
                   "\"}}]}\n\n";
        };
        const QString empty = QStringLiteral("模型没有返回内容，请重试或换一个模型。");
        const QString boom = QStringLiteral("请求失败（服务器报错）：\nboom");
        const QByteArray fails = "data: {\"error\":\"boom\"}\n";
        const QByteArray unauthorized = R"({"error":{"message":"Incorrect API key"}})";
        const QString status401 =
            QStringLiteral("请求失败（HTTP 401）：\n") + QString::fromUtf8(unauthorized);
        const QString status500 = QStringLiteral("请求失败（HTTP 500）");
        const QString noKey = QStringLiteral("还没填 API Key，请到「设置」里填写。");
        const QStringList joined{"u你好\n\n再问"};
        // clang-format off
        QTest::newRow("reasoning, then the answer") << 200 << thought("先") + thought("想") + TestGateway::deltaEvent("答") << "答" << "先想" << QString() << QString() << false << QStringList{"u你好", "a答", "u再问"};
        QTest::newRow("<think> in the content") << 200 << TestGateway::deltaEvent(" \n<thi") + TestGateway::deltaEvent("nk>想</think>\n\n答")
            << " \n<think>想</think>\n\n答" << QString() << QString() << QString() << false << QStringList{"u你好", "a答", "u再问"};
        QTest::newRow("<think> never closed") << 200 << TestGateway::deltaEvent("<think>想") << "<think>想" << QString() << QString() << QString() << false << joined;
        QTest::newRow("not a stream") << 200 << QByteArray(R"({"id":"x","object":"chat.completion"})") << "⚠️ " + empty << QString() << empty << "empty" << false << joined;
        QTest::newRow("error after text") << 200 << TestGateway::deltaEvent("前文") + fails << "前文" << QString() << boom << "gateway" << false << QStringList{"u你好", "a前文", "u再问"};
        QTest::newRow("error after reasoning") << 200 << thought("想") + fails << "⚠️ " + boom << "想" << boom << "gateway" << false << joined;
        QTest::newRow("401") << 401 << unauthorized << "⚠️ " + status401 << QString() << status401 << "http:401" << true << joined;
        QTest::newRow("500 empty body") << 500 << QByteArray() << "⚠️ " + status500 << QString() << status500 << "http:500" << false << joined;
        QTest::newRow("no key") << 0 << QByteArray() << "⚠️ " + noKey << QString() << noKey << "noKey" << true << joined;
        // clang-format on
    }

    void replies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, content);
        QFETCH(QString, reasoning);
        QFETCH(QString, error);
        QFETCH(QString, kind);
        QFETCH(bool, settings);
        QFETCH(QStringList, sent);
        setUpConversation();
        if (status)
            m_gateway->enqueue(TestGateway::response(status, body));
        else
            setKey(QStringLiteral(" \t"));
        ChatController c(m_store.get(), m_conv);
        QSignalSpy saves(m_store.get(), &Store::saved);
        sendText(c, QStringLiteral("你好"));
        QVERIFY(waitIdle(c));
        QCOMPARE(rolesOf(conversation().messages), QStringLiteral("ua"));
        const Message reply = conversation().messages.last();
        QCOMPARE(reply.content, content);
        QCOMPARE(reply.reasoning, reasoning);
        QCOMPARE(reply.error(), error);
        QCOMPARE(reply.errorKind(), kind);
        QCOMPARE(c.errorMessage(), error);
        QCOMPARE(c.showError(), !error.isNull());
        m_store->flush();
        QCOMPARE(saves.count(), 1);
        QCOMPARE(fileContents().conversations.first().messages, conversation().messages);
        const auto thinking = m_store->replies()->thinking(reply.id);
        QCOMPARE(thinking.has_value(), !reasoning.isEmpty() || content.contains(u"<think>"));
        QVERIFY(!thinking || thinking->endedMs >= thinking->startedMs);
        // The row explains the failure, and offers the settings where the fix is.
        const QVariantMap failure =
            c.messageModel()
                ->data(c.messageModel()->index(1), MessageListModel::FailureRole)
                .toMap();
        QCOMPARE(failure.isEmpty(), error.isEmpty());
        QCOMPARE(failure.value("offerSettings").toBool(), settings);
        QCOMPARE(failure.value("partial").toBool(),
                 !error.isEmpty() && !content.startsWith(u"⚠️"));
        if (!status) {
            QCOMPARE(m_gateway->requests().size(), 0);
            setKey(QStringLiteral("sk-test"));
        }

        c.setShowError(false);
        m_gateway->enqueue(TestGateway::eventStream({TestGateway::deltaEvent("好")}));
        sendText(c, QStringLiteral("再问"));
        QVERIFY(waitIdle(c));
        QStringList got;
        for (const QJsonValue &m : sentMessages())
            got << m[u"role"].toString().left(1) + m[u"content"].toString();
        QCOMPARE(got, sent);
    }

    // Retrying a failed reply replaces it, mark and all; a reply that then fails again is
    // marked again; usage the gateway sends is kept with the reply, and shown.
    void retryAndUsage()
    {
        setUpConversation();
        m_gateway->enqueue(TestGateway::response(503, "<html><title>503</title></html>"));
        ChatController c(m_store.get(), m_conv);
        sendText(c, QStringLiteral("你好"));
        QVERIFY(waitIdle(c));
        QCOMPARE(conversation().messages.last().errorKind(), u"http:503");

        m_gateway->enqueue(TestGateway::eventStream(
            {TestGateway::deltaEvent("答"),
             R"(data: {"choices":[],"usage":{"prompt_tokens":1234,"completion_tokens":567,"completion_tokens_details":{"reasoning_tokens":0}}})"
             "\n\ndata: [DONE]\n\n"}));
        c.regenerate();
        QVERIFY(waitIdle(c));
        const Message answer = conversation().messages.last();
        QCOMPARE(rolesOf(conversation().messages), u"ua");
        QCOMPARE(answer.content, u"答");
        QVERIFY(answer.error().isEmpty());
        QCOMPARE(answer.usage(), (TokenUsage{1234, 567, 0}));
        QCOMPARE(fileContents().conversations.first().messages.last(), answer);
        QCOMPARE(c.messageModel()->data(c.messageModel()->index(1), MessageListModel::UsageRole),
                 QVariant(u"输入 1,234 · 输出 567 tokens"_s));
        QVERIFY(c.messageModel()
                    ->data(c.messageModel()->index(1), MessageListModel::FailureRole)
                    .isNull());
        // The retried request read the question alone.
        QCOMPARE(sentMessages().size(), 1);
    }

    void regenerate_data()
    {
        QTest::addColumn<QString>("shape"); // the conversation before: u = user, a = assistant
        QTest::addColumn<int>("sentCount"); // messages in the request, -1: no request
        QTest::addColumn<QString>("after"); // roles after the reply
        QTest::newRow("user, assistant") << "ua" << 1 << "ua";
        QTest::newRow("user alone") << "u" << 1 << "ua";
        QTest::newRow("two replies") << "uaa" << 1 << "ua";
        QTest::newRow("empty") << "" << -1 << "";
        QTest::newRow("assistant alone") << "a" << -1 << "a";
        QTest::newRow("system last") << "us" << -1 << "us";
    }

    void regenerate()
    {
        QFETCH(QString, shape);
        QFETCH(int, sentCount);
        QFETCH(QString, after);
        QList<Message> list;
        for (QChar r : shape)
            list << msg(r == u'u' ? Role::User : r == u'a' ? Role::Assistant : Role::System, r);
        setUpConversation(list);
        m_gateway->setDefaultReply(reply({"新回答"}));
        ChatController c(m_store.get(), m_conv);
        c.regenerate();
        QVERIFY(waitIdle(c));
        QCOMPARE(rolesOf(conversation().messages), after);
        if (sentCount < 0) {
            QCOMPARE(m_gateway->requests().size(), 0);
            QCOMPARE(conversation().messages, list);
        } else {
            QCOMPARE(sentMessages().size(), sentCount);
            QCOMPARE(conversation().messages.last().content, QStringLiteral("新回答"));
        }
    }

    void submitEdit_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("editedContent");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("saves");
        // [user, assistant, user, assistant]
        // clang-format off
        QTest::newRow("user message") << 2 << QStringLiteral("  改过的问题\n") << "uaua" << QStringLiteral("改过的问题") << 1 << 1;
        QTest::newRow("first user message") << 0 << QStringLiteral("重问") << "ua" << QStringLiteral("重问") << 1 << 1;
        QTest::newRow("assistant message") << 1 << QStringLiteral("修正的回答") << "ua" << QStringLiteral("修正的回答") << 0 << 1;
        QTest::newRow("blank text") << 2 << QStringLiteral(" \n ") << "uaua" << QStringLiteral("问2") << 0 << 0;
        // clang-format on
    }

    void submitEdit()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, after);
        QFETCH(QString, editedContent);
        QFETCH(int, requests);
        QFETCH(int, saves);
        setUpConversation(
            {msg(Role::User, QStringLiteral("问1")), msg(Role::Assistant, QStringLiteral("答1")),
             msg(Role::User, QStringLiteral("问2")), msg(Role::Assistant, QStringLiteral("答2"))});
        m_gateway->setDefaultReply(reply({"新答"}));
        ChatController c(m_store.get(), m_conv);
        QSignalSpy savesSpy(m_store.get(), &Store::saved);
        const QUuid id = conversation().messages.at(row).id;
        c.startEdit(id.toString()); // ids are read as strictly as the Store reads them
        QVERIFY(!c.editingID());
        c.startEdit(canonicalUuidString(id));
        QCOMPARE(*c.editingID(), id);
        QCOMPARE(c.editText(), conversation().messages.at(row).content);
        c.setEditText(text);
        c.submitEdit(id);
        QVERIFY(!c.editingID());
        QVERIFY(waitIdle(c));
        QCOMPARE(rolesOf(conversation().messages), after);
        QCOMPARE(conversation().messages.at(row).content, editedContent);
        QCOMPARE(conversation().messages.at(row).id, id);
        QCOMPARE(m_gateway->requests().size(), requests);
        m_store->flush();
        QCOMPARE(savesSpy.count(), saves);
        if (requests) {
            const QJsonArray sent = sentMessages();
            QCOMPARE(sent.size(), row + 1);
            QCOMPARE(sent.last()[u"content"].toString(), editedContent);
            QCOMPARE(conversation().messages.last().content, QStringLiteral("新答"));
        }
    }

    // A further gateway at the given address, with a model named like the first gateway's.
    Provider addGateway(const QString &baseURL, const QString &key, bool noKey = false,
                        bool streamUsage = false)
    {
        AppSettings s = m_store->settings();
        const Provider p{QUuid::createUuid(), u"中转"_s, baseURL,    key,
                         {u"gpt-4o-mini"_s},  noKey,     streamUsage};
        s.providers.append(p);
        m_store->setSettings(s);
        return p;
    }

    // Two gateways on two ports with two keys: each conversation streams from its own, with its
    // own key, at the same time. The same model name on both is two choices, and choosing one
    // moves no other conversation.
    void twoGatewaysSideBySide_data()
    {
        QTest::addColumn<bool>("streamUsage");
        QTest::newRow("usage not asked") << false;
        QTest::newRow("usage asked") << true;
    }

    void twoGatewaysSideBySide()
    {
        QFETCH(bool, streamUsage);
        setUpConversation();
        TestGateway second;
        QVERIFY(second.listen());
        const Provider relay =
            addGateway(second.url(u"/api/v1"_s), u"sk-relay"_s, false, streamUsage);
        ChatController first(m_store.get(), m_conv);
        m_store->newConversation();
        const QUuid otherID = *m_store->selectedID();
        ChatController other(m_store.get(), otherID);
        QCOMPARE(other.gatewayName(), u"默认"_s);
        other.chooseModel(canonicalUuidString(relay.id), u"gpt-4o-mini"_s);
        QCOMPARE(m_store->conversation(otherID)->provider, relay.id);
        QCOMPARE(conversation().provider, QUuid());
        QCOMPARE(other.gatewayName(), u"中转"_s);
        QCOMPARE(first.gatewayName(), u"默认"_s);

        m_gateway->enqueue(reply({u"一"_s, u"号"_s}, 100));
        second.enqueue(reply({u"二"_s, u"号"_s}, 100));
        sendText(first, u"甲"_s);
        sendText(other, u"乙"_s);
        QVERIFY(first.sending() && other.sending());
        QVERIFY(waitIdle(first));
        QVERIFY(waitIdle(other));

        QCOMPARE(m_gateway->requests().size(), 1);
        QCOMPARE(second.requests().size(), 1);
        const TestGateway::Request &a = m_gateway->requests().first();
        const TestGateway::Request &b = second.requests().first();
        QCOMPARE(a.target, "/v1/chat/completions"_ba);
        QCOMPARE(b.target, "/api/v1/chat/completions"_ba);
        QCOMPARE(a.header("Authorization"), "Bearer sk-test"_ba);
        QCOMPARE(b.header("Authorization"), "Bearer sk-relay"_ba);
        const QJsonObject bodyA = QJsonDocument::fromJson(a.body).object();
        const QJsonObject bodyB = QJsonDocument::fromJson(b.body).object();
        QCOMPARE(bodyA[u"model"].toString(), u"gpt-4o-mini"_s);
        QCOMPARE(bodyB[u"model"].toString(), u"gpt-4o-mini"_s);
        QVERIFY(!bodyA.contains(u"stream_options"));
        QCOMPARE(bodyB.contains(u"stream_options"), streamUsage);
        if (streamUsage)
            QCOMPARE(bodyB[u"stream_options"][u"include_usage"], QJsonValue(true));
        QCOMPARE(conversation().messages.last().content, u"一号"_s);
        QCOMPARE(m_store->conversation(otherID)->messages.last().content, u"二号"_s);

        const AppData saved = fileContents();
        QCOMPARE(saved.settings.providers, QList{relay});
        QCOMPARE(saved.conversations.at(0).provider, relay.id);
        QCOMPARE(saved.conversations.at(1).provider, QUuid());
    }

    // New conversations start on the default gateway with its first model; a local one needs
    // no key and gets no Authorization header. A default that names no gateway is the first.
    void defaultGateway()
    {
        setUpConversation();
        const Provider local = addGateway(m_gateway->url(u"/v1"_s), QString(), true);
        AppSettings s = m_store->settings();
        s.defaultProvider = local.id;
        s.providers.first().models = {u"qwen3"_s, u"llama3"_s};
        m_store->setSettings(s);
        m_store->newConversation();
        const QUuid id = *m_store->selectedID();
        QCOMPARE(m_store->conversation(id)->provider, local.id);
        QCOMPARE(m_store->conversation(id)->model, std::optional(u"qwen3"_s));
        QCOMPARE(conversation().provider, QUuid());

        ChatController c(m_store.get(), id);
        QVERIFY(!c.keyMissing());
        m_gateway->enqueue(reply({u"好"_s}));
        sendText(c, u"hi"_s);
        QVERIFY(waitIdle(c));
        QCOMPARE(m_gateway->requests().size(), 1);
        QVERIFY(m_gateway->requests().first().header("Authorization").isEmpty());
        QCOMPARE(m_store->conversation(id)->messages.last().content, u"好"_s);

        s.defaultProvider = QUuid::createUuid();
        m_store->setSettings(s);
        m_store->newConversation();
        QCOMPARE(m_store->conversation(*m_store->selectedID())->provider, QUuid());
        QCOMPARE(m_store->conversation(*m_store->selectedID())->model, std::nullopt);
    }

    // A conversation whose gateway was removed keeps it, says so, and sends nothing until
    // another model is picked.
    void removedGateway()
    {
        setUpConversation();
        const Provider relay = addGateway(m_gateway->url(u"/v1"_s), u"sk-relay"_s);
        ChatController c(m_store.get(), m_conv);
        c.chooseModel(canonicalUuidString(relay.id), u"gpt-4o-mini"_s);
        AppSettings s = m_store->settings();
        s.providers.clear();
        m_store->setSettings(s);
        QCOMPARE(c.modelLabel(), u"gpt-4o-mini（网关已删除）"_s);
        QCOMPARE(c.gatewayName(), QString());
        QVERIFY(!c.keyMissing());

        sendText(c, u"hi"_s);
        QVERIFY(waitIdle(c));
        QCOMPARE(m_gateway->requests().size(), 0);
        QCOMPARE(conversation().provider, relay.id);
        QCOMPARE(conversation().messages.last().errorKind(), u"gatewayRemoved"_s);
        QVERIFY2(c.errorMessage().contains(u"模型菜单"_s), qPrintable(c.errorMessage()));
        QCOMPARE(fileContents().conversations.first().provider, relay.id);

        c.chooseModel(QString(), u"gpt-4o-mini"_s);
        QCOMPARE(conversation().provider, QUuid());
        QCOMPARE(c.modelLabel(), u"gpt-4o-mini"_s);
        m_gateway->enqueue(reply({u"好"_s}));
        c.regenerate();
        QVERIFY(waitIdle(c));
        QCOMPARE(m_gateway->requests().size(), 1);
        QCOMPARE(conversation().messages.last().content, u"好"_s);
    }

    void setModelPinsTheConversation()
    {
        setUpConversation();
        ChatController c(m_store.get(), m_conv);
        QSignalSpy saves(m_store.get(), &Store::saved);
        QSignalSpy changed(&c, &ChatController::effectiveModelChanged);
        c.setModel(QStringLiteral("gpt-4o-mini"));
        QCOMPARE(conversation().model, std::optional<QString>(QStringLiteral("gpt-4o-mini")));
        m_store->flush();
        QCOMPARE(saves.count(), 1);
        QCOMPARE(fileContents().conversations.first().model, conversation().model);

        // The settings' default no longer counts. The options are the default and the list,
        // trimmed and once each; a blank default is none. (The chat pane's picker checks more.)
        AppSettings s = m_store->settings();
        s.model = QStringLiteral("\u3000 ");
        s.models = {"a", "\ta\t", "b"};
        m_store->setSettings(s);
        QCOMPARE(c.effectiveModel(), QStringLiteral("gpt-4o-mini"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(modelNames(c), (QStringList{"a", "b"}));

        // An empty model is a model too, and is what gets sent.
        c.setModel(QString(""));
        QCOMPARE(c.effectiveModel(), QString(""));
        QCOMPARE(changed.count(), 1);
        m_gateway->enqueue(reply({}));
        sendText(c, QStringLiteral("hi"));
        QVERIFY(waitIdle(c));
        QCOMPARE(QJsonDocument::fromJson(m_gateway->requests().last().body)[u"model"].toString(
                     QStringLiteral("absent")),
                 QString(""));
    }

    // The running reply is stopped with its conversation: an undo of the deletion must not
    // bring back a reply with a hole in it.
    void conversationDeletedWhileStreaming()
    {
        setUpConversation();
        m_gateway->enqueue(
            TestGateway::eventStream({TestGateway::deltaEvent(QStringLiteral("一"))}).stall());
        ChatController c(m_store.get(), m_conv);
        QAbstractItemModelTester tester(c.messageModel());
        QSignalSpy saves(m_store.get(), &Store::saved);
        sendText(c, QStringLiteral("你好"));
        QTRY_COMPARE(conversation().messages.last().content, QStringLiteral("一"));
        m_store->remove(m_conv); // saves once itself
        QCOMPARE(c.messageModel()->rowCount(), 0);
        QVERIFY(waitIdle(c));
        QVERIFY(!m_store->replies()->isReplying(m_conv));
        QVERIFY(!c.showError());
        m_store->flush();
        QVERIFY(!saves.isEmpty()); // the delete's save and the reply's may be written as one
        QVERIFY(m_store->conversations().isEmpty());
        QVERIFY(fileContents().conversations.isEmpty());
    }

    // A pane opened again while its conversation's reply streams takes that reply over: it is
    // sending, refuses a second send, edits and regeneration, stops that reply, and shows its
    // failure.
    void paneReopenedWhileStreaming_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("reply ends") << "done";
        QTest::newRow("stopped from the new pane") << "stop";
        QTest::newRow("reply fails") << "fail";
    }

    void paneReopenedWhileStreaming()
    {
        QFETCH(QString, ending);
        setUpConversation();
        // A failure: the connection ends long before the length it announced.
        TestGateway::Reply r =
            ending == u"fail"
                ? TestGateway::Reply().then(TestGateway::head(
                      200, {{"Content-Type", "text/event-stream"}, {"Content-Length", "100000"}}))
                : TestGateway::eventStream({});
        r.then(TestGateway::deltaEvent(QStringLiteral("第一段")));
        if (ending == u"stop")
            r.stall();
        else
            r.then(TestGateway::deltaEvent(QStringLiteral("第二段")), 300);
        m_gateway->enqueue(r);
        QSignalSpy saves(m_store.get(), &Store::saved);
        auto pane = std::make_unique<ChatController>(m_store.get(), m_conv);
        sendText(*pane, QStringLiteral("你好"));
        QTRY_COMPARE(conversation().messages.last().content, QStringLiteral("第一段"));
        pane.reset();

        ChatController fresh(m_store.get(), m_conv);
        MessageListModel *model = fresh.messageModel();
        QAbstractItemModelTester tester(model);
        QVERIFY(fresh.sending());
        QVERIFY(model->data(model->index(1), MessageListModel::IsStreamingRole).toBool());
        sendText(fresh, QStringLiteral("再问"));
        QVERIFY(!fresh.canSend());
        fresh.startEdit(model->data(model->index(0), MessageListModel::IdRole).toString());
        QVERIFY(!fresh.editingID());
        fresh.regenerate();
        fresh.setEditText(QStringLiteral("改"));
        fresh.submitEdit(conversation().messages.first().id);
        QCOMPARE(fresh.input(), QStringLiteral("再问")); // kept for when the reply ends
        if (ending == u"stop")
            fresh.stop();

        QVERIFY(waitIdle(fresh));
        m_store->flush();
        QCOMPARE(saves.count(), 1);
        QCOMPARE(m_gateway->requests().size(), 1);
        QCOMPARE(rolesOf(conversation().messages), QStringLiteral("ua"));
        QCOMPARE(conversation().messages.last().content,
                 ending == u"stop" ? QStringLiteral("第一段") : QStringLiteral("第一段第二段"));
        QCOMPARE(fresh.showError(), ending == u"fail");
        QCOMPARE(fileContents().conversations.first(), conversation());
    }

    // With two conversations of the same id the pane shows the first, and loses it only when
    // the last of them is removed.
    void messageModelFollowsFirstOfDuplicates()
    {
        const Conversation a = Conversation::make();
        Conversation b = Conversation::make();
        b.id = a.id;
        QVERIFY(StoreTest::writeAll(m_dir->filePath(QStringLiteral("data.json")),
                                    encodeAppData(AppSettings{}, {Conversation::make(), a, b})));
        m_store = std::make_unique<Store>(m_dir->path());
        m_store->appendMessage(a.id, msg(Role::User, QStringLiteral("问")));

        MessageListModel model(m_store.get(), a.id);
        QAbstractItemModelTester tester(&model);
        QCOMPARE(model.rowCount(), 1);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        m_store->remove(a.id);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(removed.count(), 1);
    }

    // A view takes the new model when told (storeChanged) and compares it with the one it has.
    // The old one must still exist then: deleted first, its memory could hold the new one,
    // which would look like the same model, and the pane would show nothing.
    void newModelBeforeTheOldGoes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("another conversation") << u"conversation"_s;
        QTest::newRow("another store") << u"store"_s;
        QTest::newRow("no store") << u"none"_s;
    }

    void newModelBeforeTheOldGoes()
    {
        QFETCH(QString, change);
        setUpConversation({msg(Role::User, QStringLiteral("问"))});
        const QUuid first = m_conv;
        setUpConversation({msg(Role::User, QStringLiteral("别的"))});
        QTemporaryDir otherDir;
        Store other(otherDir.path());
        ChatController c(m_store.get(), first);
        const QPointer<MessageListModel> before = c.messageModel();
        const MessageListModel *const oldModel = before.data();
        QVERIFY(oldModel);
        int notices = 0;
        bool oldAlive = false;
        MessageListModel *told = nullptr;
        connect(&c, &ChatController::storeChanged, this, [&] {
            ++notices;
            oldAlive = !before.isNull();
            told = c.messageModel();
        });
        if (change == u"conversation")
            c.setConversationIDString(canonicalUuidString(m_conv));
        else
            c.setStore(change == u"store" ? &other : nullptr);
        QCOMPARE(notices, 1);
        QVERIFY(oldAlive);
        QVERIFY(told != oldModel);
        QCOMPARE(told != nullptr, change != u"none");
        QVERIFY(before.isNull()); // and then it goes
        if (told)
            QCOMPARE(told->rowCount(), change == u"conversation" ? 1 : 0);
    }

    void messageModelSignals()
    {
        setUpConversation(
            {msg(Role::User, QStringLiteral("问")), msg(Role::Assistant, QStringLiteral("答"))});
        m_gateway->enqueue(reply({"甲", "乙"}, 50));
        ChatController c(m_store.get(), m_conv);
        MessageListModel *model = c.messageModel();
        QAbstractItemModelTester tester(model);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        sendText(c, QStringLiteral("再问"));
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(0).at(1).toInt(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 3);
        changed.clear();
        QVERIFY(waitIdle(c));

        // Per delta: the last row, content only, plus the end of typing with the first text.
        QList<QList<int>> contentChanges;
        for (const auto &args : changed) {
            const auto roles = args.at(2).value<QList<int>>();
            if (roles.contains(MessageListModel::ContentRole)) {
                QCOMPARE(args.at(0).value<QModelIndex>().row(), 3);
                QCOMPARE(args.at(1).value<QModelIndex>().row(), 3);
                contentChanges << roles;
            }
        }
        QCOMPARE(contentChanges.size(), 2);
        using M = MessageListModel;
        QCOMPARE(contentChanges.at(0),
                 (QList<int>{M::ContentRole, M::AnswerRole, M::ReasoningRole, M::IsTypingRole}));
        QCOMPARE(contentChanges.at(1),
                 (QList<int>{M::ContentRole, M::AnswerRole, M::ReasoningRole}));
        QCOMPARE(model->data(model->index(3), MessageListModel::IsStreamingRole).toBool(), false);
    }

    // Files go with the message: a pasted image and copied files become its attachments in
    // order, a file that cannot be attached is refused by name, and a message of files alone
    // is sent, named after its first file. The request carries the files, the data file only
    // their descriptions.
    void attachments()
    {
        setUpConversation();
        m_gateway->enqueue(reply({"看到了"}));
        ChatController c(m_store.get(), m_conv);
        PendingAttachments *files = c.attachments();
        QSignalSpy refused(files, &PendingAttachments::refused);

        QImage image(300, 200, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QMimeData pasted;
        pasted.setImageData(image);
        QVERIFY(files->addMimeData(&pasted));
        const QString code = m_dir->filePath(QStringLiteral("util.py"));
        const QString blob = m_dir->filePath(QStringLiteral("blob.bin"));
        QVERIFY(StoreTest::writeAll(code, "def f(x):\n    return x\n"));
        QVERIFY(StoreTest::writeAll(blob, QByteArray("\0\x01\x02", 3)));
        QMimeData copied;
        copied.setUrls({QUrl::fromLocalFile(code), QUrl::fromLocalFile(blob)});
        QVERIFY(files->addMimeData(&copied));
        QMimeData text;
        text.setText(QStringLiteral("just text"));
        QVERIFY(!files->addMimeData(&text));
        QVERIFY(!c.canSend()); // until the files are stored
        QTRY_VERIFY(!files->busy());
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().first().toString().contains(u"blob.bin"));
        QCOMPARE(files->rowCount(), 2);
        QVERIFY(c.canSend());

        c.send();
        QCOMPARE(files->rowCount(), 0);
        QTRY_COMPARE(m_gateway->requests().size(), 1);
        const QJsonArray parts = sentMessages().last()[u"content"].toArray();
        QCOMPARE(parts.size(), 2);
        QVERIFY(parts[0][u"text"].toString().contains(u"util.py"));
        QVERIFY(parts[1][u"image_url"][u"url"].toString().startsWith(u"data:image/jpeg;base64,"));
        const Message &sent = conversation().messages.first();
        QCOMPARE(sent.attachments().size(), 2);
        QVERIFY(sent.content.isEmpty());
        QVERIFY(conversation().title.startsWith(u"截图"));
        QTRY_COMPARE(conversation().messages.size(), 2);
        QVERIFY(!StoreTest::readAll(m_store->fileURL()).contains("base64"));
    }

    // Which images go with a resend: all of them, only the last question's when the
    // conversation says so, none when the user retries without them (which also sets the
    // option, and keeps it). A file gone from the folder is left out and named in a notice.
    void imagesInRequest_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("historyImages");
        QTest::addColumn<QString>("gone");      // a stored file to remove first
        QTest::addColumn<QList<int>>("images"); // per user message sent
        QTest::addColumn<QString>("notice");

        const QString lost = u"丢失.txt"_s;
        QTest::newRow("all") << u"regenerate"_s << true << QString() << QList<int>{1, 1} << lost;
        QTest::newRow("history off")
            << u"regenerate"_s << false << QString() << QList<int>{0, 1} << lost;
        QTest::newRow("without images")
            << u"without"_s << true << QString() << QList<int>{0, 0} << lost;
        QTest::newRow("an image gone")
            << u"regenerate"_s << true << u"b.png"_s << QList<int>{1, 0} << u"b.png"_s;
    }
    void imagesInRequest()
    {
        QFETCH(QString, how);
        QFETCH(bool, historyImages);
        QFETCH(QString, gone);
        QFETCH(QList<int>, images);
        QFETCH(QString, notice);

        const AttachmentStore files(m_dir->path());
        const auto image = [&](const QString &name, QRgb colour) {
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(colour);
            return *files.importImage(picture, name).attachment;
        };
        const Attachment a = image(u"a.png"_s, qRgb(200, 0, 0));
        const Attachment b = image(u"b.png"_s, qRgb(0, 200, 0));
        // Never stored: its message shows it as lost.
        const Attachment missing{u"丢失.txt"_s, u"text/plain"_s, QString(64, u'e'), 3};
        Message first = msg(Role::User, u"看这两个"_s);
        first.setAttachments({a, missing});
        Message second = msg(Role::User, u"再看这个"_s);
        second.setAttachments({b});
        Message failed = msg(Role::Assistant, u"⚠️ x"_s);
        failed.setError(u"x"_s, u"http:400"_s);
        setUpConversation({first, msg(Role::Assistant, u"好"_s), second, failed});
        m_store->setHistoryImages(m_conv, historyImages);
        if (gone == b.name)
            QVERIFY(QFile::remove(files.pathOf(b)));
        m_gateway->enqueue(reply({"嗯"}));
        ChatController c(m_store.get(), m_conv);
        QSignalSpy notices(&c, &ChatController::notice);

        if (how == u"without")
            c.regenerateWithoutImages();
        else
            c.regenerate();
        QTRY_COMPARE(m_gateway->requests().size(), 1);
        QList<int> sent;
        for (const QJsonValue &m : sentMessages()) {
            if (m[u"role"].toString() != u"user")
                continue;
            const QJsonArray parts = m[u"content"].toArray();
            sent << int(std::count_if(parts.begin(), parts.end(), [](const QJsonValue &p) {
                return p[u"type"].toString() == u"image_url";
            }));
        }
        QCOMPARE(sent, images);
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.first().first().toString().contains(notice),
                 qPrintable(notices.first().first().toString()));
        QVERIFY(waitIdle(c));
        QCOMPARE(fileContents().conversations.first().historyImages,
                 historyImages && how != u"without");
        QCOMPARE(c.historyImages(), historyImages && how != u"without");
    }

    // Editing a message may take files off it: what is left is stored and resent. A message
    // left with neither text nor files is not resent, and stays as it was.
    void editRemovesFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("removed");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<bool>("resent");

        const QStringList both{u"a.txt"_s, u"b.txt"_s};
        QTest::newRow("none") << u"看"_s << QList<int>{} << both << true;
        QTest::newRow("the first") << u"看"_s << QList<int>{0} << QStringList{u"b.txt"_s} << true;
        QTest::newRow("the same twice")
            << u"看"_s << QList<int>{1, 1} << QStringList{u"a.txt"_s} << true;
        QTest::newRow("all, text left") << u"看"_s << QList<int>{1, 0} << QStringList{} << true;
        QTest::newRow("all, no text") << QString() << QList<int>{0, 1} << both << false;
    }
    void editRemovesFiles()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, removed);
        QFETCH(QStringList, kept);
        QFETCH(bool, resent);

        const AttachmentStore files(m_dir->path());
        QList<Attachment> attached;
        for (const QString &name : {u"a.txt"_s, u"b.txt"_s}) {
            QVERIFY(StoreTest::writeAll(m_dir->filePath(name), name.toUtf8()));
            attached << *files.importFile(m_dir->filePath(name)).attachment;
        }
        Message question = msg(Role::User, u"原来的"_s);
        question.setAttachments(attached);
        setUpConversation({question, msg(Role::Assistant, u"好"_s)});
        m_gateway->enqueue(reply({"嗯"}));
        ChatController c(m_store.get(), m_conv);

        c.startEdit(canonicalUuidString(question.id));
        c.setEditText(text);
        for (int index : removed)
            c.removeEditFile(index);
        c.submitEdit(question.id);
        QVERIFY(c.editRemovedFiles().isEmpty());
        QStringList names;
        for (const Attachment &a : conversation().messages.first().attachments())
            names << a.name;
        QCOMPARE(names, kept);
        if (!resent) {
            QVERIFY(!c.sending());
            QCOMPARE(conversation().messages.first(), question);
            return;
        }
        QTRY_COMPARE(m_gateway->requests().size(), 1);
        QVERIFY(waitIdle(c));
        const QString sent = sentMessages().first()[u"content"].toString();
        for (const QString &name : {u"a.txt"_s, u"b.txt"_s})
            QCOMPARE(sent.contains(name), kept.contains(name));
        QCOMPARE(fileContents().conversations.first().messages.first().attachments().size(),
                 kept.size());
    }

    // A stop while the request is still being made sends nothing.
    void stopWhileTheRequestIsMade()
    {
        const AttachmentStore files(m_dir->path());
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        Message question = msg(Role::User, u"看"_s);
        question.setAttachments({*files.importImage(picture).attachment});
        setUpConversation({question});
        m_gateway->enqueue(reply({"嗯"}));
        ChatController c(m_store.get(), m_conv);
        c.regenerate();
        QVERIFY(c.sending());
        c.stop();
        QVERIFY(waitIdle(c));
        QCOMPARE(m_gateway->requests().size(), 0);
        QCOMPARE(rolesOf(conversation().messages), u"u"_s);
    }
};

QTEST_GUILESS_MAIN(TestChatController)
#include "tst_chatcontroller.moc"
