// SPDX-License-Identifier: GPL-3.0-or-later
#include "pendingattachments.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

PendingAttachments::PendingAttachments(QObject *parent)
    : QAbstractListModel(parent),
      m_runner(BackgroundRunner::Mode::InOrder, QStringLiteral("attachments"))
{}

PendingAttachments::~PendingAttachments() = default;

void PendingAttachments::setDataDir(const QString &dataDir)
{
    m_store.emplace(dataDir);
}

int PendingAttachments::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant PendingAttachments::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Entry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return e.name;
    case SizeRole:
        return e.attachment ? e.attachment->size : 0;
    case ImageRole:
        return e.attachment && e.attachment->isImage();
    case BusyRole:
        return !e.attachment;
    case UrlRole:
        return e.attachment && m_store ? QUrl::fromLocalFile(m_store->pathOf(*e.attachment))
                                       : QUrl();
    case TokensRole:
        return e.tokens;
    }
    return {};
}

QHash<int, QByteArray> PendingAttachments::roleNames() const
{
    return {{NameRole, "name"}, {SizeRole, "size"}, {ImageRole, "isImage"},
            {BusyRole, "busy"}, {UrlRole, "url"},   {TokensRole, "tokens"}};
}

bool PendingAttachments::busy() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const Entry &e) { return !e.attachment; });
}

qint64 PendingAttachments::tokens() const
{
    qint64 sum = 0;
    for (const Entry &e : m_entries)
        sum += e.tokens;
    return sum;
}

QList<Attachment> PendingAttachments::ready() const
{
    QList<Attachment> list;
    for (const Entry &e : m_entries) {
        if (e.attachment)
            list.append(*e.attachment);
    }
    return list;
}

QList<Attachment> PendingAttachments::take()
{
    const QList<Attachment> list = ready();
    clear();
    return list;
}

void PendingAttachments::start(const QString &name, std::function<AttachmentStore::Imported()> work)
{
    if (!m_store)
        return;
    const quint64 id = ++m_nextId;
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append(Entry{id, name, std::nullopt, 0});
    endInsertRows();
    emit countChanged();
    const AttachmentStore store = *m_store;
    using Result = std::pair<AttachmentStore::Imported, qint64>;
    m_runner.run(
        this,
        [work = std::move(work), store] {
            AttachmentStore::Imported imported = work();
            const qint64 tokens =
                imported.attachment ? store.approxTokens(*imported.attachment) : 0;
            return Result{std::move(imported), tokens};
        },
        [this, id](const Result &result) {
            // The row may have gone meanwhile (removed, or sent): then so has the file's use.
            const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                         [id](const Entry &e) { return e.id == id; });
            if (it == m_entries.end())
                return;
            const int row = int(it - m_entries.begin());
            if (!result.first.attachment) {
                beginRemoveRows({}, row, row);
                m_entries.removeAt(row);
                endRemoveRows();
                emit countChanged();
                emit refused(result.first.refusal);
                return;
            }
            it->attachment = result.first.attachment;
            it->name = result.first.attachment->name;
            it->tokens = result.second;
            emit dataChanged(index(row), index(row));
            emit countChanged();
        });
}

void PendingAttachments::addUrls(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (!url.isLocalFile()) {
            emit refused(tr("「%1」不是本机文件，无法附加。").arg(url.toDisplayString()));
            continue;
        }
        const QString path = url.toLocalFile();
        const AttachmentStore store = m_store.value_or(AttachmentStore(QString()));
        start(QFileInfo(path).fileName(), [store, path] { return store.importFile(path); });
    }
}

void PendingAttachments::addImage(const QImage &image)
{
    const AttachmentStore store = m_store.value_or(AttachmentStore(QString()));
    start(tr("截图"), [store, image] { return store.importImage(image); });
}

bool PendingAttachments::addMimeData(const QMimeData *mime)
{
    if (!mime)
        return false;
    // Files copied in a file manager come as their addresses (and often an icon as image).
    if (mime->hasUrls()) {
        QList<QUrl> files;
        for (const QUrl &url : mime->urls()) {
            if (url.isLocalFile())
                files.append(url);
        }
        if (!files.isEmpty()) {
            addUrls(files);
            return true;
        }
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) {
            addImage(image);
            return true;
        }
    }
    return false;
}

bool PendingAttachments::paste()
{
    return addMimeData(QGuiApplication::clipboard()->mimeData());
}

void PendingAttachments::remove(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    emit countChanged();
}

void PendingAttachments::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
    emit countChanged();
}
