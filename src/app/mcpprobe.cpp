// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcpprobe.h"

#include "app/commandline.h"
#include "mcp/mcpclient.h"
#include "mcp/mcphttptransport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>

namespace McpProbe {

namespace {

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

/// The probe's run: the program's own tool client connects and lists the tools, then one call.
class Session : public QObject
{
    Q_DECLARE_TR_FUNCTIONS(McpProbe)

public:
    Session(const QString &url, std::optional<Call> call)
        : m_transport(new McpHttpTransport(url, {})), m_client(m_transport),
          m_call(std::move(call))
    {
        connect(&m_client, &McpClient::stateChanged, this, &Session::onState);
        connect(&m_client, &McpClient::logLine, this,
                [](const QString &line) { print(stderr, line + u'\n'); });
    }

    int run()
    {
        QTimer::singleShot(overallLimitMs, this, [this] {
            finish(tr("服务器在 %1 秒内没有完成").arg(overallLimitMs / 1000));
        });
        m_client.start();
        return QCoreApplication::exec();
    }

private:
    void onState()
    {
        if (m_client.state() == McpClient::State::Failed) {
            finish(m_client.failure());
            return;
        }
        // Ready again after the server changed its tools: the call is under way already.
        if (m_client.state() != McpClient::State::Ready || m_ready)
            return;
        m_ready = true;
        print(stdout, tr("已连接：%1 %2（协议 %3，%4）\n")
                          .arg(m_client.serverName(), m_client.serverVersion(),
                               m_client.protocolVersion(),
                               m_transport->mode() == McpHttpTransport::Mode::Streamable
                                   ? u"Streamable HTTP"_qs
                                   : u"HTTP+SSE"_qs));
        const QList<McpClient::Tool> &tools = m_client.tools();
        print(stdout, tr("工具（%1 个）：\n").arg(tools.size()));
        for (const McpClient::Tool &tool : tools) {
            const QString description = tool.description.simplified();
            print(stdout, u"  "_qs + tool.name +
                              (description.isEmpty() ? QString() : u" — "_qs + description) +
                              u'\n');
        }
        if (!m_call) {
            finish({});
            return;
        }
        m_client.callTool(m_call->tool, m_call->arguments, this, [this](const ToolOutcome &out) {
            print(stdout, tr("调用 %1 的结果：\n%2\n").arg(m_call->tool, out.text));
            finish(out.isError ? tr("工具 %1 报告了错误").arg(m_call->tool) : QString());
        });
    }

    void finish(const QString &failure)
    {
        if (m_done)
            return;
        m_done = true;
        if (!failure.isEmpty())
            print(stderr, failure + u'\n');
        m_client.stop();
        QCoreApplication::exit(failure.isEmpty() ? 0 : 1);
    }

    McpHttpTransport *m_transport; // owned by the client
    McpClient m_client;
    std::optional<Call> m_call;
    bool m_ready = false;
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
