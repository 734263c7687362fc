// SPDX-License-Identifier: GPL-3.0-or-later
// Save and load of a large data.json: 10,000 conversations, about 50 MB of mixed Chinese and
// ASCII text, the size a heavy user reaches after years.
#include "model/storagecodec.h"
#include "store/store.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int conversationCount = 10'000;

QString randomText(std::mt19937 &rng, int targetBytes)
{
    static const QString chinese = QStringLiteral(
        "我们今天讨论一下数据存储的格式问题，包括编码、转义与性能。请给出详细的步骤和示例代码。");
    static const QString ascii = QStringLiteral(
        "The quick brown fox jumps over the lazy dog; see https://example.com/docs/api?x=1 "
        "and `code` with \"quotes\"\n");
    QString s;
    int bytes = 0;
    while (bytes < targetBytes) {
        // Runs of either script, as in real replies that mix prose with code and links.
        if (rng() % 2) {
            const int n = 8 + int(rng() % 24);
            s += chinese.mid(int(rng() % (chinese.size() - n)), n);
            bytes += n * 3;
        } else {
            const int n = 16 + int(rng() % 48);
            s += ascii.mid(int(rng() % (ascii.size() - n)), n);
            bytes += n;
        }
    }
    return s;
}

AppData generate()
{
    std::mt19937 rng(20261206);
    AppData data;
    data.settings.apiKey = QStringLiteral("sk-bench");
    data.settings.models = {QStringLiteral("gpt-4o-mini"), QStringLiteral("deepseek/deepseek-r1")};
    data.conversations.reserve(conversationCount);
    for (int i = 0; i < conversationCount; ++i) {
        Conversation c = Conversation::make();
        c.title = randomText(rng, 30);
        c.createdAt = 773020800.0 + i * 3600.123;
        if (i % 3 == 0)
            c.model = QStringLiteral("gpt-4o");
        const int messages = 4 + int(rng() % 5);
        for (int m = 0; m < messages; ++m) {
            const auto role = m % 2 ? Message::Role::Assistant : Message::Role::User;
            c.messages.append(Message::make(role, randomText(rng, m % 2 ? 1200 : 260)));
        }
        data.conversations.append(c);
    }
    return data;
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

// Encode and atomic write of the whole file, as every save does.
void BM_Save(benchmark::State &state)
{
    Fixture &fixture = Fixture::get();
    Store store(fixture.dir.path());
    if (store.conversations().size() != conversationCount)
        state.SkipWithError("load failed");
    for (auto _ : state) {
        if (!store.save())
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
