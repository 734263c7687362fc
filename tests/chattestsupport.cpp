// SPDX-License-Identifier: GPL-3.0-or-later
#include "chattestsupport.h"

#include "store/store.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QPalette>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

ChatTestSupport::ChatTestSupport(Store *store, QObject *parent)
    : QObject(parent), m_store(store), m_silentGateway(new QTcpServer(this))
{
    m_silentGateway->listen(QHostAddress::LocalHost);
    // Connections are kept open and never answered.
    connect(m_silentGateway, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_silentGateway->nextPendingConnection())
            socket->setParent(this);
    });
}

ChatTestSupport::~ChatTestSupport() = default;

void ChatTestSupport::reset(const QString &apiKey)
{
    while (!m_store->conversations().isEmpty())
        m_store->remove(m_store->conversations().constFirst().id);
    AppSettings settings;
    settings.apiKey = apiKey;
    settings.baseURL = QStringLiteral("http://127.0.0.1:%1/v1").arg(m_silentGateway->serverPort());
    m_store->setSettings(settings);
}

void ChatTestSupport::setApiKey(const QString &apiKey)
{
    AppSettings settings = m_store->settings();
    settings.apiKey = apiKey;
    m_store->setSettings(settings);
}

void ChatTestSupport::setBaseUrl(const QString &url)
{
    AppSettings settings = m_store->settings();
    settings.baseURL = url;
    m_store->setSettings(settings);
}

void ChatTestSupport::setModels(const QString &model, const QStringList &models)
{
    AppSettings settings = m_store->settings();
    settings.model = model;
    settings.models = models;
    m_store->setSettings(settings);
}

QString ChatTestSupport::addConversation(const QVariantList &messages)
{
    m_store->newConversation();
    const QString id = m_store->selectedIDString();
    for (const QVariant &m : messages) {
        const QVariantMap map = m.toMap();
        appendMessage(id, map.value(QStringLiteral("role")).toString(),
                      map.value(QStringLiteral("content")).toString());
    }
    return id;
}

void ChatTestSupport::setConversationModel(const QString &id, const QString &model)
{
    if (const qsizetype i = indexOf(id); i >= 0)
        m_store->setModel(i, model);
}

void ChatTestSupport::appendMessage(const QString &id, const QString &role, const QString &content)
{
    const qsizetype i = indexOf(id);
    const auto r = Message::roleFromName(role);
    if (i >= 0 && r)
        m_store->appendMessage(i, Message::make(*r, content));
}

void ChatTestSupport::appendToLast(const QString &id, const QString &delta)
{
    const qsizetype i = indexOf(id);
    if (i < 0 || m_store->conversations().at(i).messages.isEmpty())
        return;
    m_store->appendToMessage(i, m_store->conversations().at(i).messages.size() - 1, delta);
}

QStringList ChatTestSupport::contents(const QString &id) const
{
    QStringList out;
    if (const qsizetype i = indexOf(id); i >= 0) {
        for (const Message &m : m_store->conversations().at(i).messages)
            out << m.content;
    }
    return out;
}

QStringList ChatTestSupport::roles(const QString &id) const
{
    QStringList out;
    if (const qsizetype i = indexOf(id); i >= 0) {
        for (const Message &m : m_store->conversations().at(i).messages)
            out << Message::roleName(m.role);
    }
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
    if (!commit.isEmpty())
        event.setCommitString(commit);
    QCoreApplication::sendEvent(item, &event);
}

void ChatTestSupport::setDarkPalette(bool dark)
{
    if (!dark) {
        QGuiApplication::setPalette(QPalette());
        return;
    }
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2d));
    p.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    p.setColor(QPalette::AlternateBase, QColor(0x2f, 0x2f, 0x33));
    p.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x7e, 0xf0));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    QGuiApplication::setPalette(p);
}

qsizetype ChatTestSupport::indexOf(const QString &id) const
{
    const auto i = m_store->indexOf(QUuid::fromString(id));
    return i ? *i : -1;
}
