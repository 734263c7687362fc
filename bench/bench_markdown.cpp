// SPDX-License-Identifier: GPL-3.0-or-later
// Markdown: block parsing and inline conversion of the shared 100 KB reply, the block model
// following that reply as it streams in (about 3,100 deltas) against parsing and converting
// everything on every delta, and the hostile inputs at growing sizes (the time must grow
// linearly).
#include "benchinputs.h"
#include "markdown/mdblockmodel.h"
#include "markdown/mdinline.h"
#include "markdown/mdparser.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

// Every text of a block list that a view shows through mdInline.
QStringList inlineTexts(const QList<MDBlock> &blocks)
{
    QStringList texts;
    for (const MDBlock &b : blocks) {
        if (b.kind == MDBlock::Paragraph || b.kind == MDBlock::Heading || b.kind == MDBlock::Quote)
            texts << b.text;
        for (const MDBlock::Item &item : b.items)
            texts << item.text;
        for (const QStringList &row : b.rows)
            texts << row;
    }
    return texts;
}

qint64 utf8Size(const QStringList &texts)
{
    qint64 size = 0;
    for (const QString &t : texts)
        size += t.toUtf8().size();
    return size;
}

void BM_Parse(benchmark::State &state)
{
    const QString text = BenchInputs::reply();
    for (auto _ : state)
        benchmark::DoNotOptimize(MDParser::parse(text));
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMicrosecond);

void BM_Inline(benchmark::State &state)
{
    const QStringList texts = inlineTexts(MDParser::parse(BenchInputs::reply()));
    for (auto _ : state) {
        for (const QString &t : texts)
            benchmark::DoNotOptimize(mdInline(t));
    }
    state.SetBytesProcessed(state.iterations() * utf8Size(texts));
}
BENCHMARK(BM_Inline)->Unit(benchmark::kMicrosecond);

// The block model: setText with the whole reply so far after every delta.
void BM_StreamModel(benchmark::State &state)
{
    const QStringList parts = BenchInputs::deltas();
    for (auto _ : state) {
        MDBlockModel model;
        QString text;
        for (const QString &delta : parts) {
            text += delta;
            model.setText(text);
        }
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["deltas"] = double(parts.size());
    state.counters["per_delta"] =
        benchmark::Counter(double(parts.size()), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_StreamModel)->Unit(benchmark::kMillisecond);

// The naive way: parse the whole reply so far and convert every inline text, every delta.
void BM_StreamNaive(benchmark::State &state)
{
    const QStringList parts = BenchInputs::deltas();
    for (auto _ : state) {
        QString text;
        for (const QString &delta : parts) {
            text += delta;
            for (const QString &t : inlineTexts(MDParser::parse(text)))
                benchmark::DoNotOptimize(mdInline(t));
        }
    }
    state.counters["deltas"] = double(parts.size());
    state.counters["per_delta"] =
        benchmark::Counter(double(parts.size()), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_StreamNaive)->Unit(benchmark::kMillisecond)->Iterations(2);

QString hostile(int pattern, int n)
{
    switch (pattern) {
    case 0:
        return QString(n, u'[') + u'a' + QString(n, u']');
    case 1:
        return QStringLiteral("[a](").repeated(n);
    case 2:
        return QStringLiteral("*a ").repeated(n);
    case 3:
        return QStringLiteral("*a_ ").repeated(n);
    case 4: {
        QString runs;
        for (int k = 1; runs.size() < 4 * n; ++k)
            runs += QString(k, u'`') + u'a';
        return runs;
    }
    default:
        return QStringLiteral("> ").repeated(n) + u'x';
    }
}

const char *const hostileNames[] = {"nested brackets", "unclosed links", "openers only",
                                    "mixed *a_",       "backtick runs",  "nested quote"};

// Inline conversion of a hostile text of n repetitions; the time per byte must stay flat.
void BM_HostileInline(benchmark::State &state)
{
    const int pattern = int(state.range(0));
    const QString text = hostile(pattern, int(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(mdInline(text));
    state.SetLabel(hostileNames[pattern]);
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_HostileInline)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {10'000, 100'000}})
    ->Unit(benchmark::kMicrosecond);

// Block parsing of hostile texts: a quote nested 50,000 deep and many one-item blocks.
void BM_HostileParse(benchmark::State &state)
{
    const int n = int(state.range(1));
    const QString text = state.range(0) == 0 ? QStringLiteral("> ").repeated(n) + u'x'
                                             : QStringLiteral("- a\n1. b\n> c\n").repeated(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(MDParser::parse(text));
    state.SetLabel(state.range(0) == 0 ? "nested quote" : "alternating blocks");
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_HostileParse)
    ->ArgsProduct({{0, 1}, {5000, 50000, 200000}})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
