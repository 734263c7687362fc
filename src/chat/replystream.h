// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

class Store;
class ChatController;

/**
 * One reply streaming into one conversation.
 *
 * It is owned by the Store, not by the pane that started it: it keeps appending to its
 * placeholder, found by id at every delta, after the pane is gone, and saves when it ends.
 * It reports the outcome to its pane only while that pane still exists.
 */
class ReplyStream : public QObject
{
    Q_OBJECT

public:
    ReplyStream(Store *store, const QUuid &conversationId, const QUuid &assistantId,
                ChatController *pane);
    ~ReplyStream() override;

    void start(const AppSettings &settings, const QString &model, const QList<Message> &history);
    /// The user's stop: ends as a cancellation.
    void cancel();

signals:
    /// Emitted once, after the outcome has been written and saved.
    void finished();

private:
    void appendDelta(const QString &delta);
    void end(bool cancelled, const std::optional<QString> &error);

    QPointer<Store> m_store;
    QUuid m_conversationId;
    QUuid m_assistantId;
    QPointer<ChatController> m_pane;
    QObject *m_request = nullptr;
    bool m_cancelRequested = false;
    bool m_ended = false;
};
