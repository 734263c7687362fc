// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/toolhost.h"

#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <utility>

/**
 * What tool calls left behind while the program runs, never stored: what the user allowed
 * (every call in a conversation, "本对话内都允许", and the tools of servers that ask once per
 * tool), and the content blocks of results, which show images and links. One per tool host,
 * kept with it, so that every pane and every reply sees the same.
 */
class ToolSession : public QObject
{
    Q_OBJECT

public:
    /// The host's session, made on first use.
    static ToolSession *of(ToolHost *host);

    /// Whether a call of that tool in that conversation may run without asking.
    bool allows(const QUuid &conversation, const ToolSpec &tool, ToolApproval policy) const;
    /// The user allowed one call: a server that asks once per tool asks no more for it.
    void allowedOnce(const ToolSpec &tool, ToolApproval policy);
    void allowConversation(const QUuid &conversation) { m_conversations.insert(conversation); }

    /// The content blocks a call's result had, by call id; empty when not known.
    QJsonArray content(const QString &callID) const { return m_content.value(callID); }
    void keepContent(const QString &callID, const QJsonArray &content);

private:
    using QObject::QObject;

    QSet<QUuid> m_conversations;
    QSet<std::pair<QString, QString>> m_tools; // server, tool
    QHash<QString, QJsonArray> m_content;
};
