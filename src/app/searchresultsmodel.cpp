// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchresultsmodel.h"

#include "model/storagecodec.h"

SearchResultsModel::SearchResultsModel(QObject *parent) : QAbstractListModel(parent)
{
    m_pool.setMaxThreadCount(1);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(300);
    connect(&m_refresh, &QTimer::timeout, this, &SearchResultsModel::start);
    m_release.setSingleShot(true);
    m_release.setInterval(60'000);
    connect(&m_release, &QTimer::timeout, this, [this] {
        m_stale.clear();
        m_pool.start([index = m_index] { index->clear(); });
    });
}

SearchResultsModel::~SearchResultsModel()
{
    // The worker posts its results to this object: it must be done before this goes.
    ++*m_generation;
    m_pool.waitForDone();
}

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
    m_stale.clear();
    m_pool.start([index = m_index] { index->clear(); });
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
    const int generation = ++*m_generation;
    if (!m_store || m_query.trimmed().isEmpty()) {
        if (m_store)
            m_release.start();
        deliver(generation, {});
        return;
    }
    m_release.stop();
    setBusy(true);
    // The list is shared, not copied: the Store copies on its next write.
    const QList<Conversation> snapshot = m_store->conversations();
    m_pool.start([this, snapshot, query = m_query, generation, current = m_generation,
                  index = m_index, stale = std::exchange(m_stale, {})] {
        // Even a search that is no longer current takes its changes in.
        for (const QUuid &id : stale)
            index->invalidate(id);
        auto hits = index->find(snapshot, query, [&] { return current->load() != generation; });
        if (current->load() != generation)
            return;
        QMetaObject::invokeMethod(
            this, [this, generation, hits = std::move(hits)] { deliver(generation, hits); },
            Qt::QueuedConnection);
    });
}

void SearchResultsModel::deliver(int generation, const QList<ConversationSearch::Hit> &hits)
{
    if (generation != m_generation->load())
        return;
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
        return hit.title.isEmpty() ? Conversation::untitledTitle() : hit.title;
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
