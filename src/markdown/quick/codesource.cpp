// SPDX-License-Identifier: GPL-3.0-or-later
#include "codesource.h"

#include "model/conversationsearch.h"

#include <algorithm>

QList<CodePieces::Piece> CodePieces::split(QStringView code, qsizetype from)
{
    QList<Piece> pieces;
    const qsizetype n = code.size();
    qsizetype start = std::clamp<qsizetype>(from, 0, n);
    for (;;) {
        // Only the code up to maxChars past the start decides where a piece ends, so the
        // pieces of a growing block keep their places.
        const qsizetype window = std::min(n, start + maxChars);
        qsizetype lines = 0;
        qsizetype lastBreak = -1;
        qsizetype end = -1;
        for (qsizetype p = start; p < n && p <= window; ++p) {
            if (code[p] != u'\n')
                continue;
            lastBreak = p;
            if (++lines == maxLines) {
                end = p;
                break;
            }
        }
        if (end < 0 && n > start + maxChars) {
            end = lastBreak >= 0 ? lastBreak : start + maxChars;
            // A line longer than a piece is cut between two characters, not inside one.
            if (lastBreak < 0 && code[end - 1].isHighSurrogate())
                --end;
        }
        if (end < 0) {
            pieces.append({start, n, n});
            return pieces;
        }
        const qsizetype next = end < n && code[end] == u'\n' ? end + 1 : end;
        pieces.append({start, end, next});
        start = next;
    }
}

void CodePieces::setCode(const QString &code)
{
    // The first piece the change may reach: the one holding the first changed position, or the
    // one before, which a line break at its end decides.
    qsizetype changed = m_code.size();
    if (!code.startsWith(m_code)) { // the usual case, a block that grows, compares fastest
        const auto at = std::mismatch(m_code.cbegin(), m_code.cend(), code.cbegin(), code.cend());
        changed = at.first - m_code.cbegin();
    }
    m_code = code;
    qsizetype first = m_pieces.isEmpty() ? 0 : std::max(0, pieceAt(int(changed)) - 1);
    QList<Piece> pieces = m_pieces.first(first);
    pieces += split(code, first < m_pieces.size() ? m_pieces.at(first).start : 0);

    const qsizetype oldCount = m_pieces.size();
    const qsizetype common = std::min(oldCount, pieces.size());
    while (first < common && m_pieces.at(first) == pieces.at(first))
        ++first;
    if (pieces.size() < oldCount) {
        beginRemoveRows({}, int(pieces.size()), int(oldCount - 1));
        m_pieces = pieces;
        endRemoveRows();
    } else if (pieces.size() > oldCount) {
        beginInsertRows({}, int(oldCount), int(pieces.size() - 1));
        m_pieces = pieces;
        endInsertRows();
    } else {
        m_pieces = pieces;
    }
    // The pieces both had whose range changed, and the last of them, which changed whether it
    // is the last one when rows came or went.
    if (pieces.size() != oldCount && common > 0)
        first = std::min(first, common - 1);
    if (first < common)
        emit dataChanged(index(int(first)), index(int(common - 1)));
    if (pieces.size() != oldCount)
        emit countChanged();
}

int CodePieces::pieceAt(int position) const
{
    const auto it = std::upper_bound(m_pieces.cbegin(), m_pieces.cend(), qsizetype(position),
                                     [](qsizetype pos, const Piece &p) { return pos < p.start; });
    return std::max(0, int(it - m_pieces.cbegin()) - 1);
}

QStringView CodePieces::text(int row) const
{
    if (row < 0 || row >= m_pieces.size())
        return {};
    const Piece &p = m_pieces.at(row);
    return QStringView(m_code).sliced(p.start, p.end - p.start);
}

int CodePieces::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_pieces.size());
}

QVariant CodePieces::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_pieces.size())
        return {};
    const Piece &p = m_pieces.at(index.row());
    switch (role) {
    case StartRole:
        return int(p.start);
    case EndRole:
        return int(p.end);
    case FirstRole:
        return index.row() == 0;
    case LastRole:
        return index.row() == m_pieces.size() - 1;
    default:
        return {};
    }
}

QHash<int, QByteArray> CodePieces::roleNames() const
{
    return {{StartRole, "pieceStart"},
            {EndRole, "pieceEnd"},
            {FirstRole, "firstPiece"},
            {LastRole, "lastPiece"}};
}

CodeSource::CodeSource(QObject *parent) : QObject(parent)
{
    m_throttle.setSingleShot(true);
    connect(&m_throttle, &QTimer::timeout, this, &CodeSource::request);
}

void CodeSource::setCode(const QString &code)
{
    if (code == m_code)
        return;
    m_code = code;
    m_pieces.setCode(code);
    setHighlighted(m_highlighted && m_spansText == code);
    emit codeChanged();
    refresh(false);
}

void CodeSource::setLanguage(const QString &language)
{
    if (language == m_language)
        return;
    m_language = language;
    m_grammar = HighlightEngine::grammarFor(language);
    emit languageChanged();
    clear();
    refresh(true);
}

void CodeSource::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    clear();
    refresh(true);
}

QString CodeSource::textBetween(int from, int to) const
{
    from = std::clamp(from, 0, int(m_code.size()));
    to = std::clamp(to, from, int(m_code.size()));
    return m_code.sliced(from, to - from);
}

int CodeSource::firstMatch(const QString &query) const
{
    if (query.isEmpty())
        return -1;
    // Line by line, as the marks are made: a match never spans two lines.
    qsizetype at = 0;
    for (const QStringView line : QStringView(m_code).tokenize(u'\n')) {
        const auto spans = ConversationSearch::matches(line.toString(), query);
        if (!spans.isEmpty())
            return int(at + spans.first().start);
        at += line.size() + 1;
    }
    return -1;
}

void CodeSource::componentComplete()
{
    m_complete = true;
    refresh(true);
}

HighlightService *CodeSource::service() const
{
    return m_service ? m_service.data() : HighlightService::shared();
}

/// Asks for tokens now (a new block, a cached text) or within minInterval (a growing block).
void CodeSource::refresh(bool now)
{
    if (!m_complete || !m_active || m_grammar.isEmpty())
        return;
    if (now || !m_sinceRequest.isValid() || m_sinceRequest.elapsed() >= minInterval) {
        m_throttle.stop();
        request();
    } else if (!m_throttle.isActive()) {
        m_throttle.start(int(minInterval - m_sinceRequest.elapsed()));
    }
}

void CodeSource::request()
{
    if (!m_active || m_grammar.isEmpty())
        return;
    if (m_code == m_spansText && m_highlighted)
        return;
    if (const SyntaxSpans *spans = service()->cached(m_grammar, m_code)) {
        accept(m_code, *spans);
        return;
    }
    m_sinceRequest.start();
    QPointer<CodeSource> self(this);
    service()->request(this, m_grammar, m_code,
                       [self](const QString &text, const SyntaxSpans &spans) {
                           if (self)
                               self->accept(text, spans);
                       });
}

namespace {

/// The first position whose colours may differ between tokens of one text and of another:
/// where the texts part (the end of the shorter, when one begins the other), or where the spans
/// do, whichever comes first.
qsizetype firstChange(QStringView oldText, const SyntaxSpans &oldSpans, QStringView newText,
                      const SyntaxSpans &newSpans)
{
    const auto [oldAt, newAt] =
        std::mismatch(oldText.begin(), oldText.end(), newText.begin(), newText.end());
    qsizetype from = oldAt - oldText.begin();
    const auto [oldSpan, newSpan] =
        std::mismatch(oldSpans.begin(), oldSpans.end(), newSpans.begin(), newSpans.end());
    if (oldSpan != oldSpans.end())
        from = std::min<qsizetype>(from, oldSpan->start);
    if (newSpan != newSpans.end())
        from = std::min<qsizetype>(from, newSpan->start);
    return from;
}

} // namespace

void CodeSource::accept(const QString &code, const SyntaxSpans &spans)
{
    if (!m_active)
        return;
    const qsizetype from = firstChange(m_spansText, m_spans, code, spans);
    m_spansText = code;
    m_spans = spans;
    setHighlighted(!spans.isEmpty() && m_code == code);
    emit tokensChanged(from);
}

void CodeSource::clear()
{
    m_throttle.stop();
    const bool had = !m_spans.isEmpty();
    m_spans.clear();
    m_spansText.clear();
    setHighlighted(false);
    if (had)
        emit tokensChanged(0);
}

void CodeSource::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    emit highlightedChanged();
}
