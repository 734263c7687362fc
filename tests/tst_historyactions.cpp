// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/historyactions.h"
#include "model/conversationtransfer.h"
#include "store/conversationlistmodel.h"
#include "storetestutil.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

class TstHistoryActions : public QObject
{
    Q_OBJECT

private slots:
    void markdownText_data();
    void markdownText();
    void exportWritesAndCopies();
    void exportFailureChangesNothing_data();
    void exportFailureChangesNothing();
    void undoRemove_data();
    void undoRemove();
    void backupLeavesOutKey();
    void restoreMerges_data();
    void restoreMerges();
    void restoreBadFile_data();
    void restoreBadFile();
};

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

QString dataFile(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("data.json"));
}

} // namespace

void TstHistoryActions::markdownText_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<QString>("expected");
    using R = Message::Role;

    QTest::newRow("empty") << QStringLiteral("新对话") << QList<Message>{}
                           << QStringLiteral("# 新对话\n");
    QTest::newRow("turns, verbatim content")
        << QStringLiteral("代码")
        << QList<Message>{msg(R::User, QStringLiteral("写个 *循环*\n\n  缩进\n")),
                          msg(R::Assistant, QStringLiteral("```c\nfor (;;) {}\n```\n\n\n"))}
        << QStringLiteral("# 代码\n\n## 用户\n\n写个 *循环*\n\n  缩进\n\n## 助手\n\n"
                          "```c\nfor (;;) {}\n```\n");
    QTest::newRow("system and reasoning")
        << QStringLiteral("T")
        << QList<Message>{msg(R::System, QStringLiteral("简洁")),
                          msg(R::Assistant, QStringLiteral("答"),
                              QStringLiteral("第一步\r\n\n# 第二步\n"))}
        << QStringLiteral("# T\n\n## 系统\n\n简洁\n\n## 助手\n\n"
                          "> **思考过程**\n>\n> 第一步\n>\n> # 第二步\n\n答\n");
    QTest::newRow("empty reply, title on one line")
        << QStringLiteral("a\nb\r\nc")
        << QList<Message>{msg(R::User, QStringLiteral("问")), msg(R::Assistant, QString())}
        << QStringLiteral("# a b c\n\n## 用户\n\n问\n\n## 助手\n");
}

void TstHistoryActions::markdownText()
{
    QFETCH(QString, title);
    QFETCH(QList<Message>, messages);
    Conversation c = Conversation::make();
    c.title = title;
    c.messages = messages;
    QTEST(conversationMarkdown(c), "expected");
}

void TstHistoryActions::exportWritesAndCopies()
{
    QTemporaryDir dir;
    Store store(dir.path());
    store.addConversationsAtTop(sample());
    HistoryActions actions;
    actions.setStore(&store);
    const QString id = canonicalUuidString(sample().at(1).id);
    const QString path = dir.filePath(QStringLiteral("b.md"));

    QCOMPARE(actions.exportMarkdown(id, QUrl::fromLocalFile(path)), QString());
    const QByteArray expected = conversationMarkdown(sample().at(1)).toUtf8();
    QCOMPARE(readAll(path), expected);
    actions.copyConversation(id);
    QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), expected);
    QCOMPARE(actions.suggestedFileName(id), QStringLiteral("b.md"));
}

void TstHistoryActions::exportFailureChangesNothing_data()
{
    QTest::addColumn<QString>("target"); // relative to the temporary folder
    QTest::newRow("parent is a file") << QStringLiteral("file.md/out.md");
    QTest::newRow("missing folder") << QStringLiteral("nowhere/out.md");
    QTest::newRow("target is a folder") << QStringLiteral("folder");
}

// Runs as root in CI too, so the failures are ones permissions cannot bypass.
void TstHistoryActions::exportFailureChangesNothing()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(QStringLiteral("file.md")), "kept"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    Store store(dir.path());
    store.addConversationsAtTop(sample());
    store.flush();
    const QByteArray saved = readAll(dataFile(dir));
    HistoryActions actions;
    actions.setStore(&store);

    const QString message = actions.exportMarkdown(canonicalUuidString(sample().at(0).id),
                                                   QUrl::fromLocalFile(dir.filePath(target)));
    QVERIFY(message.contains(QStringLiteral("无法写入")));
    QVERIFY(message.contains(QStringLiteral("没有改动")));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("file.md"))), QByteArray("kept"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
    QCOMPARE(readAll(dataFile(dir)), saved);
}

void TstHistoryActions::undoRemove_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("selected");
    QTest::newRow("top") << 0 << false;
    QTest::newRow("middle, selected") << 1 << true;
    QTest::newRow("middle") << 1 << false;
    QTest::newRow("bottom, selected") << 2 << true;
}

void TstHistoryActions::undoRemove()
{
    QFETCH(int, row);
    QFETCH(bool, selected);
    QTemporaryDir dir;
    Store store(dir.path());
    ConversationListModel rows(&store);
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    store.addConversationsAtTop(sample());
    const Conversation removed = store.conversations().at(row);
    const QUuid other = store.conversations().at(row == 0 ? 1 : 0).id;
    store.setSelectedID(selected ? removed.id : other);
    HistoryActions actions;
    actions.setStore(&store);

    actions.removeWithUndo(canonicalUuidString(removed.id));
    store.flush();
    QCOMPARE(titles(store.conversations()).size(), 2);
    QVERIFY(!Store(dir.path()).indexOf(removed.id)); // the delete itself was saved
    QVERIFY(actions.canUndoRemove());
    QCOMPARE(actions.removedTitle(), removed.title);

    actions.undoRemove();
    store.flush();
    QVERIFY(!actions.canUndoRemove());
    QCOMPARE(store.conversations(), sample());
    QCOMPARE(store.selectedID(), selected ? removed.id : other);
    QCOMPARE(Store(dir.path()).conversations(), sample());

    // Nothing left to undo: a second undo changes nothing.
    actions.undoRemove();
    QCOMPARE(store.conversations(), sample());
}

void TstHistoryActions::backupLeavesOutKey()
{
    QTemporaryDir dir;
    Store store(dir.path());
    AppSettings settings;
    settings.apiKey = QStringLiteral("sk-secret");
    settings.model = QStringLiteral("qwen");
    store.setSettings(settings);
    store.addConversationsAtTop(sample());
    HistoryActions actions;
    actions.setStore(&store);
    const QString path = dir.filePath(QStringLiteral("backup.json"));

    QCOMPARE(actions.backup(QUrl::fromLocalFile(path)), QString());
    const QByteArray bytes = readAll(path);
    QVERIFY(!bytes.contains("sk-secret"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(path).permissions() & others, QFile::Permissions());
    const auto data = decodeAppData(bytes);
    QVERIFY(data);
    QCOMPARE(data->conversations, sample());
    QCOMPARE(data->settings.model, QStringLiteral("qwen"));
    QCOMPARE(data->settings.apiKey, QString());

    // Restored into an empty history it brings everything back, and the key stays the user's.
    QTemporaryDir other;
    Store fresh(other.path());
    settings.apiKey = QStringLiteral("sk-mine");
    fresh.setSettings(settings);
    HistoryActions restorer;
    restorer.setStore(&fresh);
    bool ok = false;
    QCOMPARE(restorer.restore(QUrl::fromLocalFile(path), &ok), QStringLiteral("已恢复 3 个对话"));
    QVERIFY(ok);
    QCOMPARE(fresh.conversations(), sample());
    fresh.flush();
    QCOMPARE(Store(other.path()).conversations(), sample());
    QCOMPARE(fresh.settings().apiKey, QStringLiteral("sk-mine"));
}

void TstHistoryActions::restoreMerges_data()
{
    QTest::addColumn<QString>("backup");   // letters; an upper-case letter is that
                                           // conversation with a changed message
    QTest::addColumn<QString>("expected"); // titles of the whole history afterwards
    QTest::addColumn<int>("count");
    QTest::newRow("all new, in order") << "xy"
                                       << "xyabc" << 2;
    QTest::newRow("same content skipped") << "cab"
                                          << "abc" << 0;
    QTest::newRow("changed copy renamed") << "xBa"
                                          << "xb（恢复）abc" << 2;
    QTest::newRow("repeated in backup") << "xxX"
                                        << "xx（恢复）abc" << 2;
    QTest::newRow("empty backup") << ""
                                  << "abc" << 0;
}

void TstHistoryActions::restoreMerges()
{
    QFETCH(QString, backup);
    QFETCH(QString, expected);
    QFETCH(int, count);
    QTemporaryDir dir;
    Store store(dir.path());
    store.addConversationsAtTop(sample());
    QList<Conversation> incoming;
    for (QChar l : backup) {
        Conversation c = l == u'b' ? sample().at(1) : conv(l.toLower());
        if (l.isUpper())
            c.messages.append(msg(Message::Role::User, QStringLiteral("改过")));
        incoming.append(c);
    }
    const QString path = dir.filePath(QStringLiteral("in.json"));
    QVERIFY(writeAll(path, encodeAppData(AppSettings{}, incoming)));
    HistoryActions actions;
    actions.setStore(&store);

    bool ok = false;
    QCOMPARE(actions.restore(QUrl::fromLocalFile(path), &ok),
             QStringLiteral("已恢复 %1 个对话").arg(count));
    QVERIFY(ok);
    QCOMPARE(titles(store.conversations()), expected);
    store.flush();
    QCOMPARE(titles(Store(dir.path()).conversations()), expected);
    QSet<QUuid> ids;
    for (const Conversation &c : store.conversations())
        ids.insert(c.id);
    QCOMPARE(ids.size(), store.conversations().size());
    QCOMPARE(store.conversations().mid(count), sample()); // nothing the user had changed
}

void TstHistoryActions::restoreBadFile_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("not json") << QByteArray("备份\x01");
    QTest::newRow("cut short") << encodeAppData(AppSettings{}, sample()).chopped(5);
    QTest::newRow("wrong shape") << QByteArray(R"({"conversations":[{"title":3}]})");
}

void TstHistoryActions::restoreBadFile()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    Store store(dir.path());
    store.addConversationsAtTop(sample());
    store.flush();
    const QByteArray saved = readAll(dataFile(dir));
    const QString path = dir.filePath(QStringLiteral("in.json"));
    if (!bytes.isNull())
        QVERIFY(writeAll(path, bytes));
    HistoryActions actions;
    actions.setStore(&store);
    QSignalSpy changes(&store, &Store::conversationsInserted);

    bool ok = true;
    const QString message = actions.restore(QUrl::fromLocalFile(path), &ok);
    QVERIFY(!ok);
    QVERIFY2(message.contains(QStringLiteral("没有恢复任何对话")), qPrintable(message));
    QCOMPARE(changes.size(), 0);
    QCOMPARE(readAll(dataFile(dir)), saved);
}

QTEST_MAIN(TstHistoryActions)
#include "tst_historyactions.moc"
