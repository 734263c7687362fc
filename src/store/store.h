// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

/**
 * The one long-lived model object: settings, conversations in sidebar order, and the selection.
 *
 * Everything runs on the main thread. The Store saves only at the end of its own operations
 * (newConversation, remove, rename) and when save() is called; the in-place editors below never
 * save. Every change is announced: coarse signals (settingsChanged, conversationsChanged,
 * selectedIDChanged) for bindings, and fine-grained about-to/done pairs so list models can
 * forward exact row changes.
 */
class Store : public QObject
{
    Q_OBJECT
    /// The selected conversation's id in upper-case canonical form; empty when nothing is selected.
    Q_PROPERTY(
        QString selectedID READ selectedIDString WRITE setSelectedIDString NOTIFY selectedIDChanged)
    Q_PROPERTY(int conversationCount READ conversationCount NOTIFY conversationsChanged)

public:
    /// Loads from the standard location: GenericDataLocation/Corvane/data.json.
    explicit Store(QObject *parent = nullptr);
    /// Loads from dataDir/data.json (dataDir is created if needed). For tests and tools.
    explicit Store(const QString &dataDir, QObject *parent = nullptr);
    ~Store() override;

    const AppSettings &settings() const { return m_settings; }
    void setSettings(const AppSettings &settings);

    const QList<Conversation> &conversations() const { return m_conversations; }
    std::optional<QUuid> selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> id);
    QString fileURL() const { return m_filePath; }

    /// Writes the whole state atomically. Failures are dropped; returns whether the file was
    /// written.
    bool save();

    Q_INVOKABLE void newConversation();
    std::optional<qsizetype> indexOf(std::optional<QUuid> id) const;
    void remove(const QUuid &id);
    void rename(const QUuid &id, const QString &name);
    /// Puts a conversation back at index (clamped to the list), then saves. Nothing happens when
    /// its id is already listed.
    void insertConversation(qsizetype index, const Conversation &conversation);
    /// Adds conversations at the top of the list in their order, then saves. The caller makes
    /// sure their ids are new.
    void addConversationsAtTop(const QList<Conversation> &conversations);

    // The same operations for QML, with ids as strings.
    // A string that is not a canonical UUID names no conversation: nothing happens.
    Q_INVOKABLE void remove(const QString &id);
    Q_INVOKABLE void rename(const QString &id, const QString &name);
    QString selectedIDString() const;
    void setSelectedIDString(const QString &id);
    int conversationCount() const { return int(m_conversations.size()); }

    // In-place editors for one conversation, at an index just obtained from indexOf().
    // None of them saves.
    void appendMessage(qsizetype conv, const Message &message);
    void appendToMessage(qsizetype conv, qsizetype row, QStringView delta);
    void setMessageContent(qsizetype conv, qsizetype row, const QString &content);
    void removeMessage(qsizetype conv, qsizetype row);
    /// Keeps the first keepCount messages and drops the rest.
    void truncateMessages(qsizetype conv, qsizetype keepCount);
    void setTitle(qsizetype conv, const QString &title);
    void setModel(qsizetype conv, const std::optional<QString> &model);

    /// Appends to the reasoning of a message found by ids; does nothing when either is gone.
    void appendReasoning(const QUuid &conversationId, const QUuid &messageId, QStringView delta);

    /// How long a reply streamed in this session thought: from its first reasoning (or the
    /// opening of a "<think>" block) to its first answer text, or the reply's end. Not stored.
    struct Thinking
    {
        qint64 startedMs = 0; ///< wall-clock milliseconds since the epoch
        qint64 endedMs = -1;  ///< -1 while it still thinks
        bool tagged = false;  ///< the reasoning is a "<think>" block of the content
    };
    std::optional<Thinking> thinking(const QUuid &messageId) const;
    /// Ends a reply's thinking (when its stream ends) if it has not ended yet.
    void endThinking(const QUuid &messageId);

signals:
    void settingsChanged();
    void selectedIDChanged();
    /// Any change of the conversation list or of anything inside it.
    void conversationsChanged();

    void conversationsAboutToBeInserted(int first, int last);
    void conversationsInserted(int first, int last);
    void conversationsAboutToBeRemoved(int first, int last);
    void conversationsRemoved(int first, int last);
    /// Title, model or another field of one conversation (not its messages) changed.
    void conversationUpdated(int index);

    void messagesAboutToBeInserted(int conv, int first, int last);
    void messagesInserted(int conv, int first, int last);
    void messagesAboutToBeRemoved(int conv, int first, int last);
    void messagesRemoved(int conv, int first, int last);
    /// The content of one message changed (a streamed delta or an edit).
    void messageContentChanged(int conv, int row);
    /// The reasoning of one message, or how long it thought, changed.
    void messageReasoningChanged(int conv, int row);

    /// After every call of save(), with whether the file was written.
    void saved(bool ok);

private:
    void load(const QString &dataDir);
    bool writeState();
    bool ensureFolder() const;
    bool keepUnreadableFile();
    bool validMessage(qsizetype conv, qsizetype row) const;

    AppSettings m_settings;
    QList<Conversation> m_conversations;
    std::optional<QUuid> m_selectedID;
    QString m_dirPath;
    QString m_filePath;
    /// Set when an existing data.json could not be read or decoded; its bytes are kept aside
    /// before the first save replaces it.
    bool m_preserveBeforeSave = false;
    QHash<QUuid, Thinking> m_thinking;
};
