// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolserverlist.h"

#include "mcp/mcpimport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {

int approvalIndex(McpApproval approval)
{
    switch (approval) {
    case McpApproval::Ask:
        return 0;
    case McpApproval::AskOncePerTool:
        return 1;
    case McpApproval::Never:
        return 2;
    }
    return 0;
}

/// "KEY=value" or "Name: value" lines into pairs; error names the first line without sep.
McpServer::Pairs parsePairs(const QString &text, QChar sep, QString &error)
{
    McpServer::Pairs pairs;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype at = line.indexOf(sep);
        const QString key = at > 0 ? line.left(at).trimmed() : QString();
        if (key.isEmpty()) {
            error = ToolServerListModel::tr("第 %1 行应写成「名称%2值」。").arg(i + 1).arg(sep);
            return {};
        }
        pairs.append({key, line.mid(at + 1).trimmed()});
    }
    return pairs;
}

QString joinPairs(const McpServer::Pairs &pairs, const QString &sep)
{
    QStringList lines;
    for (const auto &[key, value] : pairs)
        lines.append(key + sep + value);
    return lines.join(u'\n');
}

} // namespace

ToolServerListModel::ToolServerListModel(QObject *parent) : QAbstractListModel(parent) {}

void ToolServerListModel::setStore(Store *store)
{
    if (m_store == store)
        return;
    disconnect(m_storeConnection);
    m_store = store;
    if (m_store)
        m_storeConnection =
            connect(m_store, &Store::settingsChanged, this, &ToolServerListModel::reload);
    reload();
    emit storeChanged();
}

void ToolServerListModel::setHub(McpHub *hub)
{
    if (m_hub == hub)
        return;
    for (const auto &c : std::as_const(m_hubConnections))
        disconnect(c);
    m_hubConnections.clear();
    m_hub = hub;
    if (m_hub) {
        m_hubConnections.append(
            connect(m_hub, &McpHub::serverChanged, this, [this](const QString &name) {
                const int row = rowOf(name);
                if (row >= 0)
                    emit dataChanged(index(row), index(row), {StatusRole, StatusTextRole});
                emit serverChanged(name);
            }));
    }
    reload();
    emit hubChanged();
}

void ToolServerListModel::reload()
{
    QStringList names;
    if (m_store)
        for (const McpServer &server : m_store->settings().mcpServers)
            names.append(server.name);
    if (names != m_names) {
        beginResetModel();
        m_names = names;
        endResetModel();
    } else if (!m_names.isEmpty()) {
        emit dataChanged(index(0), index(int(m_names.size()) - 1));
    }
    for (const QString &name : std::as_const(m_names))
        emit serverChanged(name);
}

const McpServer *ToolServerListModel::find(const QString &name) const
{
    if (!m_store)
        return nullptr;
    for (const McpServer &server : m_store->settings().mcpServers)
        if (server.name == name)
            return &server;
    return nullptr;
}

int ToolServerListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QHash<int, QByteArray> ToolServerListModel::roleNames() const
{
    return {{NameRole, "name"},
            {StatusRole, "status"},
            {StatusTextRole, "statusText"},
            {EnabledRole, "enabled"}};
}

QVariant ToolServerListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QString &name = m_names[index.row()];
    const McpServer *server = find(name);
    const McpHub::Status status = !server || !server->enabled ? McpHub::Status::Disabled
                                  : m_hub                     ? m_hub->status(name)
                                                              : McpHub::Status::Idle;
    switch (role) {
    case NameRole:
        return name;
    case StatusRole:
        return int(status);
    case StatusTextRole:
        return statusText(status, m_hub ? m_hub->statusReason(name) : QString(),
                          m_hub ? int(m_hub->tools(name).size()) : 0);
    case EnabledRole:
        return server && server->enabled;
    }
    return {};
}

QString ToolServerListModel::statusText(McpHub::Status status, const QString &reason, int toolCount)
{
    switch (status) {
    case McpHub::Status::Disabled:
        return tr("已停用");
    case McpHub::Status::Idle:
        return tr("未启动");
    case McpHub::Status::Starting:
        return tr("正在连接…");
    case McpHub::Status::Ready:
        return tr("已连接 · %n 个工具", nullptr, toolCount);
    case McpHub::Status::Failed:
        return reason.isEmpty() ? tr("连接失败") : tr("连接失败：%1").arg(reason);
    }
    return {};
}

QString ToolServerListModel::joinCommand(const QString &command, const QStringList &args)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    QStringList words;
    for (const QString &word : QStringList{command} + args) {
        if (plain.match(word).hasMatch()) {
            words.append(word);
        } else {
            // Quoted the way splitCommand() reads it back: a quote doubled inside quotes.
            QString quoted = word;
            quoted.replace(u'"', QStringLiteral("\"\"\""));
            words.append(u'"' + quoted + u'"');
        }
    }
    return words.join(u' ');
}

QStringList ToolServerListModel::splitCommand(const QString &line)
{
    return QProcess::splitCommand(line);
}

QVariantMap ToolServerListModel::server(const QString &name) const
{
    const McpServer *s = find(name);
    if (!s)
        return {};
    const McpHub::Status status = !s->enabled ? McpHub::Status::Disabled
                                  : m_hub     ? m_hub->status(name)
                                              : McpHub::Status::Idle;
    const QString reason = m_hub ? m_hub->statusReason(name) : QString();
    return {
        {QStringLiteral("name"), s->name},
        {QStringLiteral("http"), !s->url.isEmpty() || (s->command.isEmpty() && m_http.value(name))},
        {QStringLiteral("commandLine"),
         s->command.isEmpty() ? QString() : joinCommand(s->command, s->args)},
        {QStringLiteral("env"), joinPairs(s->env, QStringLiteral("="))},
        {QStringLiteral("cwd"), s->cwd},
        {QStringLiteral("url"), s->url},
        {QStringLiteral("headers"), joinPairs(s->headers, QStringLiteral(": "))},
        {QStringLiteral("enabled"), s->enabled},
        {QStringLiteral("approval"), approvalIndex(s->approval)},
        {QStringLiteral("status"), int(status)},
        {QStringLiteral("statusText"),
         statusText(status, reason, m_hub ? int(m_hub->tools(name).size()) : 0)},
        {QStringLiteral("log"), m_hub ? m_hub->log(name).join(u'\n') : QString()},
    };
}

QVariantList ToolServerListModel::tools(const QString &name) const
{
    QVariantList out;
    if (!m_hub)
        return out;
    for (const McpHub::ToolInfo &tool : m_hub->tools(name))
        out.append(QVariantMap{{QStringLiteral("name"), tool.name},
                               {QStringLiteral("description"), tool.description},
                               {QStringLiteral("enabled"), tool.enabled}});
    return out;
}

bool ToolServerListModel::edit(const std::function<void(QList<McpServer> &)> &change)
{
    if (!m_store || !m_store->changeSettings([&](AppSettings &s) { change(s.mcpServers); }))
        return false;
    m_store->save();
    return true;
}

QString ToolServerListModel::setField(const QString &name, const QString &field,
                                      const QVariant &value)
{
    const McpServer *current = find(name);
    if (!current)
        return {};
    McpServer s = *current;
    const QString text = value.toString();
    QString error;
    if (field == u"name") {
        const QString newName = text.trimmed();
        if (newName.isEmpty())
            return tr("名称不能为空。");
        if (newName != name && find(newName))
            return tr("已有名为「%1」的服务器。").arg(newName);
        s.name = newName;
    } else if (field == u"http") {
        m_http.insert(name, value.toBool());
        // The other kind's address is dropped: a server is one kind or the other.
        if (value.toBool()) {
            s.command.clear();
            s.args.clear();
        } else {
            s.url.clear();
        }
    } else if (field == u"commandLine") {
        const QStringList words = splitCommand(text);
        s.command = words.value(0);
        s.args = words.mid(1);
    } else if (field == u"env") {
        s.env = parsePairs(text, u'=', error);
    } else if (field == u"headers") {
        s.headers = parsePairs(text, u':', error);
    } else if (field == u"cwd") {
        s.cwd = text.trimmed();
    } else if (field == u"url") {
        s.url = text.trimmed();
    } else if (field == u"enabled") {
        s.enabled = value.toBool();
    } else if (field == u"approval") {
        const int i = value.toInt();
        s.approval = i == 1   ? McpApproval::AskOncePerTool
                     : i == 2 ? McpApproval::Never
                              : McpApproval::Ask;
    } else {
        return {};
    }
    if (!error.isEmpty())
        return error;
    if (s.name != name && m_http.contains(name))
        m_http.insert(s.name, m_http.take(name));
    edit([&](QList<McpServer> &servers) {
        for (McpServer &server : servers)
            if (server.name == name)
                server = s;
    });
    emit serverChanged(s.name);
    return {};
}

QString ToolServerListModel::add(bool http)
{
    const QString base = tr("新服务器");
    QString name = base;
    for (int n = 2; find(name); ++n)
        name = base + u' ' + QString::number(n);
    McpServer server;
    server.name = name;
    m_http.insert(name, http);
    edit([&](QList<McpServer> &servers) { servers.append(server); });
    return name;
}

void ToolServerListModel::remove(const QString &name)
{
    m_http.remove(name);
    edit([&](QList<McpServer> &servers) {
        servers.removeIf([&](const McpServer &s) { return s.name == name; });
    });
}

void ToolServerListModel::setToolEnabled(const QString &server, const QString &tool, bool enabled)
{
    edit([&](QList<McpServer> &servers) {
        for (McpServer &s : servers) {
            if (s.name != server)
                continue;
            s.disabledTools.removeAll(tool);
            if (!enabled)
                s.disabledTools.append(tool);
        }
    });
}

void ToolServerListModel::reconnect(const QString &name)
{
    if (m_hub)
        m_hub->reconnect(name);
}

QString ToolServerListModel::importJson(const QString &text)
{
    const McpImport read = McpImport::parse(text);
    if (!read.error.isEmpty())
        return read.error;
    if (read.servers.isEmpty())
        return tr("没有找到服务器。");
    QStringList names;
    edit([&](QList<McpServer> &servers) {
        for (const McpServer &added : read.servers) {
            names.append(added.name);
            auto same = std::find_if(servers.begin(), servers.end(),
                                     [&](const McpServer &s) { return s.name == added.name; });
            if (same != servers.end())
                *same = added;
            else
                servers.append(added);
        }
    });
    emit imported(names);
    return {};
}

int ToolServerListModel::rowOf(const QString &name) const
{
    return int(m_names.indexOf(name));
}
