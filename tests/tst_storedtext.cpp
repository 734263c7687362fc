// SPDX-License-Identifier: GPL-3.0-or-later
// Texts the program writes into data.json or an export keep their source form whatever the
// interface's language; only where they are shown are they translated. A translator that marks
// every text it is asked for stands in for another interface language.
#include "api/chatapierror.h"
#include "chat/chatcontroller.h"
#include "model/conversationtransfer.h"
#include "model/storagecodec.h"
#include "store/store.h"
#include "storetestutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

namespace {

class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return u"EN "_s + QString::fromUtf8(source);
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestStoredText : public QObject
{
    Q_OBJECT

    MarkingTranslator m_translator;

private slots:
    void initTestCase() { QVERIFY(QCoreApplication::installTranslator(&m_translator)); }

    void writtenAndShown_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("expectedWritten");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expectedShown");

        const Conversation fresh = Conversation::make();
        // A title of the user's own is never translated, even one the catalogue holds.
        Conversation own = Conversation::make();
        own.title = u"用户"_s;
        Conversation exported = Conversation::make();
        exported.title = u"题"_s;
        exported.messages = {Message::make(Message::Role::User, u"问"_s),
                             Message::make(Message::Role::Assistant, u"答"_s)};
        exported.messages[1].reasoning = u"想"_s;
        Conversation changed = exported;
        changed.messages[0].content = u"改"_s;
        const QList<Conversation> restored = conversationsToRestore({exported}, {changed});
        QCOMPARE(restored.size(), 1);
        const auto error = [](const ChatAPIError &e) {
            return std::pair{e.description(StoredText::Form::Written), e.description()};
        };
        const auto timedOut = error(ChatAPIError::timedOut());
        const auto noResponse = error(ChatAPIError::noResponse());
        const auto refused =
            error(ChatAPIError::network(QNetworkReply::ConnectionRefusedError, {}));
        const auto gateway = error(ChatAPIError::gateway(u" boom "_s));
        const auto http = error(ChatAPIError::http(500, u"%1 %2"_s));

        // clang-format off
        QTest::newRow("new conversation") << fresh.title << u"新对话"_s << fresh.displayTitle() << u"EN 新对话"_s;
        QTest::newRow("renamed to nothing") << Conversation::untitledTitle() << u"未命名"_s << Conversation::shownTitle(u"未命名"_s) << u"EN 未命名"_s;
        QTest::newRow("empty title") << QString() << QString() << Conversation::shownTitle({}) << u"EN 未命名"_s;
        QTest::newRow("own title") << own.title << u"用户"_s << own.displayTitle() << u"用户"_s;
        QTest::newRow("restored copy") << restored[0].title << u"题（恢复）"_s << restored[0].displayTitle() << u"题（恢复）"_s;
        QTest::newRow("export") << conversationMarkdown(exported)
            << u"# 题\n\n## 用户\n\n问\n\n## 助手\n\n> **思考过程**\n>\n> 想\n\n答\n"_s << QString() << QString();
        QTest::newRow("time-out") << timedOut.first << u"请求超时：服务器长时间没有回应，请稍后再试。"_s
            << timedOut.second << u"EN 请求超时：服务器长时间没有回应，请稍后再试。"_s;
        QTest::newRow("no response") << noResponse.first << u"请求失败（HTTP -1）：\n无响应"_s
            << noResponse.second << u"EN 请求失败（HTTP -1）：\nEN 无响应"_s;
        QTest::newRow("network") << refused.first << u"网络错误：无法连接到服务器（ConnectionRefusedError）"_s
            << refused.second << u"EN 网络错误：EN 无法连接到服务器（ConnectionRefusedError）"_s;
        QTest::newRow("gateway") << gateway.first << u"请求失败（服务器报错）：\nboom"_s
            << gateway.second << u"EN 请求失败（服务器报错）：\nboom"_s;
        // The server's body is the server's: neither translated nor read for placeholders.
        QTest::newRow("http body") << http.first << u"请求失败（HTTP 500）：\n%1 %2"_s
            << http.second << u"EN 请求失败（HTTP 500）：\n%1 %2"_s;
        // clang-format on
    }

    void writtenAndShown()
    {
        QFETCH(QString, written);
        QFETCH(QString, expectedWritten);
        QFETCH(QString, shown);
        QFETCH(QString, expectedShown);
        QCOMPARE(written, expectedWritten);
        QCOMPARE(shown, expectedShown);
    }

    // A reply that fails is saved with its error in the source form, while the pane shows it
    // translated; a rename to nothing saves the source form too.
    void dataFileKeepsSourceForm()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        AppSettings settings;
        settings.apiKey = u" "_s; // refused before anything is sent
        store.setSettings(settings);
        store.newConversation();
        const QUuid id = *store.selectedID();
        ChatController chat(&store, id);
        chat.setInput(u"你好"_s);
        chat.send();
        QVERIFY(QTest::qWaitFor([&] { return !chat.sending(); }, 10000));
        const QString noKey = u"还没填 API Key，请到「设置」里填写。"_s;
        QCOMPARE(chat.errorMessage(), u"EN "_s + noKey);
        store.rename(id, u" "_s);
        QCOMPARE(store.conversation(id)->displayTitle(), u"EN 未命名"_s);

        QVERIFY(store.flush());
        const QByteArray file = StoreTest::readAll(store.fileURL());
        QVERIFY(!file.contains("EN "));
        const Conversation saved = decodeAppData(file).value_or(AppData{}).conversations.value(0);
        QCOMPARE(saved.title, u"未命名"_s);
        QCOMPARE(saved.messages.value(1).content, u"⚠️ "_s + noKey);
    }
};

QTEST_GUILESS_MAIN(TestStoredText)
#include "tst_storedtext.moc"
