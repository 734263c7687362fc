// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolsession.h"

ToolSession *ToolSession::of(ToolHost *host)
{
    auto *session = host->findChild<ToolSession *>(QString(), Qt::FindDirectChildrenOnly);
    return session ? session : new ToolSession(host);
}

bool ToolSession::allows(const QUuid &conversation, const ToolSpec &tool, ToolApproval policy) const
{
    switch (policy) {
    case ToolApproval::Never:
        return true;
    case ToolApproval::AskOncePerTool:
        if (m_tools.contains({tool.server, tool.tool}))
            return true;
        break;
    case ToolApproval::Ask:
        break;
    }
    return m_conversations.contains(conversation);
}

void ToolSession::allowedOnce(const ToolSpec &tool, ToolApproval policy)
{
    if (policy == ToolApproval::AskOncePerTool)
        m_tools.insert({tool.server, tool.tool});
}

void ToolSession::keepContent(const QString &callID, const QJsonArray &content)
{
    // Only what shows more than the text: images and links.
    for (const QJsonValue &block : content) {
        if (block[u"type"].toString() != u"text") {
            m_content.insert(callID, content);
            return;
        }
    }
}
