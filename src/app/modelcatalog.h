// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/modellist.h"
#include "store/store.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QStringList>

/**
 * The gateway's model list as a filterable checklist for the Settings window.
 *
 * fetch() asks the gateway with the Store's current settings; nothing in the settings changes
 * until addChecked(), which appends the checked ids that the models list does not hold yet.
 * A failure is kept in `error`, in the user's words. Rows are the entries that match `filter`
 * (case-insensitive, anywhere in the id); ids already in the models list show as checked and
 * cannot be unchecked.
 */
class ModelCatalog : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    /// A fetched list is waiting to be confirmed or dismissed.
    Q_PROPERTY(bool open READ isOpen NOTIFY openChanged)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    /// Checked ids not yet in the models list, whether they match the filter or not.
    Q_PROPERTY(int newCount READ newCount NOTIFY checkedChanged)

public:
    enum Roles {
        IdRole = Qt::UserRole + 1, ///< "modelId"
        CheckedRole,               ///< "chosen"
        ListedRole,                ///< "listed": already in the models list
    };

    explicit ModelCatalog(QObject *parent = nullptr);
    ~ModelCatalog() override;

    /// existing followed by the ids whose trimmed form none of its entries has, each once;
    /// existing stays exactly as it is.
    static QList<QString> merge(const QList<QString> &existing, const QStringList &ids);

    Store *store() const { return m_store; }
    void setStore(Store *store);
    bool busy() const { return m_request != nullptr; }
    QString error() const { return m_error; }
    bool isOpen() const { return !m_entries.isEmpty(); }
    QString filter() const { return m_filter; }
    void setFilter(const QString &filter);
    int newCount() const;

    /// Shows ids as if the gateway had sent them (tests and benchmarks).
    void setIds(const QStringList &ids);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void fetch();
    void toggle(int row);
    /// Checks (or unchecks) every row that matches the filter.
    void checkAll(bool checked);
    /// Merges the checked ids into the models list, saves, and closes the list.
    void addChecked();
    /// Closes the list without changing anything.
    void dismiss();

signals:
    void storeChanged();
    void busyChanged();
    void errorChanged();
    void openChanged();
    void filterChanged();
    void checkedChanged();

private:
    struct Entry
    {
        QString id;
        bool checked = false;
        bool listed = false;
    };

    void setError(const QString &error);
    void refilter();

    QPointer<Store> m_store;
    QPointer<ModelListRequest> m_request;
    QString m_error;
    QString m_filter;
    QList<Entry> m_entries;
    QList<int> m_rows; ///< indexes into m_entries of the rows shown
};
