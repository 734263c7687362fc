// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationsearch.h"

namespace {

constexpr qsizetype snippetBefore = 16;
constexpr qsizetype snippetLength = 80;

// The text around [at, at + length) of text, on one line, with "…" where it is cut.
QString snippetAround(const QString &text, qsizetype at, qsizetype length)
{
    const qsizetype from = std::max<qsizetype>(0, at - snippetBefore);
    const qsizetype to = std::min(text.size(), std::max(at + length, from + snippetLength));
    QString s = text.mid(from, to - from).simplified();
    if (from > 0)
        s.prepend(u'…');
    if (to < text.size())
        s.append(u'…');
    return s;
}

} // namespace

namespace ConversationSearch {

QString key(QStringView text)
{
    return text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QList<Hit> find(const QList<Conversation> &conversations, const QString &query,
                const std::function<bool()> &stopped)
{
    const QString needle = key(query.trimmed());
    QList<Hit> hits;
    if (needle.isEmpty())
        return hits;
    for (const Conversation &c : conversations) {
        if (stopped && stopped())
            break;
        const bool titleMatches = key(c.title).contains(needle);
        bool inMessage = false;
        QString snippet;
        for (const Message &m : c.messages) {
            const QString folded = key(m.content);
            const qsizetype at = folded.indexOf(needle);
            if (at < 0)
                continue;
            // Folding rarely changes the length; when it does, the folded text stands in.
            snippet = snippetAround(folded.size() == m.content.size() ? m.content : folded, at,
                                    needle.size());
            inMessage = true;
            break;
        }
        if (titleMatches || inMessage)
            hits.append(Hit{c.id, c.title, snippet});
    }
    return hits;
}

} // namespace ConversationSearch
