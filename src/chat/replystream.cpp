// SPDX-License-Identifier: GPL-3.0-or-later
#include "replystream.h"

#include "api/chatapi.h"
#include "attach/attachmentstore.h"
#include "chat/toolsession.h"
#include "model/storedtext.h"
#include "store/store.h"

#include <QFileInfo>
#include <QJsonDocument>

#include <algorithm>

namespace {

// A call's arguments as the tool takes them: a JSON object, "{}" when the model gave none.
std::optional<QJsonObject> argumentsOf(const ToolCall &call)
{
    if (call.arguments.trimmed().isEmpty())
        return QJsonObject();
    const QJsonDocument doc = QJsonDocument::fromJson(call.arguments.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    return doc.object();
}

} // namespace

ReplyStream::ReplyStream(Store *store, const QUuid &conversationID, const QUuid &assistantID)
    : RunningReply(conversationID), m_store(store), m_assistantID(assistantID),
      m_deltas(std::make_unique<DeltaCoalescer>(store, conversationID, assistantID))
{}

ReplyStream::~ReplyStream() = default;

QString ReplyStream::refusedResult()
{
    return QStringLiteral(QT_TRANSLATE_NOOP("Stored", "用户拒绝了这次调用。"));
}

QString ReplyStream::stoppedResult()
{
    return QStringLiteral(QT_TRANSLATE_NOOP("Stored", "用户已停止"));
}

void ReplyStream::start(const AppSettings &settings, const QUuid &provider, const QString &model,
                        const QList<Message> &history, Images images)
{
    m_images = images;
    m_settings = settings;
    m_provider = provider;
    m_model = model;
    const Conversation *c = m_store ? m_store->conversation(conversationID()) : nullptr;
    if (!m_host || !c || !c->tools || !m_host->hasTools()) {
        sendRound(history);
        return;
    }
    m_host->collectTools(
        toolWaitMs, this, [this, history](const QList<ToolSpec> &tools, const QStringList &late) {
            if (m_cancelRequested || m_ended)
                return;
            m_tools = tools;
            if (!late.isEmpty()) {
                m_notice = tr("工具服务器还没准备好，这次没有用上：%1").arg(late.join(tr("、")));
                emit activityChanged();
            }
            sendRound(history);
        });
}

void ReplyStream::sendRound(const QList<Message> &history)
{
    if (!m_store) {
        end(true, std::nullopt, {});
        return;
    }
    ChatAPI api(Gateway::fromSettings(m_settings, m_provider), m_model);
    api.setSystemPrompt(m_settings.systemPrompt);
    api.setTools(m_tools);
    api.setHistoryImages(m_images == Images::All);
    const bool files = std::any_of(history.cbegin(), history.cend(),
                                   [](const Message &m) { return !m.attachments().isEmpty(); });
    if (!files) {
        post(api, api.requestBody(history));
        return;
    }
    // Reading the files and their base64 take a while for many images: never on this thread.
    if (!m_builder)
        m_builder = std::make_unique<BackgroundRunner>(BackgroundRunner::Mode::InOrder,
                                                       QStringLiteral("request"));
    m_builder->run([api, dataDir = QFileInfo(m_store->fileURL()).absolutePath(), history,
                    images = m_images] { return requestBody(api, dataDir, history, images); },
                   [this, api](const Body &body) {
                       if (!body.missing.isEmpty())
                           emit notice(tr("%n 个附件文件已丢失，没有随消息发送：%1", nullptr,
                                          int(body.missing.size()))
                                           .arg(body.missing.join(tr("、"))));
                       post(api, body.bytes);
                   });
}

ReplyStream::Body ReplyStream::requestBody(ChatAPI api, const QString &dataDir,
                                           const QList<Message> &history, Images images)
{
    Body body;
    const AttachmentStore files(dataDir);
    api.setAttachmentReader([&](const Attachment &a) {
        // A file that is gone is sent without; its message still shows it, marked as lost.
        ChatAPI::AttachedContent content;
        if (a.isImage() && images == Images::None)
            return content;
        if (a.isImage())
            content.imagePart = files.imagePart(a).value_or(QJsonObject());
        else
            content.text = files.textBlock(a).value_or(QString());
        if (content.imagePart.isEmpty() && content.text.isEmpty() && !body.missing.contains(a.name))
            body.missing.append(a.name);
        return content;
    });
    body.bytes = api.requestBody(history);
    return body;
}

void ReplyStream::post(const ChatAPI &api, const QByteArray &body)
{
    // Stopped while the body was being made.
    if (m_cancelRequested) {
        end(true, std::nullopt, TokenUsage());
        return;
    }
    ChatStream *stream = api.post(body, this);
    m_request = stream;
    connect(stream, &ChatStream::delta, this, &ReplyStream::appendDelta);
    connect(stream, &ChatStream::reasoningDelta, m_deltas.get(), &DeltaCoalescer::appendReasoning);
    connect(stream, &ChatStream::finished, this, &ReplyStream::roundEnded);
}

void ReplyStream::roundEnded(const std::optional<ChatAPIError> &error)
{
    const TokenUsage usage = m_request ? m_request->usage() : TokenUsage();
    // The calls decide whether the model wants more, whatever reason it gave for ending.
    const QList<ToolCall> calls = m_request && !error ? m_request->toolCalls() : QList<ToolCall>();
    if (m_request)
        m_request->deleteLater();
    m_request = nullptr;
    if (error) {
        const bool cancelled = error->isCancellation() || m_cancelRequested;
        end(cancelled, cancelled ? std::nullopt : error, usage);
        return;
    }
    if (calls.isEmpty() || !m_store) {
        end(false, std::nullopt, usage);
        return;
    }
    m_deltas->flush();
    m_store->replies()->endThinking(conversationID(), m_assistantID);
    m_store->setMessageUsage(conversationID(), m_assistantID, usage);
    ++m_rounds;
    runCalls(calls);
}

std::optional<ToolSpec> ReplyStream::tool(const QString &function) const
{
    for (const ToolSpec &t : m_tools) {
        if (t.function == function)
            return t;
    }
    return std::nullopt;
}

void ReplyStream::runCalls(const QList<ToolCall> &calls)
{
    m_store->setMessageToolCalls(conversationID(), m_assistantID, calls);
    m_store->save();
    if (m_cancelRequested) {
        // Stopped as the reply ended: nothing runs, and every call has its answer.
        for (const ToolCall &call : calls)
            answerCall(call.id, stoppedResult(), true);
        end(true, std::nullopt, {});
        return;
    }
    ToolSession *session = m_host ? ToolSession::of(m_host) : nullptr;
    for (const ToolCall &call : calls) {
        const std::optional<ToolSpec> offered = tool(call.name);
        if (!offered || !session) {
            answerCall(
                call.id,
                QStringLiteral(QT_TRANSLATE_NOOP("Stored", "没有名为 %1 的工具。")).arg(call.name),
                true);
        } else if (!argumentsOf(call)) {
            answerCall(call.id,
                       QStringLiteral(QT_TRANSLATE_NOOP("Stored", "参数不是一个 JSON 对象。")),
                       true);
        } else if (session->allows(conversationID(), *offered,
                                   m_host->approvalFor(offered->server))) {
            runCall(call);
        } else {
            m_asking.append(call);
        }
    }
    emit activityChanged();
    maybeNextRound();
}

void ReplyStream::runCall(const ToolCall &call)
{
    const std::optional<ToolSpec> offered = tool(call.name);
    const std::optional<QJsonObject> arguments = argumentsOf(call);
    if (!m_host || !offered || !arguments) {
        answerCall(
            call.id,
            QStringLiteral(QT_TRANSLATE_NOOP("Stored", "没有名为 %1 的工具。")).arg(call.name),
            true);
        return;
    }
    const QString id = call.id;
    const QPointer<ToolHost> host = m_host;
    const quint64 handle =
        m_host->call(*offered, *arguments, this, [this, id, host](const ToolOutcome &outcome) {
            m_running.remove(id);
            if (host)
                ToolSession::of(host)->keepContent(id, outcome.content);
            answerCall(id, outcome.text, outcome.isError);
            emit activityChanged();
            maybeNextRound();
        });
    m_running.insert(id, handle);
}

void ReplyStream::answerCall(const QString &callID, const QString &result, bool isError)
{
    const Message *m = m_store ? m_store->message(conversationID(), m_assistantID) : nullptr;
    if (!m)
        return;
    QList<ToolCall> calls = m->toolCalls();
    for (ToolCall &call : calls) {
        if (call.id == callID) {
            call.result = result;
            call.isError = isError;
        }
    }
    m_store->setMessageToolCalls(conversationID(), m_assistantID, calls);
}

std::optional<ToolCall> ReplyStream::approvalAsked() const
{
    return m_asking.isEmpty() ? std::nullopt : std::optional(m_asking.first());
}

bool ReplyStream::isRunning(const QString &callID) const
{
    return m_running.contains(callID);
}

void ReplyStream::answer(const QString &callID, Answer answer)
{
    if (m_asking.isEmpty() || m_asking.first().id != callID || !m_host)
        return;
    const ToolCall call = m_asking.takeFirst();
    ToolSession *session = ToolSession::of(m_host);
    const std::optional<ToolSpec> offered = tool(call.name);
    switch (answer) {
    case Answer::Deny:
        answerCall(call.id, refusedResult(), true);
        break;
    case Answer::AllowConversation:
        session->allowConversation(conversationID());
        runCall(call);
        break;
    case Answer::Allow:
        if (offered)
            session->allowedOnce(*offered, m_host->approvalFor(offered->server));
        runCall(call);
        break;
    }
    // What the answer allowed runs without asking again.
    for (qsizetype i = 0; i < m_asking.size();) {
        const std::optional<ToolSpec> next = tool(m_asking.at(i).name);
        if (next && session->allows(conversationID(), *next, m_host->approvalFor(next->server))) {
            runCall(m_asking.takeAt(i));
        } else {
            ++i;
        }
    }
    emit activityChanged();
    maybeNextRound();
}

void ReplyStream::maybeNextRound()
{
    if (m_ended || m_cancelRequested || !m_running.isEmpty() || !m_asking.isEmpty())
        return;
    if (!m_store || !m_store->message(conversationID(), m_assistantID)) {
        end(true, std::nullopt, {});
        return;
    }
    m_store->save();
    if (m_rounds >= maxToolRounds) {
        // The model may be going round in circles; the user decides whether it goes on.
        const QString stored =
            QStringLiteral(QT_TRANSLATE_NOOP("Stored", "已连续调用工具 16 轮，已停止"));
        m_store->setMessageError(conversationID(), m_assistantID, stored,
                                 QStringLiteral("toolRounds"));
        close(StoredText::shown(stored));
        return;
    }
    nextRound();
}

void ReplyStream::nextRound()
{
    const Message placeholder = Message::make(Message::Role::Assistant, QString());
    m_store->appendMessage(conversationID(), placeholder);
    m_assistantID = placeholder.id;
    m_deltas = std::make_unique<DeltaCoalescer>(m_store, conversationID(), m_assistantID);
    QList<Message> history = m_store->conversation(conversationID())->messages;
    history.removeLast();
    sendRound(history);
}

void ReplyStream::cancel()
{
    if (m_ended)
        return;
    // What arrived before the stop is kept, and lands before the conversation may be removed.
    m_deltas->flush();
    const bool first = !m_cancelRequested;
    m_cancelRequested = true;
    if (m_request) {
        m_request->cancel();
        return;
    }
    if (!first)
        return;
    // A body still being made is never sent.
    if (m_builder)
        m_builder->clear();
    // Between requests: the tool lists, an approval or calls are awaited. Every call still
    // open is answered now, since the gateway refuses a history with a call left unanswered.
    for (const quint64 handle : std::as_const(m_running)) {
        if (m_host)
            m_host->cancel(handle);
    }
    const Message *m = m_store ? m_store->message(conversationID(), m_assistantID) : nullptr;
    if (m) {
        const QList<ToolCall> calls = m->toolCalls();
        for (const ToolCall &call : calls) {
            if (call.result.isEmpty() && !call.isError)
                answerCall(call.id, stoppedResult(), true);
        }
    }
    m_running.clear();
    m_asking.clear();
    emit activityChanged();
    QMetaObject::invokeMethod(
        this, [this] { end(true, std::nullopt, {}); }, Qt::QueuedConnection);
}

void ReplyStream::appendDelta(const QString &delta)
{
    if (!m_cancelRequested)
        m_deltas->appendText(delta);
}

void ReplyStream::end(bool cancelled, const std::optional<ChatAPIError> &error,
                      const TokenUsage &usage)
{
    if (m_ended)
        return;
    m_ended = true;
    // The outcome, the empty-reply check and the save see the whole reply.
    m_deltas->flush();
    QString shown;
    if (m_store) {
        // With the conversation or its placeholder gone, the outcome has nowhere to go: it is
        // dropped, and only the panes' state is cleared.
        const QUuid conversation = conversationID();
        m_store->replies()->endThinking(conversation, m_assistantID);
        if (const Message *placeholder = m_store->message(conversation, m_assistantID)) {
            const bool empty = placeholder->content.isEmpty();
            const bool thought = !placeholder->reasoning.isEmpty();
            if (cancelled && empty && !thought && placeholder->toolCalls().isEmpty()) {
                // A reply stopped while it was still thinking keeps what it thought, and a
                // round that called tools keeps its calls.
                m_store->removeMessage(conversation, m_assistantID);
            } else {
                if (error) {
                    // A reply cut off keeps what arrived; either way the failure is kept beside
                    // it, in its untranslated form, so it is shown after a restart and never
                    // sent as the model's words.
                    const QString stored = error->description(StoredText::Form::Written);
                    shown = error->description();
                    if (empty)
                        m_store->setMessageContent(conversation, m_assistantID,
                                                   ChatAPI::failurePlaceholder(stored));
                    m_store->setMessageError(conversation, m_assistantID, stored,
                                             error->kindCode());
                }
                if (!usage.isEmpty() || !cancelled)
                    m_store->setMessageUsage(conversation, m_assistantID, usage);
            }
        }
    }
    close(shown);
}

void ReplyStream::close(const QString &shown)
{
    m_ended = true;
    m_running.clear();
    m_asking.clear();
    if (m_store)
        m_store->save();
    emit finished(shown);
    deleteLater();
}
