// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagetext.h"

void MessageText::setModel(QAbstractItemModel *model)
{
    if (m_model == model)
        return;
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_model = model;
    m_role = model ? model->roleNames().key(m_roleName.toUtf8(), -1) : -1;
    if (model) {
        m_connections << connect(
            model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                if (m_row >= from.row() && m_row <= to.row() &&
                    (roles.isEmpty() || roles.contains(m_role)))
                    refresh();
            });
        // Rows coming and going may put another message at this row (a regenerated reply
        // replaces the last one, and a reused delegate keeps its row number).
        m_connections << connect(model, &QAbstractItemModel::modelReset, this,
                                 &MessageText::refresh)
                      << connect(model, &QAbstractItemModel::layoutChanged, this,
                                 &MessageText::refresh);
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            m_connections << connect(model, signal, this, &MessageText::refresh);
    }
    emit modelChanged();
    refresh();
}

void MessageText::setRow(int row)
{
    if (m_row == row)
        return;
    m_row = row;
    emit rowChanged();
    refresh();
}

void MessageText::setRole(const QString &role)
{
    if (m_roleName == role)
        return;
    m_roleName = role;
    m_role = m_model ? m_model->roleNames().key(role.toUtf8(), -1) : -1;
    emit roleChanged();
    refresh();
}

void MessageText::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    emit textChanged();
}

void MessageText::refresh()
{
    if (!m_model || m_role < 0)
        return;
    const QModelIndex index = m_model->index(m_row, 0);
    const QVariant value = index.isValid() ? m_model->data(index, m_role) : QVariant();
    if (value != m_value) {
        m_value = value;
        if (value.toString() == m_text)
            emit textChanged();
    }
    setText(value.toString());
}
