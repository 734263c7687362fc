// SPDX-License-Identifier: GPL-3.0-or-later
// The real program, started more than once on one data folder: the later starts end at once
// and leave the folder to the first; a killed first is taken over; a first still loading a
// large file does not hold a later start up; SIGTERM ends it with status 0, and one that comes
// while the file is being read leaves the history as it was.
#include "storetestutil.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

class TestAppInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString dataDir() const { return m_tmp.filePath(u"share/Corvane"_s); }
    QString dataFile() const { return dataDir() + u"/data.json"_s; }

    // Starts the program off screen with its own home; with waitForLock, returns once it holds
    // the data folder.
    std::unique_ptr<QProcess> start(bool waitForLock = true, const QStringList &arguments = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_tmp.path());
        env.insert(u"XDG_DATA_HOME"_s, m_tmp.filePath(u"share"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_tmp.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_tmp.filePath(u"run"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(CORVANE_APP), arguments);
        if (!p->waitForStarted(30000))
            return nullptr;
        // The lock file names its holder's process on its first line.
        const auto holds = [&] {
            return readAll(dataDir() + u"/data.json.lock"_s).split('\n').value(0) ==
                   QByteArray::number(p->processId());
        };
        if (waitForLock && !QTest::qWaitFor(holds, 30000))
            return nullptr;
        return p;
    }

    // Runs a later start to its end; its exit code, or -1 when it did not end by itself.
    int runAnother(const QStringList &arguments = {})
    {
        auto p = start(false, arguments);
        if (!p || !p->waitForFinished(20000) || p->exitStatus() != QProcess::NormalExit)
            return -1;
        return p->exitCode();
    }

    static bool stillRunning(QProcess &p) { return !p.waitForFinished(500); }

    static int terminate(QProcess &p)
    {
        p.terminate();
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                  : -1;
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dataDir()) && QDir().mkpath(m_tmp.filePath(u"run"_s)));
        QFile::setPermissions(m_tmp.filePath(u"run"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Later starts end at once and leave data.json alone; so does a start after the first was
    // killed, which takes the folder over and answers in its turn.
    void laterStartsLeaveTheFolderToTheFirst()
    {
        QVERIFY(writeConversations(dataDir(), u"ABC"_s));
        auto first = start();
        QVERIFY(first);
        QCOMPARE(runAnother(), 0);
        QVERIFY(stillRunning(*first));
        first->kill();
        QVERIFY(first->waitForFinished(30000));

        auto next = start(); // the killed program's lock and socket are still there
        QVERIFY(next);
        QCOMPARE(runAnother(), 0);
        QVERIFY(stillRunning(*next));
        QCOMPARE(terminate(*next), 0);
        QCOMPARE(titles(decodeAppData(readAll(dataFile()))->conversations), u"ABC"_s);
        QVERIFY(!QFile::exists(dataDir() + u"/data.json.lock"_s));
    }

    // Qt's own options do not keep a later start from handing its request on.
    void laterStartWithOptionsLeavesTheFolderToTheFirst()
    {
        auto first = start();
        QVERIFY(first);
        QCOMPARE(runAnother({u"-platform"_s, u"offscreen"_s, u"-session"_s, u"s1"_s}), 0);
        QVERIFY(stillRunning(*first));
        QCOMPARE(terminate(*first), 0);
    }

    void firstStillLoadingDoesNotHoldUpTheSecond()
    {
        // About 50 MB: the first is still reading it when the second asks.
        QList<Conversation> list;
        const QString text = u"很长的回答。"_s.repeated(400);
        for (int i = 0; i < 4000; ++i) {
            Conversation c = conv(u'A');
            c.id = QUuid::createUuid();
            for (int m = 0; m < 8; ++m)
                c.messages.append(Message::make(Message::Role::Assistant, text));
            list.append(c);
        }
        QVERIFY(writeAll(dataFile(), encodeAppData(AppSettings{}, list)));
        list.clear();

        auto first = start();
        QVERIFY(first);
        QCOMPARE(runAnother(), 0);
        QCOMPARE(terminate(*first), 0);
        const std::optional<AppData> kept = decodeAppData(readAll(dataFile()));
        QVERIFY(kept);
        QCOMPARE(kept->conversations.size(), 4000);
    }
};

QTEST_GUILESS_MAIN(TestAppInstance)
#include "tst_appinstance.moc"
