// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationtransfer.h"

#include "model/storagecodec.h"
#include "model/textutil.h"

#include <QHash>
#include <QStringList>
#include <QUrl>

#include <optional>

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

QString conversationMarkdown(const Conversation &conversation, const ImageLink &imageLink)
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
        QStringList files;
        for (const Attachment &a : m.attachments()) {
            // A name is the user's file name: brackets and backslashes in it stay text.
            QString name = a.name;
            name.replace(QStringLiteral("\\"), QStringLiteral("\\\\"))
                .replace(u'[', QStringLiteral("\\["))
                .replace(u']', QStringLiteral("\\]"))
                .replace(u'\n', u' ');
            const QString link = a.isImage() && imageLink ? imageLink(a) : QString();
            files << (link.isEmpty() ? QStringLiteral("- ") + name
                                     : QStringLiteral("- ![%1](%2)").arg(name, link));
        }
        if (!files.isEmpty())
            parts << files.join(u'\n');
    }
    return parts.join(QStringLiteral("\n\n")) + u'\n';
}

QList<Conversation> conversationsToRestore(const QList<Conversation> &history,
                                           const QList<Conversation> &backup,
                                           QList<qsizetype> *sources)
{
    // Only conversations whose ids meet are encoded.
    QHash<QUuid, const Conversation *> known;
    for (const Conversation &c : history)
        known.insert(c.id, &c);

    QList<Conversation> added;
    for (qsizetype i = 0; i < backup.size(); ++i) {
        const Conversation &c = backup.at(i);
        const auto same = known.constFind(c.id);
        if (same == known.constEnd()) {
            // A backup that repeats an id compares its later copies with this one.
            known.insert(c.id, &c);
            added.append(c);
        } else if (encoded(**same) != encoded(c)) {
            Conversation copy = c;
            copy.id = QUuid::createUuid();
            copy.title += QStringLiteral(QT_TRANSLATE_NOOP("Stored", "（恢复）"));
            added.append(copy);
        } else {
            continue;
        }
        if (sources)
            sources->append(i);
    }
    return added;
}

namespace {

QString normalisedAddress(const QString &baseURL)
{
    QString text = TextUtil::trimSpaceAndLineBreaks(baseURL);
    while (text.endsWith(u'/'))
        text.chop(1);
    QUrl url(text);
    if (!url.isValid() || url.host().isEmpty())
        return text;
    url.setScheme(url.scheme().toLower());
    url.setHost(url.host().toLower());
    if (url.port() == (url.scheme() == u"https" ? 443 : 80))
        url.setPort(-1);
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

QList<bool> matchGateways(const AppSettings &here, const AppSettings &backup,
                          QList<Conversation> &conversations)
{
    // Where each of the backup's gateways lands: a gateway here, the first (null), or nowhere.
    QHash<QUuid, std::optional<QUuid>> landing;
    const auto find = [&](const QUuid &id) -> std::optional<QUuid> {
        if (here.provider(id))
            return id;
        const Provider *there = backup.provider(id);
        if (!there)
            return std::nullopt;
        const QString address = normalisedAddress(there->baseURL);
        if (address == normalisedAddress(here.baseURL))
            return QUuid();
        for (const Provider &p : here.providers) {
            if (normalisedAddress(p.baseURL) == address)
                return p.id;
        }
        return std::nullopt;
    };

    QList<bool> moved(conversations.size(), false);
    for (qsizetype i = 0; i < conversations.size(); ++i) {
        Conversation &c = conversations[i];
        if (c.provider.isNull())
            continue;
        auto it = landing.constFind(c.provider);
        if (it == landing.constEnd())
            it = landing.insert(c.provider, find(c.provider));
        const QUuid target = it->value_or(QUuid());
        // On another gateway, a model left to its gateway's default is named while that
        // default is known.
        if (target != c.provider && !c.model && !backup.modelFor(c).isEmpty())
            c.model = backup.modelFor(c);
        c.provider = target;
        moved[i] = !it->has_value();
    }
    return moved;
}
