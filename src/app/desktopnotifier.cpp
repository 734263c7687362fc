// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopnotifier.h"

#include "store/store.h"

#include <QCoreApplication>
#include <QSettings>

#ifdef CORVANE_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace {

const QString enabledKey = QStringLiteral("desktopNotifications");
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
/// The action a click on the notification's body invokes.
const QString defaultAction = QStringLiteral("default");

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent), m_enabled(QSettings().value(enabledKey, true).toBool())
{}

void DesktopNotifier::setStore(Store *store)
{
    if (store == m_store)
        return;
    if (m_store)
        disconnect(m_store->replies(), nullptr, this, nullptr);
    m_store = store;
    if (m_store)
        connect(m_store->replies(), &ReplyRegistry::replyFinished, this,
                &DesktopNotifier::replyFinished);
    emit storeChanged();
}

void DesktopNotifier::setWindowActive(bool active)
{
    if (active == m_windowActive)
        return;
    m_windowActive = active;
    emit windowActiveChanged();
}

void DesktopNotifier::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    QSettings().setValue(enabledKey, enabled);
    emit enabledChanged();
}

void DesktopNotifier::replyFinished(const QUuid &conversation, const QString &error)
{
    const Conversation *found = m_store ? m_store->conversation(conversation) : nullptr;
    if (!found)
        return;
    notify(canonicalUuidString(conversation), found->displayTitle(),
           error.isEmpty() ? tr("回复已完成") : tr("回复失败：%1").arg(error));
}

void DesktopNotifier::notify(const QString &conversationId, const QString &title,
                             const QString &body)
{
    if (m_windowActive || !m_enabled)
        return;
#ifdef CORVANE_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!m_listening) {
        m_listening = bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)));
        bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint)));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // The desktop entry names the program and its icon; "default" is the click on the body.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral(CORVANE_APP_ID)}};
    call << QCoreApplication::applicationName() << uint(0) << QStringLiteral(CORVANE_APP_ID)
         << title << body << QStringList{defaultAction, tr("打开对话")} << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, conversationId](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isValid())
                    m_shown.insert(reply.value(), conversationId);
            });
#else
    Q_UNUSED(conversationId)
    Q_UNUSED(title)
    Q_UNUSED(body)
#endif
}

void DesktopNotifier::actionInvoked(uint id, const QString &action)
{
    const auto it = m_shown.constFind(id);
    if (it == m_shown.cend() || action != defaultAction)
        return;
    emit activated(*it);
}

void DesktopNotifier::notificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    m_shown.remove(id);
}
