// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "attach/attachmentstore.h"
#include "model/records.h"
#include "util/backgroundrunner.h"

#include <QAbstractListModel>
#include <QList>
#include <QUrl>

#include <optional>

class QImage;
class QMimeData;

/**
 * The files waiting in the composer to go with the next message.
 *
 * Each file is read, checked, scaled and stored in the attachments folder in the background,
 * one after the other, so that several at once are all kept and in order; its row shows busy
 * until then. A file that cannot be attached is dropped at once and refused() says why, naming
 * it. take() hands the ready files to a message and empties the list.
 */
class PendingAttachments : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
    /// Some file is still being read.
    Q_PROPERTY(bool busy READ busy NOTIFY countChanged)
    /// The approximate tokens of the text files and PDFs attached.
    Q_PROPERTY(qint64 tokens READ tokens NOTIFY countChanged)

public:
    enum Roles {
        NameRole = Qt::UserRole + 1, ///< "name"
        SizeRole,                    ///< "size": bytes stored
        ImageRole,                   ///< "isImage"
        BusyRole,                    ///< "busy"
        UrlRole,                     ///< "url": the stored file, for a thumbnail
        TokensRole,                  ///< "tokens"
    };

    /// The composer warns above this many tokens of attached text.
    static constexpr qint64 manyTokens = 100'000;

    explicit PendingAttachments(QObject *parent = nullptr);
    ~PendingAttachments() override;

    /// Where files are stored: the data file's folder. Nothing can be attached without one.
    void setDataDir(const QString &dataDir);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    bool busy() const;
    qint64 tokens() const;
    /// The stored files, in the order attached; those still being read are left out.
    QList<Attachment> ready() const;
    /// ready(), and the list emptied.
    QList<Attachment> take();

    Q_INVOKABLE void addUrls(const QList<QUrl> &urls);
    void addImage(const QImage &image);
    /// Attaches what a paste or a drop carries: an image, or files. False when it carries
    /// neither, so that its text goes where text goes.
    bool addMimeData(const QMimeData *mime);
    /// A paste from the clipboard, as addMimeData().
    Q_INVOKABLE bool paste();
    Q_INVOKABLE void remove(int row);
    Q_INVOKABLE void clear();

signals:
    void countChanged();
    /// A file could not be attached: why, in the user's words.
    void refused(const QString &message);

private:
    struct Entry
    {
        quint64 id = 0;
        QString name;
        std::optional<Attachment> attachment;
        qint64 tokens = 0;
    };

    void start(const QString &name, std::function<AttachmentStore::Imported()> work);

    std::optional<AttachmentStore> m_store;
    BackgroundRunner m_runner;
    QList<Entry> m_entries;
    quint64 m_nextId = 0;
};
