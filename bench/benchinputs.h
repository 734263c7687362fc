// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark inputs in bench/data: a 100 KB reply and the deltas it streams in, so every figure
// compares with the others.
#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace BenchInputs {

inline QByteArray readInput(const char *name)
{
    QFile file(QStringLiteral(CORVANE_BENCH_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

inline QString reply()
{
    return QString::fromUtf8(readInput("reply-100k.md"));
}

inline QStringList deltas()
{
    QStringList out;
    for (const QJsonValue &v :
         QJsonDocument::fromJson(readInput("reply-100k.deltas.json")).array())
        out << v.toString();
    return out;
}

} // namespace BenchInputs
