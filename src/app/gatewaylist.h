// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/store.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUuid>
#include <QVariantList>

class ModelListRequest;

/// A gateway the user can add with its name and address filled in.
struct GatewayPreset
{
    const char *name; ///< in the source language, translated in the "GatewayPreset" context
    const char *baseURL;
    /// A local server that wants no key.
    bool noKey = false;
    /// The gateway's documentation says it accepts stream_options.include_usage.
    bool streamUsage = false;
    /// The loopback port a local server answers on by default; 0 for a remote gateway.
    quint16 localPort = 0;

    /// Every preset, the custom one ("自定义", no address) last.
    static const QList<GatewayPreset> &all();
};

/**
 * The Settings window's list of gateways: the first one (the settings' own fields, which has
 * no id and can be neither removed nor moved) followed by the further ones in the user's order.
 *
 * Every change is applied to the Store and saved at once. Gateways are named in QML by their id
 * as a string, the first one by the empty string.
 *
 * detectLocalServers() asks the loopback addresses of the local presets for their model list;
 * a preset that answered shows `detected`, and a gateway added from it starts with the models
 * the server listed.
 */
class GatewayListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    /// One map per preset: name, baseURL, noKey, local, detected.
    Q_PROPERTY(QVariantList presets READ presets NOTIFY presetsChanged)

public:
    enum Roles {
        IdRole = Qt::UserRole + 1, ///< "gatewayId": empty for the first gateway
        NameRole,                  ///< "name": as shown
        AddressRole,               ///< "address"
        DefaultRole,               ///< "isDefault": new conversations start here
        FirstRole,                 ///< "isFirst"
    };

    explicit GatewayListModel(QObject *parent = nullptr);
    ~GatewayListModel() override;

    Store *store() const { return m_store; }
    void setStore(Store *store);
    QVariantList presets() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// Adds a gateway from the preset at that index and returns its id ("" when none was added).
    Q_INVOKABLE QString add(int preset);
    /// Removes a further gateway. Conversations on it keep its id, and it stops being the default.
    Q_INVOKABLE void remove(const QString &id);
    /// Moves a further gateway by delta places among the further ones.
    Q_INVOKABLE void move(const QString &id, int delta);
    /// New conversations start on that gateway; the first one clears defaultProvider.
    Q_INVOKABLE void setDefault(const QString &id);
    /// How many conversations are on that gateway.
    Q_INVOKABLE int conversationsUsing(const QString &id) const;
    /// The row of that gateway, or -1.
    Q_INVOKABLE int rowOf(const QString &id) const;
    /// Asks the local presets' loopback addresses, at most once at a time.
    Q_INVOKABLE void detectLocalServers();

    /// The id written for a gateway in QML, and back; an unknown string is the null id.
    static QString idString(const QUuid &id);
    static QUuid idFromString(const QString &id);

signals:
    void storeChanged();
    void presetsChanged();

private:
    struct Detection
    {
        QPointer<ModelListRequest> request;
        bool detected = false;
        QStringList models;
    };

    void reload();
    template<typename Edit> void update(Edit edit);

    QPointer<Store> m_store;
    QMetaObject::Connection m_connection;
    QList<QUuid> m_ids;            ///< the rows' gateways, the first one null
    QList<Detection> m_detections; ///< one per preset
};
