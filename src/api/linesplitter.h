// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <utility>

/**
 * Cuts a byte stream that arrives in arbitrary pieces into lines.
 *
 * A line ends at LF, at CR LF, or at a CR alone; terminators are not part of the line. Bytes
 * are kept as they are, so a multi-byte character split between two pieces comes out whole.
 * A line longer than the limit is cut to its first maxLength bytes and flagged; the rest of it
 * is dropped while it arrives, so memory stays bounded by about twice the limit.
 */
class LineSplitter
{
public:
    struct Line
    {
        QByteArray bytes;
        bool truncated = false;
    };

    explicit LineSplitter(qsizetype maxLength) : m_maxLength(maxLength) {}

    void append(QByteArrayView data);
    /// The next complete line, or nothing until more data arrives.
    std::optional<Line> next();
    /// At the end of the stream: the last line when it had no terminator.
    std::optional<Line> takeRest();
    /// The bytes held for lines not yet complete, for checks of the memory bound.
    qsizetype bufferedBytes() const { return m_buffer.size() + (m_head ? m_head->size() : 0); }

private:
    qsizetype m_maxLength;
    QByteArray m_buffer;
    qsizetype m_pos = 0;   // start of the current line in m_buffer
    qsizetype m_scan = 0;  // where the search for a terminator goes on
    bool m_skipLF = false; // the last terminator was a CR: an LF right after it belongs to it
    std::optional<QByteArray> m_head; // kept start of an overlong line whose rest is dropped
};
