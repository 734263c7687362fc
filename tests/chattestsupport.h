// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVariantList>

class QTcpServer;
class Store;

/**
 * What the chat pane's Quick Tests need beyond QML: conversations and settings put straight
 * into the Store, the clipboard, input-method events, and a loopback gateway that accepts a
 * request and never answers, so that a reply stays in progress until it is stopped.
 */
class ChatTestSupport : public QObject
{
    Q_OBJECT

public:
    explicit ChatTestSupport(Store *store, QObject *parent = nullptr);

    /// No conversations; the given key, the default model and the silent gateway.
    Q_INVOKABLE void reset(const QString &apiKey = QStringLiteral("sk-test"));
    /// Changes the settings named in the map: apiKey, baseURL, model, models.
    Q_INVOKABLE void setSettings(const QVariantMap &changes);
    /// A new conversation holding the messages ({role, content} each), with its own model when
    /// one is given; returns its id.
    Q_INVOKABLE QString addConversation(const QVariantList &messages, const QVariant &model = {});
    /// Appends to the last message, as a streamed delta does.
    Q_INVOKABLE void appendToLast(const QString &id, const QString &delta);
    /// The conversation's messages as "role: content".
    Q_INVOKABLE QStringList messages(const QString &id) const;
    Q_INVOKABLE QString clipboardText() const;
    Q_INVOKABLE void setClipboardText(const QString &text);
    /// Sends an input-method event to item: a composition in progress or its commit.
    Q_INVOKABLE void inputMethod(QObject *item, const QString &preedit, const QString &commit);

private:
    Store *m_store;
    QTcpServer *m_silentGateway;
};
