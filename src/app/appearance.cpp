// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"

#include <QGuiApplication>
#include <QSettings>

#include <functional>

#ifdef CORVANE_HAVE_DBUS
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#endif

namespace {

const QString settingKey = QStringLiteral("appearance");
const QString highlightKey = QStringLiteral("codeHighlighting");
const QString mathKey = QStringLiteral("renderMath");
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

constexpr int schemeDark = 1;
constexpr int schemeLight = 2;

Appearance::Mode modeFromSetting(const QString &text)
{
    if (text == QLatin1String("light"))
        return Appearance::Light;
    if (text == QLatin1String("dark"))
        return Appearance::Dark;
    return Appearance::System;
}

QString settingFromMode(Appearance::Mode mode)
{
    switch (mode) {
    case Appearance::Light:
        return QStringLiteral("light");
    case Appearance::Dark:
        return QStringLiteral("dark");
    case Appearance::System:
        break;
    }
    return QStringLiteral("system");
}

/// The portal's scheme from a value that may still be wrapped in variants (Read wraps twice,
/// SettingChanged once); anything that is not 0, 1 or 2 reads as no preference.
int schemeFrom(QVariant value)
{
#ifdef CORVANE_HAVE_DBUS
    for (int depth = 0; depth < 3; ++depth) {
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.metaType() == QMetaType::fromType<QDBusArgument>())
            value = qdbus_cast<QVariant>(value.value<QDBusArgument>());
        else
            break;
    }
#endif
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    return ok && scheme <= 2 ? int(scheme) : 0;
}

void setGroup(QPalette &p, QPalette::ColorGroup group, const QColor &window, const QColor &text,
              const QColor &base, const QColor &alternateBase, const QColor &button,
              const QColor &highlight, const QColor &highlightedText)
{
    p.setColor(group, QPalette::Window, window);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, base);
    p.setColor(group, QPalette::AlternateBase, alternateBase);
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::Button, button);
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::BrightText, Qt::white);
    p.setColor(group, QPalette::Highlight, highlight);
    p.setColor(group, QPalette::HighlightedText, highlightedText);
    p.setColor(group, QPalette::ToolTipBase, window);
    p.setColor(group, QPalette::ToolTipText, text);
    p.setColor(group, QPalette::Light, button.lighter(150));
    p.setColor(group, QPalette::Midlight, button.lighter(125));
    p.setColor(group, QPalette::Mid, button.darker(130));
    p.setColor(group, QPalette::Dark, button.darker(160));
    p.setColor(group, QPalette::Shadow, Qt::black);
    QColor placeholder = text;
    placeholder.setAlphaF(0.45f);
    p.setColor(group, QPalette::PlaceholderText, placeholder);
}

#ifdef CORVANE_HAVE_DBUS
/// Receives the portal's SettingChanged signal, which QtDBus delivers only to a slot.
class PortalListener : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    std::function<void(int)> onScheme;

public slots:
    void settingChanged(const QString &ns, const QString &key, const QDBusVariant &value)
    {
        if (ns == appearanceNamespace && key == colorSchemeKey && onScheme)
            onScheme(schemeFrom(value.variant()));
    }
};
#endif

} // namespace

Appearance::Appearance(QObject *parent) : QObject(parent)
{
    const QSettings settings;
    m_mode = modeFromSetting(settings.value(settingKey).toString());
    m_codeHighlighting = settings.value(highlightKey, true).toBool();
    m_renderMath = settings.value(mathKey, true).toBool();
    apply();
    queryPortal();
}

void Appearance::setMode(Mode mode)
{
    if (mode != System && mode != Light && mode != Dark)
        mode = System;
    if (mode == m_mode)
        return;
    m_mode = mode;
    QSettings().setValue(settingKey, settingFromMode(mode));
    apply();
    emit modeChanged();
}

void Appearance::setCodeHighlighting(bool on)
{
    if (on == m_codeHighlighting)
        return;
    m_codeHighlighting = on;
    QSettings().setValue(highlightKey, on);
    emit codeHighlightingChanged();
}

void Appearance::setRenderMath(bool on)
{
    if (on == m_renderMath)
        return;
    m_renderMath = on;
    QSettings().setValue(mathKey, on);
    emit renderMathChanged();
}

QPalette Appearance::lightPalette()
{
    QPalette p;
    const QColor text(0x1d, 0x1d, 0x1f);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        setGroup(p, group, QColor(0xef, 0xef, 0xf1), text, Qt::white, QColor(0xf6, 0xf6, 0xf8),
                 QColor(0xef, 0xef, 0xf1), QColor(0x30, 0x7c, 0xf6), Qt::white);
    setGroup(p, QPalette::Disabled, QColor(0xef, 0xef, 0xf1), QColor(0x9a, 0x9a, 0x9e),
             QColor(0xf6, 0xf6, 0xf8), QColor(0xf6, 0xf6, 0xf8), QColor(0xef, 0xef, 0xf1),
             QColor(0xb4, 0xb4, 0xb8), Qt::white);
    p.setColor(QPalette::All, QPalette::Link, QColor(0x1f, 0x6f, 0xeb));
    p.setColor(QPalette::All, QPalette::LinkVisited, QColor(0x6f, 0x42, 0xc1));
    return p;
}

QPalette Appearance::darkPalette()
{
    QPalette p;
    const QColor text(0xe8, 0xe8, 0xea);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        setGroup(p, group, QColor(0x2b, 0x2b, 0x2e), text, QColor(0x1e, 0x1e, 0x20),
                 QColor(0x26, 0x26, 0x29), QColor(0x3a, 0x3a, 0x3e), QColor(0x3d, 0x7e, 0xf0),
                 Qt::white);
    setGroup(p, QPalette::Disabled, QColor(0x2b, 0x2b, 0x2e), QColor(0x7a, 0x7a, 0x80),
             QColor(0x26, 0x26, 0x29), QColor(0x26, 0x26, 0x29), QColor(0x33, 0x33, 0x36),
             QColor(0x4a, 0x4a, 0x50), QColor(0xb0, 0xb0, 0xb4));
    p.setColor(QPalette::All, QPalette::Link, QColor(0x6c, 0xa8, 0xff));
    p.setColor(QPalette::All, QPalette::LinkVisited, QColor(0xb3, 0x92, 0xf0));
    return p;
}

void Appearance::apply()
{
    bool dark = false;
    switch (m_mode) {
    case Light:
        break;
    case Dark:
        dark = true;
        break;
    case System:
        if (m_systemScheme != schemeDark && m_systemScheme != schemeLight) {
            // No preference known: the platform's own palette (a palette with nothing set
            // resets the application palette to it).
            QGuiApplication::setPalette(QPalette());
            return;
        }
        dark = m_systemScheme == schemeDark;
        break;
    }
    QGuiApplication::setPalette(dark ? darkPalette() : lightPalette());
}

void Appearance::setSystemScheme(int scheme)
{
    if (scheme == m_systemScheme)
        return;
    m_systemScheme = scheme;
    if (m_mode == System)
        apply();
    emit systemSchemeChanged();
}

void Appearance::queryPortal()
{
#ifdef CORVANE_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto *listener = new PortalListener(this);
    listener->onScheme = [this](int scheme) { setSystemScheme(scheme); };
    // The slot is matched by its parameter types' names, which Qt 6 knows only once registered.
    qRegisterMetaType<QDBusVariant>();
    bus.connect(portalService, portalPath, portalInterface, QStringLiteral("SettingChanged"),
                listener, SLOT(settingChanged(QString, QString, QDBusVariant)));

    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface,
                                                       QStringLiteral("ReadAll"));
    call << QStringList{appearanceNamespace};
    // Never block start-up: the answer, if any, changes the palette when it comes.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
        // a{sa{sv}}: namespace -> key -> value.
        const auto all = qdbus_cast<QMap<QString, QVariantMap>>(reply.arguments().constFirst());
        const QVariantMap ns = all.value(appearanceNamespace);
        setSystemScheme(ns.contains(colorSchemeKey) ? schemeFrom(ns.value(colorSchemeKey)) : 0);
    });
#endif
}

#ifdef CORVANE_HAVE_DBUS
#include "appearance.moc"
#endif
