// SPDX-License-Identifier: GPL-3.0-or-later
// The client's reading of a successful reply: LineSplitter cuts the body into lines and
// parseEventLine reads each one. Input: the first byte picks the line limit, the second the
// chunking, the rest is the response body. Properties:
//  - the body fed in pieces of random sizes, or byte by byte, yields the same lines, the same
//    events and the same unterminated last line as the body fed whole, and as a plain
//    reference cutter on the whole body;
//  - no line holds a terminator; a line is cut to the limit exactly when it is longer;
//  - only "data:" and "event:" lines mean anything, and spaces or tabs around the payload change
//    nothing.
#include "api/eventline.h"
#include "api/linesplitter.h"
#include "fuzzcheck.h"

#include <QList>
#include <QRandomGenerator>

namespace {

struct Read
{
    QByteArray bytes;
    bool truncated = false;
    bool last = false; // the unterminated end of the body
    StreamEvent::Kind kind = StreamEvent::Ignored;
    QString text;
    QString reasoning;

    bool operator==(const Read &) const = default;
};

// What the client does with one line; false once reading stops at the end marker.
bool take(QList<Read> &out, const LineSplitter::Line &line, bool last)
{
    Read r{line.bytes, line.truncated, last, StreamEvent::Ignored, {}, {}};
    if (!line.truncated) {
        const StreamEvent e = parseEventLine(line.bytes);
        r.kind = e.kind;
        r.text = e.text;
        r.reasoning = e.reasoning;
    }
    out.append(r);
    return r.kind != StreamEvent::Done;
}

QList<Read> readInPieces(QByteArrayView body, qsizetype limit, const QList<qsizetype> &pieces)
{
    LineSplitter splitter(limit);
    QList<Read> out;
    qsizetype at = 0;
    for (qsizetype i = 0; at < body.size(); ++i) {
        const qsizetype n = std::min(pieces.at(i % pieces.size()), body.size() - at);
        splitter.append(body.sliced(at, n));
        at += n;
        while (const auto line = splitter.next()) {
            if (!take(out, *line, false))
                return out;
        }
    }
    if (const auto rest = splitter.takeRest())
        take(out, *rest, true);
    return out;
}

// Lines end at LF, CR LF or CR, cut the plain way.
QList<Read> readReference(QByteArrayView body, qsizetype limit)
{
    QList<Read> out;
    const auto line = [&](qsizetype from, qsizetype to, bool last) {
        const qsizetype length = to - from;
        return take(out, {body.sliced(from, std::min(length, limit)).toByteArray(), length > limit},
                    last);
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] != '\n' && body[i] != '\r')
            continue;
        if (!line(start, i, false))
            return out;
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < body.size())
        line(start, body.size(), true);
    return out;
}

void checkEvent(const Read &r, qsizetype limit)
{
    FUZZ_CHECK(!r.bytes.contains('\n') && !r.bytes.contains('\r'));
    FUZZ_CHECK(r.truncated ? r.bytes.size() == limit : r.bytes.size() <= limit);
    if (r.truncated)
        return;
    if (!r.bytes.startsWith("data:")) {
        FUZZ_CHECK(r.kind ==
                   (r.bytes.startsWith("event:") ? StreamEvent::Event : StreamEvent::Ignored));
        return;
    }
    const StreamEvent padded = parseEventLine("data: \t " + r.bytes.sliced(5) + "\t ");
    FUZZ_CHECK(padded.kind == r.kind && padded.text == r.text && padded.reasoning == r.reasoning);
    FUZZ_CHECK(r.kind == StreamEvent::Text || r.kind == StreamEvent::Error || r.text.isEmpty());
    FUZZ_CHECK(r.kind == StreamEvent::Text || r.reasoning.isEmpty());
    // After "event: error" every data line but the end marker is a failure.
    const StreamEvent afterError = parseEventLine(r.bytes, true);
    FUZZ_CHECK(afterError.kind ==
               (r.kind == StreamEvent::Done ? StreamEvent::Done : StreamEvent::Error));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Short limits exercise the cutting, long ones let whole events through.
    const qsizetype limit = data[0] < 128 ? 1 + data[0] : 1 + (data[0] - 128) * 64;
    QRandomGenerator random(data[1]);
    const QByteArrayView body(reinterpret_cast<const char *>(data) + 2, qsizetype(size) - 2);

    QList<qsizetype> pieces{1 + random.bounded(8)};
    const int largest = 1 << random.bounded(1, 12);
    for (int i = 0; i < 64; ++i)
        pieces.append(random.bounded(largest + 1)); // an empty piece now and then, too

    const QList<Read> whole = readInPieces(body, limit, {std::max<qsizetype>(body.size(), 1)});
    FUZZ_CHECK(whole == readReference(body, limit));
    FUZZ_CHECK(whole == readInPieces(body, limit, pieces));
    FUZZ_CHECK(whole == readInPieces(body, limit, {1}));
    for (const Read &r : whole)
        checkEvent(r, limit);
    return 0;
}
