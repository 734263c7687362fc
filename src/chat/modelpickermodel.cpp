// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelpickermodel.h"

#include "model/textutil.h"

#include <QSet>

#include <algorithm>

ModelPickerModel::ModelPickerModel(QObject *parent) : QAbstractListModel(parent) {}

QList<ModelPickerModel::Entry> ModelPickerModel::entries(const AppSettings &settings)
{
    QList<Entry> list;
    const bool sections = !settings.providers.isEmpty();
    const auto addGateway = [&](const QUuid &id, const QList<QString> &models,
                                const QString *first) {
        const QString name = settings.gatewayName(id);
        const qsizetype headerAt = list.size();
        if (sections)
            list.append(Entry{id, name, {}, true});
        QSet<QString> seen;
        const auto add = [&](const QString &model) {
            const QString trimmed = TextUtil::trimHorizontal(model);
            if (trimmed.isEmpty() || seen.contains(trimmed))
                return;
            seen.insert(trimmed);
            list.append(Entry{id, name, trimmed, false});
        };
        if (first)
            add(*first);
        for (const QString &m : models)
            add(m);
        // A gateway without models has nothing to choose: no header either.
        if (seen.isEmpty() && sections)
            list.remove(headerAt);
    };
    addGateway({}, settings.models, &settings.model);
    for (const Provider &p : settings.providers)
        addGateway(p.id, p.models, nullptr);
    return list;
}

void ModelPickerModel::update(const AppSettings &settings, const QUuid &gateway,
                              const QString &model)
{
    const bool currentChanged = gateway != m_gateway || model != m_model;
    m_gateway = gateway;
    m_model = model;
    bool reset = false;
    // Called on every change of the pane (each key typed): the list is made again only when
    // the settings changed, since a gateway may list hundreds of models.
    if (settings != m_settings) {
        m_settings = settings;
        if (QList<Entry> all = entries(settings); all != m_all) {
            m_all = std::move(all);
            reset = refilter();
            const auto count = int(std::count_if(m_all.cbegin(), m_all.cend(),
                                                 [](const Entry &e) { return !e.header; }));
            if (count != m_modelCount) {
                m_modelCount = count;
                emit modelCountChanged();
            }
        }
    }
    if (currentChanged && !reset && !m_shown.isEmpty())
        emit dataChanged(index(0), index(int(m_shown.size()) - 1), {CurrentRole});
}

void ModelPickerModel::setFilter(const QString &filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    refilter();
    emit filterChanged();
}

bool ModelPickerModel::refilter()
{
    const QString needle = TextUtil::trimHorizontal(m_filter);
    QList<Entry> shown;
    if (needle.isEmpty()) {
        shown = m_all;
    } else {
        const Entry *header = nullptr;
        for (const Entry &e : std::as_const(m_all)) {
            if (e.header) {
                header = &e;
                continue;
            }
            if (!e.model.contains(needle, Qt::CaseInsensitive) &&
                !e.gatewayName.contains(needle, Qt::CaseInsensitive))
                continue;
            if (header) {
                shown.append(*header);
                header = nullptr;
            }
            shown.append(e);
        }
    }
    if (shown == m_shown)
        return false;
    beginResetModel();
    m_shown = std::move(shown);
    endResetModel();
    return true;
}

bool ModelPickerModel::isCurrent(const Entry &e) const
{
    return !e.header && e.gateway == m_gateway && e.model == m_model;
}

int ModelPickerModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant ModelPickerModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Entry &e = m_shown.at(index.row());
    switch (role) {
    case GatewayIDRole:
        return e.gateway.isNull() ? QString() : canonicalUuidString(e.gateway);
    case GatewayNameRole:
        return e.gatewayName;
    case Qt::DisplayRole:
    case ModelRole:
        return e.model;
    case HeaderRole:
        return e.header;
    case CurrentRole:
        return isCurrent(e);
    default:
        return {};
    }
}

QHash<int, QByteArray> ModelPickerModel::roleNames() const
{
    return {{GatewayIDRole, "gatewayID"},
            {GatewayNameRole, "gatewayName"},
            {ModelRole, "modelName"},
            {HeaderRole, "header"},
            {CurrentRole, "current"}};
}
