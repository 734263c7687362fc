// SPDX-License-Identifier: GPL-3.0-or-later
// Attaching a 24-megapixel photo (a 6000×4000 JPEG of a gradient): the whole
// import as the background runner does it (decode at a reduced size, scale to 2048 px,
// re-encode, hash, write), against decoding the same file at full size alone.
#include "attach/attachmentstore.h"

#include <QBuffer>
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

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
