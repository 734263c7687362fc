// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchresultsmodel.h"

#include "model/languagechange.h"
#include "model/storagecodec.h"

SearchResultsModel::SearchResultsModel(QObject *parent) : QAbstractListModel(parent)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(300);
    connect(&m_refresh, &QTimer::timeout, this, &SearchResultsModel::start);
    m_release.setSingleShot(true);
    m_release.setInterval(60'000);
    connect(&m_release, &QTimer::timeout, this, [this] {
        dropIndex();
        post(false);
    });
    // The titles the program gave are shown in the interface's language.
    LanguageChange::follow(this, [this] {
        if (const int rows = rowCount())
            emit dataChanged(index(0), index(rows - 1), {DisplayTitleRole, Qt::DisplayRole});
    });
}

SearchResultsModel::~SearchResultsModel() = default;

void SearchResultsModel::setStore(Store *store)
{
    if (m_store == store)
        return;
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (store) {
        // Any change of the history searches again once the changes pause, folding the
        // conversations that changed again.
        const auto changed = [this](const QUuid &id) {
            m_stale.insert(id);
            if (!m_query.trimmed().isEmpty())
                m_refresh.start();
        };
        connect(store, &Store::conversationInserted, this, changed);
        connect(store, &Store::conversationAboutToBeRemoved, this, changed);
        connect(store, &Store::conversationUpdated, this, changed);
        connect(store, &Store::messagesInserted, this, changed);
        connect(store, &Store::messagesRemoved, this, changed);
        connect(store, &Store::messageContentChanged, this, changed);
    }
    // Another history: nothing kept applies.
    dropIndex();
    emit storeChanged();
    start();
}

void SearchResultsModel::setQuery(const QString &query)
{
    if (m_query == query)
        return;
    m_query = query;
    emit queryChanged();
    start();
}

void SearchResultsModel::start()
{
    m_refresh.stop();
    // A search still running is for an older query or history.
    m_runner.stopRunning();
    if (!m_store || m_query.trimmed().isEmpty()) {
        if (m_store)
            m_release.start();
        post(false);
        deliver({});
        return;
    }
    m_release.stop();
    setBusy(true);
    post(true);
}

void SearchResultsModel::post(bool search)
{
    // The job takes the history, its changes and the query as they are when it starts.
    m_runner.runPrepared(
        [this, search] {
            // The list is shared, not copied: the Store copies on its next write.
            const QList<Conversation> snapshot =
                search && m_store ? m_store->conversations() : QList<Conversation>();
            return [this, snapshot, query = search ? m_query : QString(),
                    stale = std::exchange(m_stale, {}),
                    drop = std::exchange(m_dropIndex, false)](const BackgroundRunner::Stop &stop) {
                // Even a search that is stopped takes its changes in.
                if (drop)
                    m_index.clear();
                for (const QUuid &id : stale)
                    m_index.invalidate(id);
                return m_index.find(snapshot, query, [&stop] { return stop.requested(); });
            };
        },
        [this, search](const QList<ConversationSearch::Hit> &hits) {
            if (search)
                deliver(hits);
        });
}

void SearchResultsModel::dropIndex()
{
    m_stale.clear();
    m_dropIndex = true;
}

void SearchResultsModel::deliver(const QList<ConversationSearch::Hit> &hits)
{
    const int before = int(m_hits.size());
    beginResetModel();
    m_hits = hits;
    endResetModel();
    if (before != m_hits.size())
        emit countChanged();
    setBusy(false);
    emit finished();
}

void SearchResultsModel::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

QString SearchResultsModel::idAt(int row) const
{
    return row >= 0 && row < m_hits.size() ? canonicalUuidString(m_hits.at(row).id) : QString();
}

int SearchResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

QVariant SearchResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ConversationSearch::Hit &hit = m_hits.at(index.row());
    switch (role) {
    case IdRole:
        return canonicalUuidString(hit.id);
    case TitleRole:
        return hit.title;
    case Qt::DisplayRole:
    case DisplayTitleRole:
        return Conversation::shownTitle(hit.title);
    case SnippetRole:
        return hit.snippet;
    default:
        return {};
    }
}

QHash<int, QByteArray> SearchResultsModel::roleNames() const
{
    return {{IdRole, "id"},
            {TitleRole, "title"},
            {DisplayTitleRole, "displayTitle"},
            {SnippetRole, "snippet"}};
}
