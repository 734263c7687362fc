// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginethread.h"

#include <QCache>
#include <QColor>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class QJSEngine;

/// What a piece of code is, as far as its colour goes.
enum class SyntaxKind : quint8 {
    Plain,
    Comment,
    String,
    Keyword,
    Number,
    Function,
    Type,
    Operator,
    Tag,
    Attribute,
    Regex,
    Deleted,
    Inserted,
    Variable,
};

/// The backgrounds code is drawn on: light and dark boxes, and the user's bubble.
enum class SyntaxPalette : quint8 {
    Light,
    Dark,
    OnAccent,
};

/// The colour of a kind of code token on a background.
QColor syntaxColor(SyntaxKind kind, SyntaxPalette palette);

/// One coloured run of a code block, in UTF-16 positions of its text. Spans are sorted and never
/// overlap; text outside every span is plain.
struct SyntaxSpan
{
    int start = 0;
    int length = 0;
    SyntaxKind kind = SyntaxKind::Plain;
    friend bool operator==(const SyntaxSpan &, const SyntaxSpan &) = default;
};
using SyntaxSpans = QList<SyntaxSpan>;

/**
 * Tokenises code with the Prism grammars bundled in the resources (Debian's node-prismjs), in a
 * QJSEngine of its own. Not thread-safe: one engine belongs to one thread. Grammars load on
 * first use, with the grammars they build on.
 */
class HighlightEngine
{
public:
    HighlightEngine();
    ~HighlightEngine();

    /// The grammar id for a fence label ("js", "C++", "py3", "sh"…), or an empty string when no
    /// bundled grammar fits. Thread-safe.
    static QString grammarFor(const QString &label);

    /// The spans of code in the given grammar id. Empty when the grammar is unknown, the code
    /// is larger than maxCodeSize, or the run was interrupted.
    SyntaxSpans highlight(const QString &grammar, const QString &code);

    /// Stops a running highlight() from any thread; it then returns no spans.
    void interrupt();

    static constexpr qsizetype maxCodeSize = 200 * 1024;

private:
    bool load(const QString &grammar);

    std::unique_ptr<QJSEngine> m_engine;
    QSet<QString> m_loaded;
    bool m_ready = false;
};

/**
 * Highlights code blocks off the main thread and keeps the results.
 *
 * Requests come from the main thread; a worker thread runs one HighlightEngine. A requester has
 * at most one job waiting (it is the job's key in the runner's newest-wins line): a newer text
 * replaces the waiting one, so a block that streams is tokenised only as often as the worker
 * keeps up. A job that runs longer than timeLimit is interrupted and its text stays plain.
 * Results are cached by grammar and text, so a block shown again is coloured at once.
 */
class HighlightService : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const QString &code, const SyntaxSpans &spans)>;

    explicit HighlightService(QObject *parent = nullptr);
    ~HighlightService() override;

    /// The service all code blocks share, made on first use and owned by the application.
    static HighlightService *shared();

    /// The cached spans for this text, or nullptr; valid until the next result is kept.
    const SyntaxSpans *cached(const QString &grammar, const QString &code);

    /// Asks for the spans of code; done is called later on the main thread unless requester is
    /// gone by then. A waiting request of the same requester is replaced.
    void request(QObject *requester, const QString &grammar, const QString &code, Callback done);

    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

    static constexpr int cacheEntries = 512;

signals:
    /// For tests and benchmarks: a job ended (interrupted jobs too).
    void jobFinished();

private:
    struct Key
    {
        QString grammar;
        size_t hash = 0;
        qsizetype length = 0;
        friend bool operator==(const Key &, const Key &) = default;
    };
    friend size_t qHash(const Key &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.grammar, key.hash, key.length);
    }

    static Key keyFor(const QString &grammar, const QString &code);

    int m_timeLimitMs = 1000;
    QCache<Key, SyntaxSpans> m_cache{cacheEntries};
    // Declared last, so that its jobs are over before the rest goes.
    EngineThread<HighlightEngine> m_engine{"highlighter", BackgroundRunner::Mode::NewestWins};
};
