// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"
#include "store/datafile.h"
#include "store/replyregistry.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

/**
 * The one long-lived model object: settings, conversations in sidebar order, and the selection.
 *
 * Everything runs on the main thread; a DataFileSaver writes the file. The Store saves only at
 * the end of its own operations (newConversation, remove, rename, insertConversations,
 * addConversationsAtTop) and when save() is called; the in-place editors below never save.
 * Every change is announced: settingsChanged and selectedIDChanged for bindings, fine-grained
 * about-to/done pairs of rows so list models can forward exact row changes, and the same
 * changes by id for those who follow conversations rather than rows.
 *
 * Conversations are named by id everywhere. When a file holds several conversations with the
 * same id, look-up, rename and the editors act on the first of them; remove() removes them all.
 */
class Store : public QObject
{
    Q_OBJECT
    /// Whether the last save failed. The file then lags behind what the window shows.
    Q_PROPERTY(bool lastSaveFailed READ lastSaveFailed NOTIFY saveStatusChanged)
    /// Why the last save failed, a Chinese text for the user; empty after a save that worked.
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveStatusChanged)
    /// What the user should know about how the file was read, shown once at start; empty when
    /// it was read whole.
    Q_PROPERTY(QString loadNotice READ loadNotice CONSTANT)

public:
    /// Loads from the standard location: GenericDataLocation/Corvane/data.json.
    explicit Store(QObject *parent = nullptr);
    /// Loads from dataDir/data.json (dataDir is created if needed). For tests and tools.
    explicit Store(const QString &dataDir, QObject *parent = nullptr);
    /// Starts from a file read by DataFile::read().
    explicit Store(DataFile file, QObject *parent = nullptr);
    ~Store() override;

    const AppSettings &settings() const { return m_settings; }
    void setSettings(const AppSettings &settings);
    /// Applies edit to a copy of the settings and keeps the copy when it differs; true then.
    /// Saving is the caller's choice.
    bool changeSettings(const std::function<void(AppSettings &)> &edit);

    const QList<Conversation> &conversations() const { return m_conversations; }
    int conversationCount() const { return int(m_conversations.size()); }
    std::optional<QUuid> selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> id);
    QString fileURL() const { return m_saver.filePath(); }

    /// Writes the whole state atomically, soon: the state is taken now (a cheap shared copy)
    /// and handed to the DataFileSaver, which writes the newest state waiting and ends each
    /// write in saved() on this thread. A failure leaves the previous file intact and is kept
    /// in lastSaveFailed and saveError until a later save works.
    Q_INVOKABLE void save();
    /// Waits until every save asked for is written and reported; returns whether the last
    /// write worked (true when nothing was ever written). The destructor waits too.
    Q_INVOKABLE bool flush();
    bool lastSaveFailed() const { return !m_saveError.isEmpty(); }
    QString saveError() const { return m_saveError; }
    QString loadNotice() const { return m_loadNotice; }

    Q_INVOKABLE void newConversation();
    /// The first conversation with that id, or null. Valid until the list next changes.
    const Conversation *conversation(const QUuid &id) const;
    /// The sidebar row of the first conversation with that id, or -1.
    int conversationRow(const QUuid &id) const { return int(indexOf(id).value_or(-1)); }
    /// The message with that id in that conversation, or null. Valid until the next change.
    const Message *message(const QUuid &conversation, const QUuid &message) const;
    /// Removes every conversation with that id, stops its running reply, and saves.
    void remove(const QUuid &id);
    /// Sets the title, trimmed of spaces and line breaks ("未命名" when nothing is left), and
    /// saves; an unknown id changes nothing.
    void rename(const QUuid &id, const QString &name);
    /// Puts back what one remove() took: each conversation at its index of then (ascending,
    /// clamped to the list), then saves. Nothing happens when their id is listed again.
    void insertConversations(const QList<std::pair<qsizetype, Conversation>> &removed);
    /// Adds conversations at the top of the list in their order, then saves. The caller makes
    /// sure their ids are new.
    void addConversationsAtTop(const QList<Conversation> &conversations);

    // In-place editors, by conversation id and message id. A message is the first with its id.
    // An unknown id changes nothing; none of them saves.
    void appendMessage(const QUuid &conversation, const Message &message);
    void appendToMessage(const QUuid &conversation, const QUuid &message, QStringView delta);
    /// Appends to the reasoning kept beside the message's content.
    void appendReasoning(const QUuid &conversation, const QUuid &message, QStringView delta);
    void setMessageContent(const QUuid &conversation, const QUuid &message, const QString &content);
    void setMessageAttachments(const QUuid &conversation, const QUuid &message,
                               const QList<Attachment> &attachments);
    /// Marks a reply as failed with the failure's description and kind (see Message::error());
    /// empty texts clear the mark.
    void setMessageError(const QUuid &conversation, const QUuid &message, const QString &error,
                         const QString &kind);
    /// Keeps what the gateway said the reply cost.
    void setMessageUsage(const QUuid &conversation, const QUuid &message, const TokenUsage &usage);
    /// Keeps the tools a reply called, with what each gave back so far.
    void setMessageToolCalls(const QUuid &conversation, const QUuid &message,
                             const QList<ToolCall> &calls);
    void removeMessage(const QUuid &conversation, const QUuid &message);
    /// Drops every message after the one with that id.
    void removeMessagesAfter(const QUuid &conversation, const QUuid &message);
    void setTitle(const QUuid &conversation, const QString &title);
    /// The model and the gateway (null: the first) go together: a model name means something
    /// only on its gateway.
    void setModel(const QUuid &conversation, const std::optional<QString> &model,
                  const QUuid &provider);
    /// Whether the earlier messages' images go with each request.
    void setHistoryImages(const QUuid &conversation, bool send);

    /// Keeps files that no message refers to from being removed: a composer's attachments, the
    /// files of deleted conversations that an undo may bring back. Replaces what holder kept
    /// before; an empty set keeps nothing.
    void keepFiles(const void *holder, const QSet<QString> &sha256);
    /// holder's files may come back no more (a delete can no longer be undone): they are no
    /// longer kept, but for stillKept, and filesReleased() says that those nobody uses may be
    /// removed now.
    void releaseFiles(const void *holder, const QSet<QString> &stillKept = {});
    /// The files in use: those the messages refer to, and those kept by keepFiles().
    QSet<QString> filesInUse() const;
    /// Whether files not in use may be removed now: the data file was read or there was none,
    /// and it has been saved once in this run. A file that could not be read may still hold
    /// messages that refer to them.
    bool mayRemoveUnusedFiles() const { return m_historyRead && m_savedOnce; }
    /// Whether the conversation offers the model the user's tools.
    void setToolsEnabled(const QUuid &conversation, bool enabled);

    /// The replies streaming into these conversations, kept with them so that a pane finds the
    /// reply of its conversation wherever it finds the conversation.
    ReplyRegistry *replies() { return &m_replies; }
    const ReplyRegistry *replies() const { return &m_replies; }

signals:
    void settingsChanged();
    void selectedIDChanged();

    // Rows of the conversation list.
    void conversationsAboutToBeInserted(int first, int last);
    void conversationsInserted(int first, int last);
    void conversationsAboutToBeRemoved(int first, int last);
    void conversationsRemoved(int first, int last);
    // The same changes by id.
    /// A conversation with that id is listed now: after its conversationsInserted, once for
    /// each conversation inserted.
    void conversationInserted(const QUuid &id);
    /// remove() is about to take every conversation with that id: before the first of its
    /// conversationsAboutToBeRemoved. Not emitted when no conversation has the id.
    void conversationAboutToBeRemoved(const QUuid &id);
    /// ...and has: after the last of its conversationsRemoved, before the selection moves.
    void conversationRemoved(const QUuid &id);
    /// Title, model or another field of one conversation (not its messages) changed; row is
    /// where it is listed.
    void conversationUpdated(const QUuid &conversation, int row);

    // Rows of one conversation's message list.
    void messagesAboutToBeInserted(const QUuid &conversation, int first, int last);
    void messagesInserted(const QUuid &conversation, int first, int last);
    void messagesAboutToBeRemoved(const QUuid &conversation, int first, int last);
    void messagesRemoved(const QUuid &conversation, int first, int last);
    /// The content of one message, at that row, changed (a streamed delta or an edit).
    void messageContentChanged(const QUuid &conversation, const QUuid &message, int row);
    /// The reasoning of one message, at that row, changed.
    void messageReasoningChanged(const QUuid &conversation, const QUuid &message, int row);
    /// The failure mark, the usage, the files or the tool calls of one message, at that row,
    /// changed.
    void messageExtrasChanged(const QUuid &conversation, const QUuid &message, int row);

    /// After every write of the file, with whether it worked. Saves asked for while another
    /// was written are written once, with the newest state.
    void saved(bool ok);
    /// lastSaveFailed or saveError changed.
    void saveStatusChanged();
    /// Files kept until now are not kept any more (see releaseFiles()).
    void filesReleased();

private:
    void reindex();
    /// The position of the first conversation with that id in the sidebar order.
    std::optional<qsizetype> indexOf(const QUuid &id) const;
    Conversation *find(const QUuid &id);
    /// The row of the first message with that id; -1 when absent.
    static qsizetype messageRow(const Conversation &c, const QUuid &id);
    /// Applies change to a copy of the message and announces it when it changed something.
    void updateMessage(const QUuid &conversation, const QUuid &message,
                       const std::function<void(Message &)> &change);

    AppSettings m_settings;
    QList<Conversation> m_conversations;
    /// Position of the first conversation with each id, rebuilt when conversations come or go.
    QHash<QUuid, qsizetype> m_positions;
    std::optional<QUuid> m_selectedID;
    QString m_saveError;
    QString m_loadNotice;
    ReplyRegistry m_replies;
    QHash<const void *, QSet<QString>> m_keptFiles;
    /// The data file was read whole, or there was none (nothing could be lost).
    bool m_historyRead = false;
    bool m_savedOnce = false;
    /// Last, so that it is gone first: its destructor waits for the writes still running.
    DataFileSaver m_saver;
};
