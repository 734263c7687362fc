// SPDX-License-Identifier: GPL-3.0-or-later
// One program per data folder: the lock, the socket name, and a raise request from another
// process (this test program started again with --start DIR).
#include "app/singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// What a start in another process ends with: its exit status is the Role's value.
int startElsewhere(const QString &dir)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {u"--start"_s, dir});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void serverName_data()
    {
        QTest::addColumn<QString>("other"); // relative to a temporary folder holding "a"
        QTest::addColumn<bool>("same");
        QTest::newRow("the same folder") << u"a"_s << true;
        QTest::newRow("through a link") << u"link"_s << true;
        QTest::newRow("with a dot segment") << u"a/../a"_s << true;
        QTest::newRow("another folder") << u"b"_s << false;
    }

    void serverName()
    {
        QFETCH(QString, other);
        QFETCH(bool, same);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkpath(u"a"_s) && QDir(tmp.path()).mkpath(u"b"_s));
        QVERIFY(QFile::link(tmp.filePath(u"a"_s), tmp.filePath(u"link"_s)));
        QTemporaryDir runtime;
        const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const QString name = SingleInstance::serverName(tmp.filePath(u"a"_s));
        const bool named = SingleInstance::serverName(tmp.filePath(other)) == name;
        qputenv("XDG_RUNTIME_DIR", old);
        QCOMPARE(named, same);
        QCOMPARE(QFileInfo(name).absolutePath(), runtime.path());
        // A socket path must stay short (108 bytes on Linux), whatever the folder's name.
        QVERIFY(QFileInfo(name).fileName().size() < 50);
    }

    // The raise request crosses to the program holding the folder; the asking one ends.
    void secondStartRaisesTheFirst()
    {
        QTemporaryDir tmp;
        SingleInstance first(tmp.path());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QCOMPARE(first.start(), SingleInstance::Role::First);

        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::Other));
        QTRY_COMPARE(raised.size(), 1);
        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::Other));
        QTRY_COMPARE(raised.size(), 2);

        // Given up, the folder goes to the next start.
        first.release();
        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::First));
    }

    // A program that is ending still holds the folder while it takes itself apart: a start
    // then must not hand it the request (both would end, and no window would be left), but
    // wait and take the folder once it is free.
    void startWhileTheFirstEnds()
    {
        QTemporaryDir tmp;
        std::optional<SingleInstance> first(std::in_place, tmp.path());
        QSignalSpy raised(&*first, &SingleInstance::raiseRequested);
        QCOMPARE(first->start(), SingleInstance::Role::First);
        first->stopListening();

        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::NoAnswer));
        // Nothing listens, so a request could only be one already queued: one turn of the
        // event loop delivers it.
        QCoreApplication::processEvents();
        QCOMPARE(raised.size(), 0);

        first.reset();
        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::First));
    }

    // The program takes its folder before its application object exists, to read its file
    // meanwhile, and listens once it does: a later start is answered as usual. The holder is
    // another process (this program with --hold), started the way the program starts.
    void folderTakenBeforeTheApplication()
    {
        QTemporaryDir tmp;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {u"--hold"_s, tmp.path()});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readLine(), "listening\n");

        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::Other));
        // The holder ends on the request it got; its exit status counts them.
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(holder.exitCode(), 1);
        QCOMPARE(startElsewhere(tmp.path()), int(SingleInstance::Role::First));
    }

    // A lock whose holder is alive but not listening: retry for the patience, then give up.
    void heldLockWithoutAnswer()
    {
        QTemporaryDir tmp;
        QLockFile held(tmp.filePath(u"data.json.lock"_s));
        QVERIFY(held.tryLock(0));
        SingleInstance second(tmp.path());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(second.start(300ms), SingleInstance::Role::NoAnswer);
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(!second.errorString().isEmpty());

        // Once the holder lets go, the folder is the next start's.
        held.unlock();
        QCOMPARE(second.start(), SingleInstance::Role::First);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--start") == 0) {
        QCoreApplication app(argc, argv);
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        return int(instance.start(1s));
    }
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        if (!instance.takeFolder())
            return 10;
        QCoreApplication app(argc, argv);
        if (instance.start(1s) != SingleInstance::Role::First)
            return 11;
        int raised = 0;
        QObject::connect(&instance, &SingleInstance::raiseRequested, &app, [&raised] {
            ++raised;
            QCoreApplication::quit();
        });
        QTimer::singleShot(20s, &app, &QCoreApplication::quit);
        std::fputs("listening\n", stdout);
        std::fflush(stdout);
        app.exec();
        return raised;
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
