// SPDX-License-Identifier: GPL-3.0-or-later
#include "gatewaylist.h"

#include "api/modellist.h"
#include "model/languagechange.h"
#include "model/records.h"
#include "store/store.h"

#include <QCoreApplication>

using namespace std::chrono_literals;

const QList<GatewayPreset> &GatewayPreset::all()
{
    // Each address is the base the provider's own documentation gives for OpenAI-compatible
    // clients; requests append /chat/completions and /models to it. streamUsage is on only
    // where the documentation lists stream_options.include_usage for chat completions.
    static const QList<GatewayPreset> presets = {
        // https://platform.openai.com/docs/api-reference/chat
        {"OpenAI", "https://api.openai.com/v1", false, true},
        // https://api-docs.deepseek.com/ ("base_url: https://api.deepseek.com"; /v1 is optional)
        {"DeepSeek", "https://api.deepseek.com", false, true},
        // https://openrouter.ai/docs/quickstart (usage is always sent; stream_options is ignored)
        {"OpenRouter", "https://openrouter.ai/api/v1"},
        // https://docs.siliconflow.cn/cn/userguide/quickstart
        {QT_TRANSLATE_NOOP("GatewayPreset", "硅基流动 SiliconFlow"),
         "https://api.siliconflow.cn/v1"},
        // https://platform.moonshot.cn/docs/api/chat (the overview's base_url)
        {QT_TRANSLATE_NOOP("GatewayPreset", "月之暗面 Moonshot"), "https://api.moonshot.cn/v1"},
        // https://help.aliyun.com/zh/model-studio/compatibility-of-openai-with-dashscope
        {QT_TRANSLATE_NOOP("GatewayPreset", "阿里云百炼"),
         "https://dashscope.aliyuncs.com/compatible-mode/v1", false, true},
        // https://docs.bigmodel.cn/cn/guide/develop/openai/introduction
        {QT_TRANSLATE_NOOP("GatewayPreset", "智谱 GLM"), "https://open.bigmodel.cn/api/paas/v4"},
        // https://www.volcengine.com/docs/82379/1494384 (chat completions, stream_options)
        {QT_TRANSLATE_NOOP("GatewayPreset", "火山方舟"), "https://ark.cn-beijing.volces.com/api/v3",
         false, true},
        // https://docs.ollama.com/api/openai-compatibility (no key; stream_options supported)
        {"Ollama", "http://localhost:11434/v1", true, true, 11434},
        // https://lmstudio.ai/docs/api/openai-api (server port 1234 by default)
        {"LM Studio", "http://localhost:1234/v1", true, false, 1234},
        // llama-server's README: listens on 127.0.0.1:8080, OpenAI-compatible under /v1
        {"llama.cpp", "http://localhost:8080/v1", true, false},
        {QT_TRANSLATE_NOOP("GatewayPreset", "自定义"), ""},
    };
    return presets;
}

GatewayListModel::GatewayListModel(QObject *parent) : QAbstractListModel(parent)
{
    m_detections.resize(GatewayPreset::all().size());
    // The presets' names, and the first gateway's when it has none, are the program's texts.
    LanguageChange::follow(this, [this] {
        emit presetsChanged();
        if (const int rows = rowCount())
            emit dataChanged(index(0), index(rows - 1), {NameRole});
    });
}

GatewayListModel::~GatewayListModel() = default;

QString GatewayListModel::idString(const QUuid &id)
{
    return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
}

QUuid GatewayListModel::idFromString(const QString &id)
{
    return QUuid::fromString(id);
}

void GatewayListModel::setStore(Store *store)
{
    if (store == m_store)
        return;
    disconnect(m_connection);
    m_store = store;
    if (store)
        m_connection = connect(store, &Store::settingsChanged, this, &GatewayListModel::reload);
    reload();
    emit storeChanged();
}

void GatewayListModel::reload()
{
    QList<QUuid> ids{QUuid()};
    if (m_store) {
        for (const Provider &p : m_store->settings().providers)
            ids.append(p.id);
    }
    if (ids == m_ids) {
        // A name or an address changed while typing: the rows stay, and so does the selection.
        emit dataChanged(index(0), index(rowCount() - 1));
        return;
    }
    beginResetModel();
    m_ids = ids;
    endResetModel();
}

int GatewayListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

QVariant GatewayListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !m_store)
        return {};
    const QUuid &id = m_ids.at(index.row());
    const AppSettings &settings = m_store->settings();
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return settings.gatewayName(id);
    case IdRole:
        return idString(id);
    case AddressRole: {
        const Provider *p = settings.provider(id);
        return p ? p->baseURL : settings.baseURL;
    }
    case DefaultRole:
        return id == settings.defaultProvider;
    case FirstRole:
        return id.isNull();
    }
    return {};
}

QHash<int, QByteArray> GatewayListModel::roleNames() const
{
    return {{IdRole, "gatewayId"},
            {NameRole, "name"},
            {AddressRole, "address"},
            {DefaultRole, "isDefault"},
            {FirstRole, "isFirst"}};
}

template<typename Edit> void GatewayListModel::update(Edit edit)
{
    if (m_store && m_store->changeSettings(edit))
        m_store->save();
}

QString GatewayListModel::add(int preset)
{
    const QList<GatewayPreset> &presets = GatewayPreset::all();
    if (!m_store || preset < 0 || preset >= presets.size())
        return {};
    const GatewayPreset &from = presets.at(preset);
    Provider p;
    p.id = QUuid::createUuid();
    p.name = QCoreApplication::translate("GatewayPreset", from.name);
    p.baseURL = QString::fromLatin1(from.baseURL);
    p.noKey = from.noKey;
    p.streamUsage = from.streamUsage;
    const Detection &found = m_detections.at(preset);
    if (found.detected)
        p.models = found.models;
    update([&](AppSettings &s) { s.providers.append(p); });
    return idString(p.id);
}

void GatewayListModel::remove(const QString &id)
{
    const QUuid uuid = idFromString(id);
    if (uuid.isNull())
        return;
    update([&](AppSettings &s) {
        s.providers.removeIf([&](const Provider &p) { return p.id == uuid; });
        if (s.defaultProvider == uuid)
            s.defaultProvider = QUuid();
    });
}

void GatewayListModel::move(const QString &id, int delta)
{
    const QUuid uuid = idFromString(id);
    update([&](AppSettings &s) {
        const auto from = std::find_if(s.providers.cbegin(), s.providers.cend(),
                                       [&](const Provider &p) { return p.id == uuid; });
        if (from == s.providers.cend())
            return;
        const qsizetype row = from - s.providers.cbegin();
        const qsizetype to = std::clamp<qsizetype>(row + delta, 0, s.providers.size() - 1);
        s.providers.move(row, to);
    });
}

void GatewayListModel::setDefault(const QString &id)
{
    const QUuid uuid = idFromString(id);
    update([&](AppSettings &s) {
        if (s.hasGateway(uuid))
            s.defaultProvider = uuid;
    });
}

int GatewayListModel::conversationsUsing(const QString &id) const
{
    if (!m_store)
        return 0;
    const QUuid uuid = idFromString(id);
    const QList<Conversation> &all = m_store->conversations();
    return int(std::count_if(all.cbegin(), all.cend(),
                             [&](const Conversation &c) { return c.provider == uuid; }));
}

int GatewayListModel::rowOf(const QString &id) const
{
    return int(m_ids.indexOf(idFromString(id)));
}

QVariantList GatewayListModel::presets() const
{
    QVariantList list;
    const QList<GatewayPreset> &presets = GatewayPreset::all();
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const GatewayPreset &p = presets.at(i);
        list.append(QVariantMap{
            {QStringLiteral("name"), QCoreApplication::translate("GatewayPreset", p.name)},
            {QStringLiteral("baseURL"), QString::fromLatin1(p.baseURL)},
            {QStringLiteral("noKey"), p.noKey},
            {QStringLiteral("local"), p.localPort != 0},
            {QStringLiteral("detected"), m_detections.at(i).detected},
        });
    }
    return list;
}

void GatewayListModel::detectLocalServers()
{
    const QList<GatewayPreset> &presets = GatewayPreset::all();
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const quint16 port = presets.at(i).localPort;
        Detection &d = m_detections[i];
        if (port == 0 || d.request)
            continue;
        // The loopback address itself: "localhost" may resolve to an address nothing listens on.
        const Gateway local{QStringLiteral("http://127.0.0.1:%1/v1").arg(port), {}, true};
        d.request = ModelListRequest::start(local, this, 1500ms);
        connect(d.request, &ModelListRequest::finished, this,
                [this, i](const QStringList &ids, const QString &) {
                    Detection &d = m_detections[i];
                    const bool detected = d.request && d.request->answered();
                    if (d.request)
                        d.request->deleteLater();
                    if (detected == d.detected && ids == d.models)
                        return;
                    d.detected = detected;
                    d.models = ids;
                    emit presetsChanged();
                });
    }
}
