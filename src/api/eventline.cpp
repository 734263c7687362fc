// SPDX-License-Identifier: GPL-3.0-or-later
#include "eventline.h"

#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString compact(const QJsonValue &v)
{
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return v.toVariant().toString();
}

// The gateway's own words when it gives them, else the JSON it sent.
QString errorMessage(const QJsonValue &error)
{
    if (error.isString())
        return error.toString();
    const QJsonValue message = error.toObject().value(QLatin1String("message"));
    if (message.isString() && !TextUtil::trimSpaceAndLineBreaks(message.toString()).isEmpty())
        return message.toString();
    return compact(error);
}

// "error": null, "" or {} is how some gateways say that all is well.
bool isError(const QJsonValue &error)
{
    return (error.isObject() && !error.toObject().isEmpty()) ||
           (error.isString() && !error.toString().isEmpty());
}

QString stringMember(const QJsonObject &o, QLatin1String key)
{
    const QJsonValue v = o.value(key);
    return v.isString() ? v.toString() : QString();
}

qint64 tokenCount(const QJsonValue &v)
{
    return TokenUsage::count(v.toDouble(-1));
}

TokenUsage readUsage(const QJsonValue &v)
{
    if (!v.isObject())
        return {};
    const QJsonObject o = v.toObject();
    const QJsonObject details = o.value(QLatin1String("completion_tokens_details")).toObject();
    return {tokenCount(o.value(QLatin1String("prompt_tokens"))),
            tokenCount(o.value(QLatin1String("completion_tokens"))),
            tokenCount(details.value(QLatin1String("reasoning_tokens")))};
}

} // namespace

StreamEvent parseEventLine(QByteArrayView line, bool afterErrorEvent)
{
    if (line.startsWith("event:"))
        return {StreamEvent::Event,
                TextUtil::trimHorizontal(QString::fromUtf8(line.sliced(6))),
                {},
                {},
                {}};
    if (!line.startsWith("data:"))
        return {};
    const QString payload = TextUtil::trimHorizontal(QString::fromUtf8(line.sliced(5)));
    if (payload == u"[DONE]")
        return {StreamEvent::Done, {}, {}, {}, {}};

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return afterErrorEvent ? StreamEvent{StreamEvent::Error, payload, {}, {}, {}}
                               : StreamEvent{StreamEvent::Broken, {}, {}, {}, {}};
    if (!doc.isObject())
        return afterErrorEvent ? StreamEvent{StreamEvent::Error, payload, {}, {}, {}}
                               : StreamEvent{};
    const QJsonObject object = doc.object();
    const QJsonValue failure = object.value(QLatin1String("error"));
    if (isError(failure))
        return {StreamEvent::Error, errorMessage(failure), {}, {}, {}};
    if (afterErrorEvent)
        return {StreamEvent::Error, errorMessage(object), {}, {}, {}};

    // Usage comes with the last choice, or in an event whose choices are empty.
    StreamEvent ignored;
    ignored.usage = readUsage(object.value(QLatin1String("usage")));
    const QJsonValue choices = object.value(QLatin1String("choices"));
    if (!choices.isArray())
        return ignored;
    const QJsonArray array = choices.toArray();
    if (array.isEmpty())
        return ignored;
    for (const QJsonValue &choice : array) {
        if (!choice.isObject())
            return ignored;
    }
    const QJsonValue delta = array.first().toObject().value(QLatin1String("delta"));
    if (!delta.isObject())
        return ignored;
    const QJsonObject d = delta.toObject();
    const QJsonValue content = d.value(QLatin1String("content"));
    // Some gateways send both names for the same text; the first one found is used.
    QString reasoning = stringMember(d, QLatin1String("reasoning_content"));
    if (reasoning.isEmpty())
        reasoning = stringMember(d, QLatin1String("reasoning"));
    const QJsonArray toolCalls = d.value(QLatin1String("tool_calls")).toArray();
    if (!content.isString() && reasoning.isEmpty() && toolCalls.isEmpty())
        return ignored;
    return {StreamEvent::Text, content.toString(), reasoning, ignored.usage, toolCalls};
}
