// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagelistmodel.h"

#include "attach/attachmentstore.h"

#include <QFileInfo>
#include <QUrl>

#include "api/chatapi.h"
#include "api/failurenotice.h"
#include "markdown/mdblockmodel.h"
#include "model/conversationsearch.h"
#include "model/languagechange.h"
#include "model/textutil.h"

#include "chat/replystream.h"
#include "chat/toolsession.h"
#include "store/store.h"

#include <QJsonDocument>

#include <QLocale>

MessageListModel::MessageListModel(Store *store, const QUuid &conversationID, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_id(conversationID)
{
    // A failure's explanation and the token counts are written in the interface's language.
    LanguageChange::follow(this, [this] {
        if (const int rows = rowCount())
            emit dataChanged(index(0), index(rows - 1), {FailureRole, UsageRole});
    });
    if (!store)
        return;
    m_attached = store->conversation(m_id) != nullptr;

    connect(store, &Store::conversationAboutToBeRemoved, this, [this](const QUuid &conv) {
        if (conv != m_id || !m_attached)
            return;
        const int n = rowCount();
        m_countBefore = n;
        m_removing = n > 0;
        if (m_removing)
            beginRemoveRows({}, 0, n - 1);
        m_attached = false;
    });
    connect(store, &Store::conversationRemoved, this, [this](const QUuid &conv) {
        if (conv != m_id || !m_removing)
            return;
        m_removing = false;
        endRemoveRows();
        emit countChanged();
    });
    // The conversation may not have existed yet (an undo of a deletion, a reload).
    connect(store, &Store::conversationInserted, this, [this](const QUuid &conv) {
        if (conv == m_id)
            attach();
    });

    connect(store, &Store::messagesAboutToBeInserted, this,
            [this](const QUuid &conv, int first, int last) {
                if (conv != m_id || !m_attached)
                    return;
                m_countBefore = rowCount();
                beginInsertRows({}, first, last);
            });
    connect(store, &Store::messagesInserted, this, [this](const QUuid &conv) {
        if (conv != m_id || !m_attached)
            return;
        endInsertRows();
        afterCountChange(m_countBefore);
    });
    connect(store, &Store::messagesAboutToBeRemoved, this,
            [this](const QUuid &conv, int first, int last) {
                if (conv != m_id || !m_attached)
                    return;
                m_countBefore = rowCount();
                beginRemoveRows({}, first, last);
            });
    connect(store, &Store::messagesRemoved, this, [this](const QUuid &conv) {
        if (conv != m_id || !m_attached)
            return;
        endRemoveRows();
        afterCountChange(m_countBefore);
    });
    connect(store, &Store::messageContentChanged, this,
            [this](const QUuid &conv, const QUuid &, int row) {
                if (conv != m_id || !m_attached)
                    return;
                const QModelIndex i = index(row);
                const bool last = row == rowCount() - 1;
                // Only the first text of a streamed reply ends the typing indicator.
                const bool typing = last && data(i, IsTypingRole).toBool();
                if (last && typing != m_lastTyping) {
                    m_lastTyping = typing;
                    emit dataChanged(i, i, {ContentRole, AnswerRole, ReasoningRole, IsTypingRole});
                } else if (!messages()->at(row).error().isEmpty()) {
                    // Whether a failed reply kept text of its own.
                    emit dataChanged(i, i, {ContentRole, AnswerRole, ReasoningRole, FailureRole});
                } else {
                    emit dataChanged(i, i, {ContentRole, AnswerRole, ReasoningRole});
                }
                if (last)
                    emit lastContentChanged();
            });
    connect(store, &Store::messageReasoningChanged, this,
            [this](const QUuid &conv, const QUuid &, int row) {
                if (conv == m_id && m_attached)
                    reasoningChanged(row);
            });
    connect(store, &Store::messageExtrasChanged, this,
            [this](const QUuid &conv, const QUuid &, int row) {
                if (conv == m_id && m_attached)
                    emit dataChanged(
                        index(row), index(row),
                        {FailureRole, UsageRole, AttachmentsRole, ToolCallsRole, IsTypingRole});
            });
    // What a reply's calls are doing lives with the reply, not in the file: each change of it
    // is announced for the rows of the turn it belongs to.
    connect(store->replies(), &ReplyRegistry::activityChanged, this, [this](const QUuid &conv) {
        if (conv != m_id || !m_attached)
            return;
        const QList<Message> *list = messages();
        for (qsizetype row = list->size() - 1; row >= 0; --row) {
            if (list->at(row).role == Message::Role::User)
                break;
            if (!list->at(row).toolCalls().isEmpty())
                emit dataChanged(index(int(row)), index(int(row)), {ToolCallsRole});
        }
    });
    connect(store->replies(), &ReplyRegistry::thinkingChanged, this,
            [this](const QUuid &conv, const QUuid &message) {
                if (conv == m_id && m_attached)
                    reasoningChanged(rowOf(message));
            });
}

void MessageListModel::reasoningChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const QModelIndex i = index(row);
    QList<int> roles{ReasoningRole, ThinkingStartedRole, ThinkingSecondsRole};
    const bool last = row == rowCount() - 1;
    // Reasoning ends the typing indicator as text does.
    const bool typing = last && data(i, IsTypingRole).toBool();
    if (last && typing != m_lastTyping) {
        m_lastTyping = typing;
        roles.append(IsTypingRole);
    }
    emit dataChanged(i, i, roles);
    if (last)
        emit lastContentChanged();
}

int MessageListModel::rowOf(const QUuid &message) const
{
    // Where the Store finds the message.
    const QList<Message> *list = messages();
    const Message *m = list ? m_store->message(m_id, message) : nullptr;
    return m ? int(m - list->constData()) : -1;
}

const QList<Message> *MessageListModel::messages() const
{
    const Conversation *c = m_attached && m_store ? m_store->conversation(m_id) : nullptr;
    return c ? &c->messages : nullptr;
}

void MessageListModel::attach()
{
    if (m_attached || !m_store)
        return;
    const Conversation *c = m_store->conversation(m_id);
    if (!c)
        return;
    const int n = int(c->messages.size());
    if (n == 0) {
        m_attached = true;
        return;
    }
    beginInsertRows({}, 0, n - 1);
    m_attached = true;
    endInsertRows();
    afterCountChange(0);
}

QVariantMap MessageListModel::findMatch(const QString &query) const
{
    int row = -1;
    int block = -1;
    if (const QList<Message> *list = messages()) {
        for (qsizetype r = 0; r < list->size(); ++r) {
            if (ConversationSearch::matches(list->at(r).content, query).isEmpty())
                continue;
            row = int(r);
            block = MDBlockModel::firstMatch(data(index(row), AnswerRole).toString(), query);
            break;
        }
    }
    return {{QStringLiteral("row"), row}, {QStringLiteral("block"), block}};
}

int MessageListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    const auto *list = messages();
    return list ? int(list->size()) : 0;
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    const auto *list = messages();
    if (!list || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Message &m = list->at(index.row());
    const bool last = index.row() == list->size() - 1;
    const bool streaming = m_sending && last && m.role == Message::Role::Assistant;
    switch (role) {
    case IdRole:
        return canonicalUuidString(m.id);
    case RoleRole:
        return Message::roleName(m.role);
    case Qt::DisplayRole:
    case ContentRole:
        return m.content;
    case IsLastRole:
        return last;
    case IsStreamingRole:
        return streaming;
    case IsTypingRole:
        return streaming && m.content.isEmpty() && m.reasoning.isEmpty() && m.toolCalls().isEmpty();
    case IsEditingRole:
        return m_editingID && *m_editingID == m.id;
    case AnswerRole:
    case ReasoningRole: {
        if (m.role != Message::Role::Assistant)
            return role == AnswerRole ? m.content : QString();
        // Most replies have no "<think>" block: their text is handed over without a copy.
        const TextUtil::ThinkSplit split = TextUtil::splitThink(m.content);
        if (role == AnswerRole)
            return split.found ? split.answer.toString() : m.content;
        return m.reasoning.isEmpty() ? split.reasoning.toString() : m.reasoning;
    }
    case ThinkingStartedRole:
    case ThinkingSecondsRole: {
        const auto thinking = m_store->replies()->thinking(m.id);
        if (role == ThinkingStartedRole)
            return thinking ? double(thinking->startedMs) : 0.0;
        return thinking && thinking->endedMs >= 0
                   ? int((thinking->endedMs - thinking->startedMs) / 1000)
                   : -1;
    }
    case FailureRole:
        return failure(m);
    case UsageRole:
        return usageText(m.usage());
    case AttachmentsRole: {
        if (m.attachments().isEmpty())
            return QVariantList();
        const AttachmentStore files(QFileInfo(m_store->fileURL()).absolutePath());
        QVariantList list;
        for (const Attachment &a : m.attachments()) {
            const bool there = files.exists(a);
            list.append(QVariantMap{
                {QStringLiteral("name"), a.name},
                {QStringLiteral("isImage"), a.isImage()},
                {QStringLiteral("url"), there ? QUrl::fromLocalFile(files.pathOf(a)) : QUrl()},
                {QStringLiteral("missing"), !there},
                {QStringLiteral("size"), a.size},
            });
        }
        return list;
    }
    case ToolCallsRole:
        return toolCalls(m);
    default:
        return {};
    }
}

QVariantList MessageListModel::toolCalls(const Message &m) const
{
    if (m.toolCalls().isEmpty())
        return {};
    const auto *reply = qobject_cast<const ReplyStream *>(m_store->replies()->reply(m_id));
    const auto asked = reply ? reply->approvalAsked() : std::nullopt;
    ToolSession *session = m_toolHost ? ToolSession::of(m_toolHost) : nullptr;
    QVariantList list;
    for (const ToolCall &call : m.toolCalls()) {
        // The server and the tool as the reply offered them; after a restart, as the name
        // tells them.
        const auto offered = reply ? reply->tool(call.name) : std::nullopt;
        const qsizetype split = call.name.indexOf(u"__");
        const QString server = offered     ? offered->server
                               : split > 0 ? call.name.left(split)
                                           : QString();
        const QString tool = offered     ? offered->tool
                             : split > 0 ? call.name.mid(split + 2)
                                         : call.name;
        const QJsonDocument arguments = QJsonDocument::fromJson(call.arguments.toUtf8());
        const QString state = asked && asked->id == call.id        ? QStringLiteral("asking")
                              : reply && reply->isRunning(call.id) ? QStringLiteral("running")
                              : call.isError                       ? QStringLiteral("failed")
                              : !call.result.isEmpty()             ? QStringLiteral("done")
                                                                   : QStringLiteral("open");
        QVariantList images;
        // Resource links join the result as Markdown links, which the view checks as it
        // checks a reply's.
        QString shown = call.result;
        for (const QJsonValue &block : session ? session->content(call.id) : QJsonArray()) {
            const QString type = block[u"type"].toString();
            if (type == u"image") {
                images.append(QStringLiteral("data:%1;base64,%2")
                                  .arg(block[u"mimeType"].toString(), block[u"data"].toString()));
            } else if (type == u"resource_link") {
                const QString uri = block[u"uri"].toString();
                QString name = block[u"name"].toString(uri);
                name.replace(u'[', QStringLiteral("\\[")).replace(u']', QStringLiteral("\\]"));
                shown += QStringLiteral("\n\n- [%1](<%2>)").arg(name, uri);
            }
        }
        list.append(QVariantMap{
            {QStringLiteral("id"), call.id},
            {QStringLiteral("server"), server},
            {QStringLiteral("tool"), tool},
            {QStringLiteral("arguments"),
             arguments.isNull()
                 ? call.arguments
                 : QString::fromUtf8(arguments.toJson(QJsonDocument::Indented)).trimmed()},
            {QStringLiteral("result"), shown},
            {QStringLiteral("state"), state},
            {QStringLiteral("images"), images},
        });
    }
    return list;
}

QVariant MessageListModel::failure(const Message &m)
{
    if (m.error().isEmpty())
        return {};
    const bool partial = m.content != ChatAPI::failurePlaceholder(m.error());
    const FailureNotice n = FailureNotice::explain(m.error(), m.errorKind(), partial);
    return QVariantMap{{QStringLiteral("heading"), n.heading},
                       {QStringLiteral("message"), n.message},
                       {QStringLiteral("advice"), n.advice},
                       {QStringLiteral("details"), n.details},
                       {QStringLiteral("offerSettings"), n.offerSettings},
                       {QStringLiteral("offerWithoutImages"), n.offerWithoutImages},
                       {QStringLiteral("offerToolsOff"), n.offerToolsOff},
                       {QStringLiteral("partial"), partial}};
}

QString MessageListModel::usageText(const TokenUsage &usage)
{
    if (usage.isEmpty())
        return {};
    // Grouped by thousands, as counts of tokens are read in every locale we show.
    const QLocale locale(QLocale::Chinese, QLocale::China);
    QStringList parts;
    if (usage.prompt >= 0)
        parts << tr("输入 %1").arg(locale.toString(usage.prompt));
    if (usage.completion >= 0)
        parts << tr("输出 %1").arg(locale.toString(usage.completion));
    QString text = parts.join(QStringLiteral(" · "));
    if (!text.isEmpty())
        text += QStringLiteral(" tokens");
    if (usage.reasoning > 0)
        text += tr("（其中推理 %1）").arg(locale.toString(usage.reasoning));
    return text;
}

QHash<int, QByteArray> MessageListModel::roleNames() const
{
    return {
        // clang-format off
        {IdRole, "messageID"},      {RoleRole, "role"},
        {ContentRole, "content"},   {IsLastRole, "isLast"},
        {IsStreamingRole, "isStreaming"}, {IsTypingRole, "isTyping"},
        {IsEditingRole, "isEditing"},
        {AnswerRole, "answer"},     {ReasoningRole, "reasoning"},
        {ThinkingStartedRole, "thinkingStarted"}, {ThinkingSecondsRole, "thinkingSeconds"},
        {FailureRole, "failure"},   {UsageRole, "usage"},
            {AttachmentsRole, "attachments"}, {ToolCallsRole, "toolCalls"},
        // clang-format on
    };
}

void MessageListModel::emitFlags(int row, const QList<int> &roles)
{
    if (row < 0 || row >= rowCount())
        return;
    const QModelIndex i = index(row);
    emit dataChanged(i, i, roles);
}

void MessageListModel::afterCountChange(int oldCount)
{
    const int n = rowCount();
    if (n == oldCount)
        return;
    // The last row moved: the old last row and the new one change their flags.
    const QList<int> flags{IsLastRole, IsStreamingRole, IsTypingRole};
    if (oldCount - 1 < n && oldCount - 1 != n - 1)
        emitFlags(oldCount - 1, flags);
    emitFlags(n - 1, flags);
    m_lastTyping = n > 0 && data(index(n - 1), IsTypingRole).toBool();
    emit countChanged();
    emit lastContentChanged();
}

void MessageListModel::setSending(bool sending)
{
    if (m_sending == sending)
        return;
    m_sending = sending;
    const int last = rowCount() - 1;
    m_lastTyping = last >= 0 && data(index(last), IsTypingRole).toBool();
    emitFlags(last, {IsStreamingRole, IsTypingRole});
}

void MessageListModel::setEditingID(const std::optional<QUuid> &id)
{
    if (m_editingID == id)
        return;
    const auto *list = messages();
    auto rowOf = [list](const std::optional<QUuid> &id) {
        if (!list || !id)
            return -1;
        for (int i = int(list->size()) - 1; i >= 0; --i) {
            if (list->at(i).id == *id)
                return i;
        }
        return -1;
    };
    const int before = rowOf(m_editingID);
    m_editingID = id;
    const int after = rowOf(m_editingID);
    emitFlags(before, {IsEditingRole});
    if (after != before)
        emitFlags(after, {IsEditingRole});
}
