// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationsearch.h"

namespace {

// Characters that NFKC leaves alone, that never combine with a neighbour, and whose case
// folding is plain lower-casing: ASCII and the CJK unified ideographs, most of any history.
bool plain(char16_t c)
{
    return c < 0x80 || (c >= 0x4E00 && c <= 0x9FFF);
}

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
    // Normalising the whole text costs several times more than this walk; only runs of other
    // characters take the full way.
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        if (plain(c)) {
            out.append(QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c));
            ++i;
            continue;
        }
        // The plain character before the run goes with it: a combining mark composes with it.
        qsizetype start = i;
        if (start > 0) {
            --start;
            out.chop(1);
        }
        qsizetype end = i + 1;
        while (end < text.size() && !plain(text[end].unicode()))
            ++end;
        out.append(text.sliced(start, end - start)
                       .toString()
                       .normalized(QString::NormalizationForm_KC)
                       .toCaseFolded());
        i = end;
    }
    return out;
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
