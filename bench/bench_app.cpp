// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program with a heavy user's data: the window main() builds (same style, Store,
// engine and Main.qml), offscreen with the software renderer, over the 10,000 conversations of
// LargeData plus one of 2,000 messages. Frames are drawn on the main thread, so a frame's time
// is everything the user waits for: model, bindings, layout, scene graph and drawing.
//
//   bench_app startup DIR T0   one start of a fresh process on DIR/data.json: the time from T0
//                              (CLOCK_REALTIME in ns, read by the caller just before it started
//                              this process) to the first frame of the main window, by phase
//   bench_app session DIR      one session on DIR/data.json (which it changes): memory idle and
//                              with the long conversation open, switching conversations,
//                              scrolling both lists, a Settings keystroke, a save, a 1 MB reply
//   bench_app longreply DIR    a start on DIR/data.json, written first: one conversation whose
//                              reply is the shared reply 40 times over (4 MB), opened at start:
//                              the time until the window is drawn and idle, and the memory
//   bench_app codeblock DIR [KB]  the same with a reply that is one code block of KB
//                              kilobytes (1,000 unless given), then that block streamed into a
//                              new reply, 32 deltas a frame
//   bench_app codeline DIR [KB]   the same with a code block of one line of minified JSON
//                              (300 KB unless given)
//   bench_app                  a session on freshly generated data (as bench/run.sh runs it)
//
// Each figure is printed as one line "name<TAB>value<TAB>unit". Times are wall-clock ("ms")
// and, where the machine's load could distort them, the main thread's CPU time ("cpu_ms").
#include "app/qmltypes.h"
#include "app/settingsform.h"
#include "app/startup.h"
#include "benchinputs.h"
#include "chat/deltacoalescer.h"
#include "largedata.h"
#include "store/store.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace {

double clockMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
double wallMs()
{
    return clockMs(CLOCK_MONOTONIC);
}
double cpuMs()
{
    return clockMs(CLOCK_THREAD_CPUTIME_ID);
}

void figure(const char *name, double value, const char *unit)
{
    std::printf("%s\t%.3f\t%s\n", name, value, unit);
    std::fflush(stdout);
}

/// VmRSS of this process in MB.
double residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.simplified().split(' ').value(1).toDouble() / 1024.0;
    }
    return -1;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

/// Prints the median, 95th percentile and maximum of a series of timings. With BENCH_SERIES_DIR
/// set, every value also goes to NAME.txt there, in order, for a look at where the slow ones
/// fall.
void series(const std::string &name, const std::vector<double> &v, const char *unit)
{
    if (const QString dir = qEnvironmentVariable("BENCH_SERIES_DIR"); !dir.isEmpty()) {
        QFile out(dir + u'/' + QString::fromStdString(name) + QStringLiteral(".txt"));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            for (const double x : v)
                out.write(QByteArray::number(x, 'f', 3) + '\n');
        }
    }
    figure((name + "_median").c_str(), percentile(v, 0.5), unit);
    figure((name + "_p95").c_str(), percentile(v, 0.95), unit);
    figure((name + "_max").c_str(), percentile(v, 1.0), unit);
}

QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

/// The program's window, with a way to wait for its next frame.
class App
{
public:
    /// As main(): the file is read on another thread while the engine compiles Main.qml; the
    /// window is made once the Store has the file.
    explicit App(const QString &dataDir)
        : reading(std::async(std::launch::async, [dataDir, this] {
              const double start = wallMs();
              DataFile file = DataFile::read(dataDir);
              readMs = wallMs() - start;
              return file;
          }))
    {
        // The first frame may be drawn while Main.qml is still being loaded: catch the window
        // as soon as it is shown.
        watcher.callback = [this](QQuickWindow *w) {
            if (window)
                return;
            window = w;
            QObject::connect(
                w, &QQuickWindow::frameSwapped, w,
                [this] {
                    swapped = true;
                    if (firstFrame < 0)
                        firstFrame = wallMs();
                    if (waiting)
                        waiting->quit();
                },
                Qt::DirectConnection);
        };
        qApp->installEventFilter(&watcher);
        StartUp::prepareEngine(engine);
        const QUrl mainQml(QStringLiteral("qrc:/Corvane/app/Main.qml"));
        QQmlComponent mainComponent(&engine, mainQml);
        compiled = wallMs();
        StartUp::prepareFirstFrame([this] {
            return reading.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        });
        store.emplace(reading.get());
        StoreForeign::setInstance(&*store);
        storeLoaded = wallMs();
        root = StartUp::createWindow(mainComponent);
        if (!root)
            qFatal("Main.qml did not load");
        loaded = wallMs();
    }
    ~App() { StoreForeign::setInstance(nullptr); }

    /// Runs an event loop until the window has drawn a frame it had not drawn before; `first`
    /// runs inside it. The program does all its work inside its event loop, and so must the
    /// bench: objects it lets go of with deleteLater(), as lists do with their delegates, are
    /// deleted only there. (Work done outside any loop would keep them all, and with them a
    /// script heap many times the program's, whose collections would then cost many times
    /// more.)
    void waitForFrame(const std::function<void()> &first = {})
    {
        if (!swapped || first) {
            QEventLoop loop;
            waiting = &loop;
            QTimer::singleShot(60'000, &loop, [] { qFatal("no frame for a minute"); });
            if (first)
                QTimer::singleShot(0, &loop, first);
            loop.exec();
            waiting = nullptr;
        }
        swapped = false;
    }

    /// Runs `change` in the event loop, then waits for the frame that shows it; returns
    /// {wall ms, CPU ms}.
    std::pair<double, double> timeFrame(const std::function<void()> &change)
    {
        swapped = false;
        const double wall = wallMs();
        const double cpu = cpuMs();
        waitForFrame([this, &change] {
            change();
            window->update(); // a frame even if the change needed none
        });
        return {wallMs() - wall, cpuMs() - cpu};
    }

    void settle(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        swapped = false;
    }

    QQuickItem *item(const QString &name) { return findItem(window->contentItem(), name); }

    struct Watcher : QObject
    {
        std::function<void(QQuickWindow *)> callback;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Show) {
                if (auto *w = qobject_cast<QQuickWindow *>(o))
                    callback(w);
            }
            return false;
        }
    } watcher;
    double readMs = -1; ///< reading and decoding the file, on the other thread
    std::future<DataFile> reading;
    std::optional<QmlStore> store; ///< outlives the engine's objects
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> root; ///< the window, as made; `window` is the one shown
    double compiled = -1;
    double storeLoaded = -1;
    QQuickWindow *window = nullptr;
    bool swapped = false;
    QEventLoop *waiting = nullptr; ///< the loop waitForFrame() runs
    double loaded = -1;
    double firstFrame = -1;
};

/// What streaming a reply cost, frame by frame.
struct Streamed
{
    std::vector<double> wall; ///< each batch of deltas until the frame that shows it
    std::vector<double> cpu;  ///< the same, the main thread's CPU time
    /// The main thread's CPU time from one frame's end to the next. A change is timed until
    /// the frame that shows it, and work a frame leaves for the next ones (a view made later)
    /// runs in the same wait; this series shows each frame.
    std::vector<double> eachFrame;
    int mostChanges = 0; ///< model changes in one frame, at most
    double total = 0;    ///< ms, all of it
};

/// Streams `parts` into the reply, 32 deltas a frame, as a fast gateway delivers them. The
/// deltas take the program's path to the Store; the bench's frames stand for the coalescer's,
/// which hands over what a frame gathered.
Streamed stream(App &app, const QUuid &conversation, const QUuid &reply, const QStringList &parts)
{
    constexpr int perFrame = 32;
    Streamed out;
    DeltaCoalescer coalescer(&*app.store, conversation, reply);
    int changes = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&*app.store, &Store::messageContentChanged, [&changes] { ++changes; });
    double lastSwap = cpuMs();
    const QMetaObject::Connection swaps = QObject::connect(
        app.window, &QQuickWindow::frameSwapped, app.window,
        [&out, &lastSwap] {
            const double now = cpuMs();
            out.eachFrame.push_back(now - lastSwap);
            lastSwap = now;
        },
        Qt::DirectConnection);
    const double start = wallMs();
    for (qsizetype at = 0; at < parts.size(); at += perFrame) {
        changes = 0;
        const auto [w, c] = app.timeFrame([&] {
            for (qsizetype k = at; k < qMin(at + perFrame, parts.size()); ++k)
                coalescer.appendText(parts.at(k));
            coalescer.flush();
        });
        out.mostChanges = std::max(out.mostChanges, changes);
        out.wall.push_back(w);
        out.cpu.push_back(c);
    }
    out.total = wallMs() - start;
    QObject::disconnect(counting);
    QObject::disconnect(swaps);
    return out;
}

/// A new conversation asking for a long answer, and the empty reply that will hold it.
std::pair<QUuid, QUuid> newReply(App &app)
{
    app.timeFrame([&app] { app.store->newConversation(); });
    const QUuid conversation = *app.store->selectedID();
    const Message reply = Message::make(Message::Role::Assistant, QString());
    app.timeFrame([&app, conversation, reply] {
        app.store->appendMessage(conversation,
                                 Message::make(Message::Role::User, QStringLiteral("写长一点。")));
        app.store->appendMessage(conversation, reply);
    });
    return {conversation, reply.id};
}

/// Waits until the window is drawn and idle: no frame within half a second of the last one.
/// Returns the wall and CPU time from `start` and `cpuStart` to that last frame.
std::pair<double, double> untilIdle(App &app, double start, double cpuStart)
{
    double lastFrame = wallMs();
    double lastCpu = cpuMs();
    while (wallMs() - lastFrame < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        if (app.swapped) {
            app.swapped = false;
            lastFrame = wallMs();
            lastCpu = cpuMs();
        }
    }
    return {lastFrame - start, lastCpu - cpuStart};
}

/// Leaves a message list where the bench puts it, as the user's own scrolling does: it no
/// longer keeps to its end.
void stopFollowing(QQuickItem *messages)
{
    QObject *follower = messages->findChild<QObject *>(QStringLiteral("listFollower"));
    if (!follower)
        qFatal("no list follower");
    follower->setProperty("following", false);
}

/// Reads the open conversation from where it is towards its start, 600 px a frame, 300 frames:
/// the main thread's CPU time of each.
std::vector<double> scrollUp(App &app)
{
    QQuickItem *messages = app.item(QStringLiteral("messageList"));
    if (!messages)
        qFatal("no message list");
    stopFollowing(messages);
    std::vector<double> cpu;
    for (int i = 0; i < 300; ++i) {
        const auto [w, c] = app.timeFrame([messages] {
            messages->setProperty("contentY", messages->property("contentY").toReal() - 600);
        });
        Q_UNUSED(w);
        cpu.push_back(c);
    }
    return cpu;
}

int startup(const QString &dir, double t0, double enteredMain)
{
    const double appMade = wallMs();
    App app(dir);
    while (app.firstFrame < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    // T0 is CLOCK_REALTIME; the rest is monotonic: convert once.
    const double offset = clockMs(CLOCK_REALTIME) - wallMs();
    const double start = t0 - offset;
    figure("start_process_to_main", enteredMain - start, "ms");
    figure("start_main_to_application", appMade - enteredMain, "ms");
    figure("start_qml_compile", app.compiled - appMade, "ms");
    figure("start_read_decode", app.readMs, "ms");
    // The main thread's wait for the file, once Main.qml is compiled.
    figure("start_store_load", app.storeLoaded - app.compiled, "ms");
    figure("start_qml_load", app.loaded - app.storeLoaded, "ms");
    figure("start_loaded_to_first_frame", app.firstFrame - app.loaded, "ms");
    figure("start_to_first_frame", app.firstFrame - start, "ms");
    app.settle(1000);
    figure("rss_idle", residentMB(), "MB");
    return 0;
}

int session(const QString &dir)
{
    const double loadStart = wallMs();
    App app(dir);
    app.waitForFrame();
    figure("session_load_to_first_frame", wallMs() - loadStart, "ms");
    app.settle(1000);
    figure("rss_idle", residentMB(), "MB");

    const QList<Conversation> &all = app.store->conversations();
    qsizetype longIndex = -1;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all.at(i).title == LargeData::longTitle())
            longIndex = i;
    }
    if (longIndex < 0)
        qFatal("the data has no long conversation");
    const QUuid longID = all.at(longIndex).id;
    auto select = [&app](const QUuid &id) { return [&app, id] { app.store->setSelectedID(id); }; };

    // Switching between ordinary conversations, then to the long one and back.
    std::vector<double> wall, cpu;
    for (int i = 2; i < 42; ++i) {
        const auto [w, c] = app.timeFrame(select(all.at(i * 97).id));
        wall.push_back(w);
        cpu.push_back(c);
    }
    series("switch_conversation", wall, "ms");
    series("switch_conversation_cpu", cpu, "cpu_ms");
    wall.clear();
    cpu.clear();
    for (int i = 0; i < 5; ++i) {
        app.timeFrame(select(all.at(3 + i).id));
        const auto [w, c] = app.timeFrame(select(longID));
        wall.push_back(w);
        cpu.push_back(c);
    }
    series("switch_to_long_conversation", wall, "ms");
    series("switch_to_long_conversation_cpu", cpu, "cpu_ms");
    app.settle(1000);
    figure("rss_long_conversation_open", residentMB(), "MB");

    // Scrolling the long conversation upwards from its end, 120 px a frame, as a wheel does.
    QQuickItem *messages = app.item(QStringLiteral("messageList"));
    if (!messages)
        qFatal("no message list");
    stopFollowing(messages);
    wall.clear();
    cpu.clear();
    for (int i = 0; i < 400; ++i) {
        const auto [w, c] = app.timeFrame([messages] {
            messages->setProperty("contentY", messages->property("contentY").toDouble() - 120);
        });
        wall.push_back(w);
        cpu.push_back(c);
    }
    series("scroll_messages", wall, "ms");
    series("scroll_messages_cpu", cpu, "cpu_ms");
    {
        const auto [w, c] = app.timeFrame(
            [messages] { QMetaObject::invokeMethod(messages, "positionViewAtBeginning"); });
        figure("jump_messages_to_start", w, "ms");
        figure("jump_messages_to_start_cpu", c, "cpu_ms");
    }

    // Scrolling the sidebar of 10,001 conversations, 120 px a frame, then to its end.
    QQuickItem *sidebar = app.item(QStringLiteral("conversationList"));
    if (!sidebar)
        qFatal("no sidebar list");
    wall.clear();
    cpu.clear();
    for (int i = 0; i < 400; ++i) {
        const auto [w, c] = app.timeFrame([sidebar] {
            sidebar->setProperty("contentY", sidebar->property("contentY").toDouble() + 120);
        });
        wall.push_back(w);
        cpu.push_back(c);
    }
    series("scroll_sidebar", wall, "ms");
    series("scroll_sidebar_cpu", cpu, "cpu_ms");
    {
        const auto [w, c] =
            app.timeFrame([sidebar] { QMetaObject::invokeMethod(sidebar, "positionViewAtEnd"); });
        figure("jump_sidebar_to_end", w, "ms");
        figure("jump_sidebar_to_end_cpu", c, "cpu_ms");
    }

    // Typing in the Settings window: each keystroke sets the settings; the file is written
    // once typing pauses.
    SettingsForm form;
    form.setStore(&*app.store);
    wall.clear();
    cpu.clear();
    QString prompt = form.systemPrompt();
    for (const QChar ch : QStringLiteral("请用简洁的中文回答 answer briefly")) {
        prompt += ch;
        const double w = wallMs();
        const double c = cpuMs();
        form.setSystemPrompt(prompt);
        wall.push_back(wallMs() - w);
        cpu.push_back(cpuMs() - c);
    }
    series("settings_keystroke", wall, "ms");
    {
        const double w = wallMs();
        form.flush();
        figure("settings_save_after_typing", wallMs() - w, "ms");
    }

    // The save at the end of every reply: the main thread's share (the state handed to the
    // worker), then the whole write.
    wall.clear();
    std::vector<double> written;
    for (int i = 0; i < 5; ++i) {
        const double w = wallMs();
        app.store->save();
        wall.push_back(wallMs() - w);
        app.store->flush();
        written.push_back(wallMs() - w);
    }
    figure("save_median", percentile(wall, 0.5), "ms");
    figure("save_max", percentile(wall, 1.0), "ms");
    figure("save_written_median", percentile(written, 0.5), "ms");
    figure("data_json_size", double(QFile(app.store->fileURL()).size()) / 1e6, "MB");

    figure("rss_before_1mb_reply", residentMB(), "MB");
    // A 1 MB reply into a new conversation: the shared reply ten times over, in its ~31,000
    // deltas, 32 of them per frame as a fast gateway delivers them; then single deltas at 1 MB.
    const auto [conv, replyID] = newReply(app);
    const QStringList once = BenchInputs::deltas();
    QStringList parts;
    for (int i = 0; i < 10; ++i)
        parts += once;
    const Streamed streamed = stream(app, conv, replyID, parts);
    wall = streamed.wall;
    cpu = streamed.cpu;
    figure("reply_1mb_total", streamed.total, "ms");
    figure("reply_1mb_frames_drawn", double(streamed.eachFrame.size()), "frames");
    series("reply_1mb_each_frame_cpu", streamed.eachFrame, "cpu_ms");
    figure("reply_1mb_changes_per_frame_max", streamed.mostChanges, "changes");
    figure("reply_1mb_bytes", app.store->message(conv, replyID)->content.toUtf8().size() / 1e6,
           "MB");
    series("reply_1mb_frame", wall, "ms");
    series("reply_1mb_frame_cpu", cpu, "cpu_ms");
    const size_t tenth = cpu.size() / 10;
    series("reply_1mb_frame_cpu_first_tenth",
           std::vector<double>(cpu.begin(), cpu.begin() + qsizetype(tenth)), "cpu_ms");
    series("reply_1mb_frame_cpu_last_tenth",
           std::vector<double>(cpu.end() - qsizetype(tenth), cpu.end()), "cpu_ms");
    // Single deltas at the end of it, one frame each: the first 600 of the shared reply once
    // more (a heading, three tables, paragraphs, a list). The first 50, the heading and the
    // tables, were the whole sample in earlier runs; they are given on their own too.
    constexpr int singleDeltas = 600;
    const auto singles = [&app, &once](const QUuid &c, const QUuid &m) {
        std::vector<double> times;
        for (int i = 0; i < singleDeltas; ++i) {
            const auto [w, t] =
                app.timeFrame([&] { app.store->appendToMessage(c, m, once.at(i)); });
            Q_UNUSED(w);
            times.push_back(t);
        }
        return times;
    };
    // They start a new block, as they do at the start of a reply below: the shared reply does
    // not end with a blank line.
    app.timeFrame([&] { app.store->appendToMessage(conv, replyID, u"\n\n"); });
    cpu = singles(conv, replyID);
    series("delta_at_1mb_cpu", cpu, "cpu_ms");
    series("delta_at_1mb_first50_cpu", std::vector<double>(cpu.begin(), cpu.begin() + 50),
           "cpu_ms");
    // The same with a save in flight: the delta copies the list of conversations and the
    // reply once, as long as the worker holds the state.
    cpu.clear();
    for (int i = 0; i < 20; ++i) {
        app.store->save();
        const auto [w, c] =
            app.timeFrame([&] { app.store->appendToMessage(conv, replyID, once.at(i)); });
        Q_UNUSED(w);
        cpu.push_back(c);
        app.store->flush();
    }
    series("delta_at_1mb_save_in_flight_cpu", cpu, "cpu_ms");
    figure("rss_after_1mb_reply", residentMB(), "MB");

    // The same deltas at the start of a new reply: what a megabyte before them adds.
    const auto [fresh, freshReply] = newReply(app);
    cpu = singles(fresh, freshReply);
    series("delta_at_start_cpu", cpu, "cpu_ms");
    series("delta_at_start_first50_cpu", std::vector<double>(cpu.begin(), cpu.begin() + 50),
           "cpu_ms");
    return 0;
}

/// Writes DIR/data.json with one conversation whose reply is `reply`, starts on it (the
/// conversation opens at start) and prints, under `name`: the reply's size, the first frame, the
/// time until the window is drawn and idle, the memory, and reading it from its end upwards.
/// With `shown`, also the time until the first frame that has an item of one of these names (a
/// code block's text: plain, its colours may follow).
std::unique_ptr<App> openStored(const QString &dir, const QString &title, const QString &reply,
                                const std::string &name, const QStringList &shown = {})
{
    AppData data;
    Conversation conversation = Conversation::make();
    conversation.title = title;
    conversation.messages.append(Message::make(Message::Role::User, QStringLiteral("写长一点。")));
    conversation.messages.append(Message::make(Message::Role::Assistant, reply));
    data.conversations.append(conversation);
    if (LargeData::write(dir, data) < 0)
        qFatal("cannot write the data");
    figure((name + "_bytes").c_str(), double(reply.toUtf8().size()) / 1e6, "MB");

    const double start = wallMs();
    const double cpuStart = cpuMs();
    auto app = std::make_unique<App>(dir);
    app->waitForFrame();
    figure((name + "_first_frame").c_str(), wallMs() - start, "ms");
    if (!shown.isEmpty()) {
        const auto anyShown = [&app, &shown] {
            return std::any_of(shown.cbegin(), shown.cend(),
                               [&app](const QString &item) { return app->item(item); });
        };
        while (!anyShown())
            app->waitForFrame();
        figure((name + "_text_drawn").c_str(), wallMs() - start, "ms");
    }
    const auto [idle, idleCpu] = untilIdle(*app, start, cpuStart);
    figure((name + "_drawn_and_idle").c_str(), idle, "ms");
    figure((name + "_drawn_and_idle_cpu").c_str(), idleCpu, "cpu_ms");
    app->settle(1000);
    figure(("rss_" + name + "_open").c_str(), residentMB(), "MB");
    series(name + "_scroll_cpu", scrollUp(*app), "cpu_ms");
    return app;
}

int longReply(const QString &dir)
{
    const QString once = BenchInputs::reply();
    QString text;
    for (int i = 0; i < 40; ++i)
        text += once + QStringLiteral("\n\n");
    const std::unique_ptr<App> app =
        openStored(dir, QStringLiteral("很长的回答"), text, "long_reply");
    app->settle(1000);
    figure("rss_long_reply_scrolled", residentMB(), "MB");
    return 0;
}

/// The code lines of the shared reply's C++ blocks, over and over, as one fenced block of
/// about `bytes` of UTF-8.
QString longCodeBlock(qsizetype bytes)
{
    QStringList lines;
    bool inCpp = false;
    for (const QString &line : BenchInputs::reply().split(u'\n')) {
        if (line.startsWith(u"```"))
            inCpp = !inCpp && line == u"```cpp";
        else if (inCpp)
            lines << line;
    }
    const QString code = lines.join(u'\n') + u'\n';
    QString text = QStringLiteral("```cpp\n");
    while (text.size() < bytes)
        text += code;
    return text + QStringLiteral("```");
}

/// One line of minified JSON of about `bytes` of UTF-8, as one fenced block.
QString longCodeLine(qsizetype bytes)
{
    QString text = QStringLiteral("```json\n[");
    for (int i = 0; text.size() < bytes; ++i)
        text += QStringLiteral("{\"id\":%1,\"name\":\"item-%1\",\"tags\":[\"a\",\"b\"],"
                               "\"score\":%2,\"ok\":true},")
                    .arg(i)
                    .arg(i % 97 * 0.5);
    return text + QStringLiteral("{}]\n```");
}

/// The same text cut as the shared reply's deltas are, their lengths over and over.
QStringList cutLikeDeltas(const QString &text)
{
    const QStringList shared = BenchInputs::deltas();
    QStringList parts;
    qsizetype at = 0;
    for (qsizetype i = 0; at < text.size(); ++i) {
        const qsizetype n = std::max<qsizetype>(1, shared.at(i % shared.size()).size());
        parts << text.mid(at, n);
        at += n;
    }
    return parts;
}

int codeBlock(const QString &dir, const QString &code)
{
    // One block that culling cannot split: code in one fence, stored and opened at start, then
    // streamed into a new reply.
    const std::unique_ptr<App> stored =
        openStored(dir, QStringLiteral("很长的代码"), code, "code_block",
                   {QStringLiteral("codeText"), QStringLiteral("codePiece")});
    App &app = *stored;

    app.settle(1000);
    const double rssBefore = residentMB();
    const auto [fresh, replyID] = newReply(app);
    const Streamed streamed = stream(app, fresh, replyID, cutLikeDeltas(code));
    figure("code_block_streamed_total", streamed.total, "ms");
    series("code_block_streamed_frame_cpu", streamed.eachFrame, "cpu_ms");
    const std::vector<double> &frames = streamed.cpu;
    series("code_block_streamed_first_tenth_cpu",
           std::vector<double>(frames.begin(), frames.begin() + qsizetype(frames.size() / 10)),
           "cpu_ms");
    series("code_block_streamed_last_tenth_cpu",
           std::vector<double>(frames.end() - qsizetype(frames.size() / 10), frames.end()),
           "cpu_ms");
    app.settle(1000);
    figure("rss_code_block_streamed_adds", residentMB() - rssBefore, "MB");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const double enteredMain = wallMs();
    // As bench_chatview: frames drawn on the main thread by the software renderer, each as
    // soon as it is asked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The text zoom setting stays out of the user's configuration.
    QStandardPaths::setTestModeEnabled(true);

    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Corvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Corvane"));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    // A blinking text cursor would draw a frame every half second, and the window never idle.
    QGuiApplication::styleHints()->setCursorFlashTime(0);

    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == u"startup")
        return startup(args.at(2), args.at(3).toDouble() / 1e6, enteredMain);
    if (args.size() == 3 && args.at(1) == u"session")
        return session(args.at(2));
    if (args.size() == 3 && args.at(1) == u"longreply")
        return longReply(args.at(2));
    if ((args.size() == 3 || args.size() == 4) && args.at(1) == u"codeblock")
        return codeBlock(args.at(2), longCodeBlock(args.size() == 4 ? args.at(3).toLongLong() * 1000
                                                                    : 1'000'000));
    if ((args.size() == 3 || args.size() == 4) && args.at(1) == u"codeline")
        return codeBlock(args.at(2),
                         longCodeLine(args.size() == 4 ? args.at(3).toLongLong() * 1000 : 300'000));
    if (args.size() == 1) {
        QTemporaryDir dir;
        if (LargeData::write(dir.path(), LargeData::generate(2000)) < 0)
            qFatal("cannot write the data");
        return session(dir.path());
    }
    std::fprintf(stderr, "usage: bench_app [startup DIR T0_NS | session DIR | longreply DIR | "
                         "codeblock DIR [KB] | codeline DIR [KB]]\n");
    return 2;
}
