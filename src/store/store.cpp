// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary stub so the skeleton builds; replaced by the real Store.
#include "store.h"
Store::Store(QObject *parent) : QObject(parent) {}
Store::Store(const QString &, QObject *parent) : QObject(parent) {}
Store::~Store() = default;
void Store::newConversation() { m_conversations.prepend(Conversation::make()); emit conversationsChanged(); }
QString Store::selectedIDString() const { return {}; }
void Store::setSelectedIDString(const QString &) {}
void Store::remove(const QUuid &) {}
void Store::rename(const QUuid &, const QString &) {}
