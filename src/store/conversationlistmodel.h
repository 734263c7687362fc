// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/store.h"

#include <QAbstractListModel>
#include <QPointer>

/**
 * The Store's conversations, one row each in sidebar order.
 *
 * Rows follow the Store's own insert, remove and update signals one to one, so a view keeps
 * its selection and scroll position; the model is reset only when the Store itself changes.
 */
class ConversationListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)

public:
    enum Role {
        /// The id in upper-case canonical form (QString).
        IdRole = Qt::UserRole + 1,
        /// The stored title, possibly empty (QString).
        TitleRole,
        /// The title as listed: "未命名" for an empty title (QString). Also Qt::DisplayRole.
        DisplayTitleRole,
        /// The conversation's own model (QString), or an invalid QVariant when it has none.
        ModelRole,
        /// Seconds since 2001-01-01 UTC (double).
        CreatedAtRole,
        /// Its reply waits for the user to approve a tool call (bool).
        AwaitsUserRole,
    };
    Q_ENUM(Role)

    explicit ConversationListModel(QObject *parent = nullptr);
    explicit ConversationListModel(Store *store, QObject *parent = nullptr);

    Store *store() const { return m_store; }
    void setStore(Store *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void storeChanged();

private:
    QPointer<Store> m_store;
};
