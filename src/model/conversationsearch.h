// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>

namespace ConversationSearch {

/// The form text is compared in: NFKC-normalised, then case-folded, so "ＡＢＣ", "abc" and
/// "ABC" are one key.
QString key(QStringView text);

/// A range of a text.
struct Span
{
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const Span &) const = default;
};

/// Where the query occurs in the text, compared as key() compares them: the ranges of the text
/// (not of its key) that fold to the query, in order; matches that touch join. A character that
/// folds to more than one (ﬁ) is taken whole when a match covers part of it.
QList<Span> matches(QStringView text, const QString &query);

struct Hit
{
    QUuid id;
    QString title;
    /// The words around the first match in a message, on one line; empty when only the title
    /// matches.
    QString snippet;
};

/// The conversations whose title or any message's source text contains the query, in list
/// order. An empty (or all-space) query matches nothing. `stopped` is asked between
/// conversations; once it answers true the hits so far are returned.
QList<Hit> find(const QList<Conversation> &conversations, const QString &query,
                const std::function<bool()> &stopped = {});

/**
 * The keys of a history's texts, kept between searches so that a search reads them instead of
 * folding the whole history again: a conversation's are made when a search first reaches it,
 * and again after invalidate() says it changed. Entries of conversations no longer in the
 * history go at the end of a complete search. One thread at a time may use it.
 */
class Index
{
public:
    /// The conversation changed (title, messages) or went: its keys are made again when next
    /// needed.
    void invalidate(const QUuid &id) { m_entries.remove(id); }
    void clear() { m_entries.clear(); }

    /// What ConversationSearch::find() gives for the same history, from the kept keys.
    QList<Hit> find(const QList<Conversation> &conversations, const QString &query,
                    const std::function<bool()> &stopped = {});

    /// The number of conversations whose keys are kept, and the memory they take, in bytes.
    qsizetype size() const { return m_entries.size(); }
    qsizetype bytes() const;

private:
    struct Entry
    {
        QString title;
        /// The messages' keys, each followed by a line end.
        QString text;
        /// Where each message's key begins in text.
        QList<qsizetype> starts;
    };

    static Entry make(const Conversation &conversation);

    QHash<QUuid, Entry> m_entries;
};

} // namespace ConversationSearch
