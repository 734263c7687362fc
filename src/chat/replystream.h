// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapierror.h"
#include "chat/deltacoalescer.h"
#include "model/records.h"
#include "store/runningreply.h"

#include <QPointer>
#include <QUuid>

class ChatStream;
class Store;

/**
 * One reply streaming into one conversation: the gateway's deltas are appended to the
 * placeholder, found by id, at most once per frame, and the outcome is written and saved at
 * the end, after the last of the text.
 *
 * It belongs to the Store's ReplyRegistry, not to the pane that started it, so it goes on after
 * that pane is gone; panes learn of its end from the registry's replyFinished().
 */
class ReplyStream : public RunningReply
{
    Q_OBJECT

public:
    ReplyStream(Store *store, const QUuid &conversationID, const QUuid &assistantID);
    ~ReplyStream() override;

    /// Sends history to model on the gateway with that id (null: the first gateway).
    void start(const AppSettings &settings, const QUuid &provider, const QString &model,
               const QList<Message> &history);
    /// The user's stop, or the conversation's deletion: ends as a cancellation.
    void cancel() override;

private:
    void appendDelta(const QString &delta);
    void end(bool cancelled, const std::optional<ChatAPIError> &error, const TokenUsage &usage);

    QPointer<Store> m_store;
    QUuid m_assistantID;
    DeltaCoalescer m_deltas;
    QPointer<ChatStream> m_request;
    bool m_cancelRequested = false;
    bool m_ended = false;
};
