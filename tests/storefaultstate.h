// SPDX-License-Identifier: GPL-3.0-or-later
// The growing history that the store fault helper saves, step by step, and the test checks.
// Step n is a pure function of n, so any data.json can be compared with the step it claims.
#pragma once

#include "model/records.h"

#include <QString>
#include <QUuid>

namespace StoreFault {

inline QUuid idFor(const QString &name)
{
    return QUuid::createUuidV5(QUuid(), name);
}

// Text with everything the writer escapes, Chinese, and a length that varies with i.
inline QString contentFor(int i)
{
    return QStringLiteral("第%1条 \"引号\" C:\\dir/file\n\t").arg(i).repeated(1 + (i * 37) % 200);
}

// About half a megabyte that every save rewrites, so a kill often lands inside a write.
inline Conversation archive()
{
    Conversation c;
    c.id = idFor(QStringLiteral("archive"));
    c.title = QStringLiteral("旧的");
    c.createdAt = 773020800.25;
    for (int i = 0; i < 120; ++i) {
        const auto role = i % 2 ? Message::Role::Assistant : Message::Role::User;
        c.messages.append({idFor(QStringLiteral("a%1").arg(i)), role, contentFor(i), {}, {}});
    }
    return c;
}

inline Message messageFor(int step)
{
    return {idFor(QStringLiteral("m%1").arg(step)), Message::Role::Assistant, contentFor(step), {}, {}};
}

inline QString titleFor(int step)
{
    return QStringLiteral("第 %1 步").arg(step);
}

inline QString apiKeyFor(int step)
{
    return QStringLiteral("sk-%1").arg(step);
}

// Step 0 is the archive and an empty conversation in front; step n adds message n to the front
// conversation and renames it, and changes the key.
inline AppData state(int step)
{
    AppData d;
    d.settings.apiKey = apiKeyFor(step);
    Conversation growing;
    growing.id = idFor(QStringLiteral("growing"));
    growing.title = titleFor(step);
    growing.createdAt = 773020801.5;
    for (int i = 1; i <= step; ++i)
        growing.messages.append(messageFor(i));
    d.conversations = {growing, archive()};
    return d;
}

// The step a decoded file says it is at, from the front conversation's message count.
inline int stepOf(const AppData &d)
{
    return d.conversations.isEmpty() ? -1 : int(d.conversations.constFirst().messages.size());
}

} // namespace StoreFault
