// SPDX-License-Identifier: GPL-3.0-or-later
// Gathering a streamed reply's tool calls from their fragments. Input: the first byte picks how
// the gateway names calls (by index, all at index 0, no index) and whether calls interleave,
// the second how many calls there are; the rest is cut into the calls' arguments and, byte by
// byte, into the points where the fragments split. Properties:
//  - the fragments in any split give the same calls as each call sent whole, which are the calls
//    made up, in order;
//  - any JSON at all, fed as fragments, never crashes, and every call given back has a name
//    and an id.
#include "api/toolcallgatherer.h"
#include "fuzzcheck.h"

#include <QJsonDocument>

#include <algorithm>

namespace {

enum class Naming { ByIndex, AllAtZero, NoIndex };

QJsonObject fragment(Naming naming, int index, const QString &id, const QString &name,
                     const QString &arguments)
{
    QJsonObject function{{QStringLiteral("arguments"), arguments}};
    if (!name.isEmpty())
        function.insert(QStringLiteral("name"), name);
    QJsonObject f{{QStringLiteral("function"), function}};
    if (naming != Naming::NoIndex)
        f.insert(QStringLiteral("index"), naming == Naming::ByIndex ? index : 0);
    if (!id.isEmpty())
        f.insert(QStringLiteral("id"), id);
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        // Whatever arrives: no crash, only calls that can be run and answered.
        ToolCallGatherer any;
        const QJsonDocument doc = QJsonDocument::fromJson(
            QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
        any.add(doc.isArray() ? doc.array() : QJsonArray{doc.object()});
        for (const ToolCall &t : any.calls())
            FUZZ_CHECK(!t.id.isEmpty() && !t.name.isEmpty());
    }
    if (size < 2)
        return 0;
    const auto naming = Naming(data[0] % 3);
    const bool interleave = naming == Naming::ByIndex && (data[0] & 0x10);
    const int count = 1 + data[1] % 4;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    QList<ToolCall> made;
    QList<QStringList> pieces; // each call's arguments as sent, in pieces
    qsizetype at = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype length = (text.size() - at) / (count - i);
        ToolCall t{QStringLiteral("c%1").arg(i),
                   QStringLiteral("f%1").arg(i),
                   text.mid(at, length),
                   {},
                   false,
                   {}};
        QStringList cut;
        qsizetype from = 0;
        for (qsizetype k = 0; k < t.arguments.size(); ++k) {
            // Cut after units whose low bits say so: many splits, some into single units.
            if ((t.arguments.at(k).unicode() & 3) == 0) {
                cut << t.arguments.mid(from, k + 1 - from);
                from = k + 1;
            }
        }
        cut << t.arguments.mid(from);
        at += length;
        made << t;
        pieces << cut;
    }

    ToolCallGatherer whole;
    for (int i = 0; i < count; ++i)
        whole.add(fragment(naming, i, made[i].id, made[i].name, made[i].arguments));

    // The first fragment of a call carries its id and name with no arguments, as most do.
    ToolCallGatherer split;
    // What is sent, in order: each call's first fragment (position -1), which carries its id
    // and name with no arguments as most gateways do, then its arguments' pieces.
    struct Piece
    {
        int call;
        qsizetype position;
        QString text;
    };
    QList<Piece> order;
    for (int i = 0; i < count; ++i) {
        order.append({i, -1, QString()});
        for (qsizetype k = 0; k < pieces[i].size(); ++k)
            order.append({i, k, pieces[i][k]});
    }
    // Interleaved: every call begins, then round robin over the calls' pieces.
    if (interleave)
        std::stable_sort(order.begin(), order.end(),
                         [](const Piece &a, const Piece &b) { return a.position < b.position; });
    for (const Piece &p : order) {
        const ToolCall &call = made[p.call];
        if (p.position < 0) {
            split.add(fragment(naming, p.call, call.id, call.name, QString()));
            continue;
        }
        // Some gateways repeat the id in every fragment.
        const bool repeatId = p.text.size() % 2;
        split.add(fragment(naming, p.call, repeatId ? call.id : QString(), QString(), p.text));
    }
    FUZZ_CHECK(whole.calls() == made);
    FUZZ_CHECK(split.calls() == made);
    return 0;
}
