// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

/**
 * One script engine on a worker thread of its own, for a service on the main thread that
 * hands it one job at a time (code highlighting, formulas).
 *
 * The thread starts with the first job, and the engine is made in it then, so a program that
 * never needs it pays nothing. The engine can be interrupted from the owner's thread, through
 * `interrupt()`, which the engine type must make safe to call from another thread. It is
 * destroyed in the thread that made it, once a running job has returned.
 */
template<class Engine> class EngineThread
{
public:
    explicit EngineThread(const char *name) : m_name(QString::fromLatin1(name)) {}
    EngineThread(const EngineThread &) = delete;
    EngineThread &operator=(const EngineThread &) = delete;

    ~EngineThread()
    {
        if (!m_thread)
            return;
        if (Engine *engine = m_worker->engine)
            engine->interrupt();
        Worker *worker = m_worker.get();
        QMetaObject::invokeMethod(
            worker, [worker] { worker->owned.reset(); }, Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
    }

    /// Runs work(engine) on the worker, then done(result) in owner's thread, unless owner is
    /// gone by then.
    template<class Work, class Done> void run(QObject *owner, Work work, Done done)
    {
        start();
        Worker *worker = m_worker.get();
        QPointer<QObject> self(owner);
        QMetaObject::invokeMethod(
            worker,
            [self, worker, work = std::move(work), done = std::move(done)]() mutable {
                auto result = work(worker->get());
                if (self)
                    QMetaObject::invokeMethod(
                        self.data(),
                        [self, done = std::move(done), result = std::move(result)]() mutable {
                            if (self)
                                done(std::move(result));
                        },
                        Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    /**
     * The time box of a job that started at `started` (on QElapsedTimer's clock): once it has
     * run `limitMs`, counted from its start or from the engine's loading if that came later, the
     * engine is interrupted, unless `running()` says by then that the job is over. The timers
     * belong to owner.
     */
    template<class Running>
    void watch(QObject *owner, qint64 started, int limitMs, Running running, int waitMs = -1)
    {
        QTimer::singleShot(waitMs < 0 ? limitMs : waitMs, owner,
                           [this, owner, started, limitMs, running] {
                               if (!running())
                                   return;
                               Engine *engine = m_worker ? m_worker->engine.load() : nullptr;
                               if (!engine) // still loading: its loading does not count
                                   return watch(owner, started, limitMs, running);
                               const qint64 from = std::max(started, m_worker->readyAt.load());
                               const qint64 left = from + limitMs - now();
                               if (left > 0)
                                   watch(owner, started, limitMs, running, int(left));
                               else
                                   engine->interrupt();
                           });
    }

    /// Milliseconds on QElapsedTimer's clock.
    static qint64 now()
    {
        QElapsedTimer clock;
        clock.start();
        return clock.msecsSinceReference();
    }

private:
    struct Worker : QObject
    {
        std::atomic<Engine *> engine = nullptr;
        std::atomic<qint64> readyAt = 0; // when the engine had loaded
        std::unique_ptr<Engine> owned;

        Engine &get()
        {
            if (!owned) {
                owned = std::make_unique<Engine>();
                readyAt = now();
                engine = owned.get();
            }
            return *owned;
        }
    };

    void start()
    {
        if (m_thread)
            return;
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(m_name);
        m_worker = std::make_unique<Worker>();
        m_worker->moveToThread(m_thread.get());
        m_thread->start(QThread::LowPriority);
    }

    QString m_name;
    // Declared before the worker, so that the worker is deleted first, after the thread ended.
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<Worker> m_worker;
};
