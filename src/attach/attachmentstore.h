// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <optional>

class QImage;

/**
 * The files sent with messages, kept in the folder "attachments" beside data.json, each named
 * by the SHA-256 of its bytes, which are exactly what the gateway receives: the scaled and
 * re-encoded image, the text file as it was, the original PDF (its extracted text cached
 * beside it as "<sha256>.txt"). The same bytes attached twice are one file.
 *
 * Only the folder's path is held, so a copy is cheap, and every function may run on any
 * thread: importing and building request parts read and write files and decode images, so the
 * chat code runs them in the background. The folder is made on the first write, for its owner
 * only, like the data folder; every file is written to a temporary file beside it and renamed,
 * and is readable by its owner only.
 */
class AttachmentStore
{
    Q_DECLARE_TR_FUNCTIONS(AttachmentStore)

public:
    /// Images larger than this (before scaling) are refused.
    static constexpr qint64 maxImageBytes = 50 * 1024 * 1024;
    /// Text files larger than this are refused.
    static constexpr qint64 maxTextBytes = 512 * 1024;
    static constexpr qint64 maxPdfBytes = 50 * 1024 * 1024;
    static constexpr int maxPdfPages = 500;
    /// The long side of a stored image at most, in pixels: vision models use no more.
    static constexpr int maxImageSide = 2048;
    static constexpr int jpegQuality = 85;

    /// What an import gave: the stored attachment, or why the file was refused (a sentence to
    /// show that names the file and, where one was passed, the limit).
    struct Imported
    {
        std::optional<Attachment> attachment;
        QString refusal;
    };

    /// dataDir: the folder of data.json.
    explicit AttachmentStore(const QString &dataDir);

    /// dataDir/attachments.
    const QString &folder() const { return m_folder; }

    /// Stores the file at path, by what its bytes are (not its extension): an image (PNG,
    /// JPEG, WebP, GIF's first frame, BMP) scaled to maxImageSide and re-encoded, valid UTF-8
    /// text without NUL bytes as it is, a PDF with a text layer as it is. Anything else, or
    /// anything over its limit, is refused.
    Imported importFile(const QString &path) const;
    /// Stores a pasted image like an image file. An empty name gives one from the time, like
    /// "截图 2026-12-08 10.15.30.png" (its extension that of the stored format).
    Imported importImage(const QImage &image, const QString &name = QString()) const;

    /// Copies a file in (from a backup) under sha256, when its bytes hash to it; returns
    /// whether the store now holds that file.
    bool restore(const QString &sourcePath, const QString &sha256) const;

    /// What copying files to or from a backup's folder left out.
    struct Copied
    {
        /// Not in the store (copying out) or not in the folder (copying in).
        QList<Attachment> missing;
        /// Copying in: bytes that do not hash to their name, refused.
        QList<Attachment> refused;
        /// Why writing failed, when it did; the files before it were copied.
        QString failure;
    };
    /// The folder of a backup's files beside the backup: "NAME.attachments" for "NAME.json".
    static QString backupFolder(const QString &backupPath);
    /// Copies the stored files of attachments into folder (made if needed, owner only), each
    /// named by its hash; the folder's other stored files, left from an earlier backup under
    /// the same name, are removed.
    Copied copyTo(const QString &folder, const QList<Attachment> &attachments) const;
    /// Copies attachments' files from folder into the store, each only when its bytes hash to
    /// its name; those already stored are left as they are.
    Copied copyFrom(const QString &folder, const QList<Attachment> &attachments) const;

    /// The stored file's path; empty when the attachment's sha256 is not 64 lower-case hex
    /// digits (a damaged data file must not name a path outside the folder).
    QString pathOf(const Attachment &attachment) const;
    bool exists(const Attachment &attachment) const;
    /// The stored file's bytes hash to its name.
    bool verify(const Attachment &attachment) const;

    /// An image's content part for a request, its bytes as a data URL, made here and never
    /// kept: {"type":"image_url","image_url":{"url":"data:image/jpeg;base64,…"}}. nullopt for
    /// what is not an image, a missing file or one whose bytes no longer match.
    std::optional<QJsonObject> imagePart(const Attachment &attachment) const;
    /// The text sent for a text file or a PDF: a line naming the file, then its text (for a
    /// PDF the extracted text with its page marks) in a fence longer than any run of backticks
    /// inside, labelled with the language its extension names. nullopt for an image, a missing
    /// file or one whose bytes no longer match.
    std::optional<QString> textBlock(const Attachment &attachment) const;
    /// About how many tokens the attachment's text costs (characters ÷ 4, rounded up); 0 for
    /// an image or a file that cannot be read.
    qint64 approxTokens(const Attachment &attachment) const;

    /// Removes the stored files (and PDF text caches) whose sha256 is not in referenced; a
    /// name that is not a stored file's is left alone, and so is a file stored (or stored
    /// again) since notBefore: what referenced was taken from may not know it yet. Returns how
    /// many files were removed.
    int removeUnreferenced(const QSet<QString> &referencedSha256,
                           const QDateTime &notBefore = QDateTime()) const;

    /// The fence's language for a file name: "cpp" for "main.cc", "py" for "x.py"; empty when
    /// the extension names none.
    static QString fenceLanguage(const QString &fileName);
    /// Whether text is a stored file's name: 64 lower-case hex digits.
    static bool isStoredName(QStringView text);

private:
    Imported importImageFile(const QString &path, const QString &name, const char *format) const;
    Imported importText(const QString &path, const QString &name) const;
    Imported importPdf(const QString &path, const QString &name) const;
    Imported storeImage(const QImage &image, const QString &name) const;
    /// Stores bytes under their hash; returns the attachment, or a refusal when writing failed.
    Imported store(const QByteArray &bytes, const QString &name, const QString &type) const;
    /// Writes bytes to path (temporary file and rename, owner only); returns why it failed.
    QString writeFile(const QString &path, const QByteArray &bytes) const;
    bool ensureFolder() const;
    /// The stored bytes, when they still hash to the attachment's name.
    std::optional<QByteArray> verifiedBytes(const Attachment &attachment) const;
    /// A text file's text, or a PDF's extracted text (from the cache, else extracted again).
    std::optional<QString> textOf(const Attachment &attachment) const;

    QString m_folder;
};
