// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcpclient.h"

#include "mcp/mcptransport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

struct McpClient::Pending
{
    QString method;
    Answer answer;
    int timeoutMs = 0;
    QTimer timer;
};

namespace {

constexpr int methodNotFound = -32601;

/// A JSON-RPC id as this client writes them; 0 for anything else.
quint64 idOf(const QJsonValue &id)
{
    if (id.isDouble())
        return quint64(std::max<qint64>(0, id.toInteger()));
    if (id.isString())
        return id.toString().toULongLong();
    return 0;
}

/// What stands for a part of a result that is not text.
QString partNote(const QJsonObject &part)
{
    const QString type = part.value("type"_L1).toString();
    if (type == "image"_L1)
        return McpClient::tr("[图片]");
    if (type == "audio"_L1)
        return McpClient::tr("[音频]");
    if (type == "resource_link"_L1) {
        return McpClient::tr("[链接：%1]").arg(part.value("uri"_L1).toString());
    }
    if (type == "resource"_L1) {
        const QJsonObject resource = part.value("resource"_L1).toObject();
        const QJsonValue text = resource.value("text"_L1);
        if (text.isString())
            return text.toString();
        return McpClient::tr("[资源：%1]").arg(resource.value("uri"_L1).toString());
    }
    return McpClient::tr("[%1 内容]").arg(type.isEmpty() ? u"?"_s : type);
}

} // namespace

const QStringList &McpClient::protocolVersions()
{
    static const QStringList versions{u"2025-06-18"_s, u"2025-03-26"_s, u"2024-11-05"_s};
    return versions;
}

McpClient::McpClient(McpTransport *transport, QObject *parent)
    : QObject(parent), m_transport(transport)
{
    transport->setParent(nullptr);
    connect(transport, &McpTransport::started, this, &McpClient::initialize);
    connect(transport, &McpTransport::message, this, &McpClient::handle);
    connect(transport, &McpTransport::failed, this, &McpClient::fail);
    connect(transport, &McpTransport::logLine, this, &McpClient::logLine);
    connect(transport, &McpTransport::sessionExpired, this, [this] {
        // The server forgot the session: what was asked in it is lost; start over.
        dropPending(tr("服务器的会话已过期"));
        m_initialized = false;
        m_listing = false;
        setState(State::Starting);
        initialize();
    });
}

McpClient::~McpClient()
{
    stop();
}

void McpClient::start()
{
    if (m_state != State::Idle || !m_transport)
        return;
    setState(State::Starting);
    m_transport->start();
}

void McpClient::stop(const QString &reason)
{
    if (!reason.isEmpty())
        dropPending(reason);
    m_pending.clear();
    if (m_transport) {
        m_transport->disconnect(this);
        m_transport->close();
        // Closing may hand work to the event loop; the transport goes when that is done.
        m_transport.release()->deleteLater();
    }
}

void McpClient::initialize()
{
    QJsonObject params{
        {u"protocolVersion"_s, protocolVersions().first()},
        {u"capabilities"_s, QJsonObject()},
        {u"clientInfo"_s,
         QJsonObject{{u"name"_s, u"Corvane"_s}, {u"version"_s, QStringLiteral(CORVANE_VERSION)}}},
    };
    request(u"initialize"_s, params, m_requestTimeoutMs,
            [this](const QJsonObject &result, const QJsonObject &error) {
                if (!error.isEmpty()) {
                    fail(tr("服务器拒绝了连接：%1").arg(error.value("message"_L1).toString()));
                    return;
                }
                const QString version = result.value("protocolVersion"_L1).toString();
                if (!protocolVersions().contains(version)) {
                    fail(tr("服务器使用的协议版本「%1」本程序不支持").arg(version));
                    return;
                }
                m_version = version;
                const QJsonObject server = result.value("serverInfo"_L1).toObject();
                m_serverName = server.value("name"_L1).toString();
                m_serverVersion = server.value("version"_L1).toString();
                m_transport->setProtocolVersion(version);
                notify(u"notifications/initialized"_s, {});
                m_initialized = true;
                m_listing = true;
                listTools({}, {});
            });
}

void McpClient::listTools(const QString &cursor, QList<Tool> gathered)
{
    QJsonObject params;
    if (!cursor.isEmpty())
        params.insert(u"cursor"_s, cursor);
    request(u"tools/list"_s, params, m_requestTimeoutMs,
            [this, gathered](const QJsonObject &result, const QJsonObject &error) mutable {
                if (!error.isEmpty()) {
                    fail(tr("无法取得工具列表：%1").arg(error.value("message"_L1).toString()));
                    return;
                }
                for (const QJsonValue &entry : result.value("tools"_L1).toArray()) {
                    const QJsonObject tool = entry.toObject();
                    const QString name = tool.value("name"_L1).toString();
                    // A tool that only runs as a background task cannot be called plainly.
                    const QString tasks =
                        tool.value("execution"_L1).toObject().value("taskSupport"_L1).toString();
                    if (name.isEmpty() || tasks == "required"_L1)
                        continue;
                    gathered.append({name, tool.value("description"_L1).toString(),
                                     tool.value("inputSchema"_L1).toObject()});
                }
                const QString next = result.value("nextCursor"_L1).toString();
                if (!next.isEmpty()) {
                    listTools(next, gathered);
                    return;
                }
                m_listing = false;
                const bool changed = gathered != m_tools;
                m_tools = gathered;
                if (m_listAgain) {
                    m_listAgain = false;
                    m_listing = true;
                    listTools({}, {});
                }
                if (changed)
                    emit toolsChanged();
                if (m_state == State::Starting)
                    setState(State::Ready);
            });
}

quint64 McpClient::callTool(const QString &name, const QJsonObject &arguments, QObject *context,
                            CallDone done)
{
    QPointer<QObject> guard(context);
    if (m_state != State::Ready) {
        const QString reason = m_state == State::Failed ? m_failure : tr("服务器尚未就绪");
        QTimer::singleShot(0, context ? context : this, [guard, done, reason] {
            if (guard)
                done(failedOutcome(reason));
        });
        return 0;
    }
    const quint64 id = m_nextId;
    // The request's id is its progress token, so that progress keeps a long call alive.
    QJsonObject params{{u"name"_s, name},
                       {u"arguments"_s, arguments},
                       {u"_meta"_s, QJsonObject{{u"progressToken"_s, qint64(id)}}}};
    return request(u"tools/call"_s, params, m_callTimeoutMs,
                   [guard, done](const QJsonObject &result, const QJsonObject &error) {
                       if (!guard)
                           return;
                       done(error.isEmpty() ? outcome(result)
                                            : failedOutcome(error.value("message"_L1).toString()));
                   });
}

void McpClient::cancelCall(quint64 handle, const QString &reason)
{
    if (!m_pending.remove(handle))
        return;
    notify(u"notifications/cancelled"_s,
           QJsonObject{{u"requestId"_s, qint64(handle)}, {u"reason"_s, reason}});
}

ToolOutcome McpClient::outcome(const QJsonObject &result)
{
    ToolOutcome out;
    out.isError = result.value("isError"_L1).toBool();
    out.content = result.value("content"_L1).toArray();
    QStringList parts;
    bool hasText = false;
    for (const QJsonValue &entry : std::as_const(out.content)) {
        const QJsonObject part = entry.toObject();
        if (part.value("type"_L1).toString() == "text"_L1) {
            hasText = true;
            parts.append(part.value("text"_L1).toString());
        } else {
            parts.append(partNote(part));
        }
    }
    const QJsonValue structured = result.value("structuredContent"_L1);
    if (!hasText && structured.isObject()) {
        parts.prepend(
            QString::fromUtf8(QJsonDocument(structured.toObject()).toJson(QJsonDocument::Compact)));
    }
    out.text = parts.join(u'\n');

    if (out.text.size() * 3 > maxResultBytes) { // else it cannot be longer in UTF-8
        const QByteArray bytes = out.text.toUtf8();
        if (bytes.size() > maxResultBytes) {
            qsizetype cut = maxResultBytes;
            while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
                --cut; // not in the middle of a character
            out.text = QString::fromUtf8(bytes.first(cut)) +
                       tr("\n…（结果过长，省略了其余 %1 字节）").arg(bytes.size() - cut);
        }
    }
    return out;
}

ToolOutcome McpClient::failedOutcome(const QString &reason)
{
    return ToolOutcome{reason, true, {}};
}

quint64 McpClient::request(const QString &method, const QJsonObject &params, int timeoutMs,
                           Answer answer)
{
    const quint64 id = m_nextId++;
    auto pending = std::make_shared<Pending>();
    pending->method = method;
    pending->answer = std::move(answer);
    pending->timeoutMs = timeoutMs;
    pending->timer.setSingleShot(true);
    connect(&pending->timer, &QTimer::timeout, this, [this, id] { timedOut(id); });
    pending->timer.start(timeoutMs);
    m_pending.insert(id, pending);

    QJsonObject message{{u"jsonrpc"_s, u"2.0"_s}, {u"id"_s, qint64(id)}, {u"method"_s, method}};
    if (!params.isEmpty() || method != "tools/list"_L1)
        message.insert(u"params"_s, params);
    if (m_transport)
        m_transport->send(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return id;
}

void McpClient::notify(const QString &method, const QJsonObject &params)
{
    QJsonObject message{{u"jsonrpc"_s, u"2.0"_s}, {u"method"_s, method}};
    if (!params.isEmpty())
        message.insert(u"params"_s, params);
    if (m_transport)
        m_transport->send(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void McpClient::handle(const QJsonObject &message)
{
    const QJsonValue method = message.value("method"_L1);
    if (method.isString()) {
        if (message.contains("id"_L1)) {
            handleRequest(message);
            return;
        }
        const QString name = method.toString();
        const QJsonObject params = message.value("params"_L1).toObject();
        if (name == "notifications/tools/list_changed"_L1) {
            // Before the first listing is done it brings nothing new.
            if (m_listing)
                m_listAgain = true;
            else if (m_initialized) {
                m_listing = true;
                listTools({}, {});
            }
        } else if (name == "notifications/progress"_L1) {
            const auto it = m_pending.constFind(idOf(params.value("progressToken"_L1)));
            if (it != m_pending.constEnd())
                restartTimer(**it);
        } else if (name == "notifications/message"_L1) {
            const QJsonValue data = params.value("data"_L1);
            emit logLine(data.isString()
                             ? data.toString()
                             : QString::fromUtf8(
                                   QJsonDocument(data.toObject()).toJson(QJsonDocument::Compact)));
        }
        return;
    }
    const quint64 id = idOf(message.value("id"_L1));
    const auto pending = m_pending.take(id);
    if (!pending) {
        // An answer to a call that was cancelled or timed out: nobody waits for it.
        return;
    }
    const QJsonValue error = message.value("error"_L1);
    QJsonObject errorObject;
    if (!error.isUndefined() && !error.isNull()) {
        errorObject = error.toObject();
        if (errorObject.value("message"_L1).toString().isEmpty())
            errorObject.insert(u"message"_s, tr("服务器返回了错误"));
    }
    pending->answer(message.value("result"_L1).toObject(), errorObject);
}

void McpClient::handleRequest(const QJsonObject &message)
{
    const QJsonValue id = message.value("id"_L1);
    if (message.value("method"_L1).toString() == "ping"_L1) {
        answerRequest(id, QJsonObject(), {});
        return;
    }
    answerRequest(id, {},
                  QJsonObject{{u"code"_s, methodNotFound}, {u"message"_s, u"Method not found"_s}});
}

void McpClient::answerRequest(const QJsonValue &id, const QJsonObject &result,
                              const QJsonObject &error)
{
    QJsonObject message{{u"jsonrpc"_s, u"2.0"_s}, {u"id"_s, id}};
    if (error.isEmpty())
        message.insert(u"result"_s, result);
    else
        message.insert(u"error"_s, error);
    if (m_transport)
        m_transport->send(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void McpClient::restartTimer(Pending &pending)
{
    pending.timer.start(pending.timeoutMs);
}

void McpClient::timedOut(quint64 id)
{
    const auto pending = m_pending.take(id);
    if (!pending)
        return;
    const QString reason =
        tr("服务器在 %1 秒内没有回应").arg(qMax(1, (pending->timeoutMs + 500) / 1000));
    if (pending->method == "tools/call"_L1) {
        notify(u"notifications/cancelled"_s,
               QJsonObject{{u"requestId"_s, qint64(id)}, {u"reason"_s, reason}});
        pending->answer({}, QJsonObject{{u"message"_s, reason}});
        return;
    }
    fail(reason);
}

void McpClient::fail(const QString &reason)
{
    if (m_state == State::Failed)
        return;
    m_failure = reason;
    emit logLine(reason);
    if (m_transport) {
        m_transport->disconnect(this);
        m_transport->close();
    }
    setState(State::Failed);
    dropPending(reason);
}

void McpClient::dropPending(const QString &reason)
{
    // Only calls have someone waiting outside; the handshake's own requests just end.
    const auto pending = std::exchange(m_pending, {});
    for (const auto &p : pending) {
        if (p->method == "tools/call"_L1)
            p->answer({}, QJsonObject{{u"message"_s, reason}});
    }
}

void McpClient::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}
