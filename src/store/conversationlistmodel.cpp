// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversationlistmodel.h"

#include "model/languagechange.h"

ConversationListModel::ConversationListModel(QObject *parent) : QAbstractListModel(parent)
{
    // The titles the program gave are shown in the interface's language.
    LanguageChange::follow(this, [this] {
        if (const int rows = rowCount())
            emit dataChanged(index(0), index(rows - 1), {DisplayTitleRole, Qt::DisplayRole});
    });
}

ConversationListModel::ConversationListModel(Store *store, QObject *parent)
    : ConversationListModel(parent)
{
    setStore(store);
}

void ConversationListModel::setStore(Store *store)
{
    if (m_store == store)
        return;
    beginResetModel();
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (store) {
        connect(store, &Store::conversationsAboutToBeInserted, this,
                [this](int first, int last) { beginInsertRows({}, first, last); });
        connect(store, &Store::conversationsInserted, this, [this] { endInsertRows(); });
        connect(store, &Store::conversationsAboutToBeRemoved, this,
                [this](int first, int last) { beginRemoveRows({}, first, last); });
        connect(store, &Store::conversationsRemoved, this, [this] { endRemoveRows(); });
        connect(store, &Store::conversationUpdated, this, [this](const QUuid &, int row) {
            const QModelIndex i = index(row);
            emit dataChanged(i, i, {TitleRole, DisplayTitleRole, Qt::DisplayRole, ModelRole});
        });
        const auto replyChanged = [this](const QUuid &conversation) {
            const auto row = m_store->conversationRow(conversation);
            if (row >= 0)
                emit dataChanged(index(row), index(row), {AwaitsUserRole});
        };
        connect(store->replies(), &ReplyRegistry::activityChanged, this, replyChanged);
        connect(store->replies(), &ReplyRegistry::replyFinished, this, replyChanged);
        connect(store, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_store = nullptr;
            endResetModel();
            emit storeChanged();
        });
    }
    endResetModel();
    emit storeChanged();
}

int ConversationListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_store)
        return 0;
    return m_store->conversationCount();
}

QVariant ConversationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        !m_store)
        return {};
    const Conversation &c = m_store->conversations().at(index.row());
    switch (role) {
    case IdRole:
        return canonicalUuidString(c.id);
    case TitleRole:
        return c.title;
    case Qt::DisplayRole:
    case DisplayTitleRole:
        return c.displayTitle();
    case ModelRole:
        return c.model ? QVariant(*c.model) : QVariant();
    case CreatedAtRole:
        return c.createdAt;
    case AwaitsUserRole:
        return m_store->replies()->awaitsUser(c.id);
    default:
        return {};
    }
}

QHash<int, QByteArray> ConversationListModel::roleNames() const
{
    // clang-format off
    return {
        {IdRole, "id"},
        {TitleRole, "title"},
        {DisplayTitleRole, "displayTitle"},
        {ModelRole, "model"},
        {CreatedAtRole, "createdAt"},
        {AwaitsUserRole, "awaitsUser"},
    };
    // clang-format on
}
