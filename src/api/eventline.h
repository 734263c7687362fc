// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QByteArrayView>
#include <QJsonArray>
#include <QString>

/// What one line of a successful reply means to the client.
struct StreamEvent
{
    enum Kind {
        Ignored,
        Text,   ///< a delta: text and reasoning, either of them possibly empty
        Done,   ///< the end marker
        Broken, ///< a data line that is not JSON
        Error,  ///< the gateway reports a failure; text holds its message
        Event,  ///< an "event:" line; text holds the event's name
    };
    Kind kind = Ignored;
    QString text;
    QString reasoning;
    /// The "usage" object of an event, whatever else the event holds; empty when it has none.
    TokenUsage usage;
    /// The delta's "tool_calls" fragments; a Text event may carry only these.
    QJsonArray toolCalls;
};

/**
 * One line of a successful reply: a "data:" line carries either the end marker or one JSON
 * event; only the first choice's delta is used (its content, its reasoning_content or
 * reasoning, and its tool_calls), everything else is ignored. An object with a top-level "error"
 * reports a failure whatever else it holds. A "usage" object is read from any event that is not a
 * failure. After an "event: error" line (afterErrorEvent), any data line but the end marker is a
 * failure, its text the message it holds or the data itself.
 */
StreamEvent parseEventLine(QByteArrayView line, bool afterErrorEvent = false);
