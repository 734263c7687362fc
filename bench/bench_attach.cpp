// SPDX-License-Identifier: GPL-3.0-or-later
// Attaching a 24-megapixel photo (a 6000×4000 JPEG of a gradient): the whole
// import as the background runner does it (decode at a reduced size, scale to 2048 px,
// re-encode, hash, write), against decoding the same file at full size alone. And the request
// of a conversation with 50 images.
#include "attach/attachmentstore.h"
#include "chat/replystream.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Photo
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("photo.jpg"));

    Photo()
    {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 6000, 4000);
        gradient.setColorAt(0, Qt::darkBlue);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(image.rect(), gradient);
        painter.end();
        image.save(path, "jpeg", 90);
    }
};

Photo &photo()
{
    static Photo p;
    return p;
}

void BM_ImportPhoto(benchmark::State &state)
{
    const AttachmentStore store(photo().dir.path());
    for (auto _ : state) {
        const AttachmentStore::Imported imported = store.importFile(photo().path);
        if (!imported.attachment)
            state.SkipWithError(qPrintable(imported.refusal));
        benchmark::DoNotOptimize(imported);
    }
}
BENCHMARK(BM_ImportPhoto)->Unit(benchmark::kMillisecond);

void BM_DecodeFullSize(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QImageReader(photo().path).read());
}
BENCHMARK(BM_DecodeFullSize)->Unit(benchmark::kMillisecond);

// A conversation of 50 questions, each with its own 2048×1536 screenshot, and their answers: the
// request's body made as a send makes it in the background (each image read, checked against
// its hash and turned into base64), and what stays in memory once the body has been posted and
// dropped.
struct ImageConversation
{
    QTemporaryDir dir;
    QList<Message> messages;

    ImageConversation()
    {
        const AttachmentStore store(dir.path());
        for (int i = 0; i < 50; ++i) {
            QImage image(2048, 1536, QImage::Format_RGB32);
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, 2048, 1536);
            gradient.setColorAt(0, QColor::fromHsv(i * 7, 160, 220));
            gradient.setColorAt(1, Qt::white);
            painter.fillRect(image.rect(), gradient);
            painter.setFont(QFont(QStringLiteral("sans"), 40));
            for (int line = 0; line < 30; ++line)
                painter.drawText(
                    40, 60 + line * 48,
                    QStringLiteral("Error %1.%2: the dialog says something").arg(i).arg(line));
            painter.end();
            Message question = Message::make(Message::Role::User, QStringLiteral("这是什么错误？"));
            question.setAttachments({*store.importImage(image).attachment});
            messages << question
                     << Message::make(Message::Role::Assistant, QStringLiteral("这是一个说明。"));
        }
        messages << Message::make(Message::Role::User, QStringLiteral("总结一下"));
    }
};

double residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

void BM_RequestWith50Images(benchmark::State &state)
{
    static ImageConversation conversation;
    const ChatAPI api(Gateway{}, QStringLiteral("gpt-4o"));
    const double before = residentMB();
    qint64 bytes = 0;
    for (auto _ : state) {
        const ReplyStream::Body body = ReplyStream::requestBody(
            api, conversation.dir.path(), conversation.messages, ReplyStream::Images::All);
        bytes = body.bytes.size();
        benchmark::DoNotOptimize(body);
    }
    state.counters["body_MB"] = double(bytes) / (1024 * 1024);
    state.counters["held_MB"] = residentMB() - before;
}
BENCHMARK(BM_RequestWith50Images)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
