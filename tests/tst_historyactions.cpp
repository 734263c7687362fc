// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/historyactions.h"
#include "attach/attachmentstore.h"
#include "model/conversationtransfer.h"
#include "store/conversationlistmodel.h"
#include "storetestutil.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace StoreTest;
using namespace Qt::Literals::StringLiterals;

namespace {

Message msg(Message::Role role, const QString &content, const QString &reasoning = {})
{
    Message m = Message::make(role, content);
    m.reasoning = reasoning;
    return m;
}

// A history of conversations a, b, c; b has messages and a model of its own.
const QList<Conversation> &sample()
{
    static const QList<Conversation> list = [] {
        Conversation b = conv(u'b');
        b.messages = {msg(Message::Role::User, QStringLiteral("你好")),
                      msg(Message::Role::Assistant, QStringLiteral("嗨"), QStringLiteral("想想"))};
        b.model = QStringLiteral("deepseek-r1");
        return QList<Conversation>{conv(u'a'), b, conv(u'c')};
    }();
    return list;
}

int mode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TstHistoryActions : public QObject
{
    Q_OBJECT

    // A Store in a temporary folder holding sample(), and the actions on it.
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<HistoryActions> m_actions;

    QString path(const char *name) const { return m_dir->filePath(QString::fromUtf8(name)); }

private slots:
    void init()
    {
        m_actions.reset();
        m_store.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<Store>(m_dir->path());
        m_store->addConversationsAtTop(sample());
        m_store->flush();
        m_actions = std::make_unique<HistoryActions>();
        m_actions->setStore(m_store.get());
    }

    void markdownText_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QList<Message>>("messages");
        QTest::addColumn<QString>("expected");
        using R = Message::Role;

        using L = QList<Message>;
        // clang-format off
        QTest::newRow("empty") << QStringLiteral("新对话") << L{} << QStringLiteral("# 新对话\n");
        QTest::newRow("turns, verbatim content") << QStringLiteral("代码")
            << L{msg(R::User, QStringLiteral("写个 *循环*\n\n  缩进\n")), msg(R::Assistant, QStringLiteral("```c\nfor (;;) {}\n```\n\n\n"))}
            << QStringLiteral("# 代码\n\n## 用户\n\n写个 *循环*\n\n  缩进\n\n## 助手\n\n```c\nfor (;;) {}\n```\n");
        QTest::newRow("system and reasoning") << QStringLiteral("T")
            << L{msg(R::System, QStringLiteral("简洁")), msg(R::Assistant, QStringLiteral("答"), QStringLiteral("第一步\r\n\n# 第二步\n"))}
            << QStringLiteral("# T\n\n## 系统\n\n简洁\n\n## 助手\n\n> **思考过程**\n>\n> 第一步\n>\n> # 第二步\n\n答\n");
        QTest::newRow("empty reply, title on one line") << QStringLiteral("a\nb\r\nc")
            << L{msg(R::User, QStringLiteral("问")), msg(R::Assistant, QString())} << QStringLiteral("# a b c\n\n## 用户\n\n问\n\n## 助手\n");
        // clang-format on
    }

    void markdownText()
    {
        QFETCH(QString, title);
        QFETCH(QList<Message>, messages);
        Conversation c = Conversation::make();
        c.title = title;
        c.messages = messages;
        QTEST(conversationMarkdown(c), "expected");
    }

    void exportWritesAndCopies()
    {
        const QString id = canonicalUuidString(sample().at(1).id);
        QCOMPARE(m_actions->exportMarkdown(id, QUrl::fromLocalFile(path("b.md"))), QString());
        const QByteArray expected = conversationMarkdown(sample().at(1)).toUtf8();
        QCOMPARE(readAll(path("b.md")), expected);
        m_actions->copyConversation(id);
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), expected);
        QCOMPARE(m_actions->suggestedFileName(id), QStringLiteral("b.md"));
    }

    void exportFailureChangesNothing_data()
    {
        QTest::addColumn<QString>("target"); // relative to the temporary folder
        QTest::newRow("parent is a file") << QStringLiteral("file.md/out.md");
        QTest::newRow("missing folder") << QStringLiteral("nowhere/out.md");
        QTest::newRow("target is a folder") << QStringLiteral("folder");
    }

    // Runs as root in CI too, so the failures are ones permissions cannot bypass.
    void exportFailureChangesNothing()
    {
        QFETCH(QString, target);
        QVERIFY(writeAll(path("file.md"), "kept"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
        const QByteArray saved = readAll(path("data.json"));

        const QString message = m_actions->exportMarkdown(
            canonicalUuidString(sample().at(0).id), QUrl::fromLocalFile(m_dir->filePath(target)));
        QVERIFY(message.contains(QStringLiteral("无法写入")));
        QVERIFY(message.contains(QStringLiteral("没有改动")));
        QCOMPARE(readAll(path("file.md")), QByteArray("kept"));
        QVERIFY(QFileInfo(path("folder")).isDir());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
        QCOMPARE(readAll(path("data.json")), saved);
    }

    void undoRemove_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("selected");
        QTest::newRow("top") << 0 << false;
        QTest::newRow("middle, selected") << 1 << true;
        QTest::newRow("middle") << 1 << false;
        QTest::newRow("bottom, selected") << 2 << true;
    }

    void undoRemove()
    {
        QFETCH(int, row);
        QFETCH(bool, selected);
        Store &store = *m_store;
        ConversationListModel rows(&store);
        QAbstractItemModelTester tester(&rows,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const Conversation removed = store.conversations().at(row);
        const QUuid other = store.conversations().at(row == 0 ? 1 : 0).id;
        store.setSelectedID(selected ? removed.id : other);

        m_actions->removeWithUndo(canonicalUuidString(removed.id));
        store.flush();
        QCOMPARE(titles(store.conversations()).size(), 2);
        QVERIFY(!Store(m_dir->path()).conversation(removed.id)); // the delete itself was saved
        QVERIFY(m_actions->canUndoRemove());
        QCOMPARE(m_actions->removedTitle(), removed.title);

        m_actions->undoRemove();
        store.flush();
        QVERIFY(!m_actions->canUndoRemove());
        QCOMPARE(store.conversations(), sample());
        QCOMPARE(store.selectedID(), selected ? removed.id : other);
        QCOMPARE(Store(m_dir->path()).conversations(), sample());

        // Nothing left to undo: a second undo changes nothing.
        m_actions->undoRemove();
        QCOMPARE(store.conversations(), sample());
    }

    // A file may repeat an id: one delete takes every copy, and its undo brings each back in
    // its place, with its gateway. A delete of an id nobody has still saves, and leaves nothing
    // to undo.
    void undoRemoveEveryCopy()
    {
        Store &store = *m_store;
        QList<Conversation> list = sample();
        list[2].id = list[0].id;
        list[0].provider = QUuid::createUuid();
        for (const Conversation &c : sample())
            store.remove(c.id);
        store.addConversationsAtTop(list);

        m_actions->removeWithUndo(canonicalUuidString(list[0].id));
        QCOMPARE(titles(store.conversations()), u"b"_qs);
        m_actions->undoRemove();
        store.flush();
        QCOMPARE(store.conversations(), list);
        QCOMPARE(Store(m_dir->path()).conversations(), list);

        QSignalSpy saved(&store, &Store::saved);
        m_actions->removeWithUndo(canonicalUuidString(QUuid::createUuid()));
        store.flush();
        QCOMPARE(saved.size(), 1);
        QVERIFY(!m_actions->canUndoRemove());
        QCOMPARE(store.conversations(), list);
    }

    void backupLeavesOutKey()
    {
        AppSettings settings;
        settings.apiKey = QStringLiteral("sk-secret");
        settings.model = QStringLiteral("qwen");
        settings.providers = {Provider{QUuid::createUuid(),
                                       QStringLiteral("中转"),
                                       QStringLiteral("https://relay.example/v1"),
                                       QStringLiteral("sk-relay-secret"),
                                       {}}};
        McpServer server;
        server.name = QStringLiteral("github");
        server.command = QStringLiteral("npx");
        server.env = {{QStringLiteral("GITHUB_TOKEN"), QStringLiteral("ghp-env-secret")}};
        server.headers = {{QStringLiteral("Authorization"), QStringLiteral("Bearer hdr-secret")}};
        settings.mcpServers = {server};
        m_store->setSettings(settings);
        const QUrl backup = QUrl::fromLocalFile(path("backup.json"));

        QCOMPARE(m_actions->backup(backup), QString());
        const QByteArray bytes = readAll(path("backup.json"));
        QVERIFY(!bytes.contains("sk-secret"));
        QVERIFY(!bytes.contains("sk-relay-secret"));
        QVERIFY(!bytes.contains("env-secret"));
        QVERIFY(!bytes.contains("hdr-secret"));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(path("backup.json")).permissions() & others, QFile::Permissions());
        const auto data = decodeAppData(bytes);
        QVERIFY(data);
        QCOMPARE(data->conversations, sample());
        QCOMPARE(data->settings.model, QStringLiteral("qwen"));
        QCOMPARE(data->settings.apiKey, QString());
        QCOMPARE(data->settings.providers.size(), 1);
        QCOMPARE(data->settings.providers.first().apiKey, QString());
        // The names stay, so that the user sees what to fill in again.
        QCOMPARE(data->settings.mcpServers.size(), 1);
        QCOMPARE(data->settings.mcpServers.first().env,
                 (McpServer::Pairs{{QStringLiteral("GITHUB_TOKEN"), QString()}}));
        QCOMPARE(data->settings.mcpServers.first().headers,
                 (McpServer::Pairs{{QStringLiteral("Authorization"), QString()}}));

        // Restored into an empty history it brings everything back, and the key stays the user's.
        QTemporaryDir other;
        Store fresh(other.path());
        settings.apiKey = QStringLiteral("sk-mine");
        fresh.setSettings(settings);
        HistoryActions restorer;
        restorer.setStore(&fresh);
        bool ok = false;
        QCOMPARE(restorer.restore(backup, &ok), QStringLiteral("已恢复 3 个对话"));
        QVERIFY(ok);
        QCOMPARE(fresh.conversations(), sample());
        fresh.flush();
        QCOMPARE(Store(other.path()).conversations(), sample());
        QCOMPARE(fresh.settings().apiKey, QStringLiteral("sk-mine"));
    }

    // A backup carries its conversations' files in a folder beside it, as they are stored;
    // restore checks each against its name. A file that does not match, or is not there, is
    // reported and left out; its message comes back all the same.
    void backupCarriesFiles_data()
    {
        QTest::addColumn<QString>("damage");   // done to the backup's folder
        QTest::addColumn<QString>("restored"); // the files that come back
        QTest::addColumn<QString>("report");

        QTest::newRow("intact") << QString() << u"xy"_s << u"已恢复 4 个对话"_s;
        QTest::newRow("tampered") << u"tamper y"_s << u"x"_s
                                  << u"已恢复 4 个对话；1 个附件与备份时不符，没有恢复：y.png"_s;
        QTest::newRow("one file missing")
            << u"remove x"_s << u"y"_s << u"已恢复 4 个对话；1 个附件不在备份里"_s;
        QTest::newRow("no folder")
            << u"remove folder"_s << QString() << u"已恢复 4 个对话；2 个附件不在备份里"_s;
    }
    void backupCarriesFiles()
    {
        QFETCH(QString, damage);
        QFETCH(QString, restored);
        QFETCH(QString, report);

        const AttachmentStore files(m_dir->path());
        QImage picture(20, 10, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        const QString source = path("x.txt");
        QVERIFY(writeAll(source, "print(1)\n"));
        const QHash<QString, Attachment> stored{
            {u"x"_s, *files.importFile(source).attachment},
            {u"y"_s, *files.importImage(picture, u"y.png"_s).attachment},
        };
        QVERIFY(writeAll(path("orphan"), "used by nothing"));
        const Attachment orphan = *files.importFile(path("orphan")).attachment;
        Conversation c = conv(u'f');
        Message m = msg(Message::Role::User, u"看"_s);
        m.setAttachments({stored[u"x"_s], stored[u"y"_s]});
        c.messages = {m};
        m_store->addConversationsAtTop({c});

        QVERIFY(QDir().mkpath(path("out")));
        const QUrl backup = QUrl::fromLocalFile(path("out/备份.json"));
        QCOMPARE(m_actions->backup(backup), QString());
        const QDir folder(path("out/备份.attachments"));
        QStringList expected{stored[u"x"_s].sha256, stored[u"y"_s].sha256};
        expected.sort();
        QCOMPARE(folder.entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(mode(folder.path()), 0700);
        for (const QString &name : expected)
            QCOMPARE(mode(folder.filePath(name)), 0600);
        QVERIFY(!expected.contains(orphan.sha256));

        const QString what = damage.section(u' ', 0, 0);
        const QString which = damage.section(u' ', 1);
        if (what == u"tamper")
            QVERIFY(writeAll(folder.filePath(stored[which].sha256), "not the picture"));
        else if (which == u"folder")
            QVERIFY(QDir(folder).removeRecursively());
        else if (what == u"remove")
            QVERIFY(QFile::remove(folder.filePath(stored[which].sha256)));

        QTemporaryDir other;
        Store fresh(other.path());
        HistoryActions restorer;
        restorer.setStore(&fresh);
        QCOMPARE(restorer.restore(backup), report);
        // The sample's three, and the one with the files first.
        QCOMPARE(fresh.conversations().size(), 4);
        QCOMPARE(fresh.conversations().first().messages.first().attachments().size(), 2);
        const AttachmentStore into(other.path());
        QString back;
        for (const QString &name : {u"x"_s, u"y"_s}) {
            if (into.verify(stored[name]))
                back += name;
            else
                QVERIFY(!into.exists(stored[name]));
        }
        QCOMPARE(back, restored);
    }

    // An export writes the images into a folder named after the file and links them; other
    // files, and an image no longer stored, are listed by name.
    void exportLinksImages()
    {
        const AttachmentStore files(m_dir->path());
        const auto image = [&](QRgb colour) {
            QImage picture(20, 10, QImage::Format_RGB32);
            picture.fill(colour);
            return *files.importImage(picture, u"截图.png"_s).attachment;
        };
        const Attachment red = image(qRgb(200, 0, 0));
        const Attachment blue = image(qRgb(0, 0, 200));
        Attachment lost = red;
        lost.name = u"lost [1].png"_s;
        lost.sha256 = QString(64, u'd');
        QVERIFY(writeAll(path("a.py"), "print(1)\n"));
        const Attachment code = *files.importFile(path("a.py")).attachment;
        Conversation c = conv(u'e');
        Message m = msg(Message::Role::User, u"看图"_s);
        m.setAttachments({red, code, blue, lost, red});
        c.messages = {m};
        m_store->addConversationsAtTop({c});

        QVERIFY(QDir().mkpath(path("out")));
        QCOMPARE(m_actions->exportMarkdown(canonicalUuidString(c.id),
                                           QUrl::fromLocalFile(path("out/我的 对话.md"))),
                 QString());
        const QString folder = u"%E6%88%91%E7%9A%84%20%E5%AF%B9%E8%AF%9D.images/"_s;
        QCOMPARE(QString::fromUtf8(readAll(path("out/我的 对话.md"))),
                 u"# e\n\n## 用户\n\n看图\n\n- ![截图.png]("_s + folder +
                     u"%E6%88%AA%E5%9B%BE.png)\n- a.py\n- ![截图.png]("_s + folder +
                     u"2-%E6%88%AA%E5%9B%BE.png)\n- lost \\[1\\].png\n- ![截图.png]("_s + folder +
                     u"%E6%88%AA%E5%9B%BE.png)\n"_s);
        QCOMPARE(readAll(path("out/我的 对话.images/截图.png")), readAll(files.pathOf(red)));
        QCOMPARE(readAll(path("out/我的 对话.images/2-截图.png")), readAll(files.pathOf(blue)));
        QCOMPARE(QDir(path("out/我的 对话.images")).count(), 4u); // with . and ..
    }

    void restoreMerges_data()
    {
        QTest::addColumn<QString>("backup");   // letters; an upper-case letter is that
                                               // conversation with a changed message
        QTest::addColumn<QString>("expected"); // titles of the whole history afterwards
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("report");
        // clang-format off
        QTest::newRow("all new, in order") << "xy" << "xyabc" << 2 << "已恢复 2 个对话";
        QTest::newRow("same content skipped") << "cab" << "abc" << 0 << "已恢复 0 个对话，3 个已存在";
        QTest::newRow("changed copy renamed") << "xBa" << "xb（恢复）abc" << 2 << "已恢复 2 个对话，1 个已存在";
        QTest::newRow("repeated in backup") << "xxX" << "xx（恢复）abc" << 2 << "已恢复 2 个对话，1 个已存在";
        QTest::newRow("empty backup") << "" << "abc" << 0 << "已恢复 0 个对话";
        // clang-format on
    }

    void restoreMerges()
    {
        QFETCH(QString, backup);
        QFETCH(QString, expected);
        QFETCH(int, count);
        QFETCH(QString, report);
        QList<Conversation> incoming;
        for (QChar l : backup) {
            Conversation c = l == u'b' ? sample().at(1) : conv(l.toLower());
            if (l.isUpper())
                c.messages.append(msg(Message::Role::User, QStringLiteral("改过")));
            incoming.append(c);
        }
        QVERIFY(writeAll(path("in.json"), encodeAppData(AppSettings{}, incoming)));

        bool ok = false;
        QCOMPARE(m_actions->restore(QUrl::fromLocalFile(path("in.json")), &ok), report);
        QVERIFY(ok);
        QCOMPARE(titles(m_store->conversations()), expected);
        m_store->flush();
        QCOMPARE(titles(Store(m_dir->path()).conversations()), expected);
        QSet<QUuid> ids;
        for (const Conversation &c : m_store->conversations())
            ids.insert(c.id);
        QCOMPARE(ids.size(), m_store->conversations().size());
        QCOMPARE(m_store->conversations().mid(count), sample()); // nothing the user had changed
    }

    // A backup's gateways meet this machine's by id, then by address; what meets none lands on
    // the first gateway with its model's name, and the report says how many. The remapping
    // comes before the comparison, so that an unchanged conversation is not restored again.
    void restoreGateways_data()
    {
        QTest::addColumn<QString>("address"); // of the backup's gateway
        QTest::addColumn<bool>("sameId");     // the backup's gateway has the id of the one here
        QTest::addColumn<int>("landing");     // 0: the first gateway, 1: the one here, -1: none
        QTest::addColumn<QString>("report");
        const QString moved =
            QStringLiteral("已恢复 2 个对话；其中 2 个对话的网关在本机没有，已改用第一个网关");
        QTest::newRow("same id") << "https://other.example" << true << 1
                                 << "已恢复 1 个对话，1 个已存在";
        QTest::newRow("same address")
            << " HTTPS://Relay.example:443/v1/ " << false << 1 << "已恢复 1 个对话，1 个已存在";
        QTest::newRow("the first's address")
            << "https://api.openai.com/v1" << false << 0 << "已恢复 2 个对话";
        QTest::newRow("unknown") << "https://other.example/v1" << false << -1 << moved;
    }

    void restoreGateways()
    {
        QFETCH(QString, address);
        QFETCH(bool, sameId);
        QFETCH(int, landing);
        QFETCH(QString, report);
        const Provider here{QUuid::createUuid(),
                            QStringLiteral("中转"),
                            QStringLiteral("https://relay.example/v1"),
                            QStringLiteral("k"),
                            {}};
        AppSettings settings;
        settings.providers = {here};
        m_store->setSettings(settings);
        // b here, pinned to the gateway here.
        m_store->setModel(sample().at(1).id, sample().at(1).model, here.id);

        // The backup: b as it is here, and a new conversation x left to its gateway's default.
        AppSettings theirs;
        const Provider there{sameId ? here.id : QUuid::createUuid(),
                             QStringLiteral("R"),
                             address,
                             {},
                             {QStringLiteral("claude")}};
        theirs.providers = {there};
        Conversation b = sample().at(1);
        b.provider = there.id;
        Conversation x = conv(u'x');
        x.provider = there.id;
        QVERIFY(writeAll(path("in.json"), encodeAppData(theirs, {b, x})));

        QCOMPARE(m_actions->restore(QUrl::fromLocalFile(path("in.json"))), report);
        const QUuid expected = landing == 1 ? here.id : QUuid();
        const Conversation *restored = m_store->conversation(x.id);
        QVERIFY(restored);
        QCOMPARE(restored->provider, expected);
        // Wherever it lands, it keeps talking to the model it did.
        QCOMPARE(restored->model, sameId ? std::nullopt : std::optional(QStringLiteral("claude")));
        // b came back as a copy only when its gateway here is another.
        QCOMPARE(m_store->conversations().size(), sample().size() + (landing == 1 ? 1 : 2));
    }

    void restoreBadFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("not json") << QByteArray("备份\x01");
        QTest::newRow("cut short") << encodeAppData(AppSettings{}, sample()).chopped(5);
        QTest::newRow("wrong shape") << QByteArray(R"({"conversations":[{"title":3}]})");
    }

    void restoreBadFile()
    {
        QFETCH(QByteArray, bytes);
        const QByteArray saved = readAll(path("data.json"));
        if (!bytes.isNull())
            QVERIFY(writeAll(path("in.json"), bytes));
        QSignalSpy changes(m_store.get(), &Store::conversationsInserted);

        bool ok = true;
        const QString message = m_actions->restore(QUrl::fromLocalFile(path("in.json")), &ok);
        QVERIFY(!ok);
        QVERIFY2(message.contains(QStringLiteral("没有恢复任何对话")), qPrintable(message));
        QCOMPARE(changes.size(), 0);
        QCOMPARE(readAll(path("data.json")), saved);
    }
};

QTEST_MAIN(TstHistoryActions)
#include "tst_historyactions.moc"
