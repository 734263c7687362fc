// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsform.h"

#include "app/gatewaylist.h"
#include "model/languagechange.h"
#include "model/records.h"
#include "model/storedtext.h"
#include "model/textutil.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QQuickTextDocument>
#include <QTextDocument>

SettingsForm::SettingsForm(QObject *parent) : QObject(parent)
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(saveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &SettingsForm::flush);
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SettingsForm::flush);
    // The first gateway's placeholder name is the program's text; the others show an address.
    connect(this, &SettingsForm::settingsChanged, this, &SettingsForm::namePlaceholderChanged);
    LanguageChange::follow(this, [this] { emit namePlaceholderChanged(); });
}

SettingsForm::~SettingsForm()
{
    flush();
}

void SettingsForm::flush()
{
    if (!m_savePending)
        return;
    m_savePending = false;
    m_saveTimer.stop();
    if (m_store)
        m_store->save();
}

QList<QString> SettingsForm::modelsFromText(QStringView text)
{
    QList<QString> models;
    for (const QStringView piece : text.tokenize(u'\n', Qt::SkipEmptyParts)) {
        QString name = TextUtil::trimHorizontal(piece);
        if (!name.isEmpty())
            models.append(std::move(name));
    }
    return models;
}

QString SettingsForm::textFromModels(const QList<QString> &models)
{
    return models.join(u'\n');
}

void SettingsForm::setStore(Store *store)
{
    if (store == m_store)
        return;
    flush();
    disconnect(m_connection);
    m_store = store;
    if (store)
        m_connection =
            connect(store, &Store::settingsChanged, this, &SettingsForm::settingsChanged);
    emit storeChanged();
    emit settingsChanged();
}

template<typename Edit> void SettingsForm::update(Edit edit)
{
    if (!m_store || !m_store->changeSettings(edit))
        return;
    m_savePending = true;
    m_saveTimer.start();
}

template<typename Edit> void SettingsForm::updateGateway(Edit edit)
{
    update([&](AppSettings &s) {
        if (m_gateway.isNull()) {
            edit(s.baseURL, s.apiKey, s.name, s.models);
            return;
        }
        for (Provider &p : s.providers) {
            if (p.id == m_gateway)
                edit(p.baseURL, p.apiKey, p.name, p.models);
        }
    });
}

const Provider *SettingsForm::provider() const
{
    return m_store ? m_store->settings().provider(m_gateway) : nullptr;
}

QString SettingsForm::gateway() const
{
    return GatewayListModel::idString(m_gateway);
}

void SettingsForm::setGateway(const QString &id)
{
    const QUuid uuid = GatewayListModel::idFromString(id);
    if (uuid == m_gateway)
        return;
    flush();
    m_gateway = uuid;
    emit gatewayChanged();
    emit settingsChanged();
}

QString SettingsForm::baseURL() const
{
    if (const Provider *p = provider())
        return p->baseURL;
    return m_store && isFirstGateway() ? m_store->settings().baseURL : QString();
}

void SettingsForm::setBaseURL(const QString &value)
{
    updateGateway([&](QString &baseURL, auto &, auto &, auto &) { baseURL = value; });
}

QString SettingsForm::apiKey() const
{
    if (const Provider *p = provider())
        return p->apiKey;
    return m_store && isFirstGateway() ? m_store->settings().apiKey : QString();
}

void SettingsForm::setApiKey(const QString &value)
{
    updateGateway([&](auto &, QString &apiKey, auto &, auto &) { apiKey = value; });
}

QString SettingsForm::name() const
{
    if (const Provider *p = provider())
        return p->name;
    if (!m_store || !isFirstGateway())
        return {};
    // The first gateway's default name is no name of the user's: the field shows it greyed.
    const QString &name = m_store->settings().name;
    return name == AppSettings::defaultGatewayName() ? QString() : name;
}

void SettingsForm::setName(const QString &value)
{
    updateGateway([&](auto &, auto &, QString &name, auto &) { name = value; });
}

QString SettingsForm::namePlaceholder() const
{
    if (const Provider *p = provider())
        return p->baseURL;
    return StoredText::shown(AppSettings::defaultGatewayName());
}

bool SettingsForm::noKey() const
{
    const Provider *p = provider();
    return p && p->noKey;
}

void SettingsForm::setNoKey(bool value)
{
    update([&](AppSettings &s) {
        for (Provider &p : s.providers) {
            if (p.id == m_gateway)
                p.noKey = value;
        }
    });
}

QString SettingsForm::model() const
{
    return m_store ? m_store->settings().model : QString();
}

void SettingsForm::setModel(const QString &value)
{
    update([&](AppSettings &s) { s.model = value; });
}

QString SettingsForm::systemPrompt() const
{
    return m_store ? m_store->settings().systemPrompt : QString();
}

void SettingsForm::setSystemPrompt(const QString &value)
{
    update([&](AppSettings &s) { s.systemPrompt = value; });
}

QString SettingsForm::modelsText() const
{
    if (const Provider *p = provider())
        return textFromModels(p->models);
    return m_store && isFirstGateway() ? textFromModels(m_store->settings().models) : QString();
}

void SettingsForm::setModelsText(const QString &text)
{
    updateGateway(
        [&](auto &, auto &, auto &, QList<QString> &models) { models = modelsFromText(text); });
}

QString SettingsForm::defaultBaseURL()
{
    return AppSettings::defaultBaseURL();
}

namespace {

QString rawText(const QTextDocument &document)
{
    QString raw = document.toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return raw;
}

} // namespace

QString SettingsForm::typedText(QQuickTextDocument *document)
{
    const QTextDocument *text = document ? document->textDocument() : nullptr;
    return text ? rawText(*text) : QString();
}

QString SettingsForm::shownText(const QString &value)
{
    QTextDocument document;
    document.setPlainText(value);
    return rawText(document);
}
