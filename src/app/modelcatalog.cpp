// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelcatalog.h"

#include "api/failurenotice.h"
#include "api/modellist.h"
#include "app/gatewaylist.h"
#include "model/languagechange.h"
#include "model/textutil.h"
#include "store/store.h"

#include <QSet>

ModelCatalog::ModelCatalog(QObject *parent) : QAbstractListModel(parent)
{
    LanguageChange::follow(this, [this] {
        if (m_tellTest)
            m_tellTest();
    });
}

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
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (store)
        connect(store, &Store::settingsChanged, this, &ModelCatalog::defaultModelChanged);
    emit storeChanged();
    emit defaultModelChanged();
}

QString ModelCatalog::gateway() const
{
    return GatewayListModel::idString(m_gateway);
}

void ModelCatalog::setGateway(const QString &id)
{
    const QUuid uuid = GatewayListModel::idFromString(id);
    if (uuid == m_gateway)
        return;
    // What was asked of one gateway says nothing about another.
    delete m_request;
    delete m_test;
    m_gateway = uuid;
    dismiss();
    setError({});
    m_tellTest = nullptr;
    setTest({}, {}, {});
    emit busyChanged();
    emit gatewayChanged();
    emit defaultModelChanged();
}

Gateway ModelCatalog::currentGateway() const
{
    return Gateway::fromSettings(m_store->settings(), m_gateway);
}

QList<QString> ModelCatalog::gatewayModels() const
{
    if (!m_store)
        return {};
    const AppSettings &settings = m_store->settings();
    if (m_gateway.isNull())
        return settings.models;
    const Provider *p = settings.provider(m_gateway);
    return p ? p->models : QList<QString>();
}

QString ModelCatalog::defaultModel() const
{
    if (!m_store)
        return {};
    if (m_gateway.isNull())
        return m_store->settings().model;
    const QList<QString> models = gatewayModels();
    return models.isEmpty() ? QString() : models.first();
}

bool ModelCatalog::defaultMissing() const
{
    const QString model = TextUtil::trimHorizontal(defaultModel());
    return isOpen() && std::none_of(m_entries.cbegin(), m_entries.cend(),
                                    [&](const Entry &e) { return e.id == model; });
}

void ModelCatalog::setDefaultModel(int row)
{
    if (!m_store || row < 0 || row >= m_rows.size())
        return;
    const QString id = m_entries.at(m_rows.at(row)).id;
    const bool changed = m_store->changeSettings([&](AppSettings &settings) {
        if (m_gateway.isNull()) {
            settings.model = id;
            return;
        }
        for (Provider &p : settings.providers) {
            if (p.id != m_gateway)
                continue;
            p.models.removeIf([&](const QString &m) { return TextUtil::trimHorizontal(m) == id; });
            p.models.prepend(id);
        }
    });
    if (!changed)
        return;
    m_store->save();
    // A further gateway's default is in its list now: its row shows as listed, checks kept.
    QSet<QString> listed;
    for (const QString &name : gatewayModels())
        listed.insert(TextUtil::trimHorizontal(name));
    for (Entry &e : m_entries) {
        e.listed = listed.contains(e.id);
        e.checked = e.checked || e.listed;
    }
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
    emit checkedChanged();
}

void ModelCatalog::setTest(const QString &outcome, const QString &message, const QString &advice)
{
    m_testOutcome = outcome;
    m_testMessage = message;
    m_testAdvice = advice;
    emit testChanged();
}

void ModelCatalog::testConnection()
{
    if (!m_store || m_test)
        return;
    m_tellTest = nullptr;
    setTest({}, {}, {});
    m_test = ModelListRequest::start(currentGateway(), this);
    emit testChanged();
    connect(m_test, &ModelListRequest::finished, this,
            [this](const QStringList &ids, const QString &error) {
                const std::optional<ChatAPIError> failure = m_test->failure();
                m_test->deleteLater();
                m_test = nullptr;
                m_tellTest = [this, count = int(ids.size()), error, failure] {
                    if (error.isEmpty()) {
                        setTest(QStringLiteral("ok"),
                                tr("连接成功，服务器列出了 %n 个模型。", nullptr, count), {});
                        return;
                    }
                    if (!failure) {
                        setTest(QStringLiteral("failed"), error, {});
                        return;
                    }
                    const FailureNotice notice =
                        FailureNotice::explain(failure->description(StoredText::Form::Written),
                                               failure->kindCode(), false);
                    const QString message = notice.message.isEmpty()
                                                ? notice.heading
                                                : tr("%1：%2", "what failed: the gateway's words")
                                                      .arg(notice.heading, notice.message);
                    setTest(QStringLiteral("failed"), message, notice.advice);
                };
                m_tellTest();
            });
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
    m_request = ModelListRequest::start(currentGateway(), this);
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
    for (const QString &name : gatewayModels())
        listed.insert(TextUtil::trimHorizontal(name));
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
    emit defaultModelChanged();
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
        const bool changed = m_store->changeSettings([&](AppSettings &settings) {
            QList<QString> *models = m_gateway.isNull() ? &settings.models : nullptr;
            for (Provider &p : settings.providers) {
                if (p.id == m_gateway)
                    models = &p.models;
            }
            if (models)
                *models = merge(*models, ids);
        });
        if (changed)
            m_store->save();
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
