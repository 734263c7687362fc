// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/linesplitter.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QJsonObject>
#include <QString>

#include <optional>

/**
 * Cuts a server's output into JSON-RPC messages, one per line.
 *
 * A line that is not a JSON object is reported and skipped; a blank line is skipped silently.
 * A line longer than the limit is reported and dropped whole, and memory stays bounded by about
 * twice the limit however long it grows. Bytes may arrive in any pieces: every complete
 * message comes out once, in order.
 */
class JsonRpcReader
{
    Q_DECLARE_TR_FUNCTIONS(JsonRpcReader)

public:
    static constexpr qsizetype defaultMaxLine = 16 * 1024 * 1024;

    /// A message, or (when problem is set) why a line was skipped.
    struct Item
    {
        QJsonObject message;
        QString problem;
    };

    explicit JsonRpcReader(qsizetype maxLine = defaultMaxLine) : m_lines(maxLine) {}

    void append(QByteArrayView data) { m_lines.append(data); }
    /// The next message or skipped line, or nothing until more data arrives.
    std::optional<Item> next();
    /// At the end of the stream: a last line without its newline.
    std::optional<Item> finish();
    /// The bytes held for a line not yet complete.
    qsizetype bufferedBytes() const { return m_lines.bufferedBytes(); }

private:
    std::optional<Item> read(std::optional<LineSplitter::Line> line);

    LineSplitter m_lines;
};
