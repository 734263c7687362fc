// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolcallgatherer.h"

#include <QJsonDocument>

namespace {

QString jsonText(const QJsonValue &v)
{
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return {};
}

} // namespace

void ToolCallGatherer::add(const QJsonArray &fragments)
{
    for (const QJsonValue &f : fragments) {
        if (f.isObject())
            add(f.toObject());
    }
}

void ToolCallGatherer::add(const QJsonObject &fragment)
{
    const QJsonValue indexValue = fragment.value(QLatin1String("index"));
    const bool indexed =
        indexValue.isDouble() && indexValue.toDouble() >= 0 && indexValue.toDouble() < 1 << 20;
    const int index = indexed ? indexValue.toInt() : -1;
    const QString id = fragment.value(QLatin1String("id")).toString();
    const QJsonObject function = fragment.value(QLatin1String("function")).toObject();

    // The call this fragment continues: the latest with its index, or without an index the
    // latest of all.
    Gathered *target = nullptr;
    for (qsizetype i = m_calls.size() - 1; i >= 0; --i) {
        if (!indexed || m_calls[i].index == index) {
            target = &m_calls[i];
            break;
        }
    }
    if (target && !id.isEmpty() && !target->call.id.isEmpty() && target->call.id != id)
        target = nullptr;
    if (!target) {
        m_calls.append(Gathered{index, {}});
        target = &m_calls.last();
    }
    ToolCall &call = target->call;
    if (call.id.isEmpty())
        call.id = id;
    const QJsonValue name = function.value(QLatin1String("name"));
    if (call.name.isEmpty() && name.isString())
        call.name = name.toString();
    // Arguments come as text in pieces; a few gateways send the whole object instead.
    const QJsonValue arguments = function.value(QLatin1String("arguments"));
    if (arguments.isString())
        call.arguments += arguments.toString();
    else if (arguments.isObject() && call.arguments.isEmpty())
        call.arguments = jsonText(arguments);
    const QJsonValue extra = fragment.value(QLatin1String("extra_content"));
    if (extra.isObject() || extra.isArray())
        call.extra = jsonText(extra);
}

QList<ToolCall> ToolCallGatherer::calls() const
{
    QList<ToolCall> out;
    for (const Gathered &g : m_calls) {
        if (g.call.name.isEmpty())
            continue;
        out.append(g.call);
        if (out.last().id.isEmpty())
            out.last().id = QStringLiteral("call_%1").arg(out.size());
    }
    return out;
}
