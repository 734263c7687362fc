// SPDX-License-Identifier: GPL-3.0-or-later
// One chat request run to its end, for the API and network tests.
#pragma once

#include "api/chatapi.h"

#include <QEventLoop>
#include <QTimer>

struct StreamOutcome
{
    QStringList deltas;
    QString error; // the error's description; null on success
    QString kind;  // the error's kind as kept beside a failed reply
    QStringList reasoning;
    TokenUsage usage;
    QList<ToolCall> toolCalls;
};

// cancelAfter cancels from inside the n-th delta handler (0: right after the call). The
// handlers are connected only after streamChat() returns, so an outcome emitted from inside the
// call is lost and fails the test.
inline StreamOutcome runStream(const ChatAPI &api, int cancelAfter = -1,
                               const QList<Message> &messages = {
                                   Message::make(Message::Role::User, QStringLiteral("你好"))})
{
    StreamOutcome out;
    bool finished = false;
    ChatStream *stream = api.streamChat(messages);
    QObject::connect(stream, &ChatStream::delta, stream, [&, stream](const QString &text) {
        out.deltas.append(text);
        if (out.deltas.size() == cancelAfter)
            stream->cancel();
    });
    QObject::connect(stream, &ChatStream::reasoningDelta, stream,
                     [&](const QString &text) { out.reasoning.append(text); });
    QEventLoop loop;
    QObject::connect(stream, &ChatStream::finished, stream,
                     [&, stream](const std::optional<ChatAPIError> &error) {
                         if (error) {
                             out.error = error->description();
                             out.kind = error->kindCode();
                         }
                         out.usage = stream->usage();
                         out.toolCalls = stream->toolCalls();
                         finished = true;
                         loop.quit();
                     });
    if (cancelAfter == 0)
        stream->cancel();
    QTimer::singleShot(std::chrono::seconds(20), &loop, &QEventLoop::quit); // a hang fails
    loop.exec();
    if (!finished)
        out.error = QStringLiteral("the stream did not finish");
    delete stream;
    return out;
}
