// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapi.h"
#include "api/chatapierror.h"
#include "chat/deltacoalescer.h"
#include "model/records.h"
#include "store/runningreply.h"
#include "util/backgroundrunner.h"

#include <QPointer>
#include <QStringList>
#include <QUuid>

#include <memory>

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

    /// Which images of the user's messages go with a request.
    enum class Images {
        All,
        Latest, ///< only the last message's own
        None,   ///< for a model that refuses images
    };

    /// Sends history to model on the gateway with that id (null: the first gateway). A history
    /// with attachments is read into the request in the background; a file that is gone or
    /// damaged is left out, and notice() names it.
    void start(const AppSettings &settings, const QUuid &provider, const QString &model,
               const QList<Message> &history, Images images = Images::All);
    /// The user's stop, or the conversation's deletion: ends as a cancellation.
    void cancel() override;

    /// A request's body, and the names of the files it left out (gone or damaged).
    struct Body
    {
        QByteArray bytes;
        QStringList missing;
    };
    /// Reads history with its attachments (stored beside dataDir's data file) into a request's
    /// body for api. Any thread; start() runs it in the background.
    static Body requestBody(ChatAPI api, const QString &dataDir, const QList<Message> &history,
                            Images images);

private:
    void post(const ChatAPI &api, const QByteArray &body);
    void appendDelta(const QString &delta);
    void end(bool cancelled, const std::optional<ChatAPIError> &error, const TokenUsage &usage);

    QPointer<Store> m_store;
    QUuid m_assistantID;
    DeltaCoalescer m_deltas;
    QPointer<ChatStream> m_request;
    bool m_cancelRequested = false;
    bool m_ended = false;
    /// Made for a request with attachments only.
    std::unique_ptr<BackgroundRunner> m_builder;
};
