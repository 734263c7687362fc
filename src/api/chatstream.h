// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapierror.h"
#include "api/linesplitter.h"
#include "api/toolcallgatherer.h"
#include "model/records.h"

#include <QByteArray>
#include <QObject>

#include <optional>

class GatewayRequest;
class QNetworkReply;

/**
 * The reply to one chat-completions request, read as an event stream; ChatAPI::streamChat()
 * makes both.
 *
 * It lives on the main thread. delta() is emitted once per non-empty text fragment and
 * reasoningDelta() once per non-empty fragment of the model's reasoning (before the text of the
 * same event), in arrival order; the next line is read only after the handlers return.
 * Tool calls are gathered quietly and read with toolCalls() once the stream has ended; a
 * reply that holds only calls is not empty.
 * finished() is emitted exactly once and always from the event loop, never from inside
 * streamChat(), cancel() or a delta handler, so a caller may connect after streamChat() has
 * returned. Its argument is empty for a normal end ("[DONE]" or the end of the body) after at
 * least one fragment, and holds the failure otherwise: an error the gateway sends inside the
 * stream, or a stream without any fragment, ends it as a failure too. No delta follows cancel()
 * or any other end.
 *
 * The caller owns the stream: delete it with deleteLater(), never from inside one of its
 * signals. Destroying a running stream aborts the request without emitting finished().
 */
class ChatStream : public QObject
{
    Q_OBJECT

public:
    /// A successful reply's line is dropped beyond this length (its rest is read and dropped).
    static constexpr qsizetype maxLineLength = 16 * 1024 * 1024;

    /// Reads the reply of request, which it takes over; request may be sent before or after.
    explicit ChatStream(GatewayRequest *request, QObject *parent = nullptr);
    ~ChatStream() override;

    /// The request has ended (finished() is emitted or on its way).
    bool isFinished() const { return m_finished; }
    /// The outcome once isFinished(): empty for a normal end.
    const std::optional<ChatAPIError> &error() const { return m_error; }
    /// What the gateway said the reply cost, from the last event that said it; empty when
    /// none did. Gateways send it unasked, most often with the last choice or in an event of
    /// its own.
    const TokenUsage &usage() const { return m_usage; }
    /// The tools the model called, gathered from the deltas so far.
    QList<ToolCall> toolCalls() const { return m_toolCalls.calls(); }

public slots:
    /// The user's stop: aborts the request; the stream ends with ChatAPIError::cancelled().
    /// Does nothing once the stream has ended.
    void cancel();

signals:
    void delta(const QString &text);
    void reasoningDelta(const QString &text);
    void finished(const std::optional<ChatAPIError> &error);

private:
    void finish(std::optional<ChatAPIError> error);

    QNetworkReply *reply() const;
    void onReadyRead();
    void onReplyFinished();
    void decideMode();
    /// Handles every complete line; false when the stream ended meanwhile (or was destroyed:
    /// then no member may be touched).
    bool processLines();
    /// Reads what has arrived; false when that ended the stream (a full error body).
    bool readBody();
    /// The connection ended before the announced body length arrived.
    bool isCutShort() const;
    bool handleLine(const LineSplitter::Line &line);
    QString errorBodyText() const;
    /// The failure of a reply with an error status, with the wait the gateway asked for.
    ChatAPIError httpError() const;
    /// The end at "[DONE]" or at the end of the body.
    void finishNormally();

    enum class Mode { Undecided, Events, ErrorBody };

    GatewayRequest *m_request;
    Mode m_mode = Mode::Undecided;
    int m_status = 0;
    std::optional<LineSplitter> m_lines; // the lines of a successful reply
    QByteArray m_errorBody;
    qint64 m_received = 0; // body bytes read so far
    bool m_finished = false;
    bool m_gotFragment = false; // a text or reasoning fragment has been emitted
    bool m_errorEvent = false;  // the current event was announced as "event: error"
    std::optional<ChatAPIError> m_error;
    TokenUsage m_usage;
    ToolCallGatherer m_toolCalls;
};
