// SPDX-License-Identifier: GPL-3.0-or-later
// A tool server's output read as JSON-RPC messages by JsonRpcReader. Input: the first byte
// picks the line limit, the second the chunking, the rest is the output. Properties:
//  - the output fed in pieces of random sizes, or byte by byte, gives the same messages and
//    skipped lines as fed whole, and as a plain reference reading of the whole output;
//  - every complete line that is a JSON object comes out once as that object;
//  - the bytes held between pieces stay within twice the limit plus one piece.
#include "fuzzcheck.h"
#include "mcp/jsonrpcreader.h"

#include <QJsonDocument>
#include <QList>
#include <QRandomGenerator>

namespace {

struct Read
{
    QJsonObject message;
    bool skipped = false;

    bool operator==(const Read &) const = default;
};

Read toRead(const JsonRpcReader::Item &item)
{
    return {item.message, !item.problem.isEmpty()};
}

QList<Read> readInPieces(QByteArrayView output, qsizetype limit, const QList<qsizetype> &pieces)
{
    JsonRpcReader reader(limit);
    QList<Read> out;
    qsizetype at = 0;
    for (qsizetype i = 0; at < output.size(); ++i) {
        const qsizetype n = std::min(pieces.at(i % pieces.size()), output.size() - at);
        reader.append(output.sliced(at, n));
        at += n;
        while (const auto item = reader.next())
            out.append(toRead(*item));
        FUZZ_CHECK(reader.bufferedBytes() <= 2 * limit + n);
    }
    if (const auto item = reader.finish())
        out.append(toRead(*item));
    return out;
}

// Lines end at LF, CR LF or CR; each is a message, skipped, or blank.
QList<Read> readReference(QByteArrayView output, qsizetype limit)
{
    QList<Read> out;
    const auto line = [&](QByteArrayView text) {
        if (text.size() > limit) {
            out.append({{}, true});
            return;
        }
        bool blank = true;
        for (const char c : text)
            blank = blank && (c == ' ' || c == '\t');
        if (blank)
            return;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(text.toByteArray(), &error);
        if (error.error == QJsonParseError::NoError && doc.isObject())
            out.append({doc.object(), false});
        else
            out.append({{}, true});
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < output.size(); ++i) {
        if (output[i] != '\n' && output[i] != '\r')
            continue;
        line(output.sliced(start, i - start));
        if (output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < output.size())
        line(output.sliced(start));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype limit = 1 + data[0] * 4;
    const QByteArrayView output(reinterpret_cast<const char *>(data) + 2, qsizetype(size) - 2);

    const QList<Read> whole = readInPieces(output, limit, {output.size() + 1});
    FUZZ_CHECK(whole == readReference(output, limit));
    FUZZ_CHECK(readInPieces(output, limit, {1}) == whole);
    QRandomGenerator random(data[1]);
    QList<qsizetype> pieces;
    for (int i = 0; i < 16; ++i)
        pieces.append(random.bounded(1, 64));
    FUZZ_CHECK(readInPieces(output, limit, pieces) == whole);
    return 0;
}
