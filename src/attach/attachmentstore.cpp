// SPDX-License-Identifier: GPL-3.0-or-later
#include "attach/attachmentstore.h"

#include "attach/pdftext.h"
#include "model/storedtext.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Owner-only, like the data folder and data.json.
constexpr QFile::Permissions folderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions fileMode = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions openToOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

const QString pdfType = u"application/pdf"_s;
const auto textCacheSuffix = ".txt"_L1;

// How much of a file too large to store is read to tell text from binary.
constexpr qint64 sniffBytes = 64 * 1024;

AttachmentStore::Imported refused(const QString &why)
{
    return {std::nullopt, why};
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The image format the first bytes announce, of those a model reads; nullptr for another.
// The file's content decides, not its name: a screenshot saved as ".jpg" is often a PNG.
const char *imageFormat(const QByteArray &head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (head.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return "webp";
    // "BM" alone starts many a text; the size of the header after it is one of a few.
    if (head.startsWith("BM") && head.size() >= 18) {
        const auto headerSize = quint32(quint8(head[14])) | quint32(quint8(head[15])) << 8 |
                                quint32(quint8(head[16])) << 16 | quint32(quint8(head[17])) << 24;
        if (headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
            headerSize == 64 || headerSize == 108 || headerSize == 124)
            return "bmp";
    }
    return nullptr;
}

// A PDF's header may follow some bytes of another kind, within its first kilobyte.
bool isPdf(const QByteArray &head)
{
    return head.left(1024).contains("%PDF-");
}

// Valid UTF-8 without NUL bytes. A prefix of a longer file may end inside a character.
bool isText(const QByteArray &bytes, bool prefix)
{
    if (bytes.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, prefix ? QStringDecoder::Flag::Default
                                                        : QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString decodeText(const QByteArray &bytes)
{
    return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
}

QSize fitted(QSize size)
{
    const int longSide = std::max(size.width(), size.height());
    if (longSide <= AttachmentStore::maxImageSide)
        return size;
    const auto shortened = [&](int side) {
        return std::max(1, qRound(double(side) * AttachmentStore::maxImageSide / longSide));
    };
    return {shortened(size.width()), shortened(size.height())};
}

// Screenshots are ARGB with every pixel opaque, so the alpha values decide, not the format.
bool isOpaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return true;
    const bool argb32 = image.format() == QImage::Format_ARGB32 ||
                        image.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage argb = argb32 ? image : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        if (std::any_of(line, line + argb.width(), [](QRgb p) { return qAlpha(p) != 255; }))
            return false;
    }
    return true;
}

// A pasted image's name, from the time it was pasted; written into data.json, so in its source
// form.
QString screenshotName(bool jpeg)
{
    return StoredText::text(QT_TRANSLATE_NOOP("Stored", "截图 %1"), StoredText::Form::Written)
               .arg(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH.mm.ss"_s)) +
           (jpeg ? ".jpg"_L1 : ".png"_L1);
}

// The longest run of backticks in text.
qsizetype longestBacktickRun(const QString &text)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c == u'`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

AttachmentStore::AttachmentStore(const QString &dataDir) : m_folder(dataDir + "/attachments"_L1) {}

AttachmentStore::Imported AttachmentStore::importFile(const QString &path) const
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return refused(tr("无法读取「%1」。").arg(name));
    const QByteArray head = file.read(1024);
    file.close();
    if (const char *format = imageFormat(head))
        return importImageFile(path, name, format);
    if (isPdf(head))
        return importPdf(path, name);
    return importText(path, name);
}

AttachmentStore::Imported AttachmentStore::importImageFile(const QString &path, const QString &name,
                                                           const char *format) const
{
    if (QFileInfo(path).size() > maxImageBytes)
        return refused(
            tr("「%1」超过 %2 MB 的图片上限。").arg(name).arg(maxImageBytes / (1024 * 1024)));
    QImageReader reader(path, format);
    reader.setAutoTransform(true);
    // A decoder that can scale (JPEG's) then never holds the full-size image; for the others
    // the reader scales after decoding.
    const QSize size = reader.size();
    if (size.isValid() && fitted(size) != size)
        reader.setScaledSize(fitted(size));
    const QImage image = reader.read();
    if (image.isNull()) {
        if (reader.error() == QImageReader::UnsupportedFormatError || !size.isValid())
            return refused(tr("「%1」无法作为图片读取。").arg(name));
        return refused(tr("「%1」（%2×%3 像素）无法解码，可能太大或已损坏。")
                           .arg(name)
                           .arg(size.width())
                           .arg(size.height()));
    }
    return storeImage(image, name);
}

AttachmentStore::Imported AttachmentStore::importImage(const QImage &image,
                                                       const QString &name) const
{
    if (image.isNull())
        return refused(tr("粘贴的图片是空的。"));
    return storeImage(image, name);
}

AttachmentStore::Imported AttachmentStore::storeImage(const QImage &image,
                                                      const QString &name) const
{
    const QSize size = fitted(image.size());
    const QImage scaled = size == image.size()
                              ? image
                              : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const bool opaque = isOpaque(scaled);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, opaque ? "jpeg" : "png");
    if (opaque)
        writer.setQuality(jpegQuality);
    // JPEG has no alpha channel; an opaque ARGB image is written as the RGB it shows.
    const bool written = writer.write(
        opaque && scaled.hasAlphaChannel() ? scaled.convertToFormat(QImage::Format_RGB32) : scaled);
    const QString shownName = name.isEmpty() ? screenshotName(opaque) : name;
    if (!written)
        return refused(tr("「%1」无法编码：%2").arg(shownName, writer.errorString()));
    return store(bytes, shownName, opaque ? u"image/jpeg"_s : u"image/png"_s);
}

AttachmentStore::Imported AttachmentStore::importText(const QString &path,
                                                      const QString &name) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(tr("无法读取「%1」。").arg(name));
    const QString unknown = tr("「%1」不是图片、文本或 PDF，无法附加。").arg(name);
    if (file.size() > maxTextBytes) {
        if (!isText(file.read(sniffBytes), true))
            return refused(unknown);
        return refused(tr("「%1」超过 %2 KB 的文本上限。").arg(name).arg(maxTextBytes / 1024));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return refused(tr("无法读取「%1」。").arg(name));
    if (!isText(bytes, false))
        return refused(unknown);
    // The database knows names best; what it calls text of another kind (JSON is
    // application/json) is sent as plain text all the same.
    const QString mime =
        QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
    return store(bytes, name, mime.startsWith("text/"_L1) ? mime : u"text/plain"_s);
}

AttachmentStore::Imported AttachmentStore::importPdf(const QString &path, const QString &name) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(tr("无法读取「%1」。").arg(name));
    if (file.size() > maxPdfBytes)
        return refused(
            tr("「%1」超过 %2 MB 的 PDF 上限。").arg(name).arg(maxPdfBytes / (1024 * 1024)));
    const QByteArray bytes = file.readAll();
    const PdfText::Extracted pdf = PdfText::extract(bytes, maxPdfPages);
    using Status = PdfText::Extracted::Status;
    switch (pdf.status) {
    case Status::Ok:
        break;
    case Status::Unreadable:
        return refused(tr("「%1」无法作为 PDF 打开。").arg(name));
    case Status::Locked:
        return refused(tr("「%1」有密码保护，无法读取。").arg(name));
    case Status::TooManyPages:
        return refused(
            tr("「%1」有 %2 页，超过 %3 页的上限。").arg(name).arg(pdf.pages).arg(maxPdfPages));
    case Status::NoText:
        return refused(tr("「%1」：这个 PDF 没有可提取的文字。").arg(name));
    }
    Imported imported = store(bytes, name, pdfType);
    // Without its cache the text is extracted again when it is needed.
    if (imported.attachment)
        writeFile(pathOf(*imported.attachment) + textCacheSuffix, pdf.text.toUtf8());
    return imported;
}

AttachmentStore::Imported AttachmentStore::store(const QByteArray &bytes, const QString &name,
                                                 const QString &type) const
{
    const Attachment attachment{name, type, sha256Hex(bytes), bytes.size()};
    const QString path = pathOf(attachment);
    if (verify(attachment)) {
        // Stored again: a clean-up that began before must leave it (see removeUnreferenced()).
        QFile file(path);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
        return {attachment, QString()};
    }
    const QString failure =
        ensureFolder() ? writeFile(path, bytes) : tr("无法创建文件夹“%1”").arg(m_folder);
    if (!failure.isEmpty())
        return refused(tr("无法保存附件「%1」：%2").arg(name, failure));
    return {attachment, QString()};
}

QString AttachmentStore::writeFile(const QString &path, const QByteArray &bytes) const
{
    // QSaveFile writes a temporary file in the same folder and renames it over the path, so a
    // reader never sees part of a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(fileMode) ||
        file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return QString();
}

bool AttachmentStore::ensureFolder() const
{
    const QFileInfo info(m_folder);
    if (info.isDir()) {
        // A folder copied in from elsewhere may be open to others; the files are private.
        if (info.permissions() & openToOthers)
            QFile::setPermissions(m_folder, folderMode);
        return true;
    }
    const QDir dir;
    return (dir.mkpath(QFileInfo(m_folder).path()) && dir.mkdir(m_folder, folderMode)) ||
           QFileInfo(m_folder).isDir(); // another thread may have just made it
}

bool AttachmentStore::restore(const QString &sourcePath, const QString &sha256) const
{
    QFile source(sourcePath);
    if (!isStoredName(sha256) || !source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (sha256Hex(bytes) != sha256)
        return false;
    return store(bytes, QString(), QString()).attachment.has_value();
}

QString AttachmentStore::backupFolder(const QString &backupPath)
{
    const QString base =
        backupPath.endsWith(".json"_L1, Qt::CaseInsensitive) ? backupPath.chopped(5) : backupPath;
    return base + ".attachments"_L1;
}

AttachmentStore::Copied AttachmentStore::copyTo(const QString &folder,
                                                const QList<Attachment> &attachments) const
{
    Copied copied;
    QDir dir(folder);
    // A history without files needs no folder.
    if (attachments.isEmpty() && !dir.exists())
        return copied;
    if (!dir.exists() && !QDir().mkdir(folder, folderMode)) {
        copied.failure = tr("无法创建文件夹“%1”").arg(folder);
        return copied;
    }
    QFile::setPermissions(folder, folderMode);
    QSet<QString> names;
    for (const Attachment &a : attachments) {
        const std::optional<QByteArray> bytes = verifiedBytes(a);
        if (!bytes) {
            copied.missing.append(a);
            continue;
        }
        names.insert(a.sha256);
        const QString path = dir.filePath(a.sha256);
        if (QFileInfo(path).size() == bytes->size() && sha256Hex(fileBytes(path)) == a.sha256)
            continue;
        const QString failure = writeFile(path, *bytes);
        if (!failure.isEmpty()) {
            copied.failure = tr("无法写入“%1”：%2").arg(path, failure);
            return copied;
        }
    }
    for (const QString &name : dir.entryList(QDir::Files)) {
        if (isStoredName(name) && !names.contains(name))
            dir.remove(name);
    }
    return copied;
}

AttachmentStore::Copied AttachmentStore::copyFrom(const QString &folder,
                                                  const QList<Attachment> &attachments) const
{
    Copied copied;
    for (const Attachment &a : attachments) {
        if (verify(a))
            continue;
        const QString path = pathOf(a).isEmpty() ? QString() : QDir(folder).filePath(a.sha256);
        if (path.isEmpty() || !QFileInfo(path).isFile())
            copied.missing.append(a);
        else if (!restore(path, a.sha256))
            copied.refused.append(a);
    }
    return copied;
}

QString AttachmentStore::pathOf(const Attachment &attachment) const
{
    return isStoredName(attachment.sha256) ? m_folder + u'/' + attachment.sha256 : QString();
}

bool AttachmentStore::exists(const Attachment &attachment) const
{
    const QString path = pathOf(attachment);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool AttachmentStore::verify(const Attachment &attachment) const
{
    const QString path = pathOf(attachment);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&file) && QString::fromLatin1(hash.result().toHex()) == attachment.sha256;
}

std::optional<QByteArray> AttachmentStore::verifiedBytes(const Attachment &attachment) const
{
    const QString path = pathOf(attachment);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || sha256Hex(bytes) != attachment.sha256)
        return std::nullopt;
    return bytes;
}

std::optional<QJsonObject> AttachmentStore::imagePart(const Attachment &attachment) const
{
    if (!attachment.isImage())
        return std::nullopt;
    const std::optional<QByteArray> bytes = verifiedBytes(attachment);
    if (!bytes)
        return std::nullopt;
    const QString url =
        "data:"_L1 + attachment.type + ";base64,"_L1 + QString::fromLatin1(bytes->toBase64());
    return QJsonObject{{u"type"_s, u"image_url"_s}, {u"image_url"_s, QJsonObject{{u"url"_s, url}}}};
}

std::optional<QString> AttachmentStore::textOf(const Attachment &attachment) const
{
    if (attachment.isImage())
        return std::nullopt;
    const std::optional<QByteArray> bytes = verifiedBytes(attachment);
    if (!bytes)
        return std::nullopt;
    if (attachment.type != pdfType)
        return decodeText(*bytes);
    QFile cache(pathOf(attachment) + textCacheSuffix);
    if (cache.open(QIODevice::ReadOnly)) {
        const QByteArray cached = cache.readAll();
        if (!cached.isEmpty() && isText(cached, false))
            return decodeText(cached);
    }
    const PdfText::Extracted pdf = PdfText::extract(*bytes, maxPdfPages);
    if (pdf.status != PdfText::Extracted::Status::Ok)
        return std::nullopt;
    writeFile(cache.fileName(), pdf.text.toUtf8());
    return pdf.text;
}

std::optional<QString> AttachmentStore::textBlock(const Attachment &attachment) const
{
    const std::optional<QString> text = textOf(attachment);
    if (!text)
        return std::nullopt;
    // What the model reads stays the same whatever language the interface speaks.
    const bool pdf = attachment.type == pdfType;
    const QString heading =
        StoredText::text(pdf ? QT_TRANSLATE_NOOP("Stored", "文件「%1」（从 PDF 提取的文字）：")
                             : QT_TRANSLATE_NOOP("Stored", "文件「%1」："),
                         StoredText::Form::Written)
            .arg(attachment.name);
    const QString fence(std::max<qsizetype>(3, longestBacktickRun(*text) + 1), u'`');
    const QString language = pdf ? QString() : fenceLanguage(attachment.name);
    const QString end = text->endsWith(u'\n') || text->isEmpty() ? QString() : u"\n"_s;
    return heading + u'\n' + fence + language + u'\n' + *text + end + fence;
}

qint64 AttachmentStore::approxTokens(const Attachment &attachment) const
{
    const std::optional<QString> text = textOf(attachment);
    return text ? (text->size() + 3) / 4 : 0;
}

int AttachmentStore::removeUnreferenced(const QSet<QString> &referencedSha256,
                                        const QDateTime &notBefore) const
{
    int removed = 0;
    QDir dir(m_folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        const QStringView stored =
            name.endsWith(textCacheSuffix) ? QStringView(name).chopped(4) : QStringView(name);
        if (!isStoredName(stored) || referencedSha256.contains(stored.toString()))
            continue;
        // A PDF's text cache goes with its file, whenever it was written.
        const QFileInfo timed(stored.size() == name.size() ? file.filePath()
                                                           : dir.filePath(stored.toString()));
        if (notBefore.isValid() && timed.exists() && timed.lastModified() >= notBefore)
            continue;
        if (dir.remove(name))
            ++removed;
    }
    return removed;
}

bool AttachmentStore::isStoredName(QStringView text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
           });
}

QString AttachmentStore::fenceLanguage(const QString &fileName)
{
    // Files known by their whole name first, then extensions, as Markdown renderers label them.
    static const QHash<QString, QString> names = {
        {u"makefile"_s, u"makefile"_s},
        {u"gnumakefile"_s, u"makefile"_s},
        {u"cmakelists.txt"_s, u"cmake"_s},
        {u"dockerfile"_s, u"dockerfile"_s},
    };
    static const QHash<QString, QString> extensions = {
        {u"c"_s, u"c"_s},           {u"h"_s, u"cpp"_s},        {u"cc"_s, u"cpp"_s},
        {u"cpp"_s, u"cpp"_s},       {u"cxx"_s, u"cpp"_s},      {u"hh"_s, u"cpp"_s},
        {u"hpp"_s, u"cpp"_s},       {u"hxx"_s, u"cpp"_s},      {u"cs"_s, u"csharp"_s},
        {u"java"_s, u"java"_s},     {u"kt"_s, u"kotlin"_s},    {u"kts"_s, u"kotlin"_s},
        {u"swift"_s, u"swift"_s},   {u"go"_s, u"go"_s},        {u"rs"_s, u"rs"_s},
        {u"py"_s, u"py"_s},         {u"pyi"_s, u"py"_s},       {u"rb"_s, u"ruby"_s},
        {u"php"_s, u"php"_s},       {u"pl"_s, u"perl"_s},      {u"lua"_s, u"lua"_s},
        {u"js"_s, u"js"_s},         {u"mjs"_s, u"js"_s},       {u"cjs"_s, u"js"_s},
        {u"jsx"_s, u"jsx"_s},       {u"ts"_s, u"ts"_s},        {u"tsx"_s, u"tsx"_s},
        {u"vue"_s, u"vue"_s},       {u"dart"_s, u"dart"_s},    {u"scala"_s, u"scala"_s},
        {u"hs"_s, u"haskell"_s},    {u"ex"_s, u"elixir"_s},    {u"exs"_s, u"elixir"_s},
        {u"r"_s, u"r"_s},           {u"m"_s, u"objectivec"_s}, {u"mm"_s, u"objectivec"_s},
        {u"json"_s, u"json"_s},     {u"jsonl"_s, u"json"_s},   {u"yaml"_s, u"yaml"_s},
        {u"yml"_s, u"yaml"_s},      {u"toml"_s, u"toml"_s},    {u"ini"_s, u"ini"_s},
        {u"xml"_s, u"xml"_s},       {u"svg"_s, u"xml"_s},      {u"html"_s, u"html"_s},
        {u"htm"_s, u"html"_s},      {u"css"_s, u"css"_s},      {u"scss"_s, u"scss"_s},
        {u"sql"_s, u"sql"_s},       {u"csv"_s, u"csv"_s},      {u"md"_s, u"md"_s},
        {u"markdown"_s, u"md"_s},   {u"tex"_s, u"latex"_s},    {u"sh"_s, u"sh"_s},
        {u"bash"_s, u"sh"_s},       {u"zsh"_s, u"sh"_s},       {u"ps1"_s, u"powershell"_s},
        {u"bat"_s, u"bat"_s},       {u"qml"_s, u"qml"_s},      {u"cmake"_s, u"cmake"_s},
        {u"diff"_s, u"diff"_s},     {u"patch"_s, u"diff"_s},   {u"proto"_s, u"protobuf"_s},
        {u"gradle"_s, u"groovy"_s},
    };
    const QFileInfo info(fileName);
    const QString name = info.fileName().toLower();
    if (const auto it = names.constFind(name); it != names.cend())
        return *it;
    return extensions.value(info.suffix().toLower());
}
