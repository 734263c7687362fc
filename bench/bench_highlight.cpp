// SPDX-License-Identifier: GPL-3.0-or-later
// Code highlighting: tokenising every code block of the 100 KB reply on the worker's engine,
// and what the main thread pays: putting a finished block's colours on its document, and the
// colours a growing block keeps when its TextEdit sets the whole text again on a delta.
#include "benchinputs.h"
#include "markdown/highlighter.h"
#include "markdown/mdparser.h"
#include "markdown/quick/codehighlighter.h"

#include <QGuiApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

QList<MDBlock> codeBlocks()
{
    QList<MDBlock> out;
    for (const MDBlock &b : MDParser::parse(BenchInputs::reply()))
        if (b.kind == MDBlock::Code && !HighlightEngine::grammarFor(b.lang).isEmpty())
            out << b;
    return out;
}

/// The largest code block of the reply, repeated to reach about size characters.
MDBlock bigBlock(qsizetype size)
{
    MDBlock big;
    for (const MDBlock &b : codeBlocks())
        if (b.code.size() > big.code.size())
            big = b;
    QString code = big.code;
    while (code.size() < size)
        code += QLatin1Char('\n') + big.code;
    big.code = code;
    return big;
}

void BM_EngineStart(benchmark::State &state)
{
    for (auto _ : state) {
        HighlightEngine engine;
        benchmark::DoNotOptimize(engine.highlight(QStringLiteral("python"), QStringLiteral("x")));
    }
}
BENCHMARK(BM_EngineStart)->Unit(benchmark::kMillisecond);

// The worker's time for every block of the reply, grammars already loaded.
void BM_TokeniseReplyBlocks(benchmark::State &state)
{
    const QList<MDBlock> blocks = codeBlocks();
    HighlightEngine engine;
    qint64 bytes = 0;
    for (const MDBlock &b : blocks) {
        engine.highlight(HighlightEngine::grammarFor(b.lang), b.code);
        bytes += b.code.toUtf8().size();
    }
    for (auto _ : state)
        for (const MDBlock &b : blocks)
            benchmark::DoNotOptimize(engine.highlight(HighlightEngine::grammarFor(b.lang), b.code));
    state.counters["blocks"] = double(blocks.size());
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_TokeniseReplyBlocks)->Unit(benchmark::kMillisecond);

/// A highlighter on a document whose tokens are in the cache, as for a block scrolled back.
struct Highlighted
{
    HighlightService service;
    QTextDocument doc;
    CodeHighlighter highlighter;
    MDBlock block;

    explicit Highlighted(qsizetype size) : block(bigBlock(size))
    {
        doc.setPlainText(block.code);
        highlighter.setService(&service);
        highlighter.classBegin();
        highlighter.attach(&doc);
        highlighter.setLanguage(block.lang);
        highlighter.componentComplete();
        const QDeadlineTimer deadline(20000);
        while (!highlighter.highlighted() && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        if (!highlighter.highlighted())
            qFatal("the block was not highlighted");
    }
};

// Main thread: a finished block's colours going onto its document (a palette change costs the
// same).
void BM_ApplyColours(benchmark::State &state)
{
    Highlighted h(state.range(0));
    int flip = 0;
    for (auto _ : state)
        h.highlighter.setPalette(++flip % 2 ? CodeHighlighter::Dark : CodeHighlighter::Light);
    state.counters["lines"] = double(h.doc.blockCount());
}
BENCHMARK(BM_ApplyColours)->Arg(2'000)->Arg(20'000)->Unit(benchmark::kMicrosecond);

// Main thread, per delta of a growing block: the text is set again with one more character,
// and the lines already tokenised get their colours back.
void BM_DeltaOnColouredBlock(benchmark::State &state)
{
    Highlighted h(state.range(0));
    const QString base = h.block.code;
    int n = 0;
    for (auto _ : state) {
        h.doc.setPlainText(base + QString(++n % 50, QLatin1Char('x')));
        QCoreApplication::processEvents();
    }
    state.counters["lines"] = double(h.doc.blockCount());
}
BENCHMARK(BM_DeltaOnColouredBlock)->Arg(2'000)->Arg(20'000)->Unit(benchmark::kMicrosecond);

// The same delta without highlighting, for comparison.
void BM_DeltaOnPlainBlock(benchmark::State &state)
{
    QTextDocument doc;
    const QString base = bigBlock(state.range(0)).code;
    int n = 0;
    for (auto _ : state) {
        doc.setPlainText(base + QString(++n % 50, QLatin1Char('x')));
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_DeltaOnPlainBlock)->Arg(2'000)->Arg(20'000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
