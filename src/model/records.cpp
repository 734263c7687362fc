// SPDX-License-Identifier: GPL-3.0-or-later
#include "records.h"

#include "model/storedtext.h"

#include <QDateTime>
#include <QSet>

std::optional<QUuid> parseCanonicalUuid(QStringView text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        const bool isHex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenPosition ? c != u'-' : !isHex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

char *writeCanonicalUuid(char *out, const QUuid &id)
{
    static constexpr char upperHex[] = "0123456789ABCDEF";
    const auto hex = [&out](quint64 v, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            *out++ = upperHex[(v >> shift) & 0xF];
    };
    hex(id.data1, 8);
    *out++ = '-';
    hex(id.data2, 4);
    *out++ = '-';
    hex(id.data3, 4);
    *out++ = '-';
    hex(id.data4[0], 2);
    hex(id.data4[1], 2);
    *out++ = '-';
    for (int i = 2; i < 8; ++i)
        hex(id.data4[i], 2);
    return out;
}

QString canonicalUuidString(const QUuid &id)
{
    char buf[36];
    writeCanonicalUuid(buf, id);
    return QString::fromLatin1(buf, 36);
}

const MessageExtras &Message::readExtras() const
{
    static const MessageExtras none;
    return extras ? *extras : none;
}

void Message::settleExtras()
{
    if (extras && extras->isEmpty())
        extras.reset();
}

void Message::setError(const QString &error, const QString &kind)
{
    if (error == this->error() && kind == errorKind())
        return;
    if (!extras)
        extras = new MessageExtras;
    extras->error = error;
    extras->errorKind = error.isEmpty() ? QString() : kind;
    settleExtras();
}

void Message::setUsage(const TokenUsage &usage)
{
    if (usage == this->usage())
        return;
    if (!extras)
        extras = new MessageExtras;
    extras->usage = usage;
    settleExtras();
}

bool Attachment::isHash(QStringView text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
           });
}

void Message::setToolCalls(const QList<ToolCall> &calls)
{
    if (calls == toolCalls())
        return;
    if (!extras)
        extras = new MessageExtras;
    extras->toolCalls = calls;
    settleExtras();
}

void Message::setAttachments(const QList<Attachment> &attachments)
{
    if (attachments == this->attachments())
        return;
    if (!extras)
        extras = new MessageExtras;
    extras->attachments = attachments;
    settleExtras();
}

QList<Attachment> attachedFiles(const QList<Conversation> &conversations)
{
    QList<Attachment> files;
    QSet<QString> seen;
    for (const Conversation &c : conversations) {
        for (const Message &m : c.messages) {
            for (const Attachment &a : m.attachments()) {
                if (!seen.contains(a.sha256)) {
                    seen.insert(a.sha256);
                    files.append(a);
                }
            }
        }
    }
    return files;
}

QString Message::roleName(Role role)
{
    switch (role) {
    case Role::User:
        return QStringLiteral("user");
    case Role::Assistant:
        return QStringLiteral("assistant");
    case Role::System:
        return QStringLiteral("system");
    }
    return {};
}

std::optional<Message::Role> Message::roleFromName(QStringView name)
{
    if (name == u"user")
        return Role::User;
    if (name == u"assistant")
        return Role::Assistant;
    if (name == u"system")
        return Role::System;
    return std::nullopt;
}

QString McpServer::approvalName(McpApproval approval)
{
    switch (approval) {
    case McpApproval::Ask:
        break;
    case McpApproval::AskOncePerTool:
        return QStringLiteral("askOncePerTool");
    case McpApproval::Never:
        return QStringLiteral("never");
    }
    return QStringLiteral("ask");
}

std::optional<McpApproval> McpServer::approvalFromName(QStringView name)
{
    if (name == u"ask")
        return McpApproval::Ask;
    if (name == u"askOncePerTool")
        return McpApproval::AskOncePerTool;
    if (name == u"never")
        return McpApproval::Never;
    return std::nullopt;
}

TimeStamp currentTimeStamp()
{
    // 2001-01-01T00:00:00Z in Unix milliseconds.
    constexpr qint64 referenceMs = 978307200000LL;
    return double(QDateTime::currentMSecsSinceEpoch() - referenceMs) / 1000.0;
}

const Provider *AppSettings::provider(const QUuid &id) const
{
    if (id.isNull())
        return nullptr;
    for (const Provider &p : providers) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

QString AppSettings::gatewayName(const QUuid &id) const
{
    if (id.isNull())
        return StoredText::shown(name.isEmpty() ? defaultGatewayName() : name);
    const Provider *p = provider(id);
    if (!p)
        return {};
    // A gateway without a name is known by its address.
    return p->name.isEmpty() ? p->baseURL : p->name;
}

QString AppSettings::modelFor(const Conversation &c) const
{
    if (c.model)
        return *c.model;
    if (c.provider.isNull())
        return model;
    const Provider *p = provider(c.provider);
    return p && !p->models.isEmpty() ? p->models.first() : QString();
}

Conversation Conversation::make()
{
    Conversation c;
    c.id = QUuid::createUuid();
    c.createdAt = currentTimeStamp();
    return c;
}

QString Conversation::shownTitle(const QString &title)
{
    if (title.isEmpty())
        return StoredText::shown(untitledTitle());
    // Only the titles the program wrote itself are translated; a user's own is shown as typed.
    if (title == defaultTitle() || title == untitledTitle())
        return StoredText::shown(title);
    return title;
}
