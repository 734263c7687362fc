// SPDX-License-Identifier: GPL-3.0-or-later
#include "replystream.h"
#include "chatcontroller.h"
#include "store/store.h"
// Temporary: wired to the client once it lands.
ReplyStream::ReplyStream(Store *store, const QUuid &c, const QUuid &a, ChatController *pane)
    : QObject(store), m_store(store), m_conversationId(c), m_assistantId(a), m_pane(pane) {}
ReplyStream::~ReplyStream() = default;
void ReplyStream::start(const AppSettings &, const QString &, const QList<Message> &) {}
void ReplyStream::cancel() {}
