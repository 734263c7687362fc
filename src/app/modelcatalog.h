// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/modellist.h"
#include "store/store.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>

/**
 * A gateway's model list as a filterable checklist for the Settings window.
 *
 * fetch() asks the gateway chosen by `gateway` (its id as a string, empty for the first) with
 * the Store's current settings; nothing in the settings changes until addChecked(), which
 * appends the checked ids that the gateway's models list does not hold yet.
 * A failure is kept in `error`, in the user's words. Rows are the entries that match `filter`
 * (case-insensitive, anywhere in the id); ids already in the models list show as checked and
 * cannot be unchecked.
 *
 * testConnection() asks for the same list only to tell whether the gateway answers: it reports
 * how many models it has, or the failure with the advice a failed reply would give.
 */
class ModelCatalog : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    /// A fetched list is waiting to be confirmed or dismissed.
    Q_PROPERTY(bool open READ isOpen NOTIFY openChanged)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    /// Checked ids not yet in the models list, whether they match the filter or not.
    Q_PROPERTY(int newCount READ newCount NOTIFY checkedChanged)
    /// The model new conversations on this gateway start with: the first gateway's own default,
    /// another gateway's first model.
    Q_PROPERTY(QString defaultModel READ defaultModel NOTIFY defaultModelChanged)
    /// A fetched list is open and does not hold the default model.
    Q_PROPERTY(bool defaultMissing READ defaultMissing NOTIFY defaultModelChanged)
    Q_PROPERTY(bool testing READ testing NOTIFY testChanged)
    /// The last connection test's outcome: empty before one, "ok" or "failed".
    Q_PROPERTY(QString testOutcome READ testOutcome NOTIFY testChanged)
    /// What the test found, in a line.
    Q_PROPERTY(QString testMessage READ testMessage NOTIFY testChanged)
    /// For a failure: what to do about it.
    Q_PROPERTY(QString testAdvice READ testAdvice NOTIFY testChanged)

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
    QString gateway() const;
    void setGateway(const QString &id);
    QString defaultModel() const;
    bool defaultMissing() const;
    bool testing() const { return m_test != nullptr; }
    QString testOutcome() const { return m_testOutcome; }
    QString testMessage() const { return m_testMessage; }
    QString testAdvice() const { return m_testAdvice; }
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
    /// Makes the model in that row the gateway's default (for a further gateway: moves it to
    /// the front of its list) and saves.
    void setDefaultModel(int row);
    void testConnection();

signals:
    void storeChanged();
    void gatewayChanged();
    void defaultModelChanged();
    void testChanged();
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
    void setTest(const QString &outcome, const QString &message, const QString &advice);
    /// The chosen gateway's models list; empty for one that has gone.
    QList<QString> gatewayModels() const;
    Gateway currentGateway() const;

    QPointer<Store> m_store;
    QPointer<ModelListRequest> m_request;
    QPointer<ModelListRequest> m_test;
    QUuid m_gateway;
    QString m_testOutcome;
    QString m_testMessage;
    QString m_testAdvice;
    /// Tells the last test's outcome again, in the interface's language of the moment.
    std::function<void()> m_tellTest;
    QString m_error;
    QString m_filter;
    QList<Entry> m_entries;
    QList<int> m_rows; ///< indexes into m_entries of the rows shown
};
