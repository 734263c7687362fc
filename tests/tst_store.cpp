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

#ifdef Q_OS_UNIX
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
    void firstRunInStandardLocation();
    void undecodableFileKeptAside_data();
    void undecodableFileKeptAside();
    void asideNameAlreadyTaken();
    void failedWriteKeepsPreviousFile_data();
    void failedWriteKeepsPreviousFile();
    void tightensModeAndRemakesFolder();
    void remove_data();
    void remove();
    void rename_data();
    void rename();
    void editorsSignalAndNeverSave();
};

void TestStore::firstRunInStandardLocation()
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
    QCOMPARE(store.settings(), AppSettings{});
    QVERIFY(store.conversations().isEmpty());
    QVERIFY(!store.selectedID());

    store.newConversation();
    store.newConversation();
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

void TestStore::undecodableFileKeptAside_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: data.json is a directory

    QTest::newRow("unknown role") << R"({"settings":{"apiKey":"sk-1"},"conversations":[{"messages":
        [{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","role":"tool","content":"history"}]}]})"_ba;
    QTest::newRow("cut short") << R"({"settings":{},"conversations":[{"title":"周)"_ba;
    QTest::newRow("unreadable: a directory") << QByteArray();
}

void TestStore::undecodableFileKeptAside()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir tmp;
    const QString path = tmp.path() + u"/data.json"_s;
    QVERIFY(bytes.isEmpty() ? QDir().mkpath(path + u"/inside"_s) : writeAll(path, bytes));

    Store store(tmp.path());
    QCOMPARE(store.settings(), AppSettings{});
    QVERIFY(store.conversations().isEmpty());
    QVERIFY(asideFiles(tmp.path()).isEmpty());

    store.newConversation();
    const QStringList aside = asideFiles(tmp.path());
    QCOMPARE(aside.size(), 1);
    QVERIFY2(QRegularExpression(u"^data\\.json\\.unreadable-\\d{8}T\\d{6}Z$"_s)
                 .match(aside.first())
                 .hasMatch(),
             qPrintable(aside.first()));
    const QString asidePath = tmp.path() + u'/' + aside.first();
    if (bytes.isEmpty())
        QVERIFY(QFileInfo::exists(asidePath + u"/inside"_s));
    else
        QCOMPARE(readAll(asidePath), bytes);

    const auto saved = decodeAppData(readAll(path));
    QVERIFY(saved);
    QCOMPARE(saved->settings, AppSettings{});
    QCOMPARE(saved->conversations, store.conversations());

    // Only the first save keeps a copy: later saves replace the app's own file.
    QVERIFY(store.save());
    QCOMPARE(asideFiles(tmp.path()), aside);
}

void TestStore::asideNameAlreadyTaken()
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + u"/data.json"_s;
    QVERIFY(writeAll(path, "not json"));
    Store store(tmp.path());

    // Take the names of the surrounding seconds so the save cannot miss them.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int s = -1; s <= 3; ++s)
        QVERIFY(
            writeAll(path + now.addSecs(s).toString(u"'.unreadable-'yyyyMMdd'T'HHmmss'Z'"), ""));
    QVERIFY(store.save());
    const QStringList added = asideFiles(tmp.path()).filter(QRegularExpression(u"Z-2$"_s));
    QCOMPARE(added.size(), 1);
    QCOMPARE(readAll(tmp.path() + u'/' + added.first()), "not json"_ba);
}

void TestStore::failedWriteKeepsPreviousFile_data()
{
    QTest::addColumn<bool>("undecodable");
    QTest::newRow("replacing a good file") << false;
    QTest::newRow("keeping an undecodable file aside") << true;
}

void TestStore::failedWriteKeepsPreviousFile()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, undecodable);
    QTemporaryDir tmp;
    const QString path = tmp.path() + u"/data.json"_s;
    QVERIFY(undecodable ? writeAll(path, QByteArray(64 * 1024, '['))
                        : writeConversations(tmp.path(), u"AB"_s));
    const QByteArray before = readAll(path);
    Store store(tmp.path());
    if (!undecodable)
        store.appendMessage(0, Message::make(Message::Role::User, QString(64 * 1024, u'字')));

    // Permissions do not stop root, a file size limit does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 16 * 1024;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        QSKIP("cannot limit the file size");
    const bool saved = store.save();
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!saved);
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"data.json"_s});
    QVERIFY(store.save());
    QCOMPARE(asideFiles(tmp.path()).size(), undecodable ? 1 : 0);
#else
    QSKIP("needs RLIMIT_FSIZE");
#endif
}

void TestStore::tightensModeAndRemakesFolder()
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + u"/data.json"_s;
    QVERIFY(writeConversations(tmp.path(), u"A"_s));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    Store store(tmp.path());
    QVERIFY(store.save());
#ifdef Q_OS_UNIX
    QCOMPARE(mode(path), 0600);
#endif

    // A folder removed while the app runs is made again rather than losing every later save.
    QVERIFY(QDir(tmp.path()).removeRecursively());
    store.newConversation();
    QCOMPARE(decodeAppData(readAll(path))->conversations.size(), 2);
}

void TestStore::remove_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("listAfter");
    QTest::addColumn<QString>("selectedAfter");

    // clang-format off
    QTest::newRow("selected at index 2") << "ABC"   << "C" << "C" << "AB" << "A";
    QTest::newRow("another selected")    << "ABC"   << "A" << "B" << "AC" << "A";
    QTest::newRow("only one")            << "A"     << "A" << "A" << ""   << "";
    QTest::newRow("nothing selected")    << "AB"    << ""  << "A" << "B"  << "";
    QTest::newRow("unknown id")          << "AB"    << "B" << "X" << "AB" << "B";
    QTest::newRow("duplicate ids")       << "ABAAC" << "A" << "A" << "BC" << "B";
    // clang-format on
}

void TestStore::remove()
{
    QFETCH(QString, list);
    QFETCH(QString, selected);
    QFETCH(QString, removed);
    QFETCH(QString, listAfter);
    QFETCH(QString, selectedAfter);

    QTemporaryDir tmp;
    QVERIFY(writeConversations(tmp.path(), list));
    Store store(tmp.path());
    QCOMPARE(titles(store.conversations()), list);
    QCOMPARE(store.selectedID(), idOf(list.left(1)));
    QCOMPARE(store.indexOf(std::nullopt), std::nullopt);
    store.setSelectedID(idOf(selected));
    QVERIFY(QFile::remove(store.fileURL()));

    store.remove(conv(removed[0]).id);
    QCOMPARE(titles(store.conversations()), listAfter);
    QCOMPARE(store.selectedID(), idOf(selectedAfter));
    // Saved even when nothing was removed.
    QCOMPARE(titles(decodeAppData(readAll(store.fileURL()))->conversations), listAfter);
}

void TestStore::rename_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("titlesAfter"); // empty: nothing changed and nothing written

    const auto id = [](char letter) { return canonicalUuidString(conv(QChar(letter)).id); };
    QTest::newRow("spaces, line break") << u"AB"_s << id('B') << u"  周报 \n"_s << u"A周报"_s;
    QTest::newRow("only spaces") << u"AB"_s << id('B') << u"   "_s << u"A未命名"_s;
    QTest::newRow("empty") << u"AB"_s << id('B') << QString() << u"A未命名"_s;
    QTest::newRow("Unicode spaces, separators")
        << u"AB"_s << id('A') << u"\u3000\t周报\u00a0\u2028\r\n\u0085"_s << u"周报B"_s;
    QTest::newRow("inner space kept") << u"AB"_s << id('A') << u" a \n b "_s << u"a \n bB"_s;
    QTest::newRow("duplicate ids: first only") << u"ABA"_s << id('A') << u"x"_s << u"xBA"_s;
    QTest::newRow("lower-case id") << u"AB"_s << id('B').toLower() << u"x"_s << u"Ax"_s;
    QTest::newRow("unknown id") << u"AB"_s << id('X') << u"x"_s << QString();
    QTest::newRow("braced id") << u"AB"_s << u'{' + id('A') + u'}' << u"x"_s << QString();
}

void TestStore::rename()
{
    QFETCH(QString, list);
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QString, titlesAfter);

    QTemporaryDir tmp;
    QVERIFY(writeConversations(tmp.path(), list));
    Store store(tmp.path());
    QVERIFY(QFile::remove(store.fileURL()));
    store.rename(id, name);
    if (titlesAfter.isEmpty()) {
        QCOMPARE(titles(store.conversations()), list);
        QVERIFY(!QFile::exists(store.fileURL()));
    } else {
        QCOMPARE(titles(store.conversations()), titlesAfter);
        QCOMPARE(titles(decodeAppData(readAll(store.fileURL()))->conversations), titlesAfter);
    }
}

void TestStore::editorsSignalAndNeverSave()
{
    QTemporaryDir tmp;
    Store store(tmp.path());
    store.newConversation();
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

    for (const QString &text : {u"a"_s, u"b"_s, u"c"_s, QString()})
        store.appendMessage(0, Message::make(Message::Role::User, text));
    QCOMPARE(inserted.size(), 4);
    QCOMPARE(inserted.at(3), (QVariantList{0, 3, 3}));

    const Conversation *listData = store.conversations().constData();
    store.appendToMessage(0, 3, u"你好");
    store.appendToMessage(0, 3, u"");
    store.appendToMessage(0, 3, u"!");
    QCOMPARE(store.conversations().at(0).messages.at(3).content, u"你好!"_s);
    QCOMPARE(content.size(), 2);
    QCOMPARE(content.at(1), (QVariantList{0, 3}));
    QCOMPARE(store.conversations().constData(), listData); // no copy of the list per delta

    store.removeMessage(0, 1);
    QCOMPARE(removed.takeFirst(), (QVariantList{0, 1, 1}));
    store.truncateMessages(0, 1);
    QCOMPARE(removed.takeFirst(), (QVariantList{0, 1, 2}));
    store.truncateMessages(0, 5);
    QVERIFY(removed.isEmpty());
    QCOMPARE(sizesWhenAboutTo, (QList<qsizetype>{0, 1, 2, 3, 4, 3}));
    QCOMPARE(store.conversations().at(0).messages.size(), 1);

    store.setTitle(0, u"新对话"_s); // unchanged
    store.setModel(0, u""_s);
    store.setModel(0, u""_s);
    QCOMPARE(updated.size(), 1);

    AppSettings s = store.settings();
    store.setSettings(s);
    s.models = {u"m"_s};
    store.setSettings(s);
    store.setSettings(s);
    QCOMPARE(settings.size(), 1);

    store.setSelectedIDString(u"not an id"_s);
    store.setSelectedID(std::nullopt);
    store.setSelectedIDString(canonicalUuidString(store.conversations().at(0).id).toLower());
    QCOMPARE(selection.size(), 2);
    QCOMPARE(store.selectedIDString(), canonicalUuidString(store.conversations().at(0).id));

    QVERIFY(!QFile::exists(store.fileURL()));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
