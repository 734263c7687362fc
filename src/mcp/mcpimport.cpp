// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcpimport.h"

#include "model/jsonkeys.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

/// A scalar as text; nothing for an object, an array or null.
std::optional<QString> scalarText(const QJsonValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isBool())
        return v.toBool() ? u"true"_s : u"false"_s;
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == double(qint64(d)) ? QString::number(qint64(d)) : QString::number(d);
    }
    return std::nullopt;
}

class Reader
{
public:
    Reader(const QByteArray &json, QList<QString> path) : m_json(json), m_path(std::move(path)) {}

    /// One server; an error names it and what is wrong.
    std::optional<McpServer> server(const QString &name, const QJsonObject &o, QString &error) const
    {
        McpServer s;
        s.name = name;
        const auto wrong = [&](const char *key, const QString &what) {
            error =
                McpImport::tr("服务器「%1」的“%2”应为%3").arg(name, QLatin1StringView(key), what);
            return std::nullopt;
        };
        const auto string = [&](const char *key, QString &out) {
            const QJsonValue v = o.value(QLatin1StringView(key));
            out = v.toString();
            return v.isUndefined() || v.isNull() || v.isString();
        };
        if (!string("command", s.command))
            return wrong("command", McpImport::tr("文字"));
        if (!string("cwd", s.cwd))
            return wrong("cwd", McpImport::tr("文字"));
        if (!string("url", s.url))
            return wrong("url", McpImport::tr("文字"));
        const QJsonValue args = o.value("args"_L1);
        if (!args.isUndefined() && !args.isNull() && !args.isArray())
            return wrong("args", McpImport::tr("一个列表"));
        for (const QJsonValue &arg : args.toArray()) {
            const auto text = scalarText(arg);
            if (!text)
                return wrong("args", McpImport::tr("由文字组成的列表"));
            s.args.append(*text);
        }
        if (!pairs(o, name, "env", s.env))
            return wrong("env", McpImport::tr("一个对象，其中的值都是文字"));
        if (!pairs(o, name, "headers", s.headers))
            return wrong("headers", McpImport::tr("一个对象，其中的值都是文字"));
        const QJsonValue enabled = o.value("enabled"_L1);
        const QJsonValue disabled = o.value("disabled"_L1);
        if (enabled.isBool())
            s.enabled = enabled.toBool();
        else if (disabled.isBool())
            s.enabled = !disabled.toBool();
        const QJsonValue approval = o.value("approval"_L1);
        if (!approval.isUndefined() && !approval.isNull()) {
            const auto a = McpServer::approvalFromName(approval.toString());
            if (!a)
                return wrong("approval", McpImport::tr("\"ask\"、\"askOncePerTool\" 或 \"never\""));
            s.approval = *a;
        }
        for (const QJsonValue &tool : o.value("disabledTools"_L1).toArray())
            s.disabledTools.append(tool.toString());
        if (s.command.trimmed().isEmpty() && s.url.trimmed().isEmpty()) {
            error = McpImport::tr("服务器「%1」既没有“command”也没有“url”").arg(name);
            return std::nullopt;
        }
        return s;
    }

private:
    bool pairs(const QJsonObject &o, const QString &name, const char *key,
               McpServer::Pairs &out) const
    {
        const QJsonValue v = o.value(QLatin1StringView(key));
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject())
            return false;
        QList<QString> path = m_path;
        if (!name.isNull())
            path.append(name);
        path.append(QString::fromLatin1(key));
        const QJsonObject object = v.toObject();
        QList<QString> keys = jsonObjectKeys(m_json, path);
        keys.removeIf([&](const QString &k) { return !object.contains(k); });
        for (const QString &k : object.keys()) {
            if (!keys.contains(k))
                keys.append(k); // not found in the text: at least not lost
        }
        for (const QString &k : std::as_const(keys)) {
            if (std::any_of(out.cbegin(), out.cend(), [&](const auto &p) { return p.first == k; }))
                continue;
            const auto text = scalarText(object.value(k));
            if (!text)
                return false;
            out.append({k, *text});
        }
        return true;
    }

    const QByteArray &m_json;
    QList<QString> m_path;
};

} // namespace

QString McpImport::suggestedName(const McpServer &server)
{
    if (server.command.isEmpty())
        return QUrl(server.url).host();
    // The package a launcher runs (npx -y @scope/server-x@1.2), else the command itself.
    for (const QString &arg : server.args) {
        if (arg.startsWith(u'-'))
            continue;
        QString name = arg.section(u'/', -1);
        if (const qsizetype at = name.indexOf(u'@'); at > 0)
            name.truncate(at);
        if (!name.isEmpty())
            return name;
    }
    return QFileInfo(server.command).fileName();
}

McpImport McpImport::parse(const QString &text)
{
    McpImport out;
    const QByteArray json = text.trimmed().toUtf8();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        out.error = tr("不是有效的 JSON：%1（第 %2 个字符附近）")
                        .arg(parseError.errorString())
                        .arg(parseError.offset + 1);
        return out;
    }
    if (!doc.isObject()) {
        out.error = tr("应为一个 JSON 对象，例如 {\"mcpServers\": {…}}");
        return out;
    }
    const QJsonObject root = doc.object();

    if (root.value("command"_L1).isString() || root.value("url"_L1).isString()) {
        const Reader reader(json, {});
        auto server = reader.server(QString(), root, out.error);
        if (server) {
            server->name = suggestedName(*server);
            if (server->name.isEmpty())
                server->name = u"server"_s;
            out.servers.append(*server);
        }
        return out;
    }

    QList<QString> path;
    QJsonObject servers = root;
    for (const QLatin1StringView key : {"mcpServers"_L1, "servers"_L1}) {
        if (root.value(key).isObject()) {
            path = {QString(key)};
            servers = root.value(key).toObject();
            break;
        }
    }
    const Reader reader(json, path);
    QList<QString> names = jsonObjectKeys(json, path);
    names.removeIf([&](const QString &k) { return !servers.contains(k); });
    names.removeDuplicates();
    if (names.isEmpty()) {
        out.error = tr("没有找到任何服务器");
        return out;
    }
    for (const QString &name : std::as_const(names)) {
        const QJsonValue entry = servers.value(name);
        if (name.trimmed().isEmpty()) {
            out.error = tr("服务器的名称不能为空");
            return {{}, out.error};
        }
        if (!entry.isObject()) {
            out.error = tr("服务器「%1」应为一个对象，例如 {\"command\": …}").arg(name);
            return {{}, out.error};
        }
        auto server = reader.server(name, entry.toObject(), out.error);
        if (!server)
            return {{}, out.error};
        out.servers.append(*server);
    }
    return out;
}
