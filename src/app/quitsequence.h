// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

class QSocketNotifier;
class Store;

/**
 * The one way the program ends, whether the user closes the main window or the session sends
 * SIGTERM, SIGINT or SIGHUP:
 *  1. every Settings form writes the change that waits for its delayed save;
 *  2. the save running on the Store's worker, and any waiting, are written;
 *  3. if the last save failed, the window asks: retry, or quit anyway. A quit by signal has no
 *     one to ask: it retries once and ends either way;
 *  4. main() releases the data folder's lock after the Store is gone.
 */
class QuitSequence : public QObject
{
    Q_OBJECT

public:
    explicit QuitSequence(QObject *parent = nullptr);
    ~QuitSequence() override;

    /// From now on SIGTERM, SIGINT and SIGHUP end the program through the event loop. One that
    /// comes while the Store still loads is handled once the loop runs.
    bool catchSignals();
    /// A close of window first runs the sequence on store. While the last save failed the
    /// window stays open and its QML function askBeforeQuit() is called to let the user choose.
    void watch(QWindow *window, Store *store);

    /// Steps 1 to 3 of a quit by signal; then the event loop ends with status 0.
    void quitFromSignal();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void flushSettings();
    void readSignal();

    QPointer<Store> m_store;
    QPointer<QWindow> m_window;
    QSocketNotifier *m_notifier = nullptr;
};
