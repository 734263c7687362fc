// SPDX-License-Identifier: GPL-3.0-or-later
// The quit sequence: the Settings form's delayed save is written first, a failed save stops a
// close to ask, and a signal ends the event loop without asking.
#include "app/quitsequence.h"
#include "app/settingsform.h"
#include "store/store.h"
#include "storetestutil.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <csignal>

using namespace Qt::Literals::StringLiterals;
using namespace StoreTest;

/// A main window that counts the questions it is asked instead of showing a dialog.
class AskingWindow : public QWindow
{
    Q_OBJECT

public:
    int asked = 0;
    Q_INVOKABLE void askBeforeQuit() { ++asked; }
};

class TestQuitSequence : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<AskingWindow> m_window;
    SettingsForm *m_form = nullptr; // a child of the window, as in the Settings window

    QString path() const { return m_tmp.filePath(u"data.json"_s); }
    void breakFile() { QDir().mkpath(path()); }
    bool fileHasKey(const QString &key) const
    {
        const auto data = decodeAppData(readAll(path()));
        return data && data->settings.apiKey == key;
    }

private slots:
    void init()
    {
        QDir(path()).removeRecursively();
        QFile::remove(path());
        m_store = std::make_unique<Store>(m_tmp.path());
        m_window = std::make_unique<AskingWindow>();
        m_form = new SettingsForm(m_window.get());
        m_form->setStore(m_store.get());
    }

    void cleanup()
    {
        m_window.reset();
        m_store.reset();
    }

    void close_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::newRow("saves") << false;
        QTest::newRow("save fails: ask") << true;
    }

    void close()
    {
        QFETCH(bool, broken);
        QuitSequence quit;
        quit.watch(m_window.get(), m_store.get());
        m_window->show();
        if (broken)
            breakFile();
        m_form->setApiKey(u"sk-typed"_s); // waits for its delayed save

        QCOMPARE(m_window->close(), !broken);
        QCOMPARE(fileHasKey(u"sk-typed"_s), !broken);
        QCOMPARE(m_store->lastSaveFailed(), broken);
        QTRY_COMPARE(m_window->asked, broken ? 1 : 0);
        QCOMPARE(m_window->isVisible(), broken);
    }

    void signalEndsTheLoop_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("broken");
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGHUP") << SIGHUP << false;
        QTest::newRow("SIGTERM, save fails: retried once") << SIGTERM << true;
    }

    void signalEndsTheLoop()
    {
        QFETCH(int, signal);
        QFETCH(bool, broken);
        QuitSequence quit;
        quit.watch(m_window.get(), m_store.get());
        QVERIFY(quit.catchSignals());
        if (broken)
            breakFile();
        m_form->setApiKey(u"sk-typed"_s);
        QSignalSpy saves(m_store.get(), &Store::saved);

        // The application's loop, as in main(): ending it ends every loop of the thread.
        QTimer timeout;
        timeout.callOnTimeout([] { QCoreApplication::exit(2); });
        timeout.start(10000);
        QTimer::singleShot(0, [signal] { std::raise(signal); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(fileHasKey(u"sk-typed"_s), !broken);
        QCOMPARE(saves.size(), broken ? 2 : 1);
        QCOMPARE(m_window->asked, 0);
    }
};

QTEST_MAIN(TestQuitSequence)
#include "tst_quitsequence.moc"
