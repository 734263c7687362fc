// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

/**
 * What a data folder holds: everything a Store starts from, read and decoded, with nothing yet
 * that could change or save it.
 */
struct DataFile
{
    QString dataDir;
    QString filePath;            ///< empty when there is no folder for the data
    std::optional<AppData> data; ///< empty when there is no file or it cannot be read
    bool unreadable = false;     ///< a file is there that could not be read: keep it aside
    /// The file was read, but a malformed optional entry was skipped (see AppData): keep the
    /// file aside too, since a save would lose that entry.
    bool partlyRead = false;

    /// Reads and decodes dataDir/data.json (dataDir is made if needed). Safe on any thread,
    /// so that the file can be read while the window is being prepared.
    static DataFile read(const QString &dataDir);
};

/**
 * Writes the states of the history into data.json off the main thread.
 *
 * Its contract:
 *  - One write at a time, in the order the states were handed over.
 *  - A state handed over while another is written waits; a newer one makes the one waiting
 *    void (coalesced), so the newest state wins and no state is written after a newer one.
 *  - Each write's result arrives as saved() on the saver's thread (the main thread), in order.
 *  - waitForIdle() returns once every state handed over is written, after delivering the
 *    results not delivered yet, synchronously: for quitting, and for a quit by signal.
 *  - Destroying it waits for the running write, and for the state waiting behind it, so the
 *    newest state is on disk; their results are not delivered.
 *
 * It keeps a thread of its own, made for each burst of saves and gone once the burst is
 * written, rather than a pool's or a lasting one: a thread keeps the mount namespace it was made
 * in, so only a thread made at the save sees the file system as the process sees it then.
 *
 * A failed write leaves the previous file intact. When the file was there but unreadable, or
 * only partly read, the first write keeps its bytes aside (data.json.unreadable-<time>) before
 * replacing it.
 */
class DataFileSaver : public QObject
{
    Q_OBJECT

public:
    /// Writes one state; returns why it failed, in words for the user, or an empty string.
    /// Runs on the writing thread.
    using Write = std::function<QString(const AppData &state)>;

    /// Saves into file.filePath.
    explicit DataFileSaver(const DataFile &file, QObject *parent = nullptr);
    /// Saves with write, under the same contract.
    explicit DataFileSaver(Write write, QObject *parent = nullptr);
    ~DataFileSaver() override;

    /// Hands over a state to write. A copy of the caller's lists shares their data.
    void save(AppData state);
    void waitForIdle();

    /// Where the states go; empty when there is no folder for the data.
    QString filePath() const { return m_filePath; }

signals:
    /// reason: why the write failed, in words for the user; empty when it worked.
    void saved(bool ok, const QString &reason);

private:
    struct Queue;
    /// Runs on the writing thread: writes until no state waits.
    void run();
    /// Returns once no thread writes.
    void wait();
    void deliver();

    QString m_filePath;
    std::unique_ptr<Queue> m_queue;
};
