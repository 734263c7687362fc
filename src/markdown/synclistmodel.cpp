// SPDX-License-Identifier: GPL-3.0-or-later
#include "synclistmodel.h"

#include <QVariantMap>

void SyncListModel::setRoles(const QStringList &roles)
{
    if (m_keys == roles || !m_keys.isEmpty())
        return;
    m_keys = roles;
    emit rolesChanged();
}

void SyncListModel::setValues(const QVariantList &values)
{
    if (m_keys.isEmpty() && !values.isEmpty()) {
        m_keys = values.constFirst().toMap().keys();
        emit rolesChanged();
    }
    const qsizetype common = std::min(values.size(), m_values.size());
    for (qsizetype i = 0; i < common; ++i) {
        const QVariantMap before = m_values.at(i).toMap();
        const QVariantMap after = values.at(i).toMap();
        QList<int> roles;
        for (qsizetype k = 0; k < m_keys.size(); ++k) {
            if (before.value(m_keys.at(k)) != after.value(m_keys.at(k)))
                roles << Qt::UserRole + int(k);
        }
        m_values[i] = values.at(i);
        if (!roles.isEmpty())
            emit dataChanged(index(int(i)), index(int(i)), roles);
    }
    if (values.size() > m_values.size()) {
        beginInsertRows({}, int(m_values.size()), int(values.size() - 1));
        m_values.append(values.mid(m_values.size()));
        endInsertRows();
    } else if (values.size() < m_values.size()) {
        beginRemoveRows({}, int(values.size()), int(m_values.size() - 1));
        m_values.resize(values.size());
        endRemoveRows();
    }
    emit valuesChanged();
}

int SyncListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_values.size());
}

QVariant SyncListModel::data(const QModelIndex &index, int role) const
{
    const qsizetype key = role - Qt::UserRole;
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        key < 0 || key >= m_keys.size())
        return {};
    return m_values.at(index.row()).toMap().value(m_keys.at(key));
}

QHash<int, QByteArray> SyncListModel::roleNames() const
{
    QHash<int, QByteArray> names;
    for (qsizetype k = 0; k < m_keys.size(); ++k)
        names.insert(Qt::UserRole + int(k), m_keys.at(k).toUtf8());
    return names;
}
