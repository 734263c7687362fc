// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/runningreply.h"

#include <QHash>
#include <QObject>
#include <QUuid>

#include <optional>

/**
 * The replies still streaming, at most one per conversation, and how long the replies of this
 * session thought.
 *
 * A reply outlives the pane that started it, so a pane opened later on the same conversation
 * finds it here. The Store keeps the registry beside the conversations and stops a
 * conversation's reply before the conversation goes.
 */
class ReplyRegistry : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Takes ownership of a reply that has just been started; one already running for the same
    /// conversation is stopped first.
    void add(RunningReply *reply);
    bool isReplying(const QUuid &conversation) const;
    /// The conversation's running reply, or null.
    RunningReply *reply(const QUuid &conversation) const { return m_replies.value(conversation); }
    /// The conversation's reply waits for the user.
    bool awaitsUser(const QUuid &conversation) const;
    /// Stops the conversation's running reply, if any: the user's stop, or a deletion.
    void stop(const QUuid &conversation);

    /// How long a reply streamed in this session thought: from its first reasoning (or the
    /// opening of a "<think>" block) to its first answer text (or the block's end), or the
    /// reply's end. Not stored.
    struct Thinking
    {
        qint64 startedMs = 0; ///< wall-clock milliseconds since the epoch
        qint64 endedMs = -1;  ///< -1 while it still thinks
        bool tagged = false;  ///< the reasoning is a "<think>" block of the content
    };
    std::optional<Thinking> thinking(const QUuid &message) const;
    // A reply's stream reports these as its text arrives; each takes effect once.
    void startThinking(const QUuid &conversation, const QUuid &message, bool tagged);
    void endThinking(const QUuid &conversation, const QUuid &message);

signals:
    void replyStarted(const QUuid &conversation);
    /// The conversation's reply has ended and its outcome is saved. error: the failure to show,
    /// empty after a normal end or a stop.
    void replyFinished(const QUuid &conversation, const QString &error);
    /// The conversation's reply has something to say that is not a failure (a file left out).
    void replyNotice(const QUuid &conversation, const QString &message);
    /// The conversation's reply changed what it does beside its text (see RunningReply).
    void activityChanged(const QUuid &conversation);
    /// The message's thinking began or ended.
    void thinkingChanged(const QUuid &conversation, const QUuid &message);

private:
    QHash<QUuid, RunningReply *> m_replies;
    QHash<QUuid, Thinking> m_thinking;
};
