// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUuid>

/**
 * A reply streaming into one conversation, as the ReplyRegistry keeps it. The registry owns it
 * from ReplyRegistry::add() until it has finished.
 *
 * Contract: finished() is emitted exactly once, from the event loop, after the outcome has been
 * written into the Store and saved; the reply then deletes itself later. cancel() may be called
 * at any time and more than once.
 */
class RunningReply : public QObject
{
    Q_OBJECT

public:
    explicit RunningReply(const QUuid &conversationID, QObject *parent = nullptr)
        : QObject(parent), m_conversationID(conversationID)
    {}

    QUuid conversationID() const { return m_conversationID; }

    /// Ends the reply as a cancellation: nothing more is written but the outcome of a stop.
    virtual void cancel() = 0;
    /// Whether the reply waits for the user (to approve a tool call) to go on.
    virtual bool awaitsUser() const { return false; }
    /// What the user should know about how the reply goes on; empty when nothing.
    virtual QString toolNotice() const { return {}; }

signals:
    /// awaitsUser(), toolNotice() or what the reply is doing beside its text changed.
    void activityChanged();
    /// error: the failure to show to the user; empty after a normal end or a stop, and when
    /// the outcome had nowhere to go.
    void finished(const QString &error);
    /// Something the user should know about the reply that is not a failure.
    void notice(const QString &message);

private:
    QUuid m_conversationID;
};
