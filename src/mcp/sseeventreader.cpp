// SPDX-License-Identifier: GPL-3.0-or-later
#include "sseeventreader.h"

std::optional<SseEventReader::Event> SseEventReader::next()
{
    while (const std::optional<LineSplitter::Line> line = m_lines.next()) {
        if (line->truncated) {
            m_event.oversized = true;
            continue;
        }
        if (!line->bytes.isEmpty()) {
            field(line->bytes);
            continue;
        }
        // A blank line ends the event.
        const bool dispatch = m_hasData || m_event.oversized;
        Event event = std::move(m_event);
        reset();
        if (!dispatch)
            continue;
        if (event.oversized)
            event.data.clear();
        else
            event.data.chop(1); // the LF after the last data line
        return event;
    }
    return std::nullopt;
}

void SseEventReader::field(const QByteArray &line)
{
    if (line.startsWith(':'))
        return;
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView name =
        colon < 0 ? QByteArrayView(line) : QByteArrayView(line).first(colon);
    QByteArrayView value;
    if (colon >= 0) {
        value = QByteArrayView(line).sliced(colon + 1);
        if (value.startsWith(' '))
            value = value.sliced(1);
    }
    if (name == "data") {
        if (m_event.oversized)
            return;
        if (m_event.data.size() + value.size() + 1 > m_maxEvent) {
            m_event.oversized = true;
            m_event.data.clear();
            return;
        }
        m_event.data.append(value).append('\n');
        m_hasData = true;
    } else if (name == "event") {
        m_event.name = value.isEmpty() ? QByteArray("message") : value.toByteArray();
    } else if (name == "id") {
        if (!value.contains('\0'))
            m_lastEventId = value.toByteArray();
    } else if (name == "retry") {
        bool ok = false;
        const int ms = value.toByteArray().toInt(&ok);
        // Digits only; an absurd delay is not a reason to wait for ever.
        if (ok && ms >= 0 && !value.startsWith('+'))
            m_retryMs = qMin(ms, 60'000);
    }
}

void SseEventReader::reset()
{
    m_event = Event();
    m_hasData = false;
}
