// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

/**
 * The composer's model menu: every gateway's models, each gateway's under a header with its
 * name when there is more than one gateway. The same model name on two gateways is two
 * entries; the current one is the conversation's (gateway, model) pair.
 *
 * A filter keeps the models whose name or gateway name holds its text, with their headers.
 */
class ModelPickerModel : public QAbstractListModel
{
    Q_OBJECT
    /// Text the shown entries must hold, case-insensitively; empty shows all.
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    /// The number of models offered, headers and the filter aside.
    Q_PROPERTY(int modelCount READ modelCount NOTIFY modelCountChanged)
    /// With more models than this the menu offers the filter.
    Q_PROPERTY(int filterThreshold READ filterThreshold CONSTANT)

public:
    enum Role {
        GatewayIDRole = Qt::UserRole + 1, ///< the canonical id; empty for the first gateway
        GatewayNameRole,
        ModelRole,   ///< empty for a header
        HeaderRole,  ///< a gateway's name above its models: shown, never chosen
        CurrentRole, ///< the conversation's own pair
    };

    struct Entry
    {
        QUuid gateway;
        QString gatewayName;
        QString model;
        bool header = false;

        bool operator==(const Entry &) const = default;
    };

    explicit ModelPickerModel(QObject *parent = nullptr);

    /// Every entry of these settings, unfiltered: on each gateway its models trimmed of spaces
    /// and tabs, once each, blank ones left out; on the first gateway its default model first.
    static QList<Entry> entries(const AppSettings &settings);

    /// Sets what is offered and what is current; rows change only where something did.
    void update(const AppSettings &settings, const QUuid &gateway, const QString &model);

    QString filter() const { return m_filter; }
    void setFilter(const QString &filter);
    int modelCount() const { return m_modelCount; }
    static constexpr int filterThreshold() { return 15; }

    /// The shown entries.
    const QList<Entry> &shown() const { return m_shown; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void filterChanged();
    void modelCountChanged();

private:
    /// Returns whether the rows were reset.
    bool refilter();
    bool isCurrent(const Entry &e) const;

    /// What the entries were made from; none before the first update.
    std::optional<AppSettings> m_settings;
    QList<Entry> m_all;
    QList<Entry> m_shown;
    QString m_filter;
    QUuid m_gateway;
    QString m_model;
    int m_modelCount = 0;
};
