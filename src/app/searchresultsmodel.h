// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/conversationsearch.h"
#include "store/store.h"
#include "util/backgroundrunner.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QSet>
#include <QTimer>

/**
 * The conversations that contain the query, for the sidebar's search.
 *
 * Searching runs on a worker thread over a snapshot of the history, so typing never waits for
 * it; a newer query or a change of the history makes a running search stop early and its
 * results are dropped, and takes the place of one still waiting. Rows have the roles id, title,
 * displayTitle and snippet.
 *
 * The worker keeps the folded texts of the history between searches (an index made at the
 * first search): the Store's change signals name the conversations to fold again. A minute
 * after the search is left the index is let go, so that only a user who searches pays its
 * memory.
 */
class SearchResultsModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    /// What the user typed; results follow it. Empty: no results.
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    /// A search for the current query is still running.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, TitleRole, DisplayTitleRole, SnippetRole };

    explicit SearchResultsModel(QObject *parent = nullptr);
    ~SearchResultsModel() override;

    Store *store() const { return m_store; }
    void setStore(Store *store);
    QString query() const { return m_query; }
    void setQuery(const QString &query);
    bool busy() const { return m_busy; }
    /// How long the index is kept once the query is empty.
    void setReleaseInterval(int ms) { m_release.setInterval(ms); }

    /// The id at this row, or an empty string.
    Q_INVOKABLE QString idAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void storeChanged();
    void queryChanged();
    void busyChanged();
    void countChanged();
    /// The results of a search have been listed.
    void finished();

private:
    void start();
    /// Runs a job on the worker that searches, or only takes the history's changes in.
    void post(bool search);
    void dropIndex();
    void deliver(const QList<ConversationSearch::Hit> &hits);
    void setBusy(bool busy);

    QPointer<Store> m_store;
    QString m_query;
    QList<ConversationSearch::Hit> m_hits;
    bool m_busy = false;
    // While a reply streams the history changes many times a second; search again once calm.
    QTimer m_refresh;
    /// Used by the worker's jobs only, one at a time.
    ConversationSearch::Index m_index;
    /// The conversations changed since the last job started, for the next one to fold again.
    QSet<QUuid> m_stale;
    /// Whether the next job lets the whole index go.
    bool m_dropIndex = false;
    QTimer m_release;
    // Declared last, so that a running job, which uses the index, is over before the rest goes.
    BackgroundRunner m_runner{BackgroundRunner::Mode::NewestWins, QStringLiteral("search")};
};
