// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <QCoreApplication>

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

} // namespace

QString helpText()
{
    return QCoreApplication::translate("CommandLine",
                                       "用法：corvane [选项]\n"
                                       "\n"
                                       "通过兼容 OpenAI 的网关与大语言模型对话。\n"
                                       "\n"
                                       "选项：\n"
                                       "  -h, --help     显示本帮助并退出\n"
                                       "  -v, --version  显示版本并退出\n"
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
    return std::nullopt;
}

std::optional<int> refuseUnknown(const QStringList &arguments)
{
    if (arguments.size() <= 1)
        return std::nullopt;
    print(
        stderr,
        QCoreApplication::translate("CommandLine", "无法识别的参数：%1\n\n").arg(arguments.at(1)));
    print(stderr, helpText());
    return 2;
}

} // namespace CommandLine
