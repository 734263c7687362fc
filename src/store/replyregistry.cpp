// SPDX-License-Identifier: GPL-3.0-or-later
#include "replyregistry.h"

#include <QDateTime>

void ReplyRegistry::add(RunningReply *reply)
{
    const QUuid id = reply->conversationID();
    stop(id);
    reply->setParent(this);
    m_replies.insert(id, reply);
    connect(reply, &RunningReply::finished, this, [this, reply, id](const QString &error) {
        // A reply stopped because a newer one took its place leaves the newer one registered.
        if (m_replies.value(id) != reply)
            return;
        m_replies.remove(id);
        emit replyFinished(id, error);
    });
    connect(reply, &RunningReply::notice, this,
            [this, id](const QString &message) { emit replyNotice(id, message); });
    connect(reply, &RunningReply::activityChanged, this, [this, reply, id] {
        if (m_replies.value(id) == reply)
            emit activityChanged(id);
    });
    emit replyStarted(id);
}

bool ReplyRegistry::isReplying(const QUuid &conversation) const
{
    return m_replies.contains(conversation);
}

bool ReplyRegistry::awaitsUser(const QUuid &conversation) const
{
    const RunningReply *r = reply(conversation);
    return r && r->awaitsUser();
}

void ReplyRegistry::stop(const QUuid &conversation)
{
    if (RunningReply *reply = m_replies.value(conversation))
        reply->cancel();
}

std::optional<ReplyRegistry::Thinking> ReplyRegistry::thinking(const QUuid &message) const
{
    const auto t = m_thinking.constFind(message);
    if (t == m_thinking.constEnd())
        return std::nullopt;
    return *t;
}

void ReplyRegistry::startThinking(const QUuid &conversation, const QUuid &message, bool tagged)
{
    if (m_thinking.contains(message))
        return;
    m_thinking.insert(message, Thinking{QDateTime::currentMSecsSinceEpoch(), -1, tagged});
    emit thinkingChanged(conversation, message);
}

void ReplyRegistry::endThinking(const QUuid &conversation, const QUuid &message)
{
    const auto t = m_thinking.find(message);
    if (t == m_thinking.end() || t->endedMs >= 0)
        return;
    t->endedMs = QDateTime::currentMSecsSinceEpoch();
    emit thinkingChanged(conversation, message);
}
