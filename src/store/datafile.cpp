// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile.h"

#include "datafolder.h"
#include "model/storagecodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Why writing path failed, in words for the user. err is errno just after the failing call;
// Qt's own error text (English) is the last resort.
QString failureReason(const QString &path, int err, const QString &detail)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo(path).isDir())
        return DataFileSaver::tr("“%1”是一个文件夹").arg(shown);
    if (err == ENOSPC)
        return DataFileSaver::tr("磁盘已满");
#ifdef EDQUOT
    if (err == EDQUOT)
        return DataFileSaver::tr("磁盘配额已用完");
#endif
    if (err == EFBIG)
        return DataFileSaver::tr("文件超出了允许的大小");
    if (err == EROFS)
        return DataFileSaver::tr("“%1”所在的磁盘是只读的").arg(shown);
    if (err == EACCES || err == EPERM)
        return DataFileSaver::tr("没有写入“%1”的权限").arg(shown);
    return DataFileSaver::tr("写入“%1”时出错（%2）").arg(shown, detail);
}

// Replaces the file at path with bytes in one step: a reader sees the old file or the new one,
// never a part. An uncommitted QSaveFile discards its temporary file. Returns why it failed, or
// an empty string.
QString writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    errno = 0;
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        // QSaveFile keeps the old file's mode, or the umask's for a new one; the key must not
        // leak.
        file.setPermissions(DataFolder::fileMode);
        ok = file.write(bytes) == bytes.size() && file.commit();
    }
    return ok ? QString() : failureReason(path, errno, file.errorString());
}

// Over a file size limit a write fails with EFBIG only while SIGXFSZ is ignored; by default
// the signal ends the process, and with it the history not saved yet. A handler of the
// application's own is left alone.
void ignoreFileSizeSignal()
{
#ifdef Q_OS_UNIX
    struct sigaction current = {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// Writes states into one data folder's data.json.
class FileWriter
{
public:
    explicit FileWriter(const DataFile &file)
        : m_dirPath(file.dataDir), m_filePath(file.filePath),
          m_keepAside(file.unreadable || file.partlyRead)
    {}

    // Returns why the state could not be written, or an empty string when it was.
    QString operator()(const AppData &state)
    {
        if (m_filePath.isEmpty())
            return DataFileSaver::tr("找不到存放数据的文件夹");
        const QByteArray bytes = encodeAppData(state);
        if (bytes.isEmpty())
            return DataFileSaver::tr("对话无法转成文件内容");
        // The folder may have been removed while the app runs; without it every later save
        // fails.
        if (!DataFolder::ensure(m_dirPath))
            return DataFileSaver::tr("无法创建文件夹“%1”").arg(QDir::toNativeSeparators(m_dirPath));
        if (QString why = keepUnreadableFile(); !why.isEmpty())
            return why;
        return writeAtomically(m_filePath, bytes);
    }

private:
    QString keepUnreadableFile();

    QString m_dirPath;
    QString m_filePath;
    /// Set when an existing data.json could not be read or decoded, or was decoded without a
    /// malformed entry; its bytes are kept aside before the first save replaces it.
    bool m_keepAside;
};

// Copies an unreadable data.json aside before it is replaced. Returns why data.json may not be
// overwritten yet, or an empty string when it may.
QString FileWriter::keepUnreadableFile()
{
    if (!m_keepAside)
        return {};
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        m_keepAside = false;
        return {};
    }

    const QString base = m_filePath + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmss'Z'");
    QString aside = base;
    for (int n = 2; QFileInfo(aside).exists() || QFileInfo(aside).isSymLink(); ++n)
        aside = base + u'-' + QString::number(n);

    QFile source(m_filePath);
    if (source.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = source.readAll();
        if (source.error() != QFileDevice::NoError)
            return DataFileSaver::tr("读不出原来的“%1”，所以没有覆盖它")
                .arg(QDir::toNativeSeparators(m_filePath));
        if (!bytes.isEmpty()) {
            if (QString why = writeAtomically(aside, bytes); !why.isEmpty())
                return why;
        }
    } else if (QDir().rename(m_filePath, aside)) {
        QFile::setPermissions(aside, DataFolder::fileMode); // it may hold a key
    } else {
        // What cannot be read can still be moved out of the way, which loses nothing.
        return failureReason(aside, errno, source.errorString());
    }
    m_keepAside = false;
    return {};
}

} // namespace

DataFile DataFile::read(const QString &dataDir)
{
    DataFile file{dataDir, {}, {}, false, false};
    if (!dataDir.isEmpty()) {
        DataFolder::ensure(dataDir);
        file.filePath = dataDir + QStringLiteral("/data.json");
    }
    if (file.filePath.isEmpty())
        return file;

    QFile in(file.filePath);
    if (in.open(QIODevice::ReadOnly)) {
        const FileContents contents(in);
        if (contents.isValid())
            file.data = decodeAppData(contents);
    }
    // Start with the defaults when the file cannot be read, but keep the user's bytes: the file
    // may hold their whole history in a form this build cannot read.
    file.unreadable = !file.data && QFileInfo(file.filePath).exists();
    file.partlyRead = file.data && file.data->skippedEntries;
#ifdef __GLIBC__
    // Qt's reader, when it has to decide the file, leaves its document freed in small pieces
    // among the history's strings: give those pages back rather than keep them for the
    // session. The fast reader's memory goes back by itself, and a trim then only costs time.
    if (mallinfo2().fordblks > 16 * 1024 * 1024)
        malloc_trim(0);
#endif
    return file;
}

struct DataFileSaver::Queue
{
    Write write;
    std::mutex mutex;
    std::condition_variable idle;
    std::optional<AppData> pending;
    bool running = false; ///< a thread is writing or about to
    QList<QString> results;
    std::thread thread; ///< touched by the saver's own thread only
};

DataFileSaver::DataFileSaver(const DataFile &file, QObject *parent)
    : DataFileSaver(Write(FileWriter(file)), parent)
{
    m_filePath = file.filePath;
    ignoreFileSizeSignal();
}

DataFileSaver::DataFileSaver(Write write, QObject *parent)
    : QObject(parent), m_queue(std::make_unique<Queue>())
{
    m_queue->write = std::move(write);
}

DataFileSaver::~DataFileSaver()
{
    wait();
}

void DataFileSaver::save(AppData state)
{
    Queue &q = *m_queue;
    std::unique_lock lock(q.mutex);
    q.pending = std::move(state);
    if (q.running)
        return;
    q.running = true;
    lock.unlock();
    if (q.thread.joinable()) // one that has just finished its last write
        q.thread.join();
    q.thread = std::thread([this] { run(); });
}

void DataFileSaver::run()
{
    Queue &q = *m_queue;
    std::unique_lock lock(q.mutex);
    while (q.pending) {
        const AppData state = *std::exchange(q.pending, std::nullopt);
        lock.unlock();
        QString reason = q.write(state);
        lock.lock();
        q.results.append(std::move(reason));
        QMetaObject::invokeMethod(this, &DataFileSaver::deliver, Qt::QueuedConnection);
    }
    q.running = false;
    q.idle.notify_all();
}

void DataFileSaver::wait()
{
    Queue &q = *m_queue;
    std::unique_lock lock(q.mutex);
    q.idle.wait(lock, [&q] { return !q.running; });
    lock.unlock();
    if (q.thread.joinable())
        q.thread.join();
}

void DataFileSaver::waitForIdle()
{
    wait();
    deliver();
}

void DataFileSaver::deliver()
{
    // One at a time: a receiver of saved() may wait for idle itself, and the results must stay
    // in order.
    for (;;) {
        std::unique_lock lock(m_queue->mutex);
        if (m_queue->results.isEmpty())
            return;
        const QString reason = m_queue->results.takeFirst();
        lock.unlock();
        emit saved(reason.isEmpty(), reason);
    }
}
