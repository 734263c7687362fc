// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcphub.h"

#include "mcp/mcphttptransport.h"
#include "mcp/mcpstdiotransport.h"

#include <QSet>
#include <QTimer>

#include <algorithm>

struct McpHub::QueuedCall
{
    quint64 handle;
    QString tool;
    QJsonObject arguments;
    QPointer<QObject> context;
    std::function<void(ToolOutcome)> done;
};

struct McpHub::Entry
{
    McpServer server;
    McpClient *client = nullptr;
    QList<McpClient::Tool> tools; // as last listed, kept while the server is down
    QStringList log;
    QString failure;          // why it could not even be started
    QList<QueuedCall> queued; // calls waiting for the server to be ready
};

struct McpHub::Waiter
{
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(QList<ToolSpec>, QStringList)> done;
    QTimer timer;
};

namespace {

/// Whether the server must be started anew for the change: how it is reached changed.
bool sameConnection(const McpServer &a, const McpServer &b)
{
    return a.command == b.command && a.args == b.args && a.env == b.env && a.cwd == b.cwd &&
           a.url == b.url && a.headers == b.headers && a.enabled == b.enabled;
}

ToolApproval toolApproval(McpApproval approval)
{
    switch (approval) {
    case McpApproval::Ask:
        break;
    case McpApproval::AskOncePerTool:
        return ToolApproval::AskOncePerTool;
    case McpApproval::Never:
        return ToolApproval::Never;
    }
    return ToolApproval::Ask;
}

} // namespace

McpHub::McpHub(QObject *parent) : ToolHost(parent)
{
    m_factory = [](const McpServer &server, QString &reason) -> McpTransport * {
        if (!server.command.isEmpty())
            return new McpStdioTransport(server);
        if (!server.url.isEmpty()) {
            QList<McpHttpTransport::Header> headers;
            for (const auto &[name, value] : server.headers)
                headers.append({name.toUtf8(), value.toUtf8()});
            return new McpHttpTransport(server.url, headers);
        }
        reason = tr("没有填写命令或地址");
        return nullptr;
    };
}

McpHub::~McpHub()
{
    for (const auto &e : m_entries)
        stopServer(*e, {});
}

QStringList McpHub::functionNames(const QList<std::pair<QString, QString>> &tools)
{
    QStringList names;
    QSet<QString> taken;
    for (const auto &[server, tool] : tools) {
        QString base;
        for (const char32_t c :
             QStringView(QString(server + QStringLiteral("__") + tool)).toUcs4()) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '_' || c == '-';
            base += kept ? QChar(char16_t(c)) : QChar(u'_');
        }
        base.truncate(maxFunctionName);
        QString name = base;
        for (int n = 2; taken.contains(name); ++n) {
            const QString suffix = u'_' + QString::number(n);
            name = base.left(maxFunctionName - suffix.size()) + suffix;
        }
        taken.insert(name);
        names.append(name);
    }
    return names;
}

McpHub::Entry *McpHub::entry(const QString &server) const
{
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&](const auto &e) { return e->server.name == server; });
    return it == m_entries.cend() ? nullptr : it->get();
}

void McpHub::setServers(const QList<McpServer> &servers)
{
    if (servers == m_servers)
        return;
    const bool listChanged = [&] {
        if (servers.size() != m_servers.size())
            return true;
        for (qsizetype i = 0; i < servers.size(); ++i) {
            if (servers[i].name != m_servers[i].name)
                return true;
        }
        return false;
    }();
    m_servers = servers;

    std::vector<std::unique_ptr<Entry>> old = std::move(m_entries);
    m_entries.clear();
    QStringList changed;
    for (const McpServer &server : servers) {
        const auto it = std::find_if(old.begin(), old.end(), [&](const auto &e) {
            return e && e->server.name == server.name;
        });
        if (it == old.end()) {
            m_entries.push_back(std::make_unique<Entry>());
            m_entries.back()->server = server;
            if (server.enabled && m_autoStart)
                startServer(*m_entries.back());
            continue;
        }
        std::unique_ptr<Entry> e = std::move(*it);
        if (e->server == server) {
            m_entries.push_back(std::move(e));
            continue;
        }
        const bool reconnect = !sameConnection(e->server, server);
        const bool wasRunning = e->client != nullptr;
        e->server = server;
        changed.append(server.name);
        if (!server.enabled) {
            stopServer(*e, tr("工具服务器已关闭"));
            failQueued(*e, tr("工具服务器已关闭"));
        } else if (reconnect) {
            stopServer(*e, tr("工具服务器的设置已更改，正在重新连接"));
            e->failure.clear();
            if (wasRunning || m_autoStart || !e->queued.isEmpty())
                startServer(*e);
        }
        m_entries.push_back(std::move(e));
    }
    for (auto &e : old) {
        if (e) {
            stopServer(*e, tr("工具服务器已移除"));
            failQueued(*e, tr("工具服务器已移除"));
        }
    }
    if (listChanged)
        emit serversChanged();
    for (const QString &name : std::as_const(changed))
        emit serverChanged(name);
    emit toolsChanged();
    checkWaiters();
}

void McpHub::startAll()
{
    m_autoStart = true;
    for (const auto &e : m_entries) {
        if (e->server.enabled && !e->client)
            startServer(*e);
    }
}

void McpHub::startServer(Entry &e)
{
    stopServer(e, {});
    e.failure.clear();
    McpTransport *transport = m_factory(e.server, e.failure);
    if (!transport) {
        addLog(e, e.failure);
        failQueued(e, e.failure);
        emit serverChanged(e.server.name);
        checkWaiters();
        return;
    }
    auto *client = new McpClient(transport, this);
    e.client = client;
    client->setRequestTimeout(m_requestTimeoutMs);
    client->setCallTimeout(m_callTimeoutMs);
    Entry *at = &e; // entries are held by pointer and outlive their client
    connect(client, &McpClient::stateChanged, this, [this, at] { clientStateChanged(*at); });
    connect(client, &McpClient::toolsChanged, this, [this, at, client] {
        at->tools = client->tools();
        emit serverChanged(at->server.name);
        emit toolsChanged();
    });
    connect(client, &McpClient::logLine, this,
            [this, at](const QString &line) { addLog(*at, line); });
    client->start();
    emit serverChanged(e.server.name);
}

void McpHub::stopServer(Entry &e, const QString &reason)
{
    McpClient *client = std::exchange(e.client, nullptr);
    if (!client)
        return;
    client->disconnect(this);
    client->stop(reason);
    client->deleteLater();
    emit serverChanged(e.server.name);
}

void McpHub::failQueued(Entry &e, const QString &reason)
{
    for (const QueuedCall &call : std::exchange(e.queued, {})) {
        m_calls.remove(call.handle);
        if (call.context)
            call.done(McpClient::failedOutcome(reason));
    }
}

void McpHub::clientStateChanged(Entry &e)
{
    const McpClient::State state = e.client->state();
    if (state == McpClient::State::Ready)
        dispatchQueued(e);
    else if (state == McpClient::State::Failed)
        failQueued(e, e.client->failure());
    emit serverChanged(e.server.name);
    emit toolsChanged();
    checkWaiters();
}

void McpHub::addLog(Entry &e, const QString &line)
{
    e.log.append(line);
    if (e.log.size() > maxLogLines)
        e.log.remove(0, e.log.size() - maxLogLines);
    emit serverChanged(e.server.name);
}

void McpHub::dispatchQueued(Entry &e)
{
    for (QueuedCall &call : std::exchange(e.queued, {})) {
        if (!call.context)
            continue;
        const quint64 handle = call.handle;
        auto done = std::move(call.done);
        const quint64 sent = e.client->callTool(call.tool, call.arguments, call.context,
                                                [this, handle, done](ToolOutcome outcome) {
                                                    m_calls.remove(handle);
                                                    done(std::move(outcome));
                                                });
        m_calls[handle].second = sent;
    }
}

McpHub::Status McpHub::status(const QString &server) const
{
    const Entry *e = entry(server);
    if (!e || !e->server.enabled)
        return Status::Disabled;
    if (!e->failure.isEmpty())
        return Status::Failed;
    if (!e->client)
        return Status::Idle;
    switch (e->client->state()) {
    case McpClient::State::Idle:
        break;
    case McpClient::State::Starting:
        return Status::Starting;
    case McpClient::State::Ready:
        return Status::Ready;
    case McpClient::State::Failed:
        return Status::Failed;
    }
    return Status::Idle;
}

QString McpHub::statusReason(const QString &server) const
{
    const Entry *e = entry(server);
    if (!e || status(server) != Status::Failed)
        return {};
    return e->failure.isEmpty() ? e->client->failure() : e->failure;
}

QList<McpHub::ToolInfo> McpHub::tools(const QString &server) const
{
    QList<ToolInfo> out;
    if (const Entry *e = entry(server)) {
        for (const McpClient::Tool &tool : e->tools)
            out.append({tool.name, tool.description, !e->server.disabledTools.contains(tool.name)});
    }
    return out;
}

QStringList McpHub::log(const QString &server) const
{
    const Entry *e = entry(server);
    return e ? e->log : QStringList();
}

void McpHub::reconnect(const QString &server)
{
    Entry *e = entry(server);
    if (!e || !e->server.enabled)
        return;
    stopServer(*e, tr("正在重新连接工具服务器"));
    startServer(*e);
}

bool McpHub::hasTools() const
{
    return std::any_of(m_servers.cbegin(), m_servers.cend(),
                       [](const McpServer &s) { return s.enabled; });
}

void McpHub::collectTools(int waitMs, QObject *context,
                          std::function<void(QList<ToolSpec>, QStringList)> done)
{
    for (const auto &e : m_entries) {
        const Status s = status(e->server.name);
        if (s == Status::Idle || s == Status::Failed)
            startServer(*e);
    }
    auto waiter = std::make_unique<Waiter>();
    waiter->context = context;
    waiter->hasContext = context != nullptr;
    waiter->done = std::move(done);
    waiter->timer.setSingleShot(true);
    Waiter *at = waiter.get();
    connect(&waiter->timer, &QTimer::timeout, this, [this, at] { answer(*at); });
    waiter->timer.start(waitMs);
    m_waiters.push_back(std::move(waiter));
    checkWaiters();
}

void McpHub::checkWaiters()
{
    const bool starting = std::any_of(m_entries.cbegin(), m_entries.cend(), [this](const auto &e) {
        return status(e->server.name) == Status::Starting;
    });
    if (starting)
        return;
    // Answered from the event loop, never from within the call that asked.
    for (const auto &waiter : m_waiters)
        waiter->timer.start(0);
}

void McpHub::answer(Waiter &waiter)
{
    const auto it = std::find_if(m_waiters.begin(), m_waiters.end(),
                                 [&](const auto &w) { return w.get() == &waiter; });
    if (it == m_waiters.end())
        return;
    const std::unique_ptr<Waiter> owned = std::move(*it);
    m_waiters.erase(it);
    if (owned->hasContext && !owned->context)
        return;
    QStringList notReady;
    const QList<ToolSpec> tools = readyTools(notReady);
    owned->done(tools, notReady);
}

QList<ToolSpec> McpHub::readyTools(QStringList &notReady) const
{
    QList<ToolSpec> offered;
    QList<std::pair<QString, QString>> pairs;
    for (const auto &e : m_entries) {
        if (!e->server.enabled)
            continue;
        if (status(e->server.name) != Status::Ready) {
            notReady.append(e->server.name);
            continue;
        }
        for (const McpClient::Tool &tool : e->client->tools()) {
            if (e->server.disabledTools.contains(tool.name))
                continue;
            pairs.append({e->server.name, tool.name});
            offered.append({{}, e->server.name, tool.name, tool.description, tool.inputSchema});
        }
    }
    const QStringList names = functionNames(pairs);
    for (qsizetype i = 0; i < offered.size(); ++i)
        offered[i].function = names[i];
    return offered;
}

ToolApproval McpHub::approvalFor(const QString &server) const
{
    const Entry *e = entry(server);
    return e ? toolApproval(e->server.approval) : ToolApproval::Ask;
}

quint64 McpHub::call(const ToolSpec &tool, const QJsonObject &arguments, QObject *context,
                     std::function<void(ToolOutcome)> done)
{
    const quint64 handle = m_nextHandle++;
    Entry *e = entry(tool.server);
    if (!e || !e->server.enabled) {
        const QPointer<QObject> guard(context);
        const QString reason = tr("工具服务器「%1」已不可用").arg(tool.server);
        QTimer::singleShot(0, this, [guard, done, reason] {
            if (guard)
                done(McpClient::failedOutcome(reason));
        });
        return handle;
    }
    m_calls.insert(handle, {tool.server, 0});
    e->queued.append({handle, tool.tool, arguments, context, std::move(done)});
    const Status s = status(tool.server);
    if (s == Status::Ready)
        dispatchQueued(*e);
    else if (s != Status::Starting)
        startServer(*e); // a failed server gets another chance with each use
    return handle;
}

void McpHub::cancel(quint64 handle)
{
    const auto it = m_calls.constFind(handle);
    if (it == m_calls.constEnd())
        return;
    const auto [server, sent] = *it;
    m_calls.erase(it);
    Entry *e = entry(server);
    if (!e)
        return;
    if (sent && e->client) {
        e->client->cancelCall(sent, tr("用户已停止"));
        return;
    }
    e->queued.removeIf([handle](const QueuedCall &call) { return call.handle == handle; });
}
