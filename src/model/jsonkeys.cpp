// SPDX-License-Identifier: GPL-3.0-or-later
#include "jsonkeys.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <functional>

namespace {

class Scanner
{
public:
    explicit Scanner(QByteArrayView json) : m_json(json) {}

    bool at(qsizetype i, char c) const { return i < m_json.size() && m_json[i] == c; }

    qsizetype space(qsizetype i) const
    {
        while (i < m_json.size() &&
               (m_json[i] == ' ' || m_json[i] == '\t' || m_json[i] == '\n' || m_json[i] == '\r'))
            ++i;
        return i;
    }

    /// The end of the string that starts (with its quote) at i.
    qsizetype string(qsizetype i) const
    {
        for (++i; i < m_json.size(); ++i) {
            if (m_json[i] == '\\')
                ++i;
            else if (m_json[i] == '"')
                return i + 1;
        }
        return m_json.size();
    }

    /// The end of the value that starts at i.
    qsizetype value(qsizetype i) const
    {
        int depth = 0;
        for (; i < m_json.size(); ++i) {
            const char c = m_json[i];
            if (c == '"') {
                i = string(i) - 1;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    return i;
                if (--depth == 0)
                    return i + 1;
            } else if (depth == 0 &&
                       (c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
                return i;
            }
            if (depth == 0 && c == '"')
                return i + 1;
        }
        return i;
    }

    /// Calls visit(key, where its value starts) for each member of the object at i.
    void members(qsizetype i, const std::function<void(const QString &, qsizetype)> &visit) const
    {
        if (!at(i, '{'))
            return;
        i = space(i + 1);
        while (at(i, '"')) {
            const qsizetype end = string(i);
            const QString key = text(m_json.sliced(i, end - i));
            i = space(end);
            if (!at(i, ':'))
                return;
            const qsizetype valueAt = space(i + 1);
            visit(key, valueAt);
            i = space(value(valueAt));
            if (!at(i, ','))
                return;
            i = space(i + 1);
        }
    }

private:
    /// A key as text: the bytes between the quotes, or Qt's reading when it has escapes.
    static QString text(QByteArrayView quoted)
    {
        if (quoted.size() < 2)
            return {};
        const QByteArrayView inner = quoted.sliced(1, quoted.size() - 2);
        if (!inner.contains('\\'))
            return QString::fromUtf8(inner);
        const QByteArray array = '[' + quoted.toByteArray() + ']';
        return QJsonDocument::fromJson(array).array().at(0).toString();
    }

    QByteArrayView m_json;
};

} // namespace

QList<QString> jsonObjectKeys(QByteArrayView json, const QList<QString> &path)
{
    const Scanner scanner(json);
    // Qt's reader skips a byte order mark.
    qsizetype object = scanner.space(json.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    for (const QString &name : path) {
        qsizetype found = -1;
        scanner.members(object, [&](const QString &key, qsizetype valueAt) {
            if (key == name)
                found = valueAt;
        });
        if (found < 0)
            return {};
        object = found;
    }
    QList<QString> keys;
    scanner.members(object, [&](const QString &key, qsizetype) { keys.append(key); });
    return keys;
}
