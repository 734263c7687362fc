// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>

/**
 * One program per data folder. The first start takes a lock file in the folder and listens on
 * a local socket; a later start on the same folder asks that program to bring its window to the
 * front and ends, so two Stores never write over each other's conversations.
 *
 * The lock is stale only when the program that took it is gone, so a program killed in the
 * middle of anything is taken over at the next start.
 */
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        First,   ///< This program holds the folder; it listens for raise requests.
        Other,   ///< Another program holds it and has been asked to raise its window.
        NoAnswer ///< Another program holds it and could not be reached; see errorString().
    };

    explicit SingleInstance(const QString &dataDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    /// Takes the folder if nobody holds it, without listening yet: usable before the
    /// application object exists, so that the program can start reading its file while the
    /// rest of it starts. start() then listens (and returns First).
    bool takeFolder();
    /// Takes the folder or passes the raise request on. When the lock is held and its holder is
    /// not listening yet (it is starting, or its lock is just going), tries again for patience.
    Role start(std::chrono::milliseconds patience = std::chrono::seconds(5));
    QString errorString() const { return m_error; }
    /// Stops answering while the folder stays held: called as soon as the program begins to
    /// end, so that a start meanwhile waits for the folder instead of handing its request to a
    /// program that is going away, and ending itself too.
    void stopListening();
    /// Stops listening and gives the folder up. Called last on quitting.
    void release();

    /// The local socket for dataDir: a hash of its canonical path and the user, so that two
    /// users or two folders never meet; under XDG_RUNTIME_DIR where there is one.
    static QString serverName(const QString &dataDir);

signals:
    /// Another start asked for the main window.
    void raiseRequested();

private:
    bool lock();
    bool listen(bool mayClearOld);
    void accept();

    QString m_dataDir;
    QLockFile m_lock;
    QLocalServer m_server;
    QString m_error;
};
