// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelcatalog.h"

#include "api/modellist.h"
#include "model/textutil.h"
#include "store/store.h"

#include <QSet>

ModelCatalog::ModelCatalog(QObject *parent) : QAbstractListModel(parent) {}

ModelCatalog::~ModelCatalog() = default;

QList<QString> ModelCatalog::merge(const QList<QString> &existing, const QStringList &ids)
{
    QSet<QString> known;
    for (const QString &name : existing)
        known.insert(TextUtil::trimHorizontal(name));
    QList<QString> merged = existing;
    for (const QString &id : ids) {
        const QString trimmed = TextUtil::trimHorizontal(id);
        if (trimmed.isEmpty() || known.contains(trimmed))
            continue;
        known.insert(trimmed);
        merged.append(trimmed);
    }
    return merged;
}

void ModelCatalog::setStore(Store *store)
{
    if (m_store == store)
        return;
    m_store = store;
    emit storeChanged();
}

void ModelCatalog::setFilter(const QString &filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
    emit filterChanged();
    refilter();
}

int ModelCatalog::newCount() const
{
    int n = 0;
    for (const Entry &e : m_entries)
        n += e.checked && !e.listed;
    return n;
}

void ModelCatalog::setError(const QString &error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged();
}

void ModelCatalog::fetch()
{
    if (!m_store || m_request)
        return;
    setError({});
    m_request = ModelListRequest::start(Gateway::fromSettings(m_store->settings()), this);
    emit busyChanged();
    connect(m_request, &ModelListRequest::finished, this,
            [this](const QStringList &ids, const QString &error) {
                m_request->deleteLater();
                m_request = nullptr;
                if (error.isEmpty())
                    setIds(ids);
                else
                    setError(error);
                emit busyChanged();
            });
}

void ModelCatalog::setIds(const QStringList &ids)
{
    QSet<QString> listed;
    if (m_store) {
        for (const QString &name : m_store->settings().models)
            listed.insert(TextUtil::trimHorizontal(name));
    }
    const bool wasOpen = isOpen();
    m_entries.clear();
    m_entries.reserve(ids.size());
    for (const QString &id : ids) {
        const bool known = listed.contains(id);
        m_entries.append(Entry{id, known, known});
    }
    refilter();
    emit checkedChanged();
    if (wasOpen != isOpen())
        emit openChanged();
}

void ModelCatalog::refilter()
{
    beginResetModel();
    m_rows.clear();
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).id.contains(m_filter, Qt::CaseInsensitive))
            m_rows.append(i);
    }
    endResetModel();
}

void ModelCatalog::toggle(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    Entry &e = m_entries[m_rows.at(row)];
    if (e.listed)
        return;
    e.checked = !e.checked;
    emit dataChanged(index(row), index(row), {CheckedRole});
    emit checkedChanged();
}

void ModelCatalog::checkAll(bool checked)
{
    for (int i : std::as_const(m_rows)) {
        if (!m_entries.at(i).listed)
            m_entries[i].checked = checked;
    }
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {CheckedRole});
    emit checkedChanged();
}

void ModelCatalog::addChecked()
{
    if (m_store) {
        QStringList ids;
        for (const Entry &e : std::as_const(m_entries)) {
            if (e.checked && !e.listed)
                ids.append(e.id);
        }
        AppSettings settings = m_store->settings();
        const QList<QString> merged = merge(settings.models, ids);
        if (merged != settings.models) {
            settings.models = merged;
            m_store->setSettings(settings);
            m_store->save();
        }
    }
    dismiss();
}

void ModelCatalog::dismiss()
{
    if (!isOpen())
        return;
    setIds({});
    setFilter({});
}

int ModelCatalog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ModelCatalog::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Entry &e = m_entries.at(m_rows.at(index.row()));
    switch (role) {
    case Qt::DisplayRole:
    case IdRole:
        return e.id;
    case CheckedRole:
        return e.checked;
    case ListedRole:
        return e.listed;
    }
    return {};
}

QHash<int, QByteArray> ModelCatalog::roleNames() const
{
    return {{IdRole, "modelId"}, {CheckedRole, "chosen"}, {ListedRole, "listed"}};
}
