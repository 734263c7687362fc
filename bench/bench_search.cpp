// SPDX-License-Identifier: GPL-3.0-or-later
// The sidebar's search over the large data set (10,000 conversations, about 50 MB): one full
// pass of the worker per query, folding the whole history each time (before the index) and
// reading the kept index (after), the first search that makes the index, and what a keystroke
// costs the main thread.
#include "app/searchresultsmodel.h"
#include "largedata.h"
#include "model/conversationsearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QList<Conversation> &history()
{
    static const QList<Conversation> list = LargeData::generate().conversations;
    return list;
}

// Common words (every conversation matches early), a full-width one, and one that is nowhere,
// which reads the whole history.
const char *const queries[] = {"编码", "LAZY DOG", "ｆｏｘ", "不会出现的词语"};

// One whole search folding the history as it goes: what the worker did before the index.
void BM_Find(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(queries[state.range(0)]);
    qsizetype hits = 0;
    for (auto _ : state) {
        const auto found = ConversationSearch::find(history(), query);
        hits = found.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_Find)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// One whole search over the kept index: what the worker does after a keystroke now.
void BM_FindIndexed(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(queries[state.range(0)]);
    ConversationSearch::Index index;
    index.find(history(), QStringLiteral("x"));
    qsizetype hits = 0;
    for (auto _ : state) {
        const auto found = index.find(history(), query);
        hits = found.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
    state.counters["index_MB"] = double(index.bytes()) / 1e6;
}
BENCHMARK(BM_FindIndexed)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The first search, which folds the whole history into the index.
void BM_IndexBuild(benchmark::State &state)
{
    for (auto _ : state) {
        ConversationSearch::Index index;
        benchmark::DoNotOptimize(index.find(history(), QStringLiteral("不会出现的词语")));
    }
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond);

// A keystroke on the main thread: setting the query starts a search and returns; the
// (superseded) search before it stops early.
void BM_Keystroke(benchmark::State &state)
{
    QTemporaryDir dir;
    Store store(dir.path());
    store.addConversationsAtTop(history());
    SearchResultsModel model;
    model.setStore(&store);
    int n = 0;
    for (auto _ : state)
        model.setQuery(QStringLiteral("词%1").arg(++n));
    model.setQuery(QString());
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
