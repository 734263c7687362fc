// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationsearch.h"

#include <QSet>

#include <algorithm>

namespace {

// Characters that NFKC leaves alone, that never combine with a neighbour, and whose case
// folding is plain lower-casing: ASCII and the CJK unified ideographs, most of any history.
bool plain(char16_t c)
{
    return c < 0x80 || (c >= 0x4E00 && c <= 0x9FFF);
}

// Whether this code point joins the one before it under NFKC: combining marks, the vowels and
// finals of conjoining Hangul, and the half-width voicing marks (which become combining ones).
bool joinsPrevious(char32_t c)
{
    return QChar::isMark(c) || (c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF) ||
           c == 0xFF9E || c == 0xFF9F;
}

char32_t codePointAt(QStringView text, qsizetype i, qsizetype *next)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *next = i + 2;
        return QChar::surrogateToUcs4(c, text[i + 1].unicode());
    }
    *next = i + 1;
    return c;
}

// Walks the text unit by unit: a unit is one character with the marks that join it, the units
// are normalised and folded each on its own, and out(folded, start, end) hears each one with
// the range of the text it came from. Normalising unit by unit gives what normalising the whole
// text gives, and tells where each folded character comes from.
template<typename Out> void fold(QStringView text, Out &&out)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = text[i].unicode();
        qsizetype end = i + 1;
        char32_t first = c;
        if (i + 1 < n && !plain(text[i + 1].unicode())) {
            first = codePointAt(text, i, &end);
            while (end < n) {
                qsizetype after = 0;
                if (!joinsPrevious(codePointAt(text, end, &after)))
                    break;
                end = after;
            }
        }
        if (end == i + 1 && plain(c)) {
            const char16_t lower = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
            out(QStringView(&lower, 1), i, end);
            ++i;
            continue;
        }
        // Uncased characters without a decomposition stay as they are (Chinese punctuation).
        const QChar::Category category = QChar::category(first);
        if (end == i + 1 && QChar::decompositionTag(first) == QChar::NoDecomposition &&
            category != QChar::Letter_Uppercase && category != QChar::Letter_Lowercase &&
            category != QChar::Letter_Titlecase && category != QChar::Mark_NonSpacing) {
            out(text.sliced(i, 1), i, end);
        } else {
            out(QStringView(text.sliced(i, end - i)
                                .toString()
                                .normalized(QString::NormalizationForm_KC)
                                .toCaseFolded()),
                i, end);
        }
        i = end;
    }
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
    QString out;
    out.reserve(text.size());
    fold(text, [&](QStringView folded, qsizetype, qsizetype) { out.append(folded); });
    return out;
}

QList<Span> matches(QStringView text, const QString &query)
{
    QList<Span> spans;
    const QString needle = key(QStringView(query).trimmed());
    if (needle.isEmpty() || text.isEmpty())
        return spans;
    // The folded text, and for each of its characters the source unit it came from.
    QString folded;
    QList<Span> from;
    folded.reserve(text.size());
    from.reserve(text.size());
    fold(text, [&](QStringView f, qsizetype start, qsizetype end) {
        folded.append(f);
        for (qsizetype k = 0; k < f.size(); ++k)
            from.append(Span{start, end - start});
    });
    for (qsizetype at = folded.indexOf(needle); at >= 0;
         at = folded.indexOf(needle, at + needle.size())) {
        const Span &first = from[at];
        const Span &last = from[at + needle.size() - 1];
        const qsizetype start = first.start;
        const qsizetype end = last.start + last.length;
        // A unit folded to several characters may hold the end of one match and the start of
        // the next: the spans then join.
        if (!spans.isEmpty() && spans.last().start + spans.last().length >= start)
            spans.last().length = end - spans.last().start;
        else
            spans.append(Span{start, end - start});
    }
    return spans;
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

Index::Entry Index::make(const Conversation &conversation)
{
    Entry e;
    e.title = key(conversation.title);
    e.starts.reserve(conversation.messages.size());
    for (const Message &m : conversation.messages) {
        e.starts.append(e.text.size());
        e.text.append(key(m.content));
        e.text.append(u'\n');
    }
    e.text.squeeze();
    return e;
}

QList<Hit> Index::find(const QList<Conversation> &conversations, const QString &query,
                       const std::function<bool()> &stopped)
{
    const QString needle = key(query.trimmed());
    QList<Hit> hits;
    if (needle.isEmpty())
        return hits;
    // A history may hold one id twice: only the first of them is kept.
    QSet<QUuid> seen;
    seen.reserve(conversations.size());
    Entry once;
    for (const Conversation &c : conversations) {
        if (stopped && stopped())
            return hits;
        const qsizetype known = seen.size();
        seen.insert(c.id);
        const bool first = seen.size() > known;
        auto it = first ? m_entries.find(c.id) : m_entries.end();
        // A count that no longer fits tells of a change the index was not told of.
        if (first && (it == m_entries.end() || it->starts.size() != c.messages.size()))
            it = m_entries.insert(c.id, make(c));
        const Entry &e = first ? *it : (once = make(c));
        QString snippet;
        bool inMessage = false;
        for (qsizetype at = e.text.indexOf(needle); at >= 0; at = e.text.indexOf(needle, at + 1)) {
            const qsizetype m =
                std::upper_bound(e.starts.cbegin(), e.starts.cend(), at) - e.starts.cbegin() - 1;
            const qsizetype start = e.starts[m];
            const qsizetype end =
                (m + 1 < e.starts.size() ? e.starts[m + 1] : e.text.size()) - 1; // its line end
            if (at + needle.size() > end)
                continue; // runs into the next message
            const QString &content = c.messages[m].content;
            const QStringView folded = QStringView(e.text).sliced(start, end - start);
            snippet = snippetAround(folded.size() == content.size() ? content : folded.toString(),
                                    at - start, needle.size());
            inMessage = true;
            break;
        }
        if (inMessage || e.title.contains(needle))
            hits.append(Hit{c.id, c.title, snippet});
    }
    if (m_entries.size() > seen.size())
        m_entries.removeIf([&](const auto &it) { return !seen.contains(it.key()); });
    return hits;
}

qsizetype Index::bytes() const
{
    qsizetype total = 0;
    for (const Entry &e : m_entries) {
        total += sizeof(Entry) + sizeof(QUuid) + (e.title.capacity() + e.text.capacity()) * 2 +
                 e.starts.capacity() * qsizetype(sizeof(qsizetype));
    }
    return total;
}

} // namespace ConversationSearch
