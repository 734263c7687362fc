// SPDX-License-Identifier: GPL-3.0-or-later
#include "store.h"

#include "datafolder.h"
#include "model/storagecodec.h"
#include "model/textutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

#include <cerrno>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

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
        return Store::tr("“%1”是一个文件夹").arg(shown);
    if (err == ENOSPC)
        return Store::tr("磁盘已满");
#ifdef EDQUOT
    if (err == EDQUOT)
        return Store::tr("磁盘配额已用完");
#endif
    if (err == EFBIG)
        return Store::tr("文件超出了允许的大小");
    if (err == EROFS)
        return Store::tr("“%1”所在的磁盘是只读的").arg(shown);
    if (err == EACCES || err == EPERM)
        return Store::tr("没有写入“%1”的权限").arg(shown);
    return Store::tr("写入“%1”时出错（%2）").arg(shown, detail);
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

} // namespace

/**
 * Writes data.json off the main thread, one state at a time and in the order asked for. A state
 * asked for while another is written waits; a newer one replaces it, so no older state is ever
 * written after a newer one.
 *
 * A thread runs only while there is something to write; the next save starts a new one. So the
 * thread that writes always shares what the main thread's process state is at the save (a
 * thread keeps the mount namespace it was made in), and no idle thread is left behind.
 */
class SaveWorker
{
public:
    SaveWorker(QString dirPath, QString filePath, bool preserveBeforeSave,
               std::function<void()> written)
        : m_dirPath(std::move(dirPath)), m_filePath(std::move(filePath)),
          m_preserveBeforeSave(preserveBeforeSave), m_written(std::move(written))
    {}
    ~SaveWorker() { wait(); }
    SaveWorker(const SaveWorker &) = delete;
    SaveWorker &operator=(const SaveWorker &) = delete;

    /// Main thread: hands over a state to write. The copies share the Store's data.
    void request(const AppSettings &settings, const QList<Conversation> &conversations)
    {
        std::unique_lock lock(m_mutex);
        m_pending = AppData{settings, conversations};
        if (m_running)
            return;
        m_running = true;
        lock.unlock();
        if (m_thread.joinable()) // one that has just finished its last write
            m_thread.join();
        m_thread = std::thread([this] { run(); });
    }

    /// Main thread: returns once every state handed over is written.
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_running; });
        lock.unlock();
        if (m_thread.joinable())
            m_thread.join();
    }

    /// The outcome of the oldest write not taken yet: why it failed, or an empty string.
    std::optional<QString> takeResult()
    {
        const std::lock_guard lock(m_mutex);
        if (m_results.isEmpty())
            return std::nullopt;
        return m_results.takeFirst();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (m_pending) {
            std::optional<AppData> state = std::move(m_pending);
            m_pending.reset();
            lock.unlock();
            QString error = write(state->settings, state->conversations);
            state.reset(); // the Store's next change need not copy what is no longer shared
            lock.lock();
            m_results.append(std::move(error));
            m_written();
        }
        m_running = false;
        m_idle.notify_all();
    }

    // Returns why the state could not be written, or an empty string when it was.
    QString write(const AppSettings &settings, const QList<Conversation> &conversations)
    {
        if (m_filePath.isEmpty())
            return Store::tr("找不到存放数据的文件夹");
        const QByteArray bytes = encodeAppData(settings, conversations);
        if (bytes.isEmpty())
            return Store::tr("对话无法转成文件内容");
        // The folder may have been removed while the app runs; without it every later save
        // fails.
        if (!DataFolder::ensure(m_dirPath))
            return Store::tr("无法创建文件夹“%1”").arg(QDir::toNativeSeparators(m_dirPath));
        if (QString why = keepUnreadableFile(); !why.isEmpty())
            return why;
        return writeAtomically(m_filePath, bytes);
    }

    QString keepUnreadableFile();

    const QString m_dirPath;
    const QString m_filePath;
    /// Set when an existing data.json could not be read or decoded; its bytes are kept aside
    /// before the first save replaces it. Only the writing thread touches it.
    bool m_preserveBeforeSave;
    /// Called on the writing thread after each write, with the lock held.
    const std::function<void()> m_written;

    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::optional<AppData> m_pending;
    bool m_running = false; ///< a thread is writing or about to
    QList<QString> m_results;
    std::thread m_thread; ///< touched by the main thread only
};

QString Store::standardDataDir()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Corvane");
}

Store::Store(QObject *parent) : QObject(parent)
{
    load(readDataFile(standardDataDir()));
}

Store::Store(const QString &dataDir, QObject *parent) : QObject(parent)
{
    load(readDataFile(dataDir));
}

Store::Store(DataFile file, QObject *parent) : QObject(parent)
{
    load(std::move(file));
}

Store::~Store()
{
    // The program waits for a running save before it ends.
    if (m_saver)
        m_saver->wait();
}

Store::DataFile Store::readDataFile(const QString &dataDir)
{
    DataFile file{dataDir, {}, {}, false};
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
#ifdef __GLIBC__
    // Qt's reader, when it has to decide the file, leaves its document freed in small pieces
    // among the history's strings: give those pages back rather than keep them for the
    // session. The fast reader's memory goes back by itself, and a trim then only costs time.
    if (mallinfo2().fordblks > 16 * 1024 * 1024)
        malloc_trim(0);
#endif
    return file;
}

void Store::load(DataFile file)
{
    ignoreFileSizeSignal();
    m_selectedID.reset();
    m_filePath = file.filePath;
    if (file.data) {
        m_settings = std::move(file.data->settings);
        m_conversations = std::move(file.data->conversations);
    }
    m_saver = std::make_unique<SaveWorker>(file.dataDir, m_filePath, file.unreadable, [this] {
        QMetaObject::invokeMethod(this, &Store::takeSaveResults, Qt::QueuedConnection);
    });
    reindex();
    if (!m_conversations.isEmpty())
        m_selectedID = m_conversations.constFirst().id;
}

// Copies an unreadable data.json aside before it is replaced. Returns why data.json may not be
// overwritten yet, or an empty string when it may.
QString SaveWorker::keepUnreadableFile()
{
    if (!m_preserveBeforeSave)
        return {};
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        m_preserveBeforeSave = false;
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
            return Store::tr("读不出原来的“%1”，所以没有覆盖它")
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
    m_preserveBeforeSave = false;
    return {};
}

void Store::save()
{
    m_saver->request(m_settings, m_conversations);
}

bool Store::flush()
{
    m_saver->wait();
    takeSaveResults();
    return !lastSaveFailed();
}

void Store::takeSaveResults()
{
    // One at a time: a handler of saved() may flush, and the outcomes must stay in order.
    while (const std::optional<QString> error = m_saver->takeResult()) {
        if (*error != m_saveError) {
            m_saveError = *error;
            emit saveStatusChanged();
        }
        emit saved(error->isEmpty());
    }
}

void Store::setSettings(const AppSettings &settings)
{
    if (m_settings == settings)
        return;
    m_settings = settings;
    emit settingsChanged();
}

void Store::setSelectedID(std::optional<QUuid> id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    emit selectedIDChanged();
}

QString Store::selectedIDString() const
{
    return m_selectedID ? canonicalUuidString(*m_selectedID) : QString();
}

void Store::setSelectedIDString(const QString &id)
{
    setSelectedID(parseCanonicalUuid(id));
}

void Store::reindex()
{
    m_positions.clear();
    m_positions.reserve(m_conversations.size());
    for (qsizetype i = m_conversations.size() - 1; i >= 0; --i)
        m_positions.insert(m_conversations.at(i).id, i); // the first one wins
}

Conversation *Store::find(const QUuid &id)
{
    const auto it = m_positions.constFind(id);
    return it == m_positions.cend() ? nullptr : &m_conversations[*it];
}

const Conversation *Store::conversation(const QUuid &id) const
{
    const auto it = m_positions.constFind(id);
    return it == m_positions.cend() ? nullptr : &m_conversations.at(*it);
}

qsizetype Store::messageRow(const Conversation &c, const QUuid &id)
{
    // The first message with the id, as everywhere ids are looked up.
    for (qsizetype i = 0; i < c.messages.size(); ++i) {
        if (c.messages.at(i).id == id)
            return i;
    }
    return -1;
}

const Message *Store::message(const QUuid &conversation, const QUuid &message) const
{
    const Conversation *c = this->conversation(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    return row < 0 ? nullptr : &c->messages.at(row);
}

void Store::newConversation()
{
    const Conversation conversation = Conversation::make();
    emit conversationsAboutToBeInserted(0, 0);
    m_conversations.prepend(conversation);
    reindex();
    emit conversationsInserted(0, 0);
    setSelectedID(conversation.id);
    save();
}

std::optional<qsizetype> Store::indexOf(std::optional<QUuid> id) const
{
    if (!id)
        return std::nullopt;
    const auto it = m_positions.constFind(*id);
    return it == m_positions.cend() ? std::nullopt : std::optional<qsizetype>(*it);
}

void Store::remove(const QUuid &id)
{
    // A reply must not go on writing into a conversation that may come back (an undo).
    stopReply(id);

    // Every conversation with that id goes, in runs from the end so the indices stay valid.
    for (qsizetype last = m_conversations.size() - 1; last >= 0;) {
        if (m_conversations.at(last).id != id) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && m_conversations.at(first - 1).id == id)
            --first;
        emit conversationsAboutToBeRemoved(int(first), int(last));
        m_conversations.remove(first, last - first + 1);
        reindex();
        emit conversationsRemoved(int(first), int(last));
        last = first - 1;
    }

    if (m_selectedID == id) {
        setSelectedID(m_conversations.isEmpty()
                          ? std::nullopt
                          : std::optional<QUuid>(m_conversations.constFirst().id));
    }
    save();
}

void Store::insertConversations(const QList<std::pair<qsizetype, Conversation>> &removed)
{
    if (removed.isEmpty() || indexOf(removed.constFirst().second.id))
        return;
    for (const auto &[index, conversation] : removed) {
        const int at = int(std::clamp<qsizetype>(index, 0, m_conversations.size()));
        emit conversationsAboutToBeInserted(at, at);
        m_conversations.insert(at, conversation);
        reindex();
        emit conversationsInserted(at, at);
    }
    save();
}

void Store::addConversationsAtTop(const QList<Conversation> &conversations)
{
    if (conversations.isEmpty())
        return;
    const int last = int(conversations.size()) - 1;
    emit conversationsAboutToBeInserted(0, last);
    m_conversations = conversations + m_conversations;
    reindex();
    emit conversationsInserted(0, last);
    save();
}

void Store::rename(const QUuid &id, const QString &name)
{
    if (!conversation(id))
        return;
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(name);
    setTitle(id, trimmed.isEmpty() ? Conversation::untitledTitle() : trimmed);
    save();
}

void Store::remove(const QString &id)
{
    if (const auto uuid = parseCanonicalUuid(id))
        remove(*uuid);
}

void Store::rename(const QString &id, const QString &name)
{
    if (const auto uuid = parseCanonicalUuid(id))
        rename(*uuid, name);
}

void Store::appendMessage(const QUuid &conversation, const Message &message)
{
    Conversation *c = find(conversation);
    if (!c)
        return;
    const int row = int(c->messages.size());
    emit messagesAboutToBeInserted(conversation, row, row);
    c->messages.append(message);
    emit messagesInserted(conversation, row, row);
}

void Store::appendToMessage(const QUuid &conversation, const QUuid &message, QStringView delta)
{
    Conversation *c = delta.isEmpty() ? nullptr : find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0)
        return;
    // Unless a save still holds the state, the list is not shared, so this touches one string
    // and copies only the delta; while one does, the list and this text are copied once.
    Message &m = c->messages[row];
    const qsizetype before = m.content.size();
    m.content.append(delta);
    bool thinkingChanged = false;
    if (m.role == Message::Role::Assistant) {
        auto t = m_thinking.find(m.id);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (t == m_thinking.end()) {
            // A "<think>" block can only open at the start of a reply.
            if (before < 64 && TextUtil::splitThink(m.content).found) {
                t = m_thinking.insert(m.id, Thinking{now, -1, true});
                thinkingChanged = true;
            }
        }
        // The same text may close the block it opened.
        if (t != m_thinking.end() && t->endedMs < 0) {
            // The tag may arrive cut in two: look a little before the new text.
            const qsizetype from = std::max<qsizetype>(0, before - 8);
            if (!t->tagged || m.content.indexOf(u"</think>", from) >= 0) {
                t->endedMs = now;
                thinkingChanged = true;
            }
        }
    }
    emit messageContentChanged(conversation, message, int(row));
    if (thinkingChanged)
        emit messageReasoningChanged(conversation, message, int(row));
}

void Store::appendReasoning(const QUuid &conversation, const QUuid &message, QStringView delta)
{
    Conversation *c = delta.isEmpty() ? nullptr : find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0)
        return;
    c->messages[row].reasoning.append(delta);
    if (!m_thinking.contains(message))
        m_thinking.insert(message, Thinking{QDateTime::currentMSecsSinceEpoch(), -1, false});
    emit messageReasoningChanged(conversation, message, int(row));
}

std::optional<Store::Thinking> Store::thinking(const QUuid &messageId) const
{
    const auto t = m_thinking.constFind(messageId);
    if (t == m_thinking.constEnd())
        return std::nullopt;
    return *t;
}

void Store::endThinking(const QUuid &conversation, const QUuid &message)
{
    const auto t = m_thinking.find(message);
    if (t == m_thinking.end() || t->endedMs >= 0)
        return;
    t->endedMs = QDateTime::currentMSecsSinceEpoch();
    Conversation *c = find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row >= 0)
        emit messageReasoningChanged(conversation, message, int(row));
}

void Store::setMessageContent(const QUuid &conversation, const QUuid &message,
                              const QString &content)
{
    Conversation *c = find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0 || c->messages.at(row).content == content)
        return;
    c->messages[row].content = content;
    emit messageContentChanged(conversation, message, int(row));
}

void Store::removeMessage(const QUuid &conversation, const QUuid &message)
{
    Conversation *c = find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0)
        return;
    emit messagesAboutToBeRemoved(conversation, int(row), int(row));
    c->messages.remove(row);
    emit messagesRemoved(conversation, int(row), int(row));
}

void Store::removeMessagesAfter(const QUuid &conversation, const QUuid &message)
{
    Conversation *c = find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    const qsizetype size = c ? c->messages.size() : 0;
    if (row < 0 || row + 1 >= size)
        return;
    emit messagesAboutToBeRemoved(conversation, int(row + 1), int(size - 1));
    c->messages.resize(row + 1);
    emit messagesRemoved(conversation, int(row + 1), int(size - 1));
}

void Store::setTitle(const QUuid &conversation, const QString &title)
{
    Conversation *c = find(conversation);
    if (!c || c->title == title)
        return;
    c->title = title;
    emit conversationUpdated(conversation);
}

void Store::setModel(const QUuid &conversation, const std::optional<QString> &model)
{
    Conversation *c = find(conversation);
    if (!c || c->model == model)
        return;
    c->model = model;
    emit conversationUpdated(conversation);
}

void Store::addReply(RunningReply *reply)
{
    const QUuid id = reply->conversationID();
    stopReply(id);
    reply->setParent(this);
    m_replies.insert(id, reply);
    connect(reply, &RunningReply::finished, this, [this, reply, id](const QString &error) {
        // A reply stopped because a newer one took its place leaves the newer one registered.
        if (m_replies.value(id) != reply)
            return;
        m_replies.remove(id);
        emit replyFinished(id, error);
    });
    emit replyStarted(id);
}

bool Store::isReplying(const QUuid &conversation) const
{
    return m_replies.contains(conversation);
}

void Store::stopReply(const QUuid &conversation)
{
    if (RunningReply *reply = m_replies.value(conversation))
        reply->cancel();
}
