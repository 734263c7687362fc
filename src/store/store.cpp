// SPDX-License-Identifier: GPL-3.0-or-later
#include "store.h"

#include "model/storagecodec.h"
#include "model/textutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// data.json holds the API key: only its owner may read it.
constexpr QFile::Permissions fileMode = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions folderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

QString standardDataDir()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Corvane");
}

// Replaces the file at path with bytes in one step: a reader sees the old file or the new one,
// never a part. An uncommitted QSaveFile discards its temporary file.
bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile keeps the old file's mode, or the umask's for a new one; the key must not leak.
    file.setPermissions(fileMode);
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
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

Store::Store(QObject *parent) : QObject(parent)
{
    load(standardDataDir());
}

Store::Store(const QString &dataDir, QObject *parent) : QObject(parent)
{
    load(dataDir);
}

Store::~Store() = default;

void Store::load(const QString &dataDir)
{
    ignoreFileSizeSignal();
    m_selectedID.reset();
    m_dirPath = dataDir;
    if (!m_dirPath.isEmpty()) {
        ensureFolder();
        m_filePath = m_dirPath + QStringLiteral("/data.json");
    }

    std::optional<AppData> data;
    QFile file(m_filePath);
    if (!m_filePath.isEmpty() && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            data = decodeAppData(bytes);
    }
    if (data) {
        m_settings = std::move(data->settings);
        m_conversations = std::move(data->conversations);
    } else if (!m_filePath.isEmpty() && QFileInfo(m_filePath).exists()) {
        // Start with the defaults as usual, but keep the user's bytes: the file may hold their
        // whole history in a form this build cannot read.
        m_preserveBeforeSave = true;
    }
    if (!m_conversations.isEmpty())
        m_selectedID = m_conversations.constFirst().id;
}

bool Store::ensureFolder() const
{
    if (m_dirPath.isEmpty())
        return false;
    if (QFileInfo(m_dirPath).isDir())
        return true;
    QDir().mkpath(QFileInfo(m_dirPath).absolutePath());
    return QDir().mkdir(m_dirPath, folderMode);
}

// Copies an unreadable data.json aside before it is replaced. Returns whether data.json may
// now be overwritten.
bool Store::keepUnreadableFile()
{
    if (!m_preserveBeforeSave)
        return true;
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        m_preserveBeforeSave = false;
        return true;
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
            return false;
        if (!bytes.isEmpty() && !writeAtomically(aside, bytes))
            return false;
    } else if (!QDir().rename(m_filePath, aside)) {
        // What cannot be read can still be moved out of the way, which loses nothing.
        return false;
    }
    m_preserveBeforeSave = false;
    return true;
}

bool Store::save()
{
    const bool ok = writeState();
    emit saved(ok);
    return ok;
}

bool Store::writeState()
{
    if (m_filePath.isEmpty())
        return false;
    const QByteArray bytes = encodeAppData(m_settings, m_conversations);
    if (bytes.isEmpty())
        return false;
    // The folder may have been removed while the app runs; without it every later save fails.
    ensureFolder();
    if (!keepUnreadableFile())
        return false;
    return writeAtomically(m_filePath, bytes);
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

void Store::newConversation()
{
    const Conversation conversation = Conversation::make();
    emit conversationsAboutToBeInserted(0, 0);
    m_conversations.prepend(conversation);
    emit conversationsInserted(0, 0);
    emit conversationsChanged();
    setSelectedID(conversation.id);
    save();
}

std::optional<qsizetype> Store::indexOf(std::optional<QUuid> id) const
{
    if (!id)
        return std::nullopt;
    for (qsizetype i = 0; i < m_conversations.size(); ++i) {
        if (m_conversations.at(i).id == *id)
            return i;
    }
    return std::nullopt;
}

void Store::remove(const QUuid &id)
{
    // Every conversation with that id goes, in runs from the end so the indices stay valid.
    bool removed = false;
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
        emit conversationsRemoved(int(first), int(last));
        removed = true;
        last = first - 1;
    }
    if (removed)
        emit conversationsChanged();

    if (m_selectedID == id) {
        setSelectedID(m_conversations.isEmpty()
                          ? std::nullopt
                          : std::optional<QUuid>(m_conversations.constFirst().id));
    }
    save();
}

void Store::insertConversation(qsizetype index, const Conversation &conversation)
{
    if (indexOf(conversation.id))
        return;
    const int at = int(std::clamp<qsizetype>(index, 0, m_conversations.size()));
    emit conversationsAboutToBeInserted(at, at);
    m_conversations.insert(at, conversation);
    emit conversationsInserted(at, at);
    emit conversationsChanged();
    save();
}

void Store::addConversationsAtTop(const QList<Conversation> &conversations)
{
    if (conversations.isEmpty())
        return;
    const int last = int(conversations.size()) - 1;
    emit conversationsAboutToBeInserted(0, last);
    m_conversations = conversations + m_conversations;
    emit conversationsInserted(0, last);
    emit conversationsChanged();
    save();
}

void Store::rename(const QUuid &id, const QString &name)
{
    const auto index = indexOf(id);
    if (!index)
        return;
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(name);
    setTitle(*index, trimmed.isEmpty() ? QStringLiteral("未命名") : trimmed);
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

bool Store::validMessage(qsizetype conv, qsizetype row) const
{
    return conv >= 0 && conv < m_conversations.size() && row >= 0 &&
           row < m_conversations.at(conv).messages.size();
}

void Store::appendMessage(qsizetype conv, const Message &message)
{
    if (conv < 0 || conv >= m_conversations.size())
        return;
    QList<Message> &messages = m_conversations[conv].messages;
    const int row = int(messages.size());
    emit messagesAboutToBeInserted(int(conv), row, row);
    messages.append(message);
    emit messagesInserted(int(conv), row, row);
    emit conversationsChanged();
}

void Store::appendToMessage(qsizetype conv, qsizetype row, QStringView delta)
{
    if (delta.isEmpty() || !validMessage(conv, row))
        return;
    // The list is never shared, so this touches one string and copies only the delta.
    Message &m = m_conversations[conv].messages[row];
    const qsizetype before = m.content.size();
    m.content.append(delta);
    bool thinkingChanged = false;
    if (m.role == Message::Role::Assistant) {
        const auto t = m_thinking.find(m.id);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (t == m_thinking.end()) {
            // A "<think>" block can only open at the start of a reply.
            if (before < 64 && TextUtil::splitThink(m.content).found) {
                m_thinking.insert(m.id, Thinking{now, -1, true});
                thinkingChanged = true;
            }
        } else if (t->endedMs < 0) {
            // The tag may arrive cut in two: look a little before the new text.
            const qsizetype from = std::max<qsizetype>(0, before - 8);
            if (!t->tagged || m.content.indexOf(u"</think>", from) >= 0) {
                t->endedMs = now;
                thinkingChanged = true;
            }
        }
    }
    emit messageContentChanged(int(conv), int(row));
    if (thinkingChanged)
        emit messageReasoningChanged(int(conv), int(row));
    emit conversationsChanged();
}

void Store::appendReasoning(const QUuid &conversationId, const QUuid &messageId, QStringView delta)
{
    const auto conv = indexOf(conversationId);
    if (delta.isEmpty() || !conv)
        return;
    QList<Message> &messages = m_conversations[*conv].messages;
    // A streaming reply is nearly always the last message.
    for (qsizetype row = messages.size() - 1; row >= 0; --row) {
        if (messages.at(row).id != messageId)
            continue;
        messages[row].reasoning.append(delta);
        if (!m_thinking.contains(messageId))
            m_thinking.insert(messageId, Thinking{QDateTime::currentMSecsSinceEpoch(), -1, false});
        emit messageReasoningChanged(int(*conv), int(row));
        emit conversationsChanged();
        return;
    }
}

std::optional<Store::Thinking> Store::thinking(const QUuid &messageId) const
{
    const auto t = m_thinking.constFind(messageId);
    if (t == m_thinking.constEnd())
        return std::nullopt;
    return *t;
}

void Store::endThinking(const QUuid &messageId)
{
    const auto t = m_thinking.find(messageId);
    if (t == m_thinking.end() || t->endedMs >= 0)
        return;
    t->endedMs = QDateTime::currentMSecsSinceEpoch();
    for (qsizetype conv = 0; conv < m_conversations.size(); ++conv) {
        const QList<Message> &messages = m_conversations.at(conv).messages;
        for (qsizetype row = messages.size() - 1; row >= 0; --row) {
            if (messages.at(row).id == messageId) {
                emit messageReasoningChanged(int(conv), int(row));
                return;
            }
        }
    }
}

void Store::setMessageContent(qsizetype conv, qsizetype row, const QString &content)
{
    if (!validMessage(conv, row) || m_conversations.at(conv).messages.at(row).content == content)
        return;
    m_conversations[conv].messages[row].content = content;
    emit messageContentChanged(int(conv), int(row));
    emit conversationsChanged();
}

void Store::removeMessage(qsizetype conv, qsizetype row)
{
    if (!validMessage(conv, row))
        return;
    emit messagesAboutToBeRemoved(int(conv), int(row), int(row));
    m_conversations[conv].messages.remove(row);
    emit messagesRemoved(int(conv), int(row), int(row));
    emit conversationsChanged();
}

void Store::truncateMessages(qsizetype conv, qsizetype keepCount)
{
    if (conv < 0 || conv >= m_conversations.size())
        return;
    const qsizetype size = m_conversations.at(conv).messages.size();
    const qsizetype keep = std::max<qsizetype>(keepCount, 0);
    if (keep >= size)
        return;
    emit messagesAboutToBeRemoved(int(conv), int(keep), int(size - 1));
    m_conversations[conv].messages.resize(keep);
    emit messagesRemoved(int(conv), int(keep), int(size - 1));
    emit conversationsChanged();
}

void Store::setTitle(qsizetype conv, const QString &title)
{
    if (conv < 0 || conv >= m_conversations.size() || m_conversations.at(conv).title == title)
        return;
    m_conversations[conv].title = title;
    emit conversationUpdated(int(conv));
    emit conversationsChanged();
}

void Store::setModel(qsizetype conv, const std::optional<QString> &model)
{
    if (conv < 0 || conv >= m_conversations.size() || m_conversations.at(conv).model == model)
        return;
    m_conversations[conv].model = model;
    emit conversationUpdated(int(conv));
    emit conversationsChanged();
}
