// SPDX-License-Identifier: GPL-3.0-or-later
#include "portalcheck.h"

#include <QFileInfo>
#include <QLibraryInfo>

#include <dbus/dbus.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr char portalService[] = "org.freedesktop.portal.Desktop";
constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
constexpr char chooserInterface[] = "org.freedesktop.portal.FileChooser";

struct ConnectionCloser
{
    void operator()(DBusConnection *connection) const
    {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref
{
    void operator()(DBusMessage *message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

/// Sends call and waits for its answer; null on an error or when the time ran out.
Message ask(DBusConnection *connection, DBusMessage *call, int timeoutMs)
{
    DBusError error;
    dbus_error_init(&error);
    DBusMessage *answer =
        dbus_connection_send_with_reply_and_block(connection, call, timeoutMs, &error);
    dbus_error_free(&error);
    return Message(answer);
}

} // namespace

bool PortalCheck::fileChooserAnswers(const QByteArray &busAddress, int timeoutMs)
{
    if (busAddress.isEmpty())
        return false;
    DBusError error;
    dbus_error_init(&error);
    // A private connection of its own, closed at the end, so that nothing is left behind for
    // Qt's D-Bus module, which opens its own later.
    Connection connection(dbus_connection_open_private(busAddress.constData(), &error));
    if (!connection || !dbus_bus_register(connection.get(), &error)) {
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(connection.get(), false);

    // Asks whether the portal runs, so that a call to it does not start it.
    Message hasOwner(dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner"));
    const char *service = portalService;
    if (!hasOwner ||
        !dbus_message_append_args(hasOwner.get(), DBUS_TYPE_STRING, &service, DBUS_TYPE_INVALID))
        return false;
    const Message owned = ask(connection.get(), hasOwner.get(), timeoutMs);
    dbus_bool_t running = false;
    if (!owned ||
        !dbus_message_get_args(owned.get(), &error, DBUS_TYPE_BOOLEAN, &running,
                               DBUS_TYPE_INVALID) ||
        !running) {
        dbus_error_free(&error);
        return false;
    }

    // A portal without a file chooser backend does not have the interface's version.
    Message get(dbus_message_new_method_call(portalService, portalPath,
                                             "org.freedesktop.DBus.Properties", "Get"));
    const char *interface = chooserInterface;
    const char *property = "version";
    if (!get || !dbus_message_append_args(get.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING,
                                          &property, DBUS_TYPE_INVALID))
        return false;
    dbus_message_set_auto_start(get.get(), false);
    const Message version = ask(connection.get(), get.get(), timeoutMs);
    return version && dbus_message_get_type(version.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

void PortalCheck::choosePlatformTheme()
{
    const char *chosen = std::getenv("QT_QPA_PLATFORMTHEME");
    if (chosen && *chosen)
        return;
    // Without a display there are no dialogs to draw.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return;
    const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           QStringLiteral("/platformthemes/libqxdgdesktopportal.so");
    if (!QFileInfo::exists(plugin))
        return;
    // Only the bus the session names: libdbus would otherwise start one through X11.
    if (fileChooserAnswers(qgetenv("DBUS_SESSION_BUS_ADDRESS"), 300))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
}
