// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapi.h"
#include "api/chatapierror.h"
#include "api/toolhost.h"
#include "chat/deltacoalescer.h"
#include "model/records.h"
#include "store/runningreply.h"
#include "util/backgroundrunner.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

class ChatStream;
class Store;

/**
 * One reply streaming into one conversation: the gateway's deltas are appended to the
 * placeholder, found by id, at most once per frame, and the outcome is written and saved at
 * the end, after the last of the text.
 *
 * With a tool host, a reply may take several rounds: when the model's answer ends with tool
 * calls, they are kept on that assistant message, approved as the servers' policies say, run
 * side by side, and their results sent back in a new request whose answer streams into a new
 * assistant message. Every call is answered before the reply ends, a stop included.
 *
 * It belongs to the Store's ReplyRegistry, not to the pane that started it, so it goes on after
 * that pane is gone; panes learn of its end from the registry's replyFinished().
 */
class ReplyStream : public RunningReply
{
    Q_OBJECT

public:
    /// A reply may call tools this many times before it is stopped.
    static constexpr int maxToolRounds = 16;
    /// How long a send waits for the servers' tool lists.
    static constexpr int toolWaitMs = 10'000;

    ReplyStream(Store *store, const QUuid &conversationID, const QUuid &assistantID);
    ~ReplyStream() override;

    /// Which images of the user's messages go with a request.
    enum class Images {
        All,
        Latest, ///< only the last message's own
        None,   ///< for a model that refuses images
    };

    /// Where tool calls go; null (the default): the model is offered no tools. Before start().
    void setToolHost(ToolHost *host) { m_host = host; }
    /// Sends history to model on the gateway with that id (null: the first gateway). A history
    /// with attachments is read into each request in the background; a file that is gone or
    /// damaged is left out, and the notice() signal names it.
    void start(const AppSettings &settings, const QUuid &provider, const QString &model,
               const QList<Message> &history, Images images = Images::All);
    /// The user's stop, or the conversation's deletion: ends as a cancellation.
    void cancel() override;

    bool awaitsUser() const override { return !m_asking.isEmpty(); }
    QString toolNotice() const override { return m_notice; }

    /// The call that waits for the user's answer, if any.
    std::optional<ToolCall> approvalAsked() const;
    /// Whether the call with that id runs now.
    bool isRunning(const QString &callID) const;
    /// The tool a function name of this reply stands for, if it was offered.
    std::optional<ToolSpec> tool(const QString &function) const;

    enum class Answer { Allow, AllowConversation, Deny };
    /// The user's answer to the call that waits (by id, so a late click on an old card does
    /// nothing).
    void answer(const QString &callID, Answer answer);

    /// The result given for a call the user refused, and for one a stop left unanswered.
    static QString refusedResult();
    static QString stoppedResult();

    /// A request's body, and the names of the files it left out (gone or damaged).
    struct Body
    {
        QByteArray bytes;
        QStringList missing;
    };
    /// Reads history with its attachments (stored beside dataDir's data file) into a request's
    /// body for api. Any thread; each round runs it in the background.
    static Body requestBody(ChatAPI api, const QString &dataDir, const QList<Message> &history,
                            Images images);

private:
    void sendRound(const QList<Message> &history);
    void post(const ChatAPI &api, const QByteArray &body);
    void roundEnded(const std::optional<ChatAPIError> &error);
    void runCalls(const QList<ToolCall> &calls);
    void runCall(const ToolCall &call);
    void answerCall(const QString &callID, const QString &result, bool isError);
    /// Sends the next request once every call of this round has its answer.
    void maybeNextRound();
    void nextRound();
    void appendDelta(const QString &delta);
    void end(bool cancelled, const std::optional<ChatAPIError> &error, const TokenUsage &usage);
    /// Saves, reports shown as the failure, and goes.
    void close(const QString &shown);

    QPointer<Store> m_store;
    QUuid m_assistantID;
    std::unique_ptr<DeltaCoalescer> m_deltas;
    QPointer<ChatStream> m_request;
    QPointer<ToolHost> m_host;
    AppSettings m_settings;
    QUuid m_provider;
    QString m_model;
    Images m_images = Images::All;
    QList<ToolSpec> m_tools;
    QString m_notice;
    int m_rounds = 0;
    /// The current round's calls that wait for the user, in the order asked, and the ones
    /// running, by call id.
    QList<ToolCall> m_asking;
    QHash<QString, quint64> m_running;
    bool m_cancelRequested = false;
    bool m_ended = false;
    /// Made for a request with attachments only.
    std::unique_ptr<BackgroundRunner> m_builder;
};
