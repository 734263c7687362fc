// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/storagecodec.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

/// Store set-ups and checks the views' tests cannot make through the Store's QML interface.
class AppTestSupport : public QObject
{
    Q_OBJECT

public:
    AppTestSupport(Store *store, QString dataFile) : m_store(store), m_dataFile(std::move(dataFile))
    {}

    /// Removes every conversation, restores default settings and deletes data.json.
    Q_INVOKABLE void reset()
    {
        while (!m_store->conversations().isEmpty())
            m_store->remove(m_store->conversations().constFirst().id);
        m_store->setSettings(AppSettings());
        removeDataFile();
    }
    /// Sets a title as stored, without the trimming of rename (an empty title, say).
    Q_INVOKABLE void setTitle(const QString &id, const QString &title)
    {
        if (const auto uuid = parseCanonicalUuid(id))
            m_store->setTitle(*uuid, title);
    }
    Q_INVOKABLE QString title(const QString &id) const
    {
        const auto uuid = parseCanonicalUuid(id);
        const Conversation *c = uuid ? m_store->conversation(*uuid) : nullptr;
        return c ? c->title : QString();
    }
    Q_INVOKABLE QStringList ids() const
    {
        QStringList ids;
        for (const Conversation &c : m_store->conversations())
            ids.append(canonicalUuidString(c.id));
        return ids;
    }
    /// Puts settings into the Store without saving them; missing keys read as empty.
    Q_INVOKABLE void setSettings(const QVariantMap &v)
    {
        m_store->setSettings({v.value("baseURL").toString(), v.value("apiKey").toString(),
                              v.value("model").toString(), v.value("systemPrompt").toString(),
                              v.value("models").toStringList()});
    }
    Q_INVOKABLE QVariantMap settings() const
    {
        const AppSettings &s = m_store->settings();
        return {{"baseURL", s.baseURL},
                {"apiKey", s.apiKey},
                {"model", s.model},
                {"systemPrompt", s.systemPrompt},
                {"models", QStringList(s.models)}};
    }
    Q_INVOKABLE bool dataFileExists() const { return QFileInfo(m_dataFile).isFile(); }
    Q_INVOKABLE void removeDataFile()
    {
        QFile::remove(m_dataFile);
        QDir(m_dataFile).removeRecursively();
    }
    /// Puts a folder where data.json goes, so that every save fails until removeDataFile().
    Q_INVOKABLE bool breakDataFile()
    {
        removeDataFile();
        return QDir().mkpath(m_dataFile);
    }

private:
    Store *m_store;
    QString m_dataFile;
};
