// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchinputs.h"
#include "largedata.h"

#include "model/storagecodec.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <random>

namespace LargeData {

namespace {

QString randomText(std::mt19937 &rng, int targetBytes)
{
    static const QString chinese = QStringLiteral(
        "我们今天讨论一下数据存储的格式问题，包括编码、转义与性能。请给出详细的步骤和示例代码。");
    static const QString ascii = QStringLiteral(
        "The quick brown fox jumps over the lazy dog; see https://example.com/docs/api?x=1 "
        "and `code` with \"quotes\"\n");
    QString s;
    int bytes = 0;
    while (bytes < targetBytes) {
        // Runs of either script, as in real replies that mix prose with code and links.
        if (rng() % 2) {
            const int n = 8 + int(rng() % 24);
            s += chinese.mid(int(rng() % (chinese.size() - n)), n);
            bytes += n * 3;
        } else {
            const int n = 16 + int(rng() % 48);
            s += ascii.mid(int(rng() % (ascii.size() - n)), n);
            bytes += n;
        }
    }
    return s;
}

// The shared reply cut at blank lines outside code fences: pieces that are whole blocks.
QStringList replyPieces()
{
    QStringList pieces;
    QString piece;
    bool inFence = false;
    for (const QString &line : BenchInputs::reply().split(u'\n')) {
        if (line.trimmed().startsWith(QLatin1String("```")))
            inFence = !inFence;
        if (!inFence && line.trimmed().isEmpty()) {
            if (!piece.isEmpty())
                pieces << piece;
            piece.clear();
            continue;
        }
        piece += (piece.isEmpty() ? QString() : QStringLiteral("\n")) + line;
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

Conversation longConversation(int messages)
{
    std::mt19937 rng(7);
    const QStringList pieces = replyPieces();
    Conversation c = Conversation::make();
    c.title = longTitle();
    c.createdAt = 773020800.0;
    qsizetype next = 0;
    for (int m = 0; m < messages; ++m) {
        if (m % 2 == 0) {
            c.messages.append(Message::make(Message::Role::User, randomText(rng, 200)));
            continue;
        }
        // About 1.5 KB of consecutive blocks per reply.
        QString reply;
        while (reply.toUtf8().size() < 1500) {
            reply += (reply.isEmpty() ? QString() : QStringLiteral("\n\n")) + pieces.at(next);
            next = (next + 1) % pieces.size();
        }
        c.messages.append(Message::make(Message::Role::Assistant, reply));
    }
    return c;
}

} // namespace

QString longTitle()
{
    return QStringLiteral("长对话：两千条消息");
}

AppData generate(int longMessages)
{
    std::mt19937 rng(20261206);
    AppData data;
    data.settings.apiKey = QStringLiteral("sk-bench");
    data.settings.models = {QStringLiteral("gpt-4o-mini"), QStringLiteral("deepseek/deepseek-r1")};
    data.conversations.reserve(conversationCount + 1);
    for (int i = 0; i < conversationCount; ++i) {
        Conversation c = Conversation::make();
        c.title = randomText(rng, 30);
        c.createdAt = 773020800.0 + i * 3600.123;
        if (i % 3 == 0)
            c.model = QStringLiteral("gpt-4o");
        const int messages = 4 + int(rng() % 5);
        for (int m = 0; m < messages; ++m) {
            const auto role = m % 2 ? Message::Role::Assistant : Message::Role::User;
            c.messages.append(Message::make(role, randomText(rng, m % 2 ? 1200 : 260)));
        }
        data.conversations.append(c);
    }
    if (longMessages > 0)
        data.conversations.insert(1, longConversation(longMessages));
    return data;
}

qint64 write(const QString &dir, const AppData &data)
{
    const QByteArray bytes = encodeAppData(data);
    QFile f(dir + QStringLiteral("/data.json"));
    if (bytes.isEmpty() || !QDir().mkpath(dir) || !f.open(QIODevice::WriteOnly) ||
        f.write(bytes) != bytes.size())
        return -1;
    return bytes.size();
}

} // namespace LargeData
