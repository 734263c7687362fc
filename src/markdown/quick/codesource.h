// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/highlighter.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QPointer>
#include <QQmlParserStatus>
#include <QTimer>

/**
 * The pieces a code block is drawn in: consecutive ranges of its code, each shown by a text item
 * of its own, so that a change to a long block (a delta at its end) touches one small item, and
 * only the pieces near the visible part need items at all.
 *
 * A piece ends after maxLines lines or before maxChars characters, whichever comes first: at the
 * last line break within maxChars, or inside a line that is longer (minified code), so that no
 * item ever lays out more than maxChars. The line break between two pieces belongs to neither.
 * Where a piece ends depends only on the code before that point, so the pieces of a growing block
 * stay where they are and only the last one grows; the last piece may be empty (code ending in a
 * line break shows an empty last line, as one text item would).
 *
 * The limits were chosen with `bench_app codeblock DIR 100` (2 cores, shared): a piece costs
 * about 15 ms to make however short it is, plus its lines; reading the block upwards 600 px a
 * frame, pieces of 200 lines (16 KB) made frames of 27–35 ms every sixth or seventh frame, pieces
 * of 100 lines (8 KB) 17–27 ms every third. Streaming costs the same with either (frames of
 * 2–3 ms, p95 4–5 ms).
 */
class CodePieces : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    static constexpr qsizetype maxLines = 100;
    static constexpr qsizetype maxChars = 8 * 1024;

    enum Role {
        StartRole = Qt::UserRole + 1,
        EndRole,
        FirstRole,
        LastRole,
    };

    /// Shows code[start, end); the next piece begins at `next` (end, or past a line break).
    struct Piece
    {
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype next = 0;
        friend bool operator==(const Piece &, const Piece &) = default;
    };

    using QAbstractListModel::QAbstractListModel;

    /// The pieces of code from `from` on, where a piece begins.
    static QList<Piece> split(QStringView code, qsizetype from = 0);

    /// Follows the code with the fewest changes to the rows: only the pieces from the first one
    /// the change reaches are looked at again.
    void setCode(const QString &code);
    const QList<Piece> &pieces() const { return m_pieces; }
    int count() const { return int(m_pieces.size()); }
    /// The row of the piece that shows this position of the code (a separating line break
    /// counts to the piece before it).
    Q_INVOKABLE int pieceAt(int position) const;
    /// The text one piece shows.
    QStringView text(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QString m_code;
    QList<Piece> m_pieces;
};

/**
 * The code of one block, its tokens and its pieces: what every piece of the block shares.
 *
 * The tokens come from HighlightService's worker, one list for the whole block, so a comment or a
 * string that spans two pieces is coloured as in one text; each piece's CodeHighlighter maps its
 * own range of them. Until they arrive, and for a language without a grammar, the code stays
 * plain. While the code grows (a streaming reply) it is tokenised at most every minInterval ms.
 */
class CodeSource : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// The code to show, verbatim.
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    /// The fence label, as written ("py", "C++", "js"…).
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    /// Whether the tokens are those of the whole current code.
    Q_PROPERTY(bool highlighted READ highlighted NOTIFY highlightedChanged)
    Q_PROPERTY(CodePieces *pieces READ pieces CONSTANT)

public:
    static constexpr int minInterval = 250;

    explicit CodeSource(QObject *parent = nullptr);

    const QString &code() const { return m_code; }
    void setCode(const QString &code);
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    bool active() const { return m_active; }
    void setActive(bool active);
    bool highlighted() const { return m_highlighted; }
    CodePieces *pieces() { return &m_pieces; }

    /// The text the tokens were made for, and the tokens.
    const QString &spansText() const { return m_spansText; }
    const SyntaxSpans &spans() const { return m_spans; }

    /// The code between two positions, as a selection across pieces copies it.
    Q_INVOKABLE QString textBetween(int from, int to) const;
    /// The position of the first match of a search query in the code, or -1.
    Q_INVOKABLE int firstMatch(const QString &query) const;

    /// Uses this service instead of the shared one (tests, benchmarks).
    void setService(HighlightService *service) { m_service = service; }

    void classBegin() override {}
    void componentComplete() override;

signals:
    void codeChanged();
    void languageChanged();
    void activeChanged();
    void highlightedChanged();
    /// The tokens changed from this position of the code on.
    void tokensChanged(qsizetype from);

private:
    void refresh(bool now);
    void request();
    void accept(const QString &code, const SyntaxSpans &spans);
    void clear();
    void setHighlighted(bool highlighted);
    HighlightService *service() const;

    QPointer<HighlightService> m_service;
    QString m_code;
    QString m_language;
    QString m_grammar;
    bool m_active = true;
    bool m_complete = false;
    bool m_highlighted = false;
    CodePieces m_pieces;

    QString m_spansText;
    SyntaxSpans m_spans;
    QTimer m_throttle;
    QElapsedTimer m_sinceRequest;
};
