// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mcp/mcphub.h"
#include "store/store.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>

/**
 * The Settings window's list of tool servers, with what each one is doing. Edits go to the
 * Store and are saved at once; the hub learns of them through the settings. Servers are named
 * in QML by their name, which is unique.
 */
class ToolServerListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(McpHub *hub READ hub WRITE setHub NOTIFY hubChanged)

public:
    enum Roles {
        NameRole = Qt::UserRole + 1, ///< "name"
        StatusRole,                  ///< "status": McpHub::Status as an int
        StatusTextRole,              ///< "statusText": as shown
        EnabledRole,                 ///< "enabled"
    };

    explicit ToolServerListModel(QObject *parent = nullptr);

    Store *store() const { return m_store; }
    void setStore(Store *store);
    McpHub *hub() const { return m_hub; }
    void setHub(McpHub *hub);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// A server's fields for its form: name, http (bool), commandLine, env ("KEY=value" lines),
    /// cwd, url, headers ("Name: value" lines), enabled, approval (0 ask, 1 once per tool,
    /// 2 never), status, statusText, log. Empty for a server not listed.
    Q_INVOKABLE QVariantMap server(const QString &name) const;
    /// A server's tools as last listed: name, description, enabled.
    Q_INVOKABLE QVariantList tools(const QString &name) const;

    /// Changes one field of a server's form (see server()). Returns what is wrong with the
    /// value (nothing is changed then), or an empty string.
    Q_INVOKABLE QString setField(const QString &name, const QString &field, const QVariant &value);
    /// Adds an empty server reached by a command, or over HTTP; returns its name.
    Q_INVOKABLE QString add(bool http);
    Q_INVOKABLE void remove(const QString &name);
    Q_INVOKABLE void setToolEnabled(const QString &server, const QString &tool, bool enabled);
    Q_INVOKABLE void reconnect(const QString &name);
    /// Adds the servers of a pasted JSON block, replacing those of the same name. Returns
    /// what is wrong with the text, or an empty string; imported() names what was added.
    Q_INVOKABLE QString importJson(const QString &text);
    Q_INVOKABLE int rowOf(const QString &name) const;

    /// The status line of a server, as the list and the form show it.
    static QString statusText(McpHub::Status status, const QString &reason, int toolCount);
    /// A command and its arguments as one line, quoted where needed, and back.
    static QString joinCommand(const QString &command, const QStringList &args);
    static QStringList splitCommand(const QString &line);

signals:
    void storeChanged();
    void hubChanged();
    /// A server's status, tools or log changed (also when its settings did).
    void serverChanged(const QString &name);
    void imported(const QStringList &names);

private:
    void reload();
    bool edit(const std::function<void(QList<McpServer> &)> &change);
    const McpServer *find(const QString &name) const;

    QPointer<Store> m_store;
    QPointer<McpHub> m_hub;
    QMetaObject::Connection m_storeConnection;
    QList<QMetaObject::Connection> m_hubConnections;
    QStringList m_names;
    /// The kind chosen for servers that have neither a command nor an address yet.
    QHash<QString, bool> m_http;
};
