// SPDX-License-Identifier: GPL-3.0-or-later
#include "chattestsupport.h"

#include "model/storagecodec.h"
#include "store/store.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

ChatTestSupport::ChatTestSupport(Store *store, QObject *parent)
    : QObject(parent), m_store(store), m_silentGateway(new QTcpServer(this))
{
    m_silentGateway->listen(QHostAddress::LocalHost);
    connect(m_silentGateway, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_silentGateway->nextPendingConnection())
            socket->setParent(this); // kept open, never answered
    });
}

void ChatTestSupport::reset(const QString &apiKey)
{
    while (!m_store->conversations().isEmpty())
        m_store->remove(m_store->conversations().constFirst().id);
    AppSettings settings;
    settings.apiKey = apiKey;
    settings.baseURL = QStringLiteral("http://127.0.0.1:%1/v1").arg(m_silentGateway->serverPort());
    m_store->setSettings(settings);
}

void ChatTestSupport::setSettings(const QVariantMap &changes)
{
    AppSettings s = m_store->settings();
    s.apiKey = changes.value(QStringLiteral("apiKey"), s.apiKey).toString();
    s.baseURL = changes.value(QStringLiteral("baseURL"), s.baseURL).toString();
    s.model = changes.value(QStringLiteral("model"), s.model).toString();
    s.models = changes.value(QStringLiteral("models"), s.models).toStringList();
    m_store->setSettings(s);
}

QString ChatTestSupport::addConversation(const QVariantList &messages, const QVariant &model)
{
    m_store->newConversation();
    const QUuid conv = *m_store->selectedID();
    for (const QVariant &m : messages) {
        const QVariantMap map = m.toMap();
        const auto role = Message::roleFromName(map.value(QStringLiteral("role")).toString());
        m_store->appendMessage(
            conv, Message::make(*role, map.value(QStringLiteral("content")).toString()));
    }
    if (model.isValid() && !model.isNull())
        m_store->setModel(conv, model.toString());
    return m_store->selectedIDString();
}

void ChatTestSupport::appendToLast(const QString &id, const QString &delta)
{
    const QUuid conv = parseCanonicalUuid(id).value_or(QUuid());
    if (const Conversation *c = m_store->conversation(conv); c && !c->messages.isEmpty())
        m_store->appendToMessage(conv, c->messages.constLast().id, delta);
}

QStringList ChatTestSupport::messages(const QString &id) const
{
    QStringList out;
    for (const Message &m : m_store->conversation(*parseCanonicalUuid(id))->messages)
        out << Message::roleName(m.role) + QStringLiteral(": ") + m.content;
    return out;
}

QString ChatTestSupport::clipboardText() const
{
    return QGuiApplication::clipboard()->text();
}

void ChatTestSupport::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

void ChatTestSupport::inputMethod(QObject *item, const QString &preedit, const QString &commit)
{
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QCoreApplication::sendEvent(item, &event);
}
