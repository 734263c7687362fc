// SPDX-License-Identifier: GPL-3.0-or-later
// A child process for tst_storefaults: the real Store, saving in ways the test then breaks.
//
//   storefaulthelper steps DIR       loads the step in DIR/data.json and saves the next steps
//                                    forever, printing "ready N" then "saved N" after each save
//   storefaulthelper first-save DIR  loads DIR, prints "ready", makes a conversation (one save)
//   storefaulthelper size-limit DIR  saves under a file size limit with the signal at its default
//   storefaulthelper full-disk DIR   saves on a small tmpfs mounted over DIR in a private mount
//                                    namespace; exits 77 when no namespace can be had
//   storefaulthelper read-only DIR   saves after DIR is bound read-only over itself, likewise
//
// Exit status 0 means every check held; 1 means one broke (why is on stderr).
#include "model/storagecodec.h"
#include "store/store.h"
#include "storefaultstate.h"
#include "storetestutil.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

using StoreTest::readAll;
using StoreTest::saveNow;
using StoreTest::writeAll;

namespace {

constexpr int skipStatus = 77;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

void report(const char *line, int n = -1)
{
    if (n >= 0)
        std::printf("%s %d\n", line, n);
    else
        std::printf("%s\n", line);
    std::fflush(stdout);
}

bool savedStateIs(const Store &store)
{
    const auto d = decodeAppData(readAll(store.fileURL()));
    return d && d->settings == store.settings() && d->conversations == store.conversations();
}

int steps(const QString &dir)
{
    Store store(dir);
    int step = StoreFault::stepOf({store.settings(), store.conversations()});
    check(step >= 0, "data.json holds no step");
    report("ready", step);
    for (;;) {
        ++step;
        const QUuid first = store.conversations().at(0).id;
        store.appendMessage(first, StoreFault::messageFor(step));
        store.setTitle(first, StoreFault::titleFor(step));
        AppSettings s = store.settings();
        s.apiKey = StoreFault::apiKeyFor(step);
        store.setSettings(s);
        check(saveNow(store), "a save failed");
        report("saved", step);
    }
}

int firstSave(const QString &dir)
{
    Store store(dir);
    report("ready");
    store.newConversation();
    store.flush();
    report("saved");
    return 0;
}

// A process over its file size limit gets SIGXFSZ, which by default ends it: the Store must
// turn that into a failed save and keep the history in memory.
int sizeLimit(const QString &dir)
{
    std::signal(SIGXFSZ, SIG_DFL);
    Store store(dir);
    store.newConversation();
    store.flush();
    const QByteArray before = readAll(store.fileURL());
    check(!before.isEmpty(), "the first save failed");
    const QUuid conv = *store.selectedID();
    const Message big = Message::make(Message::Role::User, QString(64 * 1024, u'长'));
    store.appendMessage(conv, big);

    rlimit limit{16 * 1024, 16 * 1024};
    check(setrlimit(RLIMIT_FSIZE, &limit) == 0, "cannot limit the file size");
    check(!saveNow(store), "a save over the size limit succeeded");
    check(store.saveError() == DataFileSaver::tr("文件超出了允许的大小"),
          "the reason is not the limit");
    check(readAll(store.fileURL()) == before, "the previous file changed");
    store.setMessageContent(conv, big.id, QStringLiteral("短"));
    check(saveNow(store) && savedStateIs(store), "no save after the failed one");
    return 0;
}

#ifdef __linux__
bool writeProcFile(const char *path, const QByteArray &text)
{
    return writeAll(QString::fromLatin1(path), text);
}

// A mount namespace of our own, so the small tmpfs is seen by this process only and goes away
// with it. A user namespace lends the privilege when we are not root.
bool privateMountNamespace()
{
    if (unshare(CLONE_NEWNS) != 0) {
        const QByteArray uid = QByteArray::number(getuid());
        const QByteArray gid = QByteArray::number(getgid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + gid + " 1"))
            return false;
    }
    return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

int fullDisk(const QString &dir)
{
    if (!privateMountNamespace() || mount("corvane-test", QFile::encodeName(dir).constData(),
                                          "tmpfs", 0, "size=1m,mode=0700") != 0)
        return skipStatus;
    const QString path = dir + QStringLiteral("/data.json");
    const QString filler = dir + QStringLiteral("/filler");
    const auto onlyData = [&] {
        return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ==
               QStringList{QStringLiteral("data.json")};
    };

    // Replacing a good file: the new state does not fit.
    {
        Store store(dir);
        store.newConversation();
        store.flush();
        const QByteArray before = readAll(path);
        const Message big = Message::make(Message::Role::User, QString(600 * 1024, u'满'));
        store.appendMessage(*store.selectedID(), big);
        check(!saveNow(store), "a save on a full disk succeeded");
        check(store.saveError() == DataFileSaver::tr("磁盘已满"), "the reason is not a full disk");
        check(readAll(path) == before, "the previous file changed");
        check(onlyData(), "a failed save left a file behind");
        store.removeMessage(*store.selectedID(), big.id);
        check(saveNow(store) && savedStateIs(store), "no save after the failed one");
        check(!store.lastSaveFailed(), "a save that worked left the failure shown");
    }

    // Keeping an unreadable file aside: its copy does not fit until space is freed.
    {
        const QByteArray unreadable(300 * 1024, '{');
        check(writeAll(path, unreadable) && writeAll(filler, QByteArray(600 * 1024, '.')),
              "cannot fill the disk");
        Store store(dir);
        store.newConversation();
        store.flush();
        check(readAll(path) == unreadable, "the unreadable file changed");
        check(QFile::remove(filler) && onlyData(), "a failed save left a file behind");
        check(saveNow(store) && savedStateIs(store), "no save after space was freed");
        const QStringList aside = QDir(dir).entryList({QStringLiteral("data.json.unreadable-*")});
        check(aside.size() == 1 && readAll(dir + u'/' + aside.first()) == unreadable,
              "the unreadable file was not kept");
    }
    return 0;
}

// Root writes through permission bits; a read-only mount stops everyone.
int readOnly(const QString &dir)
{
    const QByteArray path = QFile::encodeName(dir);
    Store store(dir);
    store.newConversation();
    store.flush();
    const QByteArray before = readAll(store.fileURL());
    if (!privateMountNamespace() ||
        mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return skipStatus;
    store.newConversation();
    check(!saveNow(store), "a save in a read-only folder succeeded");
    check(store.saveError().contains(DataFileSaver::tr("只读")),
          "the reason is not a read-only disk");
    check(readAll(store.fileURL()) == before, "the previous file changed");
    check(store.conversations().size() == 2, "the state in memory changed");
    check(umount(path.constData()) == 0, "cannot undo the read-only mount");
    check(saveNow(store) && savedStateIs(store) && !store.lastSaveFailed(),
          "no save once the folder is writable again");
    return 0;
}
#else
int fullDisk(const QString &)
{
    return skipStatus;
}

int readOnly(const QString &)
{
    return skipStatus;
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        fail("usage: storefaulthelper steps|first-save|size-limit|full-disk|read-only DIR");
    const QByteArray mode = argv[1];
    const QString dir = QFile::decodeName(argv[2]);
    if (mode == "steps")
        return steps(dir);
    if (mode == "first-save")
        return firstSave(dir);
    if (mode == "size-limit")
        return sizeLimit(dir);
    if (mode == "full-disk")
        return fullDisk(dir);
    if (mode == "read-only")
        return readOnly(dir);
    fail("unknown mode");
}
