// SPDX-License-Identifier: GPL-3.0-or-later
#include "linesplitter.h"

void LineSplitter::append(QByteArrayView data)
{
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_scan -= m_pos;
        m_pos = 0;
    }
    m_buffer.append(data);
}

std::optional<LineSplitter::Line> LineSplitter::next()
{
    if (m_skipLF && m_pos < m_buffer.size()) {
        if (m_buffer.at(m_pos) == '\n')
            m_scan = ++m_pos;
        m_skipLF = false;
    }
    const char *data = m_buffer.constData();
    for (qsizetype i = m_scan; i < m_buffer.size(); ++i) {
        const char c = data[i];
        if (c != '\n' && c != '\r')
            continue;
        Line line;
        if (m_head)
            line = Line{*std::exchange(m_head, std::nullopt), true};
        else if (i - m_pos > m_maxLength)
            line = Line{m_buffer.sliced(m_pos, m_maxLength), true};
        else
            line.bytes = m_buffer.sliced(m_pos, i - m_pos);
        m_pos = m_scan = i + 1;
        m_skipLF = c == '\r';
        return line;
    }
    m_scan = m_buffer.size();
    if (m_head || m_scan - m_pos > m_maxLength) {
        if (!m_head)
            m_head = m_buffer.sliced(m_pos, m_maxLength);
        m_buffer.clear();
        m_pos = m_scan = 0;
    }
    return std::nullopt;
}

std::optional<LineSplitter::Line> LineSplitter::takeRest()
{
    std::optional<Line> rest;
    if (m_head)
        rest = Line{*std::exchange(m_head, std::nullopt), true};
    else if (m_pos < m_buffer.size())
        rest = Line{m_buffer.sliced(m_pos), false};
    m_buffer.clear();
    m_pos = m_scan = 0;
    m_skipLF = false;
    return rest;
}
