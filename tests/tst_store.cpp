// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/store.h"
#include "storetestutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

namespace {

std::optional<QUuid> idOf(const QString &letter)
{
    return letter.isEmpty() ? std::nullopt : std::optional(conv(letter[0]).id);
}

QStringList asideFiles(const QString &dir)
{
    return QDir(dir).entryList({u"data.json.unreadable-*"_s}, QDir::AllEntries | QDir::System);
}

// The permission bits as the system keeps them.
int mode(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
#else
    Q_UNUSED(path);
    return -1;
#endif
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void firstRunInStandardLocation()
    {
        QTemporaryDir tmp;
        const QString home = tmp.path() + u"/home/share"_s;
        qputenv("XDG_DATA_HOME", home.toUtf8());
        Store store;
        QCOMPARE(store.fileURL(), home + u"/Corvane/data.json"_s);
#ifdef Q_OS_UNIX
        QCOMPARE(mode(home + u"/Corvane"_s), 0700);
#endif
        QVERIFY(!QFile::exists(store.fileURL()));

        store.newConversation();
        store.newConversation();
        QVERIFY(store.flush());
        QCOMPARE(store.conversations().size(), 2);
        QCOMPARE(store.selectedID(), store.conversations().at(0).id);
        QVERIFY(store.conversations().at(0).createdAt >= store.conversations().at(1).createdAt);
        for (const Conversation &c : store.conversations())
            QVERIFY(c.title == u"新对话"_s && !c.model && c.messages.isEmpty());
#ifdef Q_OS_UNIX
        QCOMPARE(mode(store.fileURL()), 0600);
#endif
        QCOMPARE(decodeAppData(readAll(store.fileURL()))->conversations, store.conversations());
    }

    void undecodableFileKeptAside_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: data.json is a directory
        QTest::addColumn<bool>("nameTaken");   // the aside names of the surrounding seconds exist

        const QByteArray unknownRole =
            R"({"settings":{"apiKey":"sk-1"},"conversations":[{"messages":
            [{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","role":"tool","content":"x"}]}]})";
        QTest::newRow("unknown role") << unknownRole << false;
        QTest::newRow("unreadable: a directory") << QByteArray() << false;
        QTest::newRow("aside name taken") << unknownRole << true;
    }

    void undecodableFileKeptAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, nameTaken);
        QTemporaryDir tmp;
        const QString path = tmp.path() + u"/data.json"_s;
        QVERIFY(bytes.isEmpty() ? QDir().mkpath(path + u"/inside"_s) : writeAll(path, bytes));

        Store store(tmp.path());
        QCOMPARE(store.settings(), AppSettings{}); // nothing of a file that does not decode whole
        QVERIFY(store.conversations().isEmpty());
        QVERIFY(asideFiles(tmp.path()).isEmpty());

        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int s = -1; nameTaken && s <= 3; ++s)
            QVERIFY(writeAll(path + now.addSecs(s).toString(u"'.unreadable-'yyyyMMdd'T'HHmmss'Z'"),
                             ""));
        const QStringList taken = asideFiles(tmp.path());
        store.newConversation();
        QVERIFY(store.flush());
        QStringList aside = asideFiles(tmp.path());
        for (const QString &name : taken)
            aside.removeOne(name);
        QCOMPARE(aside.size(), 1);
        static const QRegularExpression form(
            u"^data\\.json\\.unreadable-\\d{8}T\\d{6}Z(-\\d+)?$"_s);
        QVERIFY2(form.match(aside.first()).hasMatch(), qPrintable(aside.first()));
        const QString asidePath = tmp.path() + u'/' + aside.first();
        if (bytes.isEmpty())
            QVERIFY(QFileInfo::exists(asidePath + u"/inside"_s));
        else
            QCOMPARE(readAll(asidePath), bytes);

        QCOMPARE(decodeAppData(readAll(path))->conversations, store.conversations());

        // Only the first save keeps a copy: later saves replace the app's own file.
        QVERIFY(saveNow(store));
        QCOMPARE(asideFiles(tmp.path()).size(), taken.size() + 1);
    }

    // A malformed gateway entry costs only that entry: the rest is read, the user is told, and
    // the original file is kept aside once before the first save drops the entry.
    void malformedGatewayKeptAside()
    {
        QTemporaryDir tmp;
        const QString path = tmp.path() + u"/data.json"_s;
        const QByteArray bytes =
            R"({"settings":{"apiKey":"sk-1","providers":[{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"好"},{"name":"sk-leak"}]},"conversations":[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","title":"t"}]})";
        QVERIFY(writeAll(path, bytes));
        QTest::failOnWarning(QRegularExpression(u".*"_s)); // nothing is logged
        Store store(tmp.path());
        QCOMPARE(store.settings().apiKey, u"sk-1"_s);
        QCOMPARE(store.settings().providers.size(), 1);
        QCOMPARE(store.conversations().size(), 1);
        QVERIFY(!store.loadNotice().isEmpty());
        QVERIFY(!store.loadNotice().contains(u"sk-"_s));
        QVERIFY(asideFiles(tmp.path()).isEmpty());

        QVERIFY(saveNow(store));
        QCOMPARE(asideFiles(tmp.path()).size(), 1);
        QCOMPARE(readAll(tmp.path() + u'/' + asideFiles(tmp.path()).first()), bytes);
        QVERIFY(!readAll(path).contains("sk-leak"));
        QVERIFY(saveNow(store));
        QCOMPARE(asideFiles(tmp.path()).size(), 1);
        // Read whole, the file says nothing.
        QVERIFY(Store(tmp.path()).loadNotice().isEmpty());
    }

    // The copy kept aside does not fit: neither file changes, and a later save keeps the copy
    // once. (Replacing a good file under a size limit or on a full disk: tst_storefaults.)
    void failedWriteKeepsPreviousFile()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir tmp;
        const QString path = tmp.path() + u"/data.json"_s;
        QVERIFY(writeAll(path, QByteArray(64 * 1024, '[')));
        const QByteArray before = readAll(path);
        Store store(tmp.path());

        // Permissions do not stop root, a file size limit does.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit limit = old;
        limit.rlim_cur = 16 * 1024;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            QSKIP("cannot limit the file size");
        const bool saved = saveNow(store);
        setrlimit(RLIMIT_FSIZE, &old);

        QVERIFY(!saved);
        QCOMPARE(store.saveError(), u"文件超出了允许的大小"_s);
        QCOMPARE(readAll(path), before);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"data.json"_s});
        QVERIFY(saveNow(store));
        QCOMPARE(asideFiles(tmp.path()).size(), 1);
#else
        QSKIP("needs RLIMIT_FSIZE");
#endif
    }

    // A save that fails is reported until one works; the state in memory is kept whole.
    void saveFailureShownUntilASaveWorks_data()
    {
        QTest::addColumn<QString>("blocker"); // what is put in the way: "file" or "folder"
        QTest::addColumn<QString>("blocked"); // where, relative to the data folder
        QTest::addColumn<QString>("reason");  // a part of the reason

        QTest::newRow("data.json is a folder")
            << u"folder"_s << u"data.json"_s << u"是一个文件夹"_s;
        QTest::newRow("the folder is a file") << u"file"_s << QString() << u"无法创建文件夹"_s;
    }

    void saveFailureShownUntilASaveWorks()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, blocked);
        QFETCH(QString, reason);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + u"/Corvane"_s;
        Store store(dir);
        QSignalSpy status(&store, &Store::saveStatusChanged);
        QVERIFY(saveNow(store));
        QCOMPARE(status.size(), 0);

        const QString path = blocked.isEmpty() ? dir : dir + u'/' + blocked;
        const auto removePath = [&] {
            return QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
        };
        QVERIFY(removePath());
        QVERIFY(blocker == u"folder"_s ? QDir().mkpath(path + u"/x"_s) : writeAll(path, "x"));
        store.newConversation();
        store.newConversation();
        QVERIFY(!store.flush());
        QVERIFY2(store.saveError().contains(reason), qPrintable(store.saveError()));
        QCOMPARE(status.size(), 1);
        QCOMPARE(store.conversations().size(), 2);

        QVERIFY(removePath());
        QVERIFY(saveNow(store));
        QVERIFY(!store.lastSaveFailed() && store.saveError().isEmpty());
        QCOMPARE(status.size(), 2);
        QCOMPARE(decodeAppData(readAll(dir + u"/data.json"_s))->conversations,
                 store.conversations());
    }

    void tightensModeAndRemakesFolder()
    {
        QTemporaryDir tmp;
        const QString path = tmp.path() + u"/data.json"_s;
        QVERIFY(writeConversations(tmp.path(), u"A"_s));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        Store store(tmp.path());
        QVERIFY(saveNow(store));
#ifdef Q_OS_UNIX
        QCOMPARE(mode(path), 0600);
#endif

        // A folder removed while the app runs is made again rather than losing every later save.
        QVERIFY(QDir(tmp.path()).removeRecursively());
        store.newConversation();
        QVERIFY(store.flush());
        QCOMPARE(decodeAppData(readAll(path))->conversations.size(), 2);
    }

    // remove() and rename(); each ends with a save. (With the ids as QML's text: tst_qmltypes.)
    void removeAndRename_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QUuid>("id");
        QTest::addColumn<QString>("name");  // null: remove
        QTest::addColumn<QString>("after"); // "-": unchanged and nothing written
        QTest::addColumn<QString>("selectedAfter");

        const auto id = [](char letter) { return conv(QChar(letter)).id; };
        const QString remove;
        // clang-format off
        QTest::newRow("remove selected at 2") << "ABC" << "C" << id('C') << remove << "AB" << "A";
        QTest::newRow("remove another") << "ABC" << "A" << id('B') << remove << "AC" << "A";
        QTest::newRow("remove the only one") << "A" << "A" << id('A') << remove << "" << "";
        QTest::newRow("remove, none selected") << "AB" << "" << id('A') << remove << "B" << "";
        QTest::newRow("remove unknown, saved") << "AB" << "B" << id('X') << remove << "AB" << "B";
        QTest::newRow("remove duplicate ids") << "ABAAC" << "A" << id('A') << remove << "BC" << "B";
        QTest::newRow("rename to spaces") << "AB" << "A" << id('B') << "   " << "A未命名" << "A";
        QTest::newRow("rename trims Unicode") << "AB" << "A" << id('A')
            << "\u3000\t周报\u00a0\u2028\r\n\u0085" << "周报B" << "A";
        QTest::newRow("rename, inner space") << "AB" << "A" << id('A') << " a \n b " << "a \n bB"
            << "A";
        QTest::newRow("rename first of dupes") << "ABA" << "A" << id('A') << "x" << "xBA" << "A";
        QTest::newRow("rename unknown id") << "AB" << "A" << id('X') << "x" << "-" << "A";
        // clang-format on
    }

    void removeAndRename()
    {
        QFETCH(QString, list);
        QFETCH(QString, selected);
        QFETCH(QUuid, id);
        QFETCH(QString, name);
        QFETCH(QString, after);
        QFETCH(QString, selectedAfter);

        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), list));
        Store store(tmp.path());
        QCOMPARE(store.selectedID(), idOf(list.left(1)));
        store.setSelectedID(idOf(selected));
        QVERIFY(QFile::remove(store.fileURL()));

        if (name.isNull())
            store.remove(id);
        else
            store.rename(id, name);
        store.flush();
        QCOMPARE(titles(store.conversations()), after == u"-" ? list : after);
        QCOMPARE(store.selectedID(), idOf(selectedAfter));
        QCOMPARE(QFile::exists(store.fileURL()), after != u"-");
        if (after != u"-")
            QCOMPARE(titles(decodeAppData(readAll(store.fileURL()))->conversations), after);
    }

    void editorsSignalAndNeverSave()
    {
        QTemporaryDir tmp;
        Store store(tmp.path());
        store.newConversation();
        store.flush();
        QVERIFY(QFile::remove(store.fileURL()));

        // Observers still see the old state in an about-to signal.
        QList<qsizetype> sizesWhenAboutTo;
        const auto recordSize = [&] {
            sizesWhenAboutTo << store.conversations().at(0).messages.size();
        };
        connect(&store, &Store::messagesAboutToBeInserted, this, recordSize);
        connect(&store, &Store::messagesAboutToBeRemoved, this, recordSize);
        QSignalSpy inserted(&store, &Store::messagesInserted);
        QSignalSpy removed(&store, &Store::messagesRemoved);
        QSignalSpy content(&store, &Store::messageContentChanged);
        QSignalSpy updated(&store, &Store::conversationUpdated);
        QSignalSpy settings(&store, &Store::settingsChanged);
        QSignalSpy selection(&store, &Store::selectedIDChanged);

        const QUuid id = store.conversations().at(0).id;
        QList<QUuid> ids;
        for (const QString &text : {u"a"_s, u"b"_s, u"c"_s, QString()}) {
            const Message m = Message::make(Message::Role::User, text);
            store.appendMessage(id, m);
            ids << m.id;
        }
        store.appendMessage(QUuid::createUuid(), Message::make(Message::Role::User, u"x"_s));
        QCOMPARE(inserted.size(), 4);
        QCOMPARE(inserted.at(3), (QVariantList{QVariant::fromValue(id), 3, 3}));

        const Conversation *listData = store.conversations().constData();
        store.appendToMessage(id, ids[3], u"你好");
        store.appendToMessage(id, ids[3], u"");
        store.appendToMessage(id, QUuid::createUuid(), u"?");
        store.appendToMessage(id, ids[3], u"!");
        QCOMPARE(store.conversations().at(0).messages.at(3).content, u"你好!"_s);
        QCOMPARE(content.size(), 2);
        QCOMPARE(content.at(1), (QVariantList{QVariant::fromValue(id), ids[3], 3}));
        QCOMPARE(store.conversations().constData(), listData); // no copy of the list per delta

        store.removeMessage(id, ids[1]);
        QCOMPARE(removed.takeFirst(), (QVariantList{QVariant::fromValue(id), 1, 1}));
        store.removeMessagesAfter(id, ids[0]);
        QCOMPARE(removed.takeFirst(), (QVariantList{QVariant::fromValue(id), 1, 2}));
        store.removeMessagesAfter(id, ids[0]);
        store.removeMessagesAfter(id, ids[3]);
        QVERIFY(removed.isEmpty());
        QCOMPARE(sizesWhenAboutTo, (QList<qsizetype>{0, 1, 2, 3, 4, 3}));

        store.setTitle(id, u"新对话"_s); // unchanged
        store.setModel(id, u""_s, {});
        store.setModel(id, u""_s, {});
        store.setModel(QUuid::createUuid(), u"m"_s, {});
        QCOMPARE(updated.size(), 1);
        QCOMPARE(updated.at(0), (QVariantList{QVariant::fromValue(id), 0}));

        AppSettings s = store.settings();
        store.setSettings(s);
        s.models = {u"m"_s};
        store.setSettings(s);
        store.setSettings(s);
        QCOMPARE(settings.size(), 1);

        store.setSelectedID(std::nullopt);
        store.setSelectedID(std::nullopt);
        store.setSelectedID(id);
        QCOMPARE(selection.size(), 2);
        QCOMPARE(store.selectedID(), id);

        QVERIFY(!QFile::exists(store.fileURL()));
    }

    // Conversations are found through an index of ids that must follow every insertion and
    // removal; with duplicate ids the editors act on the first.
    void editorsFindFirstOfDuplicates_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("change"); // "+": a new conversation first; a letter: removed
        QTest::addColumn<int>("edited");     // position of the conversation A's edit reaches

        // clang-format off
        QTest::newRow("first")              << "ABA" << ""  << 0;
        QTest::newRow("after another")      << "BAA" << ""  << 1;
        QTest::newRow("after an insertion") << "BAA" << "+" << 2;
        QTest::newRow("after a removal")    << "BCA" << "B" << 1;
        QTest::newRow("removed")            << "BCA" << "A" << -1;
        // clang-format on
    }

    void editorsFindFirstOfDuplicates()
    {
        QFETCH(QString, list);
        QFETCH(QString, change);
        QFETCH(int, edited);
        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), list));
        Store store(tmp.path());
        if (change == u"+")
            store.newConversation();
        else if (!change.isEmpty())
            store.remove(conv(change[0]).id);

        const QUuid a = conv(u'A').id;
        QSignalSpy updated(&store, &Store::conversationUpdated);
        const Message m = Message::make(Message::Role::User, u"问"_s);
        store.appendMessage(a, m);
        store.appendMessage(a, m); // a repeated message id: the first one is edited
        store.appendToMessage(a, m.id, u"!");
        store.setTitle(a, u"题"_s);
        QCOMPARE(updated.size(), edited < 0 ? 0 : 1); // at the row where the title changed
        if (edited < 0)
            QVERIFY(!store.conversation(a));
        else
            QCOMPARE(updated.at(0), (QVariantList{QVariant::fromValue(a), edited}));
        for (qsizetype i = 0; i < store.conversations().size(); ++i) {
            const Conversation &c = store.conversations().at(i);
            QCOMPARE(c.messages.size(), i == edited ? 2 : 0);
            QCOMPARE(c.title == u"题", i == edited);
        }
        if (edited >= 0) {
            QCOMPARE(store.conversation(a), &store.conversations().at(edited));
            QCOMPARE(store.message(a, m.id)->content, u"问!"_s);
            QCOMPARE(store.conversation(a)->messages.constLast().content, u"问"_s);
        }
    }

    // The signals by id come with the row signals, in an order that lets a model of one
    // conversation begin before the rows change and end after. Logged: "ai"/"i" about to
    // insert/inserted rows, "ar"/"r" the same for removals, "+", "?", "-" the conversation
    // inserted, about to be removed and removed ("N" a new one), "sel" a new selection.
    void idSignalsFollowRows_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("change"); // "+": new; "-X": remove X; "<...": put back at
                                             // index, letter pairs; "^...": add at the top
        QTest::addColumn<QString>("log");

        // clang-format off
        QTest::newRow("new") << "A" << "+" << "ai0:0 i0:0 +N sel";
        QTest::newRow("remove selected duplicates") << "ABAAC" << "-A"
            << "?A ar2:3 r2:3 ar0:0 r0:0 -A sel";
        QTest::newRow("remove another") << "ABC" << "-B" << "?B ar1:1 r1:1 -B";
        QTest::newRow("remove unknown") << "AB" << "-X" << "";
        QTest::newRow("put back") << "BC" << "<0A2A" << "ai0:0 i0:0 +A ai2:2 i2:2 +A";
        QTest::newRow("put back, listed again") << "AB" << "<0A" << "";
        QTest::newRow("add at the top") << "C" << "^AB" << "ai0:1 i0:1 +A +B";
        // clang-format on
    }

    void idSignalsFollowRows()
    {
        QFETCH(QString, list);
        QFETCH(QString, change);
        QFETCH(QString, log);
        QTemporaryDir tmp;
        QVERIFY(writeConversations(tmp.path(), list));
        Store store(tmp.path());

        QStringList seen;
        const auto letter = [](const QUuid &id) {
            for (QChar l = u'A'; l <= u'Z'; l = QChar(l.unicode() + 1)) {
                if (conv(l).id == id)
                    return QString(l);
            }
            return u"N"_s;
        };
        const auto rows = [&seen](const QString &what) {
            return [&seen, what](int first, int last) {
                seen << what + QString::number(first) + u':' + QString::number(last);
            };
        };
        const auto ids = [&seen, letter](const QString &what) {
            return [&seen, letter, what](const QUuid &id) { seen << what + letter(id); };
        };
        connect(&store, &Store::conversationsAboutToBeInserted, this, rows(u"ai"_s));
        connect(&store, &Store::conversationsInserted, this, rows(u"i"_s));
        connect(&store, &Store::conversationsAboutToBeRemoved, this, rows(u"ar"_s));
        connect(&store, &Store::conversationsRemoved, this, rows(u"r"_s));
        connect(&store, &Store::conversationInserted, this, ids(u"+"_s));
        connect(&store, &Store::conversationAboutToBeRemoved, this, ids(u"?"_s));
        connect(&store, &Store::conversationRemoved, this, ids(u"-"_s));
        connect(&store, &Store::selectedIDChanged, this, [&seen] { seen << u"sel"_s; });

        if (change == u"+") {
            store.newConversation();
        } else if (change.startsWith(u'-')) {
            store.remove(conv(change[1]).id);
        } else if (change.startsWith(u'<')) {
            QList<std::pair<qsizetype, Conversation>> removed;
            for (qsizetype i = 1; i + 1 < change.size(); i += 2)
                removed.append({change[i].digitValue(), conv(change[i + 1])});
            store.insertConversations(removed);
        } else {
            QList<Conversation> added;
            for (QChar l : change.mid(1))
                added << conv(l);
            store.addConversationsAtTop(added);
        }
        QCOMPARE(seen.join(u' '), log);
    }

    // Saves are written off this thread: in order, the newest state winning over the ones that
    // wait, each write reported here once, and the last one finished before the Store is gone.
    void savesInOrderNewestWins()
    {
        QTemporaryDir tmp;
        QList<int> onDisk; // the number in the file's title at each report
        int reports = 0;
        {
            Store store(tmp.path());
            store.newConversation();
            const QUuid id = store.conversations().at(0).id;
            connect(&store, &Store::saved, this, [&](bool ok) {
                QVERIFY(ok);
                QCOMPARE(QThread::currentThread(), thread());
                ++reports;
                const auto data = decodeAppData(readAll(store.fileURL()));
                onDisk << (data ? data->conversations.at(0).title.toInt() : -1);
            });
            for (int i = 1; i <= 200; ++i) {
                store.setTitle(id, QString::number(i));
                store.save();
                if (i == 100)
                    QTRY_VERIFY(reports > 0); // reports come while saves still run
            }
            store.setTitle(id, u"201"_s);
            store.save();
        }
        QVERIFY(reports < 201);
        QVERIFY(std::is_sorted(onDisk.cbegin(), onDisk.cend()));
        const auto last = decodeAppData(readAll(tmp.path() + u"/data.json"_s));
        QCOMPARE(last->conversations.at(0).title, u"201"_s);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
