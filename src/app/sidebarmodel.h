// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/conversationlistmodel.h"


/**
 * The sidebar's rows (the Store's conversations, see ConversationListModel for the roles)
 * together with where the Store's selection is among them.
 *
 * selectedRow and selectedID are kept in step with every change of the rows and of the Store's
 * selectedID, and announce only real changes. A selectedID that names no listed conversation
 * counts as no selection, so the detail column never shows a pane for a missing conversation.
 */
class SidebarModel : public ConversationListModel
{
    Q_OBJECT
    /// The row of the selected conversation, or -1.
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
    /// The selected conversation's id when it is listed, otherwise empty.
    Q_PROPERTY(QString selectedID READ selectedID NOTIFY selectionChanged)

public:
    explicit SidebarModel(QObject *parent = nullptr);

    int selectedRow() const { return m_selectedRow; }
    QString selectedID() const { return m_selectedID; }

    /// The row of the conversation with this id, or -1.
    Q_INVOKABLE int rowOf(const QString &id) const;
    /// The id at this row, or an empty string.
    Q_INVOKABLE QString idAt(int row) const;

signals:
    void selectionChanged();

private:
    void followStore();
    void updateSelection();

    QMetaObject::Connection m_selectionConnection;
    int m_selectedRow = -1;
    QString m_selectedID;
};
