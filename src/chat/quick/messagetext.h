// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <QString>

/**
 * The text of one row of a message list, kept current as the message changes (a streamed
 * reply grows by one delta at a time).
 *
 * A row delegate could take the text as a required property, but the delegate model hands
 * role values to QML as script values: a long reply would then be copied into the script heap
 * on every delta, and the garbage collections that follow grow with the reply. This object
 * reads the text as a QString, which the bindings pass on without a copy.
 *
 * Without a model, `text` is simply the value it was given.
 */
class MessageText : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QAbstractItemModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(int row READ row WRITE setRow NOTIFY rowChanged)
    /// The name of the role read; "content" unless set.
    Q_PROPERTY(QString role READ role WRITE setRole NOTIFY roleChanged)
    /// The row's value of that role; settable while there is no model.
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    /// The same value as it is, for roles that are not text; undefined without a model.
    Q_PROPERTY(QVariant value READ value NOTIFY textChanged)

public:
    using QObject::QObject;

    QAbstractItemModel *model() const { return m_model; }
    void setModel(QAbstractItemModel *model);
    int row() const { return m_row; }
    void setRow(int row);
    QString role() const { return m_roleName; }
    void setRole(const QString &role);
    QString text() const { return m_text; }
    QVariant value() const { return m_value; }
    void setText(const QString &text);

signals:
    void modelChanged();
    void rowChanged();
    void roleChanged();
    void textChanged();

private:
    void refresh();

    QPointer<QAbstractItemModel> m_model;
    QList<QMetaObject::Connection> m_connections;
    int m_role = -1;
    QString m_roleName = QStringLiteral("content");
    int m_row = -1;
    QString m_text;
    QVariant m_value;
};
