// SPDX-License-Identifier: GPL-3.0-or-later
// The Store under faults it cannot prevent: killed in the middle of a save, a file size limit,
// a full disk. A helper process (storefaulthelper.cpp) does the saving with the real Store.
#include "storefaultstate.h"
#include "storetestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

namespace {

constexpr int skipStatus = 77;

// Starts the helper and reads its "ready" line; returns the number on it (0 if none).
std::optional<int> startHelper(QProcess &p, const QString &mode, const QString &dir)
{
    p.start(QStringLiteral(CORVANE_STOREFAULT_HELPER), {mode, dir});
    while (p.waitForStarted(30000) && !p.canReadLine()) {
        if (!p.waitForReadyRead(30000))
            return std::nullopt;
    }
    const QList<QByteArray> words = p.readLine().trimmed().split(' ');
    if (words.value(0) != "ready")
        return std::nullopt;
    return words.value(1, "0").toInt();
}

// Runs the helper to its end; its exit code, or -1 when it was killed or did not start.
int runHelper(const QString &mode, const QString &dir, QByteArray *errors)
{
    QProcess p;
    p.start(QStringLiteral(CORVANE_STOREFAULT_HELPER), {mode, dir});
    const bool done = p.waitForFinished(120000);
    *errors = p.readAllStandardError();
    if (done && p.exitStatus() == QProcess::NormalExit)
        return p.exitCode();
    *errors += "the helper did not finish: " + p.errorString().toUtf8();
    return -1;
}

void killNow(QProcess &p)
{
    p.kill();
    p.waitForFinished(30000);
}

} // namespace

class TestStoreFaults : public QObject
{
    Q_OBJECT

    QRandomGenerator m_random;
    QByteArray m_seed;

private slots:
    void initTestCase()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        m_random.seed(seed);
        // Printed on failure so that a run can be repeated with the same kill moments.
        m_seed = "seed " + QByteArray::number(seed);
    }

    void killedWhileSaving()
    {
        QTemporaryDir tmp;
        const QString path = tmp.path() + u"/data.json"_s;
        QVERIFY(writeAll(path, encodeAppData(StoreFault::state(0))));
        int onDisk = 0;

        // QSaveFile makes each replacement atomic; a few dozen kills check that the Store relies on
        // nothing else (the key in a temporary file, the step it claims).
        constexpr int rounds = 30;
        for (int round = 0; round < rounds; ++round) {
            QProcess p;
            const auto loaded = startHelper(p, u"steps"_s, tmp.path());
            QVERIFY2(loaded, p.readAllStandardError().constData());
            QCOMPARE(*loaded, onDisk);
            if (round == rounds - 1 && onDisk == 0) {
                // On a busy machine every kill so far may have come before the first save: the
                // last one waits for a save, so that some round reads back what was saved.
                while (!p.peek(1 << 16).contains("saved ") && p.waitForReadyRead(30000)) {
                }
            } else {
                QThread::usleep(m_random.bounded(20000));
            }
            killNow(p);
            QVERIFY2(p.exitStatus() == QProcess::CrashExit, p.readAllStandardError().constData());

            int reported = *loaded;
            for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
                if (line.startsWith("saved "))
                    reported = line.mid(6).toInt();
            }
            // The save in progress when the kill came either finished or left no trace.
            const auto data = decodeAppData(readAll(path));
            QVERIFY2(data, m_seed);
            onDisk = StoreFault::stepOf(*data);
            QVERIFY2(onDisk == reported || onDisk == reported + 1, m_seed);
            const AppData expected = StoreFault::state(onDisk);
            QVERIFY2(data->settings == expected.settings, m_seed);
            QVERIFY2(data->conversations == expected.conversations, m_seed);
        }
        QVERIFY2(onDisk > 0, "the helper never saved");
        // A kill just after the temporary file got its name may leave it behind. It holds the key:
        // only its owner may read it.
        const auto others =
            QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther;
        for (const QFileInfo &file : QDir(tmp.path()).entryInfoList(QDir::Files | QDir::Hidden))
            QVERIFY2(!(file.permissions() & others), qPrintable(file.fileName()));
    }

    void killedWhileKeepingUnreadableFile()
    {
        // Large enough that the copy kept aside takes a while to write.
        const QByteArray unreadable =
            QByteArray("{\"settings\":{\"apiKey\":\"sk-\"},").repeated(40000);

        for (int round = 0; round < 30; ++round) {
            QTemporaryDir tmp;
            const QString path = tmp.path() + u"/data.json"_s;
            QVERIFY(writeAll(path, unreadable));
            QProcess p;
            QVERIFY2(startHelper(p, u"first-save"_s, tmp.path()),
                     p.readAllStandardError().constData());
            QThread::usleep(m_random.bounded(10000));
            killNow(p);

            // The user's bytes are in data.json or, whole, beside it; any copy beside it is whole.
            const QStringList aside = QDir(tmp.path()).entryList({u"data.json.unreadable-*"_s});
            for (const QString &name : aside)
                QVERIFY2(readAll(tmp.path() + u'/' + name) == unreadable, m_seed);
            const QByteArray current = readAll(path);
            if (current != unreadable) {
                QVERIFY2(!aside.isEmpty(), m_seed);
                const auto data = decodeAppData(current);
                QVERIFY2(data && data->conversations.size() == 1, m_seed);
            }
        }
    }

    // The helper checks that the save fails with the right reason, the previous file stays, the
    // state in memory is kept and the next save after the fault is gone works.
    void failsOnlyTheSave_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("file size limit, SIGXFSZ at its default") << u"size-limit"_s;
        QTest::newRow("full disk") << u"full-disk"_s;
        QTest::newRow("read-only folder") << u"read-only"_s;
    }

    void failsOnlyTheSave()
    {
        QFETCH(QString, mode);
        QTemporaryDir tmp;
        QByteArray errors;
        const int status = runHelper(mode, tmp.path(), &errors);
        if (status == skipStatus)
            QSKIP("no private mount namespace here");
        QVERIFY2(status == 0, errors.constData());
    }
};

QTEST_GUILESS_MAIN(TestStoreFaults)
#include "tst_storefaults.moc"
