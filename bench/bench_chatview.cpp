// SPDX-License-Identifier: GPL-3.0-or-later
// The chat pane while a long reply streams in: the shared 100 KB reply (every block kind),
// delta by delta (about 3,100), appended to its placeholder through the Store as the reply
// stream does, into a real ChatView in an offscreen window. Each delta is timed on the main
// thread from the append to the end of the frame that shows it: model, bindings, layout,
// scroll to the end, scene graph sync and (software) rendering, one frame per delta.
//
// Reported: the median and 95th percentile per delta, and the mean of the last tenth of the
// deltas against the first tenth (does the cost grow with the length of the reply?). Times are
// the main thread's CPU time, so other processes on the machine do not count.
#include "app/qmltypes.h"
#include "benchinputs.h"
#include "store/store.h"

#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <numeric>
#include <vector>

namespace {

/// CPU time of the calling (main) thread in milliseconds.
double threadMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double mean(const std::vector<double> &v, size_t from, size_t to)
{
    return std::accumulate(v.begin() + qsizetype(from), v.begin() + qsizetype(to), 0.0) /
           double(to - from);
}

void BM_StreamReplyIntoChatView(benchmark::State &state)
{
    const QStringList parts = BenchInputs::deltas();
    std::vector<double> ms;
    for (auto _ : state) {
        ms.clear();
        ms.reserve(size_t(parts.size()));

        QTemporaryDir dir;
        QmlStore store(dir.path());
        StoreForeign::setInstance(&store);
        store.newConversation();
        const QUuid conv = *store.selectedID();
        store.appendMessage(conv,
                            Message::make(Message::Role::User,
                                          QStringLiteral("请完整介绍流式渲染，用上所有格式。")));
        const Message reply = Message::make(Message::Role::Assistant, QString());
        store.appendMessage(conv, reply);

        QQuickView view;
        view.engine()->addImportPath(QStringLiteral("qrc:/"));
        view.setInitialProperties({{QStringLiteral("conversationID"), canonicalUuidString(conv)}});
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        // The chat pane of a 980 x 680 window beside its 240-point sidebar.
        view.resize(740, 680);
        view.setSource(QUrl(QStringLiteral("qrc:/Corvane/chat/ChatView.qml")));
        if (view.status() != QQuickView::Ready)
            qFatal("ChatView did not load");
        // Each delta is handled inside an event loop, as in the program, so that what the
        // view lets go of with deleteLater() is deleted as it would be there.
        auto frameAfter = [&view](const std::function<void()> &change) {
            QEventLoop loop;
            QObject::connect(&view, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
            if (change)
                QTimer::singleShot(0, &loop, change);
            loop.exec();
        };
        view.show();
        frameAfter({});

        for (const QString &delta : parts) {
            const double start = threadMs();
            frameAfter([&] {
                store.appendToMessage(conv, reply.id, delta);
                // A delta that changes nothing visible still ends in a frame.
                view.update();
            });
            ms.push_back(threadMs() - start);
        }
        StoreForeign::setInstance(nullptr);
    }

    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const size_t tenth = n / 10;
    const double first = mean(ms, 0, tenth);
    const double last = mean(ms, n - tenth, n);
    state.counters["deltas"] = double(n);
    state.counters["median_ms"] = sorted[n / 2];
    state.counters["p95_ms"] = sorted[std::min(n - 1, n * 95 / 100)];
    state.counters["max_ms"] = sorted.back();
    state.counters["first10_ms"] = first;
    state.counters["last10_ms"] = last;
    state.counters["last/first"] = last / first;
}
BENCHMARK(BM_StreamReplyIntoChatView)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // Frames are drawn on the main thread by the software renderer, so the time per delta
    // includes the drawing, and a frame is drawn as soon as it is asked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
