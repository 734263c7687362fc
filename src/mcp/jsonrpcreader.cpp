// SPDX-License-Identifier: GPL-3.0-or-later
#include "jsonrpcreader.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

bool blank(QByteArrayView line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

/// The start of a skipped line, for the log: enough to recognise it, never a whole megabyte.
QString excerpt(QByteArrayView line)
{
    constexpr qsizetype shown = 120;
    QString text = QString::fromUtf8(line.first(std::min(line.size(), shown)));
    if (line.size() > shown)
        text += u'…';
    return text;
}

} // namespace

std::optional<JsonRpcReader::Item> JsonRpcReader::next()
{
    for (;;) {
        auto line = m_lines.next();
        if (!line)
            return std::nullopt;
        if (auto item = read(std::move(line)))
            return item;
    }
}

std::optional<JsonRpcReader::Item> JsonRpcReader::finish()
{
    return read(m_lines.takeRest());
}

std::optional<JsonRpcReader::Item> JsonRpcReader::read(std::optional<LineSplitter::Line> line)
{
    if (!line)
        return std::nullopt;
    if (line->truncated) {
        return Item{{},
                    tr("跳过了一行超过 %1 字节的输出：%2")
                        .arg(line->bytes.size())
                        .arg(excerpt(line->bytes))};
    }
    if (blank(line->bytes))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line->bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return Item{{}, tr("跳过了一行不是 JSON-RPC 消息的输出：%1").arg(excerpt(line->bytes))};
    return Item{doc.object(), {}};
}
