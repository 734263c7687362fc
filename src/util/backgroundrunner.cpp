// SPDX-License-Identifier: GPL-3.0-or-later
#include "backgroundrunner.h"

#include <algorithm>

BackgroundRunner::BackgroundRunner(Mode mode, const QString &threadName, QObject *parent)
    : QObject(parent), m_mode(mode), m_threadName(threadName)
{}

BackgroundRunner::~BackgroundRunner()
{
    clear();
    if (m_running) {
        QMutexLocker lock(&m_mutex);
        while (!m_answer)
            m_answered.wait(&m_mutex);
    }
    m_running.reset();
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

quint64 BackgroundRunner::enqueue(Key key, Start start)
{
    Job job{++m_lastId, key, key, std::move(start)};
    const quint64 id = job.id;
    auto waiting = m_waiting.end();
    if (m_mode == Mode::NewestWins)
        waiting = std::find_if(m_waiting.begin(), m_waiting.end(),
                               [key](const Job &j) { return j.key == key; });
    if (waiting != m_waiting.end())
        *waiting = std::move(job);
    else
        m_waiting.push_back(std::move(job));
    startNext();
    return id;
}

void BackgroundRunner::startNext()
{
    while (!m_running && !m_waiting.empty()) {
        Job job = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (job.key && !job.keyAlive)
            continue;
        m_running.emplace(Running{job.id, false, {}});
        m_stop.m_requested = false;
        // prepare() may ask for currentJob(), or even tell this job to stop.
        auto [task, deliver] = job.start();
        m_running->deliver = std::move(deliver);
        if (task)
            dispatch(std::move(task));
        else
            answer(true);
    }
}

void BackgroundRunner::dispatch(Task task)
{
    if (!m_thread) {
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(m_threadName);
        m_worker = std::make_unique<QObject>();
        m_worker->moveToThread(m_thread.get());
        m_thread->start(m_priority);
    }
    // The answer comes when the posted job is deleted, run or not: an event loop without an
    // application (one being destroyed) drops what is posted to it, and then the job is void.
    struct Answer
    {
        BackgroundRunner *runner;
        bool ran = false;
        ~Answer() { runner->answer(ran); }
    };
    QMetaObject::invokeMethod(
        m_worker.get(),
        [this, task = std::move(task), answer = std::shared_ptr<Answer>(new Answer{this})] {
            // A job told to stop before it began delivers nothing: it need not begin.
            if (m_stop.requested())
                return;
            task(m_stop);
            answer->ran = true;
        },
        Qt::QueuedConnection);
}

void BackgroundRunner::answer(bool ran)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_answer = true;
        m_answerRan = ran;
    }
    m_answered.wakeAll();
    // Posted after the answer is marked, so that collect() finds it. The destructor ends the
    // worker thread only after this returns: the runner is still there.
    QMetaObject::invokeMethod(this, &BackgroundRunner::collect, Qt::QueuedConnection);
}

void BackgroundRunner::collect()
{
    bool ran = false;
    {
        const QMutexLocker lock(&m_mutex);
        if (!m_answer)
            return; // waitForIdle() took it
        m_answer = false;
        ran = m_answerRan;
    }
    const Running done = std::move(*m_running);
    m_running.reset();
    if (ran && !done.stopped) {
        // done() may destroy the runner (a service gone with its last result).
        const QPointer<BackgroundRunner> self(this);
        done.deliver();
        if (!self)
            return;
    }
    startNext();
}

void BackgroundRunner::stopRunning()
{
    if (!m_running || m_running->stopped)
        return;
    m_running->stopped = true;
    m_stop.m_requested = true;
    if (m_interrupt)
        m_interrupt();
}

void BackgroundRunner::clear()
{
    m_waiting.clear();
    stopRunning();
}

void BackgroundRunner::waitForIdle()
{
    startNext();
    while (m_running) {
        {
            QMutexLocker lock(&m_mutex);
            while (!m_answer)
                m_answered.wait(&m_mutex);
        }
        const QPointer<BackgroundRunner> self(this);
        collect();
        if (!self)
            return;
    }
}
