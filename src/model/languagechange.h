// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

/**
 * Tells the objects that keep texts made with tr() (models whose data() translates, properties
 * that return translated texts) that the interface language changed, so that they announce
 * those texts anew. QML's own qsTr() bindings are refreshed by the engine; what C++ makes is
 * not. The program's Language object announces it after it has swapped the catalogues.
 */
class LanguageChange : public QObject
{
    Q_OBJECT

public:
    /// The one notifier, made on first use.
    static LanguageChange *instance();

    /// Calls slot on context's thread after every change, for as long as context lives.
    template<typename Slot>
    static QMetaObject::Connection follow(const QObject *context, Slot &&slot)
    {
        return connect(instance(), &LanguageChange::changed, context, std::forward<Slot>(slot));
    }

    static void announce() { emit instance()->changed(); }

signals:
    void changed();

private:
    LanguageChange() = default;
};
