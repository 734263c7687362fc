// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationtransfer.h"

#include "model/storagecodec.h"

#include <QHash>
#include <QStringList>

namespace {

// The export's words are written in their source form (see model/storedtext.h).
QString roleHeading(Message::Role role)
{
    switch (role) {
    case Message::Role::User:
        return QStringLiteral("## " QT_TRANSLATE_NOOP("Stored", "用户"));
    case Message::Role::Assistant:
        return QStringLiteral("## " QT_TRANSLATE_NOOP("Stored", "助手"));
    case Message::Role::System:
        return QStringLiteral("## " QT_TRANSLATE_NOOP("Stored", "系统"));
    }
    return {};
}

QString withoutTrailingLineBreaks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == u'\n' || text.at(end - 1) == u'\r'))
        --end;
    return text.left(end);
}

QString quoted(const QString &text)
{
    QStringList lines = withoutTrailingLineBreaks(text).split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.isEmpty() ? QStringLiteral(">") : QStringLiteral("> ") + line;
    }
    return lines.join(u'\n');
}

QByteArray encoded(const Conversation &conversation)
{
    return encodeAppData(AppSettings{}, {conversation});
}

} // namespace

QString conversationMarkdown(const Conversation &conversation)
{
    QString title = conversation.title;
    title.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    title.replace(u'\n', u' ').replace(u'\r', u' ');

    QStringList parts{QStringLiteral("# ") + title};
    for (const Message &m : conversation.messages) {
        parts << roleHeading(m.role);
        if (!m.reasoning.isEmpty())
            parts << QStringLiteral("> **" QT_TRANSLATE_NOOP("Stored", "思考过程") "**\n>\n") +
                         quoted(m.reasoning);
        const QString content = withoutTrailingLineBreaks(m.content);
        if (!content.isEmpty())
            parts << content;
    }
    return parts.join(QStringLiteral("\n\n")) + u'\n';
}

QList<Conversation> conversationsToRestore(const QList<Conversation> &history,
                                           const QList<Conversation> &backup)
{
    // Only conversations whose ids meet are encoded.
    QHash<QUuid, const Conversation *> known;
    for (const Conversation &c : history)
        known.insert(c.id, &c);

    QList<Conversation> added;
    for (const Conversation &c : backup) {
        const auto same = known.constFind(c.id);
        if (same == known.constEnd()) {
            // A backup that repeats an id compares its later copies with this one.
            known.insert(c.id, &c);
            added.append(c);
            continue;
        }
        if (encoded(**same) == encoded(c))
            continue;
        Conversation copy = c;
        copy.id = QUuid::createUuid();
        copy.title += QStringLiteral(QT_TRANSLATE_NOOP("Stored", "（恢复）"));
        added.append(copy);
    }
    return added;
}
