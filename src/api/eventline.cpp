// SPDX-License-Identifier: GPL-3.0-or-later
#include "eventline.h"

#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

StreamEvent parseEventLine(QByteArrayView line)
{
    if (!line.startsWith("data:"))
        return {};
    const QString payload = TextUtil::trimHorizontal(QString::fromUtf8(line.sliced(5)));
    if (payload == u"[DONE]")
        return {StreamEvent::Done, {}};

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return {StreamEvent::Broken, {}};
    if (!doc.isObject())
        return {};
    const QJsonValue choices = doc.object().value(QLatin1String("choices"));
    if (!choices.isArray())
        return {};
    const QJsonArray array = choices.toArray();
    if (array.isEmpty())
        return {};
    for (const QJsonValue &choice : array) {
        if (!choice.isObject())
            return {};
    }
    const QJsonValue delta = array.first().toObject().value(QLatin1String("delta"));
    if (!delta.isObject())
        return {};
    const QJsonValue content = delta.toObject().value(QLatin1String("content"));
    if (!content.isString())
        return {};
    return {StreamEvent::Text, content.toString()};
}
