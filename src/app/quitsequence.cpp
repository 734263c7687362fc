// SPDX-License-Identifier: GPL-3.0-or-later
#include "quitsequence.h"

#include "settingsform.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The write end is all a signal handler may touch; the event loop reads the other end.
int g_signalPipe[2] = {-1, -1};

#ifdef Q_OS_UNIX
void onSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}
#endif

} // namespace

QuitSequence::QuitSequence(QObject *parent) : QObject(parent) {}

QuitSequence::~QuitSequence() = default;

bool QuitSequence::catchSignals()
{
#ifdef Q_OS_UNIX
    if (m_notifier)
        return true;
    if (g_signalPipe[0] < 0) {
        if (::pipe(g_signalPipe) != 0)
            return false;
        for (int fd : g_signalPipe) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
    }
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSequence::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
#else
    return false;
#endif
}

void QuitSequence::readSignal()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
#endif
    quitFromSignal();
}

void QuitSequence::watch(QWindow *window, Store *store)
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    m_store = store;
    if (window)
        window->installEventFilter(this);
}

void QuitSequence::flushSettings()
{
    // A form lives in the Settings window, which may be open or not; every window is searched.
    for (QWindow *window : QGuiApplication::allWindows()) {
        for (SettingsForm *form : window->findChildren<SettingsForm *>())
            form->flush();
    }
}

void QuitSequence::quitFromSignal()
{
    flushSettings();
    if (m_store && !m_store->flush()) {
        m_store->save();
        m_store->flush();
    }
    if (m_window)
        m_window->removeEventFilter(this);
    QCoreApplication::exit(0);
}

bool QuitSequence::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::Close)
        return false;
    flushSettings();
    if (!m_store || m_store->flush())
        return false;
    event->ignore();
    QMetaObject::invokeMethod(m_window, "askBeforeQuit", Qt::QueuedConnection);
    return true;
}
