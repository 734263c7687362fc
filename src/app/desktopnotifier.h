// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/store.h"

#include <QHash>
#include <QObject>
#include <QPointer>

/**
 * The desktop's notifications (org.freedesktop.Notifications over D-Bus) for what happens while
 * the window is in the background: a reply of a conversation ended or failed. Clicking a
 * notification asks for its conversation (activated()).
 *
 * notify() is the one entry, for any event that names a conversation; the notifier itself
 * watches the Store's replies. Nothing is sent while the window is active, while notifications
 * are turned off (kept in QSettings as "desktopNotifications", on by default), or where there is
 * no session bus or notification service.
 */
class DesktopNotifier : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    /// The window is in front: nothing is announced.
    Q_PROPERTY(bool windowActive READ windowActive WRITE setWindowActive NOTIFY windowActiveChanged)
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    Store *store() const { return m_store; }
    void setStore(Store *store);
    bool windowActive() const { return m_windowActive; }
    void setWindowActive(bool active);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    /// Shows a notification about the conversation (its id as QML has it), unless the window is
    /// active or notifications are off.
    Q_INVOKABLE void notify(const QString &conversationId, const QString &title,
                            const QString &body);

signals:
    void storeChanged();
    void windowActiveChanged();
    void enabledChanged();
    /// The user clicked the notification of this conversation.
    void activated(const QString &conversationId);

private slots:
    // Called by QtDBus, which delivers signals only to slots.
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    void replyFinished(const QUuid &conversation, const QString &error);

    QPointer<Store> m_store;
    bool m_windowActive = true;
    bool m_enabled = true;
    bool m_listening = false;
    /// The notifications on screen, by the service's id, and their conversations.
    QHash<uint, QString> m_shown;
};
