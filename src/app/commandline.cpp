// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace CommandLine {

namespace {

enum class Early { None, Help, Version };

Early earlyRequest(const QString &arg)
{
    if (arg == u"-h" || arg == u"--help")
        return Early::Help;
    if (arg == u"-v" || arg == u"--version")
        return Early::Version;
    return Early::None;
}

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Qt's own options, which the application object takes out: those followed by a value, then
// those without one. They may be written with one dash or two.
bool isQtOption(QStringView arg, bool &takesValue)
{
    static const QStringList withValue = {
        u"platform"_qs,        u"platformpluginpath"_qs, u"platformtheme"_qs, u"plugin"_qs,
        u"qwindowgeometry"_qs, u"qwindowicon"_qs,        u"qwindowtitle"_qs,  u"session"_qs,
        u"display"_qs,         u"geometry"_qs,           u"title"_qs,         u"name"_qs,
        u"visual"_qs,          u"qmljsdebugger"_qs,
    };
    static const QStringList flags = {u"reverse"_qs, u"nograb"_qs, u"dograb"_qs, u"sync"_qs};
    if (!arg.startsWith(u'-'))
        return false;
    QStringView name = arg.mid(arg.startsWith(u"--") ? 2 : 1);
    // "-qmljsdebugger=port:1234" carries its value.
    if (const qsizetype eq = name.indexOf(u'='); eq > 0) {
        takesValue = false;
        return withValue.contains(name.left(eq));
    }
    takesValue = withValue.contains(name);
    return takesValue || flags.contains(name);
}

int refuse(const QString &arg)
{
    print(stderr, QCoreApplication::translate("CommandLine", "无法识别的参数：%1\n\n").arg(arg));
    print(stderr, helpText());
    return 2;
}

} // namespace

QString helpText()
{
    return QCoreApplication::translate(
        "CommandLine", "用法：corvane [选项]\n"
                       "\n"
                       "通过兼容 OpenAI 的网关与大语言模型对话。\n"
                       "\n"
                       "选项：\n"
                       "  -h, --help     显示本帮助并退出\n"
                       "  -v, --version  显示版本并退出\n"
                       "  --mcp-probe 地址 [工具 [JSON 参数]]\n"
                       "                 连接 HTTP 上的 MCP 服务器，列出它的工具，\n"
                       "                 调用指定的工具并显示结果，然后退出\n"
                       "\n"
                       "Qt 的选项（如 -platform、-session）照常可用。\n");
}

QString versionText()
{
    return QStringLiteral("%1 %2 (Qt %3)\n")
        .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
             QString::fromLatin1(qVersion()));
}

std::optional<int> answerEarly(int argc, const char *const *argv)
{
    // The first request wins, so that "--version --help" answers like "--version".
    for (int i = 1; i < argc; ++i) {
        switch (earlyRequest(QString::fromLocal8Bit(argv[i]))) {
        case Early::None:
            break;
        case Early::Help:
            print(stdout, helpText());
            return 0;
        case Early::Version:
            print(stdout, versionText());
            return 0;
        }
    }
    // Anything that is not Qt's own is refused before a display is asked for, so that a typo
    // gets the help over SSH too.
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool takesValue = false;
        if (!isQtOption(arg, takesValue))
            return refuse(arg);
        i += takesValue;
    }
    return std::nullopt;
}

std::optional<int> refuseUnknown(const QStringList &arguments)
{
    if (arguments.size() <= 1)
        return std::nullopt;
    return refuse(arguments.at(1));
}

} // namespace CommandLine
