// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QVariantList>

/**
 * A list model that follows a list of flat maps (all with the same keys, which become its role
 * names) with the fewest changes: rows that kept their values are left alone, changed ones get
 * dataChanged with the roles that changed, new ones are inserted at the end and vanished ones
 * removed from the end. A list or table that grows while a reply streams so keeps the views of
 * its rows instead of building them all again.
 *
 * The role names are given by `roles`, set once before the first values; without it they are
 * taken from the first non-empty list. A view reads the role names when it first sees the model,
 * so they cannot change later.
 */
class SyncListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QStringList roles READ roles WRITE setRoles NOTIFY rolesChanged)
    Q_PROPERTY(QVariantList values READ values WRITE setValues NOTIFY valuesChanged)

public:
    using QAbstractListModel::QAbstractListModel;

    QStringList roles() const { return m_keys; }
    void setRoles(const QStringList &roles);
    QVariantList values() const { return m_values; }
    void setValues(const QVariantList &values);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void rolesChanged();
    void valuesChanged();

private:
    QVariantList m_values;
    QStringList m_keys;
};
