// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <chrono>

class QQuickTextDocument;
class Store;
struct Provider;

/**
 * The Settings window's fields, bound two-way to the Store's settings.
 *
 * The address, key, name and models are those of the gateway chosen by `gateway` (its id as a
 * string; empty for the first gateway, the only one with a default model of its own).
 *
 * Every setter that changes the settings applies the change to the Store at once; writing the
 * value already there (as a field does when it is first filled) changes nothing and saves
 * nothing. Only the models list is normalised (see modelsFromText); every other field is stored
 * exactly as typed.
 *
 * The file is written once the changes pause for saveDelay, and at the latest when the form
 * is destroyed or the program quits: with years of history a save takes long enough that one
 * per keystroke would stall the window.
 */
class SettingsForm : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    /// The chosen gateway is the first one: it has a default model, and it cannot go.
    Q_PROPERTY(bool firstGateway READ isFirstGateway NOTIFY gatewayChanged)
    /// The gateway's own name; empty when it has none.
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY settingsChanged)
    /// What the gateway is called when its name is empty.
    Q_PROPERTY(QString namePlaceholder READ namePlaceholder NOTIFY namePlaceholderChanged)
    /// A local server that wants no key (further gateways only).
    Q_PROPERTY(bool noKey READ noKey WRITE setNoKey NOTIFY settingsChanged)
    Q_PROPERTY(QString baseURL READ baseURL WRITE setBaseURL NOTIFY settingsChanged)
    Q_PROPERTY(QString apiKey READ apiKey WRITE setApiKey NOTIFY settingsChanged)
    Q_PROPERTY(QString model READ model WRITE setModel NOTIFY settingsChanged)
    Q_PROPERTY(QString systemPrompt READ systemPrompt WRITE setSystemPrompt NOTIFY settingsChanged)
    /// The models list, one per line; writing it sets the list by modelsFromText().
    Q_PROPERTY(QString modelsText READ modelsText WRITE setModelsText NOTIFY settingsChanged)
    /// The default base address, shown as the address field's placeholder.
    Q_PROPERTY(QString defaultBaseURL READ defaultBaseURL CONSTANT)

public:
    /// How long the settings must stay unchanged before they are written.
    static constexpr std::chrono::milliseconds saveDelay{500};

    explicit SettingsForm(QObject *parent = nullptr);
    ~SettingsForm() override;

    /// Splits at line feeds, trims horizontal white space from each piece and drops the empty
    /// ones. Other line breaks (a carriage return, U+2028) stay part of a name.
    static QList<QString> modelsFromText(QStringView text);
    /// The names joined by single line feeds.
    static QString textFromModels(const QList<QString> &models);

    Store *store() const { return m_store; }
    void setStore(Store *store);
    QString gateway() const;
    void setGateway(const QString &id);
    bool isFirstGateway() const { return m_gateway.isNull(); }

    QString name() const;
    void setName(const QString &value);
    QString namePlaceholder() const;
    bool noKey() const;
    void setNoKey(bool value);

    QString baseURL() const;
    void setBaseURL(const QString &value);
    QString apiKey() const;
    void setApiKey(const QString &value);
    QString model() const;
    void setModel(const QString &value);
    QString systemPrompt() const;
    void setSystemPrompt(const QString &value);
    QString modelsText() const;
    void setModelsText(const QString &text);
    static QString defaultBaseURL();

    /// The text of a multi-line field exactly as typed. A text area's `text` turns no-break
    /// spaces into spaces and line separators into line feeds; only the paragraph breaks are
    /// line feeds here.
    Q_INVOKABLE static QString typedText(QQuickTextDocument *document);
    /// What typedText() gives once a text area shows value: the text area keeps no carriage
    /// returns. A field's text that differs from this was edited.
    Q_INVOKABLE static QString shownText(const QString &value);

    /// Writes a change that waits for its save now; does nothing when none waits.
    Q_INVOKABLE void flush();

signals:
    void storeChanged();
    void gatewayChanged();
    void settingsChanged();
    void namePlaceholderChanged();

private:
    /// Applies `edit` to a copy of the settings; when the copy differs, stores it and saves.
    template<typename Edit> void update(Edit edit);
    /// Applies `edit` to the chosen gateway's fields, when it is still listed.
    template<typename Edit> void updateGateway(Edit edit);
    /// The chosen further gateway, or null for the first one or one that has gone.
    const Provider *provider() const;

    QPointer<Store> m_store;
    QMetaObject::Connection m_connection;
    QUuid m_gateway;
    QTimer m_saveTimer;
    bool m_savePending = false;
};
