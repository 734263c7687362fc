// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/toolhost.h"
#include "model/records.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QUuid>
#include <QVariantMap>

#include <optional>

class Store;

/**
 * The messages of one conversation, one row each, for the chat pane's list.
 *
 * The conversation is found by id in the Store at every use; while it does not exist the model
 * is empty, and when it appears (again) its messages are inserted.
 * A streamed delta is announced as dataChanged on its row with the text roles only (plus
 * IsTypingRole when the row stops being empty); insertions and removals are forwarded as such.
 * The row flags follow the pane's state, set by the controller through setSending() and
 * setEditingID().
 */
class MessageListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Roles {
        IdRole = Qt::UserRole + 1, ///< QString, upper-case canonical UUID
        RoleRole,                  ///< QString: "user", "assistant" or "system"
        ContentRole,               ///< QString, the raw Markdown text
        IsLastRole,                ///< bool: the conversation's last message
        IsStreamingRole,           ///< bool: a reply of this pane streams into this row
        IsTypingRole,              ///< bool: streaming and still empty
        IsEditingRole,             ///< bool: this message is being edited inline
        /// QString: the text shown as the answer: a reply's content without a leading
        /// "<think>" block; anything else's content as it is
        AnswerRole,
        /// QString: a reply's reasoning, or the inside of its leading "<think>" block
        ReasoningRole,
        /// double: when the reply began to think, in milliseconds since the epoch; 0: unknown
        ThinkingStartedRole,
        /// int: whole seconds the reply thought; -1 while it thinks or when unknown
        ThinkingSecondsRole,
        /// QVariantMap, for a reply marked as failed: "heading", "message", "advice",
        /// "details" (strings), "offerSettings", "offerWithoutImages" and "partial" (bools;
        /// partial: the reply kept text of the model's); undefined for any other message.
        /// See FailureNotice.
        FailureRole,
        /// QString: what the gateway said the reply cost, e.g. "输入 1,234 · 输出 567 tokens";
        /// empty when it said nothing
        UsageRole,
        /// QVariantList: a user message's files, each {name, isImage, url, missing, size}
        AttachmentsRole,
        /// QVariantList: a reply's tool calls, each {id, server, tool, arguments (indented
        /// JSON), result (Markdown: the text, then the resource links), state ("asking",
        /// "running", "done", "failed" or "open"), images (data URLs)}
        ToolCallsRole,
    };
    Q_ENUM(Roles)

    explicit MessageListModel(Store *store, const QUuid &conversationID, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return rowCount(); }
    /// Where a search's first match is: {row, block}, the first message whose text contains
    /// the query and the first of its answer's blocks that shows it (-1 when the match is not
    /// in a shown block, e.g. in the reasoning); row -1 when no message matches.
    Q_INVOKABLE QVariantMap findMatch(const QString &query) const;
    void setSending(bool sending);
    void setEditingID(const std::optional<QUuid> &id);
    /// Where the tool calls' images and links are kept while the program runs.
    void setToolHost(ToolHost *host) { m_toolHost = host; }

signals:
    void countChanged();
    /// The last message's content changed (a streamed delta, an edit).
    void lastContentChanged();

private:
    const QList<Message> *messages() const;
    /// Shows the conversation's messages once it exists, announcing them as inserted rows.
    void attach();
    /// Announces a change of the row's reasoning or of how long it thought.
    void reasoningChanged(int row);
    static QVariant failure(const Message &m);
    static QString usageText(const TokenUsage &usage);
    QVariantList toolCalls(const Message &m) const;
    /// The row of the message with that id, or -1.
    int rowOf(const QUuid &message) const;
    void emitFlags(int row, const QList<int> &roles);
    void afterCountChange(int oldCount);

    QPointer<Store> m_store;
    QUuid m_id;
    /// The rows show the conversation; false while it does not exist or is being removed.
    bool m_attached = false;
    bool m_removing = false;
    bool m_sending = false;
    bool m_lastTyping = false;
    std::optional<QUuid> m_editingID;
    int m_countBefore = 0;
    QPointer<ToolHost> m_toolHost;
};
