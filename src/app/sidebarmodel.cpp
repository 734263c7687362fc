// SPDX-License-Identifier: GPL-3.0-or-later
#include "sidebarmodel.h"

SidebarModel::SidebarModel(QObject *parent) : ConversationListModel(parent)
{
    connect(this, &ConversationListModel::storeChanged, this, &SidebarModel::followStore);
    connect(this, &QAbstractItemModel::rowsInserted, this, &SidebarModel::updateSelection);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &SidebarModel::updateSelection);
    connect(this, &QAbstractItemModel::rowsMoved, this, &SidebarModel::updateSelection);
    connect(this, &QAbstractItemModel::modelReset, this, &SidebarModel::updateSelection);
    connect(this, &QAbstractItemModel::layoutChanged, this, &SidebarModel::updateSelection);
}

int SidebarModel::rowOf(const QString &id) const
{
    if (id.isEmpty())
        return -1;
    for (int row = 0, n = rowCount(); row < n; ++row) {
        if (idAt(row) == id)
            return row;
    }
    return -1;
}

QString SidebarModel::idAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return data(index(row), IdRole).toString();
}

void SidebarModel::followStore()
{
    disconnect(m_selectionConnection);
    if (store())
        m_selectionConnection =
            connect(store(), &Store::selectedIDChanged, this, &SidebarModel::updateSelection);
    updateSelection();
}

void SidebarModel::updateSelection()
{
    const std::optional<QUuid> selected = store() ? store()->selectedID() : std::nullopt;
    const int row = selected ? rowOf(canonicalUuidString(*selected)) : -1;
    const QString id = idAt(row);
    if (row == m_selectedRow && id == m_selectedID)
        return;
    m_selectedRow = row;
    m_selectedID = id;
    emit selectionChanged();
}
