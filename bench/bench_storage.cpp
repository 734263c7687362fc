// SPDX-License-Identifier: GPL-3.0-or-later
// Save and load of a large data.json: 10,000 conversations, about 50 MB of mixed Chinese and
// ASCII text, the size a heavy user reaches after years.
#include "largedata.h"
#include "model/storagecodec.h"
#include "store/store.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int conversationCount = LargeData::conversationCount;

AppData generate()
{
    return LargeData::generate();
}

struct Fixture
{
    QTemporaryDir dir;
    QByteArray bytes;

    Fixture()
    {
        bytes = encodeAppData(generate());
        QFile f(dir.path() + QStringLiteral("/data.json"));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write the benchmark's data.json");
    }
    static Fixture &get()
    {
        static Fixture fixture;
        return fixture;
    }
};

void report(benchmark::State &state, qsizetype bytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["MB"] = double(bytes) / 1e6;
}

void BM_Encode(benchmark::State &state)
{
    const AppData data = generate();
    QByteArray bytes;
    for (auto _ : state) {
        bytes = encodeAppData(data);
        benchmark::DoNotOptimize(bytes.data());
    }
    report(state, bytes.size());
}

void BM_Decode(benchmark::State &state)
{
    const QByteArray &bytes = Fixture::get().bytes;
    for (auto _ : state) {
        auto data = decodeAppData(bytes);
        if (!data)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(data);
    }
    report(state, bytes.size());
}

// Encode and atomic write of the whole file, as every save does (on the Store's worker).
void BM_Save(benchmark::State &state)
{
    Fixture &fixture = Fixture::get();
    Store store(fixture.dir.path());
    if (store.conversations().size() != conversationCount)
        state.SkipWithError("load failed");
    for (auto _ : state) {
        store.save();
        if (!store.flush())
            state.SkipWithError("save failed");
    }
    report(state, fixture.bytes.size());
}

// Read and decode at start-up.
void BM_Load(benchmark::State &state)
{
    Fixture &fixture = Fixture::get();
    for (auto _ : state) {
        Store store(fixture.dir.path());
        if (store.conversations().size() != conversationCount)
            state.SkipWithError("load failed");
    }
    report(state, fixture.bytes.size());
}

} // namespace

BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
