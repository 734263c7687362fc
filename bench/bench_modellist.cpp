// SPDX-License-Identifier: GPL-3.0-or-later
// The gateway's model list in Settings: a list of 500 models (OpenRouter's is about that
// size, with long descriptions) read from its JSON, shown as a checklist and filtered while
// the user types.
#include "api/modellist.h"
#include "app/modelcatalog.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

namespace {

constexpr int modelCount = 500;

QByteArray listBody()
{
    QJsonArray data;
    for (int i = 0; i < modelCount; ++i) {
        data.append(
            QJsonObject{{"id", QStringLiteral("vendor-%1/model-%2-instruct").arg(i % 40).arg(i)},
                        {"object", "model"},
                        {"description", QStringLiteral("一个用于测试的模型描述。").repeated(40)},
                        {"context_length", 128000}});
    }
    return QJsonDocument(QJsonObject{{"object", "list"}, {"data", data}}).toJson();
}

void BM_ParseList(benchmark::State &state)
{
    const QByteArray body = listBody();
    for (auto _ : state)
        benchmark::DoNotOptimize(ModelListRequest::parseIds(body));
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_ParseList)->Unit(benchmark::kMillisecond);

void BM_ShowList(benchmark::State &state)
{
    const QStringList ids = *ModelListRequest::parseIds(listBody());
    ModelCatalog catalog;
    for (auto _ : state) {
        catalog.setIds(ids);
        benchmark::DoNotOptimize(catalog.rowCount());
    }
}
BENCHMARK(BM_ShowList)->Unit(benchmark::kMicrosecond);

// One keystroke in the filter field.
void BM_FilterKeystroke(benchmark::State &state)
{
    ModelCatalog catalog;
    catalog.setIds(*ModelListRequest::parseIds(listBody()));
    const QStringList filters{"v", "ve", "vendor-1", "vendor-1/", "vendor-1/model-4", ""};
    qsizetype i = 0;
    for (auto _ : state) {
        catalog.setFilter(filters.at(i++ % filters.size()));
        benchmark::DoNotOptimize(catalog.rowCount());
    }
}
BENCHMARK(BM_FilterKeystroke)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
