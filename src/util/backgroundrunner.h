// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

/**
 * Runs work in the background, one job at a time, on a worker thread of its own, for an owner
 * in the thread the runner lives in (the main thread).
 *
 * The contract:
 * - **One job at a time.** Jobs run one after the other on the one worker thread (started with
 *   the first job), in the order they were asked for.
 * - **A newer job voids older waiting ones** (NewestWins). Each job has a key, an object: a new
 *   job takes the place in the line of the one waiting under its key, which never runs. Jobs
 *   of different keys all run; jobs without a key share one, so a runner whose jobs give none
 *   keeps at most one waiting. In InOrder mode every job runs. In both modes a job whose key
 *   object is destroyed before its turn is void.
 * - **A running job may be told to stop** (stopRunning(), clear(), the runner's destruction):
 *   the Stop it was handed then reads true, for work that polls it, and the interrupt hook is
 *   called, for work that cannot (a script engine). A job told to stop delivers nothing.
 * - **Results arrive in the owner's thread, in order.** A job's done(result) is called in the
 *   runner's thread, in the order the jobs ran; never for a void job.
 * - **What a job reads, it may read when its turn comes**: runPrepared()'s prepare() is
 *   called in the runner's thread as the job starts and gives the work to run, so the job
 *   sees the owner's state of that moment (a cache filled by the jobs before it, changes made
 *   since its request). It may give the result itself instead (Work::ready()): that is
 *   delivered in the next turn of the event loop, without waiting for the worker thread.
 * - **waitForIdle()** runs the line to its end without the event loop, delivering each result
 *   before it returns: for quitting and signal handlers.
 * - **Destroying the runner waits for the running job**, after telling it to stop; waiting
 *   jobs are dropped.
 *
 * The work is called with a `const Stop &` if it takes one, else with nothing; done() takes
 * the work's result (nothing when the work returns void). Work runs in the worker thread, so it
 * must only touch what the owner leaves alone while a job runs.
 */
class BackgroundRunner : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        NewestWins, ///< a job waits only until a newer one with its key comes
        InOrder,    ///< every job runs
    };

    /// What a running job polls to learn that it should stop.
    class Stop
    {
    public:
        bool requested() const { return m_requested.load(std::memory_order_relaxed); }

    private:
        friend class BackgroundRunner;
        std::atomic<bool> m_requested = false;
    };

    using Key = const QObject *;

    /// The work a prepare() may give: a callable for the worker, or a result already at hand.
    template<class Result> class Work
    {
    public:
        template<class Fn>
        requires(!std::is_same_v<std::decay_t<Fn>, Work>) Work(Fn work)
            : m_work(
                  [work = std::move(work)](const Stop &stop) mutable { return call(work, stop); })
        {}
        static Work ready(Result result)
        {
            Work work;
            work.m_ready.emplace(std::move(result));
            return work;
        }

    private:
        friend class BackgroundRunner;
        Work() = default;
        std::function<Result(const Stop &)> m_work;
        std::optional<Result> m_ready;
    };

    /// threadName names the worker thread (debuggers, `top -H`).
    explicit BackgroundRunner(Mode mode, const QString &threadName = QString(),
                              QObject *parent = nullptr);
    ~BackgroundRunner() override;

    Mode mode() const { return m_mode; }

    /// The worker thread's priority, taken when the first job starts it.
    void setThreadPriority(QThread::Priority priority) { m_priority = priority; }
    /// Called in the runner's thread when the running job is told to stop; it must make the
    /// job return soon, safely from another thread than the job's.
    void setInterrupt(std::function<void()> interrupt) { m_interrupt = std::move(interrupt); }

    /// Runs work under key; done(result) follows in the runner's thread. Returns the job's id.
    template<class Work, class Done> quint64 run(Key key, Work work, Done done)
    {
        return runPrepared(
            key, [work = std::move(work)]() mutable { return std::move(work); }, std::move(done));
    }
    template<class Work, class Done> quint64 run(Work work, Done done)
    {
        return run(nullptr, std::move(work), std::move(done));
    }

    /// Like run(), but the work is made by prepare(), in the runner's thread, when the job's
    /// turn comes.
    template<class Prepare, class Done> quint64 runPrepared(Key key, Prepare prepare, Done done)
    {
        return enqueue(key, [prepare = std::move(prepare), done = std::move(done)]() mutable {
            return bind(prepare(), std::move(done));
        });
    }
    template<class Prepare, class Done> quint64 runPrepared(Prepare prepare, Done done)
    {
        return runPrepared(nullptr, std::move(prepare), std::move(done));
    }

    /// Tells the running job, if any, to stop.
    void stopRunning();
    /// Voids every waiting job and tells the running one to stop.
    void clear();

    /// The id of the job running now (from its prepare() to its done()), or 0.
    quint64 currentJob() const { return m_running ? m_running->id : 0; }
    bool isIdle() const { return !m_running && m_waiting.empty(); }

    /// Runs every waiting job and delivers every result before it returns. In the runner's
    /// thread only; a job must not wait for that thread meanwhile.
    void waitForIdle();

private:
    using Task = std::function<void(const Stop &)>; // in the worker
    using Deliver = std::function<void()>;          // in the runner's thread
    using Start = std::function<std::pair<Task, Deliver>()>;

    struct Job
    {
        quint64 id = 0;
        Key key = nullptr;
        QPointer<const QObject> keyAlive;
        Start start;
    };
    struct Running
    {
        quint64 id = 0;
        bool stopped = false;
        Deliver deliver;
    };

    template<class Work> static decltype(auto) call(Work &work, const Stop &stop)
    {
        if constexpr (std::is_invocable_v<Work &, const Stop &>)
            return work(stop);
        else
            return work();
    }

    /// The job's two halves: the work with a place for its result, and done() with the result.
    template<class Fn, class Done> static std::pair<Task, Deliver> bind(Fn work, Done done)
    {
        using Result = std::decay_t<decltype(call(work, std::declval<const Stop &>()))>;
        if constexpr (std::is_void_v<Result>) {
            return {[work = std::move(work)](const Stop &stop) mutable { call(work, stop); },
                    std::move(done)};
        } else {
            auto result = std::make_shared<std::optional<Result>>();
            return {[work = std::move(work), result](const Stop &stop) mutable {
                        result->emplace(call(work, stop));
                    },
                    [done = std::move(done), result]() mutable { done(std::move(**result)); }};
        }
    }
    /// A result at hand needs no task.
    template<class Result, class Done>
    static std::pair<Task, Deliver> bind(Work<Result> work, Done done)
    {
        if (!work.m_ready)
            return bind(std::move(work.m_work), std::move(done));
        return {Task(), [done = std::move(done), result = std::move(*work.m_ready)]() mutable {
                    done(std::move(result));
                }};
    }

    quint64 enqueue(Key key, Start start);
    void startNext();
    void dispatch(Task task);
    /// Marks the running job's answer as come, for collect() in the next turn.
    void answer(bool ran);
    /// Takes the worker's answer, if it has come, delivers it and starts the next job.
    void collect();

    const Mode m_mode;
    const QString m_threadName;
    QThread::Priority m_priority = QThread::InheritPriority;
    std::function<void()> m_interrupt;
    std::deque<Job> m_waiting;
    std::optional<Running> m_running;
    quint64 m_lastId = 0;
    Stop m_stop;

    QMutex m_mutex;
    QWaitCondition m_answered;
    bool m_answer = false;    ///< under m_mutex: the running job has returned
    bool m_answerRan = false; ///< under m_mutex: it had run

    // Declared before the worker object, so that the object is deleted after the thread ended.
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QObject> m_worker; ///< lives in m_thread; jobs are posted to it
};
