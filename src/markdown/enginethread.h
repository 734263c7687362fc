// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "util/backgroundrunner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>

/**
 * One script engine in the worker thread of a BackgroundRunner of its own, for a service on
 * the main thread (code highlighting, formulas): the service runs its jobs with runner(), and a
 * job reaches the engine through engine().
 *
 * The engine is made by the first job that needs it, so a program that never does pays
 * nothing. A job told to stop interrupts the engine, through `interrupt()`, which the engine
 * type must make safe to call from another thread. The engine is destroyed in the thread that
 * made it, once a running job has returned.
 */
template<class Engine> class EngineThread
{
public:
    EngineThread(const char *name, BackgroundRunner::Mode mode)
        : m_runner(mode, QString::fromLatin1(name))
    {
        m_runner.setThreadPriority(QThread::LowPriority);
        m_runner.setInterrupt([this] {
            if (Engine *engine = m_engine.load())
                engine->interrupt();
        });
    }
    EngineThread(const EngineThread &) = delete;
    EngineThread &operator=(const EngineThread &) = delete;

    ~EngineThread()
    {
        // Nothing is delivered any more: the service is going.
        m_runner.clear();
        m_runner.waitForIdle();
        if (m_engine.load()) {
            m_runner.run(
                [this] {
                    m_engine = nullptr;
                    m_owned.reset();
                },
                [] {});
            m_runner.waitForIdle();
        }
    }

    BackgroundRunner &runner() { return m_runner; }

    /// The engine, made on first use. In a job of runner() only.
    Engine &engine()
    {
        if (!m_owned) {
            m_owned = std::make_unique<Engine>();
            m_readyAt = now();
            m_engine = m_owned.get();
        }
        return *m_owned;
    }

    /**
     * The time box of the job starting now (call it from the job's prepare()): once it has run
     * `limitMs`, counted from now or from the engine's loading if that came later, the engine
     * is interrupted, unless the job is over by then. The timers belong to owner.
     */
    void timeBox(QObject *owner, int limitMs)
    {
        watch(owner, m_runner.currentJob(), now(), limitMs, limitMs);
    }

    /// Milliseconds on QElapsedTimer's clock.
    static qint64 now()
    {
        QElapsedTimer clock;
        clock.start();
        return clock.msecsSinceReference();
    }

private:
    void watch(QObject *owner, quint64 job, qint64 started, int limitMs, int waitMs)
    {
        QTimer::singleShot(waitMs, owner, [this, owner, job, started, limitMs] {
            if (m_runner.currentJob() != job)
                return;
            Engine *engine = m_engine.load();
            if (!engine) // still loading: its loading does not count
                return watch(owner, job, started, limitMs, limitMs);
            const qint64 left = std::max(started, m_readyAt.load()) + limitMs - now();
            if (left > 0)
                return watch(owner, job, started, limitMs, int(left));
            engine->interrupt();
            // An engine clears the interruption as a job begins: one that came before the
            // worker reached the job is lost. Watched on, such a job is interrupted again.
            watch(owner, job, started, limitMs, limitMs);
        });
    }

    // Declared first, so that it is destroyed last, with nothing left to run.
    BackgroundRunner m_runner;
    std::unique_ptr<Engine> m_owned; ///< the worker's
    std::atomic<Engine *> m_engine = nullptr;
    std::atomic<qint64> m_readyAt = 0; ///< when the engine had loaded
};
