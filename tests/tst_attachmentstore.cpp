// SPDX-License-Identifier: GPL-3.0-or-later
// The attachment store: what it keeps of each kind of file, what it refuses, and what it sends.
// Every fixture is made here: images with QImage, PDFs with QPdfWriter.
#include "attach/attachmentstore.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage filled(QSize size, QRgb colour = qRgb(40, 120, 200))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// pages: the text of each page; an empty one gets a picture instead.
QByteArray pdf(const QStringList &pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        if (pages[i].isEmpty())
            painter.drawImage(QRect(0, 0, 2000, 2000), filled({8, 8}));
        else
            painter.drawText(QPoint(200, 400), pages[i]);
    }
    painter.end();
    return bytes;
}

int mode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAttachmentStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<AttachmentStore> m_store;

    // Writes a file into the test's folder (beside, not in, the store's).
    QString write(const QString &name, const QByteArray &bytes, qint64 padTo = 0)
    {
        const QString path = m_dir.filePath(u"in/"_s + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            (padTo > 0 && !file.resize(padTo)))
            qFatal("cannot write the fixture");
        return path;
    }
    Attachment imported(const QString &name, const QByteArray &bytes)
    {
        const AttachmentStore::Imported result = m_store->importFile(write(name, bytes));
        if (!result.attachment)
            qFatal("%s", qPrintable(result.refusal));
        return *result.attachment;
    }
    QStringList stored() const
    {
        QStringList names = QDir(m_store->folder()).entryList(QDir::Files);
        names.sort();
        return names;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(m_dir.path()));
        m_store.emplace(m_dir.path());
    }

    void images_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QSize>("expectedSize");
        QTest::addColumn<QString>("expectedType");

        QImage oneClear = filled({300, 200});
        oneClear.setPixel(7, 5, qRgba(0, 0, 0, 0));
        QImage nearlyOpaque = filled({300, 200});
        nearlyOpaque.setPixel(299, 199, qRgba(0, 0, 0, 254));
        QTest::newRow("large landscape")
            << "png" << filled({4000, 3000}) << QSize(2048, 1536) << "image/jpeg";
        QTest::newRow("large portrait")
            << "bmp" << filled({1000, 3000}) << QSize(683, 2048) << "image/jpeg";
        QTest::newRow("small keeps its size")
            << "jpeg" << filled({640, 480}) << QSize(640, 480) << "image/jpeg";
        QTest::newRow("at the bound")
            << "png" << filled({2048, 10}) << QSize(2048, 10) << "image/jpeg";
        QTest::newRow("one clear pixel") << "png" << oneClear << QSize(300, 200) << "image/png";
        QTest::newRow("one pixel not quite opaque")
            << "png" << nearlyOpaque << QSize(300, 200) << "image/png";
        QTest::newRow("webp") << "webp" << filled({3000, 100}) << QSize(2048, 68) << "image/jpeg";
    }
    void images()
    {
        QFETCH(QString, format);
        QFETCH(QImage, image);
        QFETCH(QSize, expectedSize);
        QFETCH(QString, expectedType);
        if (!QImageReader::supportedImageFormats().contains(format.toLatin1()))
            QSKIP("no image plugin for this format (Debian: qt6-image-formats-plugins)");

        // Named as something else: the bytes decide.
        const Attachment a = imported(u"picture.txt"_s, encoded(image, qPrintable(format)));
        QCOMPARE(a.type, expectedType);
        QCOMPARE(a.name, u"picture.txt"_s);
        const QByteArray bytes = fileBytes(m_store->pathOf(a));
        QCOMPARE(a.size, bytes.size());
        QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
                 a.sha256.toLatin1());
        QCOMPARE(QImage::fromData(bytes).size(), expectedSize);
        QCOMPARE(QImageReader::imageFormat(m_store->pathOf(a)), expectedType.sliced(6).toLatin1());
        QCOMPARE(m_store->approxTokens(a), qint64(0));
    }

    // The 1×1 GIF that web pages use as a spacer, its one pixel clear: a PNG.
    void transparentGif()
    {
        const Attachment a = imported(
            u"spacer.gif"_s,
            QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
        QCOMPARE(a.type, u"image/png"_s);
    }

    // A photo taken sideways: its EXIF orientation (6, a quarter turn clockwise) is applied.
    void exifOrientation()
    {
        QImage image = filled({40, 20}, qRgb(255, 0, 0));
        QPainter(&image).fillRect(20, 0, 20, 20, Qt::blue);
        QByteArray jpeg = encoded(image, "jpeg");
        const QByteArray tiff = QByteArray::fromHex("49492a00080000000100120103000100000006000000"
                                                    "00000000");
        const QByteArray exif = "Exif"_ba + QByteArray(2, '\0') + tiff;
        const quint16 length = exif.size() + 2;
        jpeg.insert(2, "\xff\xe1"_ba + char(length >> 8) + char(length & 0xff) + exif);

        const QImage stored(m_store->pathOf(imported(u"sideways.jpg"_s, jpeg)));
        QCOMPARE(stored.size(), QSize(20, 40));
        QVERIFY(qRed(stored.pixel(10, 5)) > 200 && qBlue(stored.pixel(10, 5)) < 60);
        QVERIFY(qBlue(stored.pixel(10, 35)) > 200 && qRed(stored.pixel(10, 35)) < 60);
    }

    // A 24-megapixel photo decodes at half size: with a limit the full image would pass, it
    // still imports.
    void largePhotoDecodesSmall()
    {
        const QString path = write(u"photo.jpg"_s, encoded(filled({6000, 4000}), "jpeg"));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(64); // MB; the full image takes 96
        const auto restoreLimit = qScopeGuard([&] { QImageReader::setAllocationLimit(limit); });
        QVERIFY(QImageReader(path).read().isNull());
        const AttachmentStore::Imported result = m_store->importFile(path);
        QVERIFY2(result.attachment, qPrintable(result.refusal));
        QCOMPARE(QImage(m_store->pathOf(*result.attachment)).size(), QSize(2048, 1365));
    }

    // The same image twice, from a file and pasted, is one file; folder and files are private.
    void oneFilePerContent()
    {
        const QImage image = filled({64, 64}, qRgba(0, 0, 0, 128));
        const Attachment a = imported(u"a.png"_s, encoded(image, "png"));
        const Attachment b = imported(u"b.png"_s, encoded(image, "png"));
        const AttachmentStore::Imported pasted = m_store->importImage(image);
        QVERIFY(pasted.attachment);
        QCOMPARE(b.sha256, a.sha256);
        QCOMPARE(pasted.attachment->sha256, a.sha256);
        QVERIFY(QRegularExpression(u"^截图 \\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.png$"_s)
                    .match(pasted.attachment->name)
                    .hasMatch());
        const Attachment p = imported(u"p.pdf"_s, pdf({u"x"_s}));
        QStringList files = {a.sha256, p.sha256, p.sha256 + u".txt"_s};
        files.sort();
        QCOMPARE(stored(), files);
        QCOMPARE(mode(m_store->folder()), 0700);
        for (const QString &name : stored())
            QCOMPARE(mode(m_store->folder() + u'/' + name), 0600);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("padTo");
        QTest::addColumn<QString>("expected");

        const QString unknown = u"不是图片、文本或 PDF"_s;
        const QByteArray png = encoded(filled({4, 4}), "png");
        QTest::newRow("binary") << "x.bin"
                                << "PK\x03\x04\0\0\x14"_ba << 0ll << unknown;
        QTest::newRow("invalid UTF-8") << "a.txt"
                                       << "abc\xff"_ba << 0ll << unknown;
        QTest::newRow("UTF-8 cut off") << "a.txt"
                                       << "abc\xe4\xb8"_ba << 0ll << unknown;
        QTest::newRow("large binary") << "core"
                                      << "\x7f"
                                         "ELF\0"_ba
                                      << 600'000ll << unknown;
        QTest::newRow("text too big")
            << "big.log" << QByteArray(512 * 1024 + 1, 'a') << 0ll << u"超过 512 KB 的文本上限"_s;
        QTest::newRow("image too big")
            << "huge.png" << png << 50ll * 1024 * 1024 + 1 << u"超过 50 MB 的图片上限"_s;
        QTest::newRow("broken image") << "b.png" << png.left(30) << 0ll << u"无法作为图片读取"_s;
        QTest::newRow("PDF too big")
            << "big.pdf"
            << "%PDF-1.7\n"_ba << 50ll * 1024 * 1024 + 1 << u"超过 50 MB 的 PDF 上限"_s;
        QTest::newRow("broken PDF") << "b.pdf"
                                    << "%PDF-1.7\nnothing"_ba << 0ll << u"无法作为 PDF 打开"_s;
        QTest::newRow("PDF without text")
            << "scan.pdf" << pdf({QString(), QString()}) << 0ll << u"这个 PDF 没有可提取的文字"_s;
        QTest::newRow("PDF too long") << "long.pdf" << pdf(QStringList(501, u"p"_s)) << 0ll
                                      << u"有 501 页，超过 500 页的上限"_s;
        QTest::newRow("missing") << "gone.txt" << QByteArray() << 0ll << u"无法读取"_s;
    }
    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, padTo);
        QFETCH(QString, expected);

        const QString path = bytes.isNull() ? m_dir.filePath(name) : write(name, bytes, padTo);
        const AttachmentStore::Imported result = m_store->importFile(path);
        QVERIFY(!result.attachment);
        QVERIFY2(result.refusal.contains(expected), qPrintable(result.refusal));
        QVERIFY2(result.refusal.contains(u"「"_s + name + u"」"_s), qPrintable(result.refusal));
        QVERIFY(stored().isEmpty());
    }

    // A PDF's text is extracted page by page, cached, and extracted again when the cache is gone.
    void pdfText()
    {
        const QByteArray bytes = pdf({u"Hello PDF"_s, u"Second page"_s});
        const Attachment a = imported(u"report.pdf"_s, bytes);
        QCOMPARE(a.type, u"application/pdf"_s);
        QCOMPARE(fileBytes(m_store->pathOf(a)), bytes);
        const QString text = u"--- 第 1 页 ---\nHello PDF\n\n--- 第 2 页 ---\nSecond page\n"_s;
        const QString block =
            u"文件「report.pdf」（从 PDF 提取的文字）：\n```\n"_s + text + u"```"_s;
        QCOMPARE(m_store->textBlock(a).value_or(QString()), block);
        QCOMPARE(m_store->approxTokens(a), (text.size() + 3) / 4);
        QVERIFY(QFile::remove(m_store->pathOf(a) + u".txt"_s));
        QCOMPARE(m_store->textBlock(a).value_or(QString()), block);
        QCOMPARE(mode(m_store->pathOf(a) + u".txt"_s), 0600);
    }

    void textBlock_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expectedType");
        QTest::addColumn<QString>("expectedBlock");

        QTest::newRow("C++") << "main.cpp"
                             << "int main() {}\n"
                             << "text/x-c++src"
                             << "文件「main.cpp」：\n```cpp\nint main() {}\n```";
        QTest::newRow("a fence inside") << "README.md"
                                        << "```py\nx = 1\n```\n"
                                        << "text/markdown"
                                        << "文件「README.md」：\n````md\n```py\nx = 1\n```\n````";
        QTest::newRow("a longer run") << "Notes.YML"
                                      << "a: `````"
                                      << "text/plain"
                                      << "文件「Notes.YML」：\n``````yaml\na: `````\n``````";
        QTest::newRow("unknown extension") << "data.xyz"
                                           << "1,2"
                                           << "text/plain"
                                           << "文件「data.xyz」：\n```\n1,2\n```";
        QTest::newRow("JSON, a BOM") << "x.json"
                                     << "\uFEFF{}\n"
                                     << "text/plain"
                                     << "文件「x.json」：\n```json\n{}\n```";
        QTest::newRow("by its whole name") << "CMakeLists.txt"
                                           << "project(x)\n"
                                           << "text/x-cmake"
                                           << "文件「CMakeLists.txt」：\n```cmake\nproject(x)\n```";
    }
    void textBlock()
    {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(QString, expectedType);
        QFETCH(QString, expectedBlock);

        const Attachment a = imported(name, content.toUtf8());
        QCOMPARE(a.type, expectedType);
        QCOMPARE(fileBytes(m_store->pathOf(a)), content.toUtf8());
        QCOMPARE(m_store->textBlock(a).value_or(QString()), expectedBlock);
        QVERIFY(!m_store->imagePart(a));
        const qsizetype characters =
            content.startsWith(u'\uFEFF') ? content.size() - 1 : content.size();
        QCOMPARE(m_store->approxTokens(a), (characters + 3) / 4);
    }

    void imagePartRoundTrip()
    {
        const Attachment a = imported(u"a.jpg"_s, encoded(filled({30, 20}), "jpeg"));
        const QJsonObject part = m_store->imagePart(a).value_or(QJsonObject());
        QCOMPARE(part.value(u"type"_s).toString(), u"image_url"_s);
        const QString url = part.value(u"image_url"_s).toObject().value(u"url"_s).toString();
        QVERIFY(url.startsWith(u"data:image/jpeg;base64,"_s));
        QCOMPARE(QByteArray::fromBase64(url.sliced(23).toLatin1()), fileBytes(m_store->pathOf(a)));
        QVERIFY(!m_store->textBlock(a));
    }

    // A file gone or changed on disk is not sent, nor is a name outside the folder read.
    void damaged_data()
    {
        QTest::addColumn<int>("kind");   // 0 image, 1 text, 2 PDF
        QTest::addColumn<int>("damage"); // 0 removed, 1 changed, 2 named outside
        for (int kind : {0, 1, 2}) {
            for (int damage : {0, 1, 2})
                QTest::addRow("kind %d, damage %d", kind, damage) << kind << damage;
        }
    }
    void damaged()
    {
        QFETCH(int, kind);
        QFETCH(int, damage);
        const QByteArray bytes = kind == 0   ? encoded(filled({8, 8}), "png")
                                 : kind == 1 ? "text\n"_ba
                                             : pdf({u"x"_s});
        Attachment a = imported(u"f"_s, bytes);
        QVERIFY(m_store->verify(a));
        if (damage == 0) {
            QVERIFY(QFile::remove(m_store->pathOf(a)));
        } else if (damage == 1) {
            QFile file(m_store->pathOf(a));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(a.size - 1) && file.write("!"));
        } else {
            write(u"outside"_s, bytes);
            a.sha256 = u"../in/outside"_s;
            QCOMPARE(m_store->pathOf(a), QString());
        }
        QVERIFY(!m_store->verify(a));
        QCOMPARE(m_store->exists(a), damage == 1);
        QVERIFY(!m_store->imagePart(a));
        QVERIFY(!m_store->textBlock(a));
        QCOMPARE(m_store->approxTokens(a), qint64(0));
    }

    void removeUnreferenced()
    {
        const Attachment kept = imported(u"k.txt"_s, "kept"_ba);
        const Attachment gone = imported(u"g.txt"_s, "gone"_ba);
        const Attachment paper = imported(u"p.pdf"_s, pdf({u"p"_s}));
        const QStringList odd = {u"notes"_s, paper.sha256.toUpper(), gone.sha256 + u".tmp"_s};
        for (const QString &name : odd)
            QVERIFY(QFile(m_store->folder() + u'/' + name).open(QIODevice::WriteOnly));
        QDir(m_store->folder()).mkdir(QString(64, u'0'));

        QCOMPARE(m_store->removeUnreferenced({kept.sha256, paper.sha256}), 1);
        QCOMPARE(m_store->removeUnreferenced({kept.sha256}), 2);
        QVERIFY(m_store->exists(kept) && !m_store->exists(gone) && !m_store->exists(paper));
        QStringList left = odd + QStringList{kept.sha256};
        left.sort();
        QCOMPARE(stored(), left);
        QVERIFY(QFileInfo(m_store->folder() + u'/' + QString(64, u'0')).isDir());
    }

    // A clean-up leaves the files stored since it began, also those stored again: the list of
    // files in use it was given was taken before their import ended.
    void removeUnreferencedLeavesNewFiles()
    {
        const Attachment old = imported(u"o.txt"_s, "old"_ba);
        const Attachment again = imported(u"a.txt"_s, "again"_ba);
        const Attachment paper = imported(u"p.pdf"_s, pdf({u"p"_s}));
        const QDateTime past = QDateTime::currentDateTimeUtc().addSecs(-3600);
        for (const Attachment &a : {old, again, paper}) {
            QFile file(m_store->pathOf(a));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
        }
        const QDateTime began = QDateTime::currentDateTimeUtc().addSecs(-60);
        QCOMPARE(imported(u"a2.txt"_s, "again"_ba),
                 (Attachment{u"a2.txt"_s, u"text/plain"_s, again.sha256, again.size}));
        const Attachment fresh = imported(u"f.txt"_s, "fresh"_ba);

        // The old file and the PDF with its text cache go; the one stored again stays.
        QCOMPARE(m_store->removeUnreferenced({}, began), 3);
        QVERIFY(!m_store->exists(old) && !m_store->exists(paper));
        QVERIFY(m_store->verify(again) && m_store->verify(fresh));
    }

    // A backed-up file comes back only when its bytes hash to the name it is restored under.
    void restore()
    {
        const Attachment a = imported(u"a.txt"_s, "backed up"_ba);
        const QString backup = write(u"backup"_s, fileBytes(m_store->pathOf(a)));
        QVERIFY(QFile::remove(m_store->pathOf(a)));
        QVERIFY(!m_store->restore(write(u"tampered"_s, "backed up!"_ba), a.sha256));
        QVERIFY(!m_store->exists(a));
        QVERIFY(!m_store->restore(backup, u"../a"_s));
        QVERIFY(m_store->restore(backup, a.sha256));
        QVERIFY(m_store->verify(a));
        QCOMPARE(mode(m_store->pathOf(a)), 0600);
    }
};

QTEST_MAIN(TestAttachmentStore)
#include "tst_attachmentstore.moc"
