// SPDX-License-Identifier: GPL-3.0-or-later
#include "records.h"

#include <QCoreApplication>
#include <QDateTime>

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

TimeStamp currentTimeStamp()
{
    // 2001-01-01T00:00:00Z in Unix milliseconds.
    constexpr qint64 referenceMs = 978307200000LL;
    return double(QDateTime::currentMSecsSinceEpoch() - referenceMs) / 1000.0;
}

Conversation Conversation::make()
{
    Conversation c;
    c.id = QUuid::createUuid();
    c.createdAt = currentTimeStamp();
    return c;
}

QString Conversation::untitledTitle()
{
    return QCoreApplication::translate("Conversation", "未命名");
}
