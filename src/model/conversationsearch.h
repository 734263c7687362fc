// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

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

} // namespace ConversationSearch
