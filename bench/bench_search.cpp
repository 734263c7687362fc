// SPDX-License-Identifier: GPL-3.0-or-later
// The sidebar's search over the large data set (10,000 conversations, about 50 MB): one full
// pass of the worker per query, and what a keystroke costs the main thread.
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

// One whole search: what the worker does after a keystroke.
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
