// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsform.h"

#include "model/records.h"
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
    if (!m_store)
        return;
    AppSettings settings = m_store->settings();
    edit(settings);
    if (settings == m_store->settings())
        return;
    m_store->setSettings(settings);
    m_savePending = true;
    m_saveTimer.start();
}

QString SettingsForm::baseURL() const
{
    return m_store ? m_store->settings().baseURL : QString();
}

void SettingsForm::setBaseURL(const QString &value)
{
    update([&](AppSettings &s) { s.baseURL = value; });
}

QString SettingsForm::apiKey() const
{
    return m_store ? m_store->settings().apiKey : QString();
}

void SettingsForm::setApiKey(const QString &value)
{
    update([&](AppSettings &s) { s.apiKey = value; });
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
    return m_store ? textFromModels(m_store->settings().models) : QString();
}

void SettingsForm::setModelsText(const QString &text)
{
    update([&](AppSettings &s) { s.models = modelsFromText(text); });
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
