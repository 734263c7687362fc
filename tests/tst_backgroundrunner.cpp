// SPDX-License-Identifier: GPL-3.0-or-later
// The background runner's promises, one by one. A job is held "running" by a semaphore the
// test releases, so that the jobs behind it are "waiting" for as long as the test needs.
#include "util/backgroundrunner.h"

#include <QMutex>
#include <QSemaphore>
#include <QTest>

#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

/// What the jobs of a test did: the names of those whose work ran, and of those delivered.
struct Log
{
    QMutex mutex;
    QStringList ran; // written by the worker
    QStringList delivered;

    void run(const QString &name)
    {
        const QMutexLocker lock(&mutex);
        ran << name;
    }
    QStringList takeRan()
    {
        const QMutexLocker lock(&mutex);
        return ran;
    }
};

/// A job that holds the worker until released.
struct Gate
{
    QSemaphore started;
    QSemaphore open;

    void pass()
    {
        started.release();
        open.acquire();
    }
};

} // namespace

class TestBackgroundRunner : public QObject
{
    Q_OBJECT

private slots:
    // However many jobs wait, one runs at a time, all on the one worker thread, in order.
    void oneAtATime()
    {
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        Gate gate;
        std::atomic<int> active = 0;
        std::atomic<int> most = 0;
        QMutex mutex;
        QList<QThread *> threads;
        QList<int> order;
        for (int i = 0; i < 4; ++i) {
            runner.run(
                [&, i] {
                    most = std::max(most.load(), ++active);
                    if (i == 0)
                        gate.pass();
                    {
                        const QMutexLocker lock(&mutex);
                        threads << QThread::currentThread();
                        order << i;
                    }
                    --active;
                },
                [] {});
        }
        gate.started.acquire();
        QCoreApplication::processEvents(); // a turn in which a second worker could start one
        gate.open.release();
        runner.waitForIdle();
        QCOMPARE(most.load(), 1);
        QCOMPARE(order, QList<int>({0, 1, 2, 3}));
        QCOMPARE(int(threads.count(threads.first())), 4);
        QVERIFY(threads.first() != QThread::currentThread());
    }

    // Posted while the first job runs: "a1" runs under key a, "-1" under no key. The jobs that
    // lost their place neither run nor deliver.
    void newestWins_data()
    {
        QTest::addColumn<bool>("newestWins");
        QTest::addColumn<QString>("posted");
        QTest::addColumn<QString>("ran");
        // clang-format off
        QTest::newRow("no key: the newest waiting") << true << "-1 -2 -3 -4" << "-1 -4";
        QTest::newRow("per key, in the first one's place") << true << "a1 a2 b1 a3" << "a1 a3 b1";
        QTest::newRow("no key is a key of its own") << true << "a1 -1 a2 -2 b1" << "a1 -2 a2 b1";
        QTest::newRow("the running job is not replaced") << true << "a1 a2" << "a1 a2";
        QTest::newRow("in order: every one") << false << "a1 a2 b1 a3" << "a1 a2 b1 a3";
        // clang-format on
    }

    void newestWins()
    {
        QFETCH(bool, newestWins);
        QFETCH(QString, posted);
        BackgroundRunner runner(newestWins ? BackgroundRunner::Mode::NewestWins
                                           : BackgroundRunner::Mode::InOrder);
        QObject a, b;
        Gate gate;
        Log log;
        const QStringList names = posted.split(u' ');
        for (const QString &name : names) {
            const bool first = name == names.first();
            const QObject *key = name[0] == u'a' ? &a : name[0] == u'b' ? &b : nullptr;
            runner.run(
                key,
                [&, name, first] {
                    log.run(name);
                    if (first)
                        gate.pass();
                    return name;
                },
                [&](const QString &result) { log.delivered << result; });
            if (first)
                gate.started.acquire();
        }
        gate.open.release();
        runner.waitForIdle();
        QTEST(log.takeRan().join(u' '), "ran");
        QTEST(log.delivered.join(u' '), "ran");
    }

    // A job whose key object is destroyed before its turn is void; once it runs, it delivers.
    void keyObjectGone()
    {
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        Gate gate;
        Log log;
        const auto post = [&](const QObject *key, const QString &name, bool hold) {
            runner.run(
                key,
                [&, name, hold] {
                    log.run(name);
                    if (hold)
                        gate.pass();
                },
                [&, name] { log.delivered << name; });
        };
        auto running = std::make_unique<QObject>();
        auto waiting = std::make_unique<QObject>();
        post(running.get(), u"running"_s, true);
        post(waiting.get(), u"waiting"_s, false);
        post(nullptr, u"after"_s, false);
        gate.started.acquire();
        running.reset();
        waiting.reset();
        gate.open.release();
        runner.waitForIdle();
        QCOMPARE(log.takeRan(), QStringList({u"running"_s, u"after"_s}));
        QCOMPARE(log.delivered, QStringList({u"running"_s, u"after"_s}));
    }

    // A running job told to stop sees its Stop set, or is interrupted through the hook; it
    // delivers nothing, and the runner goes on with the next job.
    void stopRunning_data()
    {
        QTest::addColumn<bool>("polls");  // else it waits for the interrupt hook
        QTest::addColumn<bool>("clears"); // clear() rather than stopRunning()
        QTest::addColumn<QString>("ran");
        QTest::newRow("polls the flag") << true << false << "job waiting next";
        QTest::newRow("interrupted") << false << false << "job waiting next";
        QTest::newRow("cleared: the waiting one too") << true << true << "job next";
    }

    void stopRunning()
    {
        QFETCH(bool, polls);
        QFETCH(bool, clears);
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        QSemaphore started, interrupted;
        runner.setInterrupt([&] { interrupted.release(); });
        Log log;
        bool sawStop = false;
        runner.run(
            [&](const BackgroundRunner::Stop &stop) {
                log.run(u"job"_s);
                started.release();
                if (polls) {
                    while (!stop.requested())
                        QThread::yieldCurrentThread();
                } else {
                    interrupted.acquire();
                }
                sawStop = stop.requested();
            },
            [&] { log.delivered << u"job"_s; });
        const auto post = [&](const QString &name) {
            runner.run([&, name] { log.run(name); }, [&, name] { log.delivered << name; });
        };
        post(u"waiting"_s);
        started.acquire();
        if (clears)
            runner.clear();
        else
            runner.stopRunning();
        post(u"next"_s);
        runner.waitForIdle();
        QVERIFY(sawStop);
        QTEST(log.takeRan().join(u' '), "ran");
        QCOMPARE(log.delivered.join(u' '), log.takeRan().mid(1).join(u' '));
    }

    // prepare() runs in the runner's thread when the job's turn comes, not when it was asked
    // for: it reads the state of that moment.
    void prepareWhenItsTurnComes()
    {
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        Gate gate;
        runner.run([&] { gate.pass(); }, [] {});
        int state = 1;
        quint64 seenJob = 0;
        QThread *preparedIn = nullptr;
        int seen = 0;
        const quint64 id = runner.runPrepared(
            [&] {
                preparedIn = QThread::currentThread();
                seenJob = runner.currentJob();
                return [value = state] { return value; };
            },
            [&](int value) { seen = value; });
        gate.started.acquire();
        QCOMPARE(preparedIn, nullptr);
        state = 2;
        gate.open.release();
        runner.waitForIdle();
        QCOMPARE(preparedIn, QThread::currentThread());
        QCOMPARE(seenJob, id);
        QCOMPARE(seen, 2);
        QCOMPARE(runner.currentJob(), quint64(0));
    }

    // Results come through the event loop of the runner's thread, one by one in order, never
    // within the request; a result prepare() has at hand is delivered in its turn, and its work
    // never reaches the worker.
    void resultsInOrderOnOwnersThread()
    {
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        QList<int> delivered;
        bool elsewhere = false;
        for (int i = 0; i < 20; ++i) {
            runner.runPrepared(
                [i]() -> BackgroundRunner::Work<int> {
                    if (i % 3 == 1)
                        return BackgroundRunner::Work<int>::ready(i);
                    return [i] { return i; };
                },
                [&](int result) {
                    delivered << result;
                    elsewhere |= QThread::currentThread() != runner.thread();
                });
        }
        QVERIFY(delivered.isEmpty());
        QTRY_COMPARE(delivered.size(), 20);
        QList<int> expected(20);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(delivered, expected);
        QVERIFY(!elsewhere);
        QVERIFY(runner.isIdle());

        // With no worker thread at all.
        BackgroundRunner alone(BackgroundRunner::Mode::InOrder);
        QString result;
        alone.runPrepared([] { return BackgroundRunner::Work<QString>::ready(u"now"_s); },
                          [&](const QString &r) { result = r; });
        QVERIFY(result.isEmpty());
        QTRY_COMPARE(result, u"now"_s);
    }

    // waitForIdle() runs the line to its end without the event loop, with the jobs that
    // results post meanwhile, and delivers every result before it returns.
    void waitForIdleDelivers()
    {
        BackgroundRunner runner(BackgroundRunner::Mode::InOrder);
        QStringList delivered;
        runner.run([] { return u"one"_s; },
                   [&](const QString &r) {
                       delivered << r;
                       runner.run([] { return u"three"_s; },
                                  [&](const QString &r) { delivered << r; });
                   });
        runner.run([] { return u"two"_s; }, [&](const QString &r) { delivered << r; });
        runner.waitForIdle();
        QCOMPARE(delivered, QStringList({u"one"_s, u"two"_s, u"three"_s}));
        QVERIFY(runner.isIdle());
    }

    // Destroying the runner tells the running job to stop and returns once it has; the
    // waiting ones never run and nothing is delivered.
    void destructionWaitsForRunningJob()
    {
        auto runner = std::make_unique<BackgroundRunner>(BackgroundRunner::Mode::InOrder);
        Gate gate;
        runner->setInterrupt([&] { gate.open.release(); });
        std::atomic<bool> ended = false;
        Log log;
        runner->run(
            [&] {
                gate.pass();
                ended = true;
            },
            [&] { log.delivered << u"running"_s; });
        runner->run([&] { log.run(u"waiting"_s); }, [&] { log.delivered << u"waiting"_s; });
        gate.started.acquire();
        runner.reset();
        QVERIFY(ended);
        QCoreApplication::processEvents(); // an answer posted before the end has no one to reach
        QCOMPARE(log.takeRan(), QStringList());
        QCOMPARE(log.delivered, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackgroundRunner)
#include "tst_backgroundrunner.moc"
