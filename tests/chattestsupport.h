// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>

class QTcpServer;
class Store;

/**
 * What the chat pane's Quick Tests need beyond QML: conversations and settings put straight
 * into the Store, the clipboard's text, and a loopback gateway that accepts a request and never
 * answers, so a reply stays in progress until it is stopped.
 */
class ChatTestSupport : public QObject
{
    Q_OBJECT

public:
    explicit ChatTestSupport(Store *store, QObject *parent = nullptr);
    ~ChatTestSupport() override;

    /// No conversations; settings with this key, a default model and the silent gateway.
    Q_INVOKABLE void reset(const QString &apiKey = QStringLiteral("sk-test"));
    Q_INVOKABLE void setApiKey(const QString &apiKey);
    Q_INVOKABLE void setBaseUrl(const QString &url);
    Q_INVOKABLE void setModels(const QString &model, const QStringList &models);
    /// A new conversation holding the messages ({role, content} each); returns its id.
    Q_INVOKABLE QString addConversation(const QVariantList &messages);
    Q_INVOKABLE void setConversationModel(const QString &id, const QString &model);
    Q_INVOKABLE void appendMessage(const QString &id, const QString &role, const QString &content);
    /// Appends to the last message, as a streamed delta does.
    Q_INVOKABLE void appendToLast(const QString &id, const QString &delta);
    Q_INVOKABLE QStringList contents(const QString &id) const;
    Q_INVOKABLE QStringList roles(const QString &id) const;
    Q_INVOKABLE QString clipboardText() const;
    Q_INVOKABLE void setClipboardText(const QString &text);
    /// Sends an input-method event to item: a composition in progress (preedit) or its commit.
    Q_INVOKABLE void inputMethod(QObject *item, const QString &preedit, const QString &commit);
    /// Switches the application palette between Fusion's light one and a dark one.
    Q_INVOKABLE void setDarkPalette(bool dark);

private:
    qsizetype indexOf(const QString &id) const;

    Store *m_store;
    QTcpServer *m_silentGateway;
};
