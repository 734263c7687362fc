// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcpprobe.h"

#include "app/commandline.h"
#include "mcp/mcphttptransport.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>

namespace McpProbe {

namespace {

// The version asked for, and those a server may answer with.
constexpr auto ourVersion = "2025-06-18";
const QStringList knownVersions = {QStringLiteral("2025-06-18"), QStringLiteral("2025-03-26"),
                                   QStringLiteral("2024-11-05")};

// The whole probe ends by then, whatever the server does.
constexpr int overallLimitMs = 25'000;

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

struct Call
{
    QString tool;
    QJsonObject arguments;
};

// The tool each of the conformance suite's client scenarios expects to be called, if any.
std::optional<Call> scenarioCall(const QString &scenario)
{
    if (scenario == u"tools_call")
        return Call{QStringLiteral("add_numbers"),
                    {{QStringLiteral("a"), 2}, {QStringLiteral("b"), 3}}};
    if (scenario == u"sse-retry")
        return Call{QStringLiteral("test_reconnection"), {}};
    return std::nullopt;
}

/**
 * The probe's conversation with the server: initialize, the tools in pages, one call. A
 * stand-in for the program's tool client until the probe runs on it.
 */
class Session : public QObject
{
    Q_DECLARE_TR_FUNCTIONS(McpProbe)

public:
    Session(const QString &url, std::optional<Call> call)
        : m_transport(url, {}), m_call(std::move(call))
    {
        connect(&m_transport, &McpTransport::started, this, [this] {
            request(u"initialize"_qs,
                    {{u"protocolVersion"_qs, QString::fromLatin1(ourVersion)},
                     {u"capabilities"_qs, QJsonObject()},
                     {u"clientInfo"_qs,
                      QJsonObject{{u"name"_qs, QCoreApplication::applicationName()},
                                  {u"version"_qs, QCoreApplication::applicationVersion()}}}});
        });
        connect(&m_transport, &McpTransport::message, this, &Session::onMessage);
        connect(&m_transport, &McpTransport::failed, this, &Session::finish);
        connect(&m_transport, &McpTransport::sessionExpired, this,
                [this] { finish(tr("服务器结束了会话")); });
        connect(&m_transport, &McpTransport::logLine, this,
                [](const QString &line) { print(stderr, line + u'\n'); });
    }

    int run()
    {
        QTimer::singleShot(overallLimitMs, this, [this] {
            finish(tr("服务器在 %1 秒内没有完成").arg(overallLimitMs / 1000));
        });
        m_transport.start();
        return QCoreApplication::exec();
    }

private:
    void request(const QString &method, const QJsonObject &params)
    {
        m_method = method;
        sendMessage({{u"jsonrpc"_qs, u"2.0"_qs},
                     {u"id"_qs, ++m_lastId},
                     {u"method"_qs, method},
                     {u"params"_qs, params}});
    }

    void sendMessage(const QJsonObject &message)
    {
        m_transport.send(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }

    void onMessage(const QJsonObject &message)
    {
        const QString method = message.value(u"method").toString();
        if (!method.isEmpty()) {
            if (!message.contains(u"id"))
                return; // notifications change nothing for a single run
            // The server's own requests: a ping is answered, nothing else is offered.
            QJsonObject answer{{u"jsonrpc"_qs, u"2.0"_qs}, {u"id"_qs, message.value(u"id")}};
            if (method == u"ping")
                answer.insert(u"result"_qs, QJsonObject());
            else
                answer.insert(u"error"_qs, QJsonObject{{u"code"_qs, -32601},
                                                       {u"message"_qs, u"Method not found"_qs}});
            sendMessage(answer);
            return;
        }
        if (message.value(u"id") != QJsonValue(m_lastId))
            return;
        if (message.contains(u"error")) {
            const QJsonObject error = message.value(u"error").toObject();
            finish(tr("服务器拒绝了 %1：%2（%3）")
                       .arg(m_method, error.value(u"message").toString())
                       .arg(error.value(u"code").toInt()));
            return;
        }
        const QJsonObject result = message.value(u"result").toObject();
        if (m_method == u"initialize")
            onInitialized(result);
        else if (m_method == u"tools/list")
            onTools(result);
        else
            onCalled(result);
    }

    void onInitialized(const QJsonObject &result)
    {
        const QString version = result.value(u"protocolVersion").toString();
        if (!knownVersions.contains(version)) {
            finish(tr("服务器使用的协议版本 %1 不受支持").arg(version));
            return;
        }
        m_transport.setProtocolVersion(version);
        const QJsonObject info = result.value(u"serverInfo").toObject();
        print(stdout,
              tr("已连接：%1 %2（协议 %3，%4）\n")
                  .arg(info.value(u"name").toString(), info.value(u"version").toString(), version,
                       m_transport.mode() == McpHttpTransport::Mode::Streamable
                           ? u"Streamable HTTP"_qs
                           : u"HTTP+SSE"_qs));
        sendMessage({{u"jsonrpc"_qs, u"2.0"_qs}, {u"method"_qs, u"notifications/initialized"_qs}});
        request(u"tools/list"_qs, {});
    }

    void onTools(const QJsonObject &result)
    {
        for (const QJsonValue &tool : result.value(u"tools").toArray())
            m_tools.append(tool.toObject());
        const QString cursor = result.value(u"nextCursor").toString();
        if (!cursor.isEmpty()) {
            request(u"tools/list"_qs, {{u"cursor"_qs, cursor}});
            return;
        }
        print(stdout, tr("工具（%1 个）：\n").arg(m_tools.size()));
        for (const QJsonObject &tool : std::as_const(m_tools)) {
            const QString description = tool.value(u"description").toString().simplified();
            print(stdout, u"  "_qs + tool.value(u"name").toString() +
                              (description.isEmpty() ? QString() : u" — "_qs + description) +
                              u'\n');
        }
        if (!m_call) {
            finish({});
            return;
        }
        request(u"tools/call"_qs,
                {{u"name"_qs, m_call->tool}, {u"arguments"_qs, m_call->arguments}});
    }

    void onCalled(const QJsonObject &result)
    {
        QStringList parts;
        for (const QJsonValue &value : result.value(u"content").toArray()) {
            const QJsonObject part = value.toObject();
            const QString type = part.value(u"type").toString();
            if (type == u"text")
                parts.append(part.value(u"text").toString());
            else
                parts.append(
                    u"[%1 %2]"_qs.arg(type, part.value(u"mimeType").toString()).simplified());
        }
        if (parts.isEmpty() && result.contains(u"structuredContent"))
            parts.append(QString::fromUtf8(
                QJsonDocument(result.value(u"structuredContent").toObject()).toJson()));
        print(stdout, tr("调用 %1 的结果：\n%2\n").arg(m_call->tool, parts.join(u'\n')));
        finish(result.value(u"isError").toBool() ? tr("工具 %1 报告了错误").arg(m_call->tool)
                                                 : QString());
    }

    void finish(const QString &failure)
    {
        if (m_done)
            return;
        m_done = true;
        if (!failure.isEmpty())
            print(stderr, failure + u'\n');
        m_transport.close();
        QCoreApplication::exit(failure.isEmpty() ? 0 : 1);
    }

    McpHttpTransport m_transport;
    std::optional<Call> m_call;
    QList<QJsonObject> m_tools;
    QString m_method;
    int m_lastId = 0;
    bool m_done = false;
};

int refuse(const QString &problem)
{
    print(stderr,
          QCoreApplication::translate("McpProbe", "--mcp-probe 的参数有误：%1\n\n").arg(problem));
    print(stderr, CommandLine::helpText());
    return 2;
}

} // namespace

bool requested(int argc, const char *const *argv)
{
    return argc > 1 && std::strcmp(argv[1], "--mcp-probe") == 0;
}

int run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return refuse(QCoreApplication::translate("McpProbe", "缺少服务器地址"));
    if (arguments.size() > 3)
        return refuse(
            QCoreApplication::translate("McpProbe", "多余的参数 %1").arg(arguments.at(3)));
    std::optional<Call> call;
    if (arguments.size() >= 2) {
        call = Call{arguments.at(1), {}};
        if (arguments.size() == 3) {
            const QJsonDocument json = QJsonDocument::fromJson(arguments.at(2).toUtf8());
            if (!json.isObject())
                return refuse(QCoreApplication::translate("McpProbe", "工具参数不是 JSON 对象：%1")
                                  .arg(arguments.at(2)));
            call->arguments = json.object();
        }
    } else {
        call = scenarioCall(qEnvironmentVariable("MCP_CONFORMANCE_SCENARIO"));
    }
    Session session(arguments.first(), call);
    return session.run();
}

} // namespace McpProbe
