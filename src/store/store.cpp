// SPDX-License-Identifier: GPL-3.0-or-later
#include "store.h"

#include "datafolder.h"
#include "model/textutil.h"

#include <algorithm>

Store::Store(QObject *parent) : Store(DataFile::read(DataFolder::standardPath()), parent) {}

Store::Store(const QString &dataDir, QObject *parent) : Store(DataFile::read(dataDir), parent) {}

Store::Store(DataFile file, QObject *parent) : QObject(parent), m_saver(file)
{
    if (file.data) {
        m_settings = std::move(file.data->settings);
        m_conversations = std::move(file.data->conversations);
    }
    // Nothing about the entry itself: it may hold a key.
    if (file.partlyRead)
        m_loadNotice =
            tr("数据文件里有几项网关设置无法识别，已跳过；原文件会在下次保存前另存一份。");
    m_historyRead = !file.unreadable && !file.filePath.isEmpty();
    connect(&m_saver, &DataFileSaver::saved, this, [this](bool ok, const QString &reason) {
        m_savedOnce = m_savedOnce || ok;
        if (reason != m_saveError) {
            m_saveError = reason;
            emit saveStatusChanged();
        }
        emit saved(ok);
    });
    reindex();
    if (!m_conversations.isEmpty())
        m_selectedID = m_conversations.constFirst().id;
}

Store::~Store() = default;

void Store::save()
{
    m_saver.save(AppData{m_settings, m_conversations});
}

bool Store::flush()
{
    m_saver.waitForIdle();
    return !lastSaveFailed();
}

void Store::keepFiles(const void *holder, const QSet<QString> &sha256)
{
    if (sha256.isEmpty())
        m_keptFiles.remove(holder);
    else
        m_keptFiles.insert(holder, sha256);
}

void Store::releaseFiles(const void *holder, const QSet<QString> &stillKept)
{
    keepFiles(holder, stillKept);
    emit filesReleased();
}

QSet<QString> Store::filesInUse() const
{
    QSet<QString> files;
    for (const Attachment &a : attachedFiles(m_conversations))
        files.insert(a.sha256);
    for (const QSet<QString> &kept : m_keptFiles)
        files.unite(kept);
    return files;
}

void Store::setSettings(const AppSettings &settings)
{
    if (m_settings == settings)
        return;
    m_settings = settings;
    emit settingsChanged();
}

bool Store::changeSettings(const std::function<void(AppSettings &)> &edit)
{
    AppSettings settings = m_settings;
    edit(settings);
    if (settings == m_settings)
        return false;
    setSettings(settings);
    return true;
}

void Store::setSelectedID(std::optional<QUuid> id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    emit selectedIDChanged();
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
    Conversation conversation = Conversation::make();
    // On the default gateway with its first model; the first gateway's default needs no mark.
    if (const Provider *p = m_settings.provider(m_settings.defaultProvider)) {
        conversation.provider = p->id;
        if (!p->models.isEmpty())
            conversation.model = p->models.constFirst();
    }
    emit conversationsAboutToBeInserted(0, 0);
    m_conversations.prepend(conversation);
    reindex();
    emit conversationsInserted(0, 0);
    emit conversationInserted(conversation.id);
    setSelectedID(conversation.id);
    save();
}

std::optional<qsizetype> Store::indexOf(const QUuid &id) const
{
    const auto it = m_positions.constFind(id);
    return it == m_positions.cend() ? std::nullopt : std::optional<qsizetype>(*it);
}

void Store::remove(const QUuid &id)
{
    // A reply must not go on writing into a conversation that may come back (an undo).
    m_replies.stop(id);

    const bool listed = indexOf(id).has_value();
    if (listed)
        emit conversationAboutToBeRemoved(id);
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
    if (listed)
        emit conversationRemoved(id);

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
        emit conversationInserted(conversation.id);
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
    for (const Conversation &c : conversations)
        emit conversationInserted(c.id);
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
    c->messages[row].content.append(delta);
    emit messageContentChanged(conversation, message, int(row));
}

void Store::appendReasoning(const QUuid &conversation, const QUuid &message, QStringView delta)
{
    Conversation *c = delta.isEmpty() ? nullptr : find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0)
        return;
    c->messages[row].reasoning.append(delta);
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

void Store::setMessageError(const QUuid &conversation, const QUuid &message, const QString &error,
                            const QString &kind)
{
    updateMessage(conversation, message, [&](Message &m) { m.setError(error, kind); });
}

void Store::setMessageAttachments(const QUuid &conversation, const QUuid &message,
                                  const QList<Attachment> &attachments)
{
    updateMessage(conversation, message, [&](Message &m) { m.setAttachments(attachments); });
}

void Store::setMessageUsage(const QUuid &conversation, const QUuid &message,
                            const TokenUsage &usage)
{
    updateMessage(conversation, message, [&](Message &m) { m.setUsage(usage); });
}

void Store::setMessageToolCalls(const QUuid &conversation, const QUuid &message,
                                const QList<ToolCall> &calls)
{
    updateMessage(conversation, message, [&](Message &m) { m.setToolCalls(calls); });
}

void Store::updateMessage(const QUuid &conversation, const QUuid &message,
                          const std::function<void(Message &)> &change)
{
    Conversation *c = find(conversation);
    const qsizetype row = c ? messageRow(*c, message) : -1;
    if (row < 0)
        return;
    Message changed = c->messages.at(row);
    change(changed);
    if (changed == c->messages.at(row))
        return;
    c->messages[row] = std::move(changed);
    emit messageExtrasChanged(conversation, message, int(row));
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
    const auto row = indexOf(conversation);
    if (!row || m_conversations.at(*row).title == title)
        return;
    m_conversations[*row].title = title;
    emit conversationUpdated(conversation, int(*row));
}

void Store::setHistoryImages(const QUuid &conversation, bool send)
{
    const auto row = indexOf(conversation);
    if (!row || m_conversations.at(*row).historyImages == send)
        return;
    m_conversations[*row].historyImages = send;
    emit conversationUpdated(conversation, int(*row));
}

void Store::setToolsEnabled(const QUuid &conversation, bool enabled)
{
    const auto row = indexOf(conversation);
    if (!row || m_conversations[*row].tools == enabled)
        return;
    m_conversations[*row].tools = enabled;
    emit conversationUpdated(conversation, int(*row));
}

void Store::setModel(const QUuid &conversation, const std::optional<QString> &model,
                     const QUuid &provider)
{
    const auto row = indexOf(conversation);
    if (!row)
        return;
    Conversation &c = m_conversations[*row];
    if (c.model == model && c.provider == provider)
        return;
    c.model = model;
    c.provider = provider;
    emit conversationUpdated(conversation, int(*row));
}
