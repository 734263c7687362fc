// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/linesplitter.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

/**
 * Assembles the events of a text/event-stream body that arrives in arbitrary pieces.
 *
 * An event is the "event:" and "data:" fields up to a blank line; several data lines join with
 * LF; an event without data is not dispatched (a server's priming event carries only its id).
 * "id:" and "retry:" are remembered for reconnecting, comments (":") and unknown fields are
 * ignored. An event whose data grows beyond the limit, or that holds a cut line, comes out
 * flagged with its data dropped, so memory stays bounded however long the stream runs.
 */
class SseEventReader
{
public:
    static constexpr qsizetype defaultMaxEvent = 16 * 1024 * 1024;

    struct Event
    {
        QByteArray name = "message";
        QByteArray data;
        /// The event was too large or held a cut line; data is empty then.
        bool oversized = false;
    };

    explicit SseEventReader(qsizetype maxEvent = defaultMaxEvent)
        : m_lines(maxEvent), m_maxEvent(maxEvent)
    {}

    void append(QByteArrayView bytes) { m_lines.append(bytes); }
    /// The next complete event, or nothing until more data arrives.
    std::optional<Event> next();

    /// The last "id:" seen, which a reconnection sends as Last-Event-ID; empty when none.
    const QByteArray &lastEventId() const { return m_lastEventId; }
    /// The server's reconnection delay in milliseconds, -1 when it gave none.
    int retryMs() const { return m_retryMs; }

private:
    void field(const QByteArray &line);
    void reset();

    LineSplitter m_lines;
    qsizetype m_maxEvent;
    Event m_event;
    bool m_hasData = false;
    QByteArray m_lastEventId;
    int m_retryMs = -1;
};
