// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "attach/attachmentstore.h"
#include "store/store.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

#include <optional>

/**
 * What the user does with whole conversations beyond chatting: export one as Markdown, copy
 * it, delete it with a way back, and back up and restore the history.
 *
 * File operations return an empty string on success, otherwise a message for the user; a
 * failed write leaves any existing file as it was.
 */
class HistoryActions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    /// Whether the last deleted conversation can still be brought back.
    Q_PROPERTY(bool canUndoRemove READ canUndoRemove NOTIFY removedChanged)
    /// The title of the last deleted conversation, while it can be brought back.
    Q_PROPERTY(QString removedTitle READ removedTitle NOTIFY removedChanged)

public:
    explicit HistoryActions(QObject *parent = nullptr);

    Store *store() const { return m_store; }
    void setStore(Store *store);

    /// The conversation as Markdown; empty when no conversation has this id.
    Q_INVOKABLE QString markdown(const QString &id) const;
    /// A file name to offer for the export: the title without characters file systems refuse.
    Q_INVOKABLE QString suggestedFileName(const QString &id) const;
    /// "Corvane 备份 <today's date>.json".
    Q_INVOKABLE QString backupFileName() const;
    /// The user's documents folder, or home when there is none.
    Q_INVOKABLE QUrl documentsFolder() const;
    /// A file of this name in the user's documents folder, for a save dialog to propose.
    Q_INVOKABLE QUrl documentsFile(const QString &fileName) const;
    Q_INVOKABLE QString exportMarkdown(const QString &id, const QUrl &file) const;
    /// Copies the conversation as Markdown to the clipboard.
    Q_INVOKABLE void copyConversation(const QString &id) const;

    /// Deletes at once (and saves), remembering the conversation and its place until the next
    /// delete or forgetRemoved().
    Q_INVOKABLE void removeWithUndo(const QString &id);
    /// Puts the last deleted conversation back where it was, selected if it was, and saves.
    Q_INVOKABLE void undoRemove();
    Q_INVOKABLE void forgetRemoved();
    bool canUndoRemove() const { return m_removed.has_value(); }
    QString removedTitle() const
    {
        return m_removed ? m_removed->conversations.constFirst().second.title : QString();
    }

    /// The storage file's form of the whole history without the API key, readable only by
    /// its owner, and beside it the folder of the files its messages refer to (see
    /// AttachmentStore::backupFolder()).
    Q_INVOKABLE QString backup(const QUrl &file) const;
    /// Adds the conversations of a backup or storage file at the top, and the files of the
    /// folder beside it that they refer to, each checked against its hash; settings in it are
    /// ignored. Returns the report for the user, and whether it worked in ok.
    QString restore(const QUrl &file, bool *ok = nullptr);
    /// restore() for QML: {"ok": bool, "text": the report}.
    Q_INVOKABLE QVariantMap restoreReport(const QUrl &file);

signals:
    void storeChanged();
    void removedChanged();

private:
    struct Removed
    {
        /// Every conversation the delete took (ids are meant to be unique, but a file may
        /// repeat one), with its index at the time, in ascending order.
        QList<std::pair<qsizetype, Conversation>> conversations;
        bool wasSelected = false;
    };

    const Conversation *find(const QString &id) const;
    /// The attachments folder beside the Store's data file.
    AttachmentStore attachmentStore() const;

    QPointer<Store> m_store;
    std::optional<Removed> m_removed;
};
