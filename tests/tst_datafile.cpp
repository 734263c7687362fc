// SPDX-License-Identifier: GPL-3.0-or-later
// The saver's contract, with a write of the test's own that it can hold up. (Writing the real
// file, its failures and the file kept aside: tst_store and tst_storefaults.)
#include "store/datafile.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

namespace {

// A state numbered n, in the model field of its settings.
AppData state(int n)
{
    AppData data;
    data.settings.model = QString::number(n);
    return data;
}

// A write that logs the states it writes, the most writes that ever ran at once, and whether
// one ran on the main thread. The first write tells started, then waits for go, or for
// holdMs when that is set. Odd states fail.
struct Recorder
{
    int holdMs = -1;
    QSemaphore started;
    QSemaphore go;
    std::mutex mutex;
    QList<int> written;
    std::atomic<int> running = 0;
    std::atomic<int> mostAtOnce = 0;
    std::atomic<bool> onMainThread = false;

    DataFileSaver::Write write()
    {
        return [this](const AppData &data) {
            const int atOnce = ++running;
            mostAtOnce = std::max(mostAtOnce.load(), atOnce);
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                onMainThread = true;
            const int n = data.settings.model.toInt();
            bool first = false;
            {
                const std::lock_guard lock(mutex);
                first = written.isEmpty();
                written << n;
            }
            if (first) {
                started.release();
                if (holdMs < 0)
                    go.acquire();
                else
                    go.tryAcquire(1, holdMs);
            }
            --running;
            return n % 2 ? u"%1 failed"_s.arg(n) : QString();
        };
    }
};

} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    // States handed over while the first is written wait; only the newest of them is written
    // next. Each write is reported on this thread, in order, and waitForIdle() hands the reports
    // over before it returns.
    void oneWriteAtATimeNewestWins_data()
    {
        QTest::addColumn<int>("meanwhile"); // states handed over while the first is written
        QTest::addColumn<QList<int>>("written");

        QTest::newRow("none") << 0 << QList<int>{1};
        QTest::newRow("one") << 1 << QList<int>{1, 2};
        QTest::newRow("three") << 3 << QList<int>{1, 4};
    }

    void oneWriteAtATimeNewestWins()
    {
        QFETCH(int, meanwhile);
        QFETCH(QList<int>, written);
        Recorder recorder;
        DataFileSaver saver(recorder.write());
        QList<QVariantList> reports;
        connect(&saver, &DataFileSaver::saved, this, [&](bool ok, const QString &reason) {
            QCOMPARE(QThread::currentThread(), thread());
            reports << QVariantList{ok, reason};
        });

        saver.save(state(1));
        recorder.started.acquire();
        for (int n = 2; n <= meanwhile + 1; ++n)
            saver.save(state(n));
        recorder.go.release();
        saver.waitForIdle();

        QCOMPARE(recorder.written, written);
        QCOMPARE(recorder.mostAtOnce.load(), 1);
        QVERIFY(!recorder.onMainThread);
        QList<QVariantList> expected;
        for (int n : written)
            expected << QVariantList{n % 2 == 0, n % 2 ? u"%1 failed"_s.arg(n) : QString()};
        QCOMPARE(reports, expected);

        // The reports the writing thread posted meanwhile find nothing left to report.
        QCoreApplication::sendPostedEvents(&saver, QEvent::MetaCall);
        QCOMPARE(reports.size(), expected.size());

        // A later burst is written and reported as well.
        saver.save(state(6));
        QTRY_COMPARE(reports.size(), expected.size() + 1);
        QCOMPARE(reports.constLast(), (QVariantList{true, QString()}));
    }

    // The saver's end waits for the write that runs (a slow one here) and writes the state
    // waiting behind it, without reporting either.
    void destroyedAfterItsWrites()
    {
        Recorder recorder;
        recorder.holdMs = 100;
        int reports = 0;
        {
            DataFileSaver saver(recorder.write());
            connect(&saver, &DataFileSaver::saved, this, [&reports] { ++reports; });
            saver.save(state(1));
            recorder.started.acquire();
            saver.save(state(2));
            saver.save(state(3));
        }
        QCOMPARE(recorder.written, (QList<int>{1, 3}));
        QCOMPARE(recorder.running.load(), 0);
        QCOMPARE(reports, 0);
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
