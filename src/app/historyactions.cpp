// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyactions.h"

#include "attach/attachmentstore.h"
#include "model/conversationtransfer.h"
#include "model/storagecodec.h"

#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Writes the whole file or nothing: an existing file stays as it was when any step fails.
QString writeFile(const QUrl &url, const QByteArray &bytes, bool ownerOnly)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty())
        return HistoryActions::tr("无法写入文件：这不是本机上的位置。");
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    (!ownerOnly || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) &&
                    file.write(bytes) == bytes.size() && file.commit();
    if (ok)
        return {};
    return HistoryActions::tr("无法写入“%1”：%2。文件没有改动。").arg(path, file.errorString());
}

} // namespace

HistoryActions::HistoryActions(QObject *parent) : QObject(parent) {}

void HistoryActions::setStore(Store *store)
{
    if (m_store == store)
        return;
    forgetRemoved();
    m_store = store;
    emit storeChanged();
}

const Conversation *HistoryActions::find(const QString &id) const
{
    const auto uuid = parseCanonicalUuid(id);
    return m_store && uuid ? m_store->conversation(*uuid) : nullptr;
}

QString HistoryActions::markdown(const QString &id) const
{
    const Conversation *c = find(id);
    return c ? conversationMarkdown(*c) : QString();
}

QString HistoryActions::suggestedFileName(const QString &id) const
{
    const Conversation *c = find(id);
    // The name is shown in the file dialog: the program's own titles in the interface's language.
    QString name =
        c && !c->title.isEmpty() ? Conversation::shownTitle(c->title).simplified() : QString();
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    for (QChar &ch : name) {
        if (refused.contains(ch) || ch.category() == QChar::Other_Control)
            ch = u'_';
    }
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    if (name.isEmpty())
        name = Conversation::shownTitle(Conversation::defaultTitle());
    return name.left(100) + QStringLiteral(".md");
}

QString HistoryActions::backupFileName() const
{
    return tr("Corvane 备份 %1.json").arg(QDate::currentDate().toString(Qt::ISODate));
}

QUrl HistoryActions::documentsFolder() const
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return QUrl::fromLocalFile(folder);
}

QUrl HistoryActions::documentsFile(const QString &fileName) const
{
    return QUrl::fromLocalFile(documentsFolder().toLocalFile() + u'/' + fileName);
}

QString HistoryActions::exportMarkdown(const QString &id, const QUrl &file) const
{
    const Conversation *c = find(id);
    if (!c)
        return tr("这个对话已不存在。");
    // The images go into a folder named after the file, beside it, linked by relative paths;
    // one that cannot be copied is listed by name like any other file.
    const QString path = file.isLocalFile() ? file.toLocalFile() : QString();
    const QString base = path.endsWith(".md"_L1, Qt::CaseInsensitive) ? path.chopped(3) : path;
    const QDir folder(base + ".images"_L1);
    const AttachmentStore files = attachmentStore();
    QHash<QString, QString> links; // by sha256
    QSet<QString> names;
    const auto link = [&](const Attachment &a) -> QString {
        if (path.isEmpty())
            return {};
        if (const auto it = links.constFind(a.sha256); it != links.cend())
            return *it;
        QString name = QFileInfo(a.name).fileName();
        for (int n = 2; name.isEmpty() || names.contains(name); ++n)
            name = QStringLiteral("%1-%2").arg(n).arg(QFileInfo(a.name).fileName());
        const QString target = folder.filePath(name);
        QFile::remove(target);
        const bool copied =
            files.verify(a) && QDir().mkpath(folder.path()) && QFile::copy(files.pathOf(a), target);
        if (copied)
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        names.insert(name);
        const QString shown = copied ? QString::fromUtf8(QUrl::toPercentEncoding(folder.dirName()) +
                                                         '/' + QUrl::toPercentEncoding(name))
                                     : QString();
        links.insert(a.sha256, shown);
        return shown;
    };
    return writeFile(file, conversationMarkdown(*c, link).toUtf8(), false);
}

void HistoryActions::copyConversation(const QString &id) const
{
    if (const Conversation *c = find(id))
        QGuiApplication::clipboard()->setText(conversationMarkdown(*c));
}

void HistoryActions::removeWithUndo(const QString &id)
{
    const auto uuid = parseCanonicalUuid(id);
    if (!m_store || !uuid)
        return;
    Removed removed{{}, m_store->selectedID() == uuid};
    const QList<Conversation> &all = m_store->conversations();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all.at(i).id == *uuid)
            removed.conversations.append({i, all.at(i)});
    }
    // An unknown id is still a delete: the Store saves the unchanged state.
    m_store->remove(*uuid);
    if (removed.conversations.isEmpty())
        return;
    // Its files stay while it may come back; those of the delete before it may go now.
    QSet<QString> files;
    for (const auto &[index, conversation] : std::as_const(removed.conversations)) {
        for (const Attachment &a : attachedFiles({conversation}))
            files.insert(a.sha256);
    }
    const bool replaced = m_removed.has_value();
    m_removed = std::move(removed);
    if (replaced)
        m_store->releaseFiles(this, files);
    else
        m_store->keepFiles(this, files);
    emit removedChanged();
}

void HistoryActions::undoRemove()
{
    if (!m_removed)
        return;
    const Removed removed = *std::exchange(m_removed, std::nullopt);
    if (m_store) {
        m_store->insertConversations(removed.conversations);
        // Its messages refer to its files again.
        m_store->keepFiles(this, {});
        if (removed.wasSelected)
            m_store->setSelectedID(removed.conversations.constFirst().second.id);
    }
    emit removedChanged();
}

void HistoryActions::forgetRemoved()
{
    if (!m_removed)
        return;
    m_removed.reset();
    if (m_store)
        m_store->releaseFiles(this);
    emit removedChanged();
}

QString HistoryActions::backup(const QUrl &file) const
{
    if (!m_store)
        return tr("没有可备份的对话。");
    AppSettings settings = m_store->settings();
    settings.apiKey.clear();
    for (Provider &p : settings.providers)
        p.apiKey.clear();
    // A tool server's variables and headers hold its tokens: the names stay, the values go.
    for (McpServer &server : settings.mcpServers) {
        for (auto &pair : server.env)
            pair.second.clear();
        for (auto &pair : server.headers)
            pair.second.clear();
    }
    const QByteArray bytes = encodeAppData(settings, m_store->conversations());
    if (bytes.isEmpty())
        return tr("对话中有无法保存的数据，没有写入备份。");
    if (const QString failure = writeFile(file, bytes, true); !failure.isEmpty())
        return failure;
    // The files go beside it as they are stored, named by their hash, for restore to check.
    const AttachmentStore::Copied copied = attachmentStore().copyTo(
        AttachmentStore::backupFolder(file.toLocalFile()), attachedFiles(m_store->conversations()));
    if (!copied.failure.isEmpty())
        return tr("对话已备份，但附件没有全部复制：%1。").arg(copied.failure);
    return {};
}

AttachmentStore HistoryActions::attachmentStore() const
{
    return AttachmentStore(QFileInfo(m_store->fileURL()).absolutePath());
}

QString HistoryActions::restore(const QUrl &file, bool *ok)
{
    if (ok)
        *ok = false;
    if (!m_store)
        return tr("无法恢复。");
    const QString path = file.isLocalFile() ? file.toLocalFile() : QString();
    QFile in(path);
    if (path.isEmpty() || !in.open(QIODevice::ReadOnly))
        return tr("无法读取“%1”。没有恢复任何对话。").arg(path.isEmpty() ? file.toString() : path);
    const QByteArray bytes = in.readAll();
    const std::optional<AppData> data =
        in.error() == QFileDevice::NoError ? decodeAppData(bytes) : std::nullopt;
    if (!data)
        return tr("“%1”不是 Corvane 的备份或数据文件，或已损坏。没有恢复任何对话。").arg(path);

    // Each on a gateway of this machine first, so that the same conversation compares equal.
    QList<Conversation> backup = data->conversations;
    const QList<bool> moved = matchGateways(m_store->settings(), data->settings, backup);
    QList<qsizetype> sources;
    const QList<Conversation> added =
        conversationsToRestore(m_store->conversations(), backup, &sources);
    const auto movedAdded =
        int(std::count_if(sources.cbegin(), sources.cend(), [&](qsizetype i) { return moved[i]; }));
    // The files first, so that the messages find them as they appear. A message whose file
    // did not come shows it as lost.
    const AttachmentStore::Copied files =
        attachmentStore().copyFrom(AttachmentStore::backupFolder(path), attachedFiles(added));
    m_store->addConversationsAtTop(added);
    if (ok)
        *ok = true;
    // Conversations the history already holds as they are count apart, so that restoring a
    // backup twice does not read like a failure.
    QString report = tr("已恢复 %n 个对话", nullptr, int(added.size()));
    if (const auto present = int(backup.size() - added.size()); present > 0)
        report += tr("，%n 个已存在", nullptr, present);
    if (movedAdded > 0)
        report += tr("；其中 %n 个对话的网关在本机没有，已改用第一个网关", nullptr, movedAdded);
    if (!files.missing.isEmpty())
        report += tr("；%n 个附件不在备份里", nullptr, int(files.missing.size()));
    if (!files.refused.isEmpty()) {
        QStringList names;
        for (const Attachment &a : files.refused)
            names.append(a.name);
        report += tr("；%n 个附件与备份时不符，没有恢复：%1", nullptr, int(files.refused.size()))
                      .arg(names.join(tr("、")));
    }
    return report;
}

QVariantMap HistoryActions::restoreReport(const QUrl &file)
{
    bool ok = false;
    const QString text = restore(file, &ok);
    return {{QStringLiteral("ok"), ok}, {QStringLiteral("text"), text}};
}
