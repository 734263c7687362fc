// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatcontroller.h"

#include "api/gateway.h"
#include "messagelistmodel.h"
#include "model/languagechange.h"
#include "model/textutil.h"
#include "replystream.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <memory>
#include <utility>

ChatController::ChatController(QObject *parent)
    : QObject(parent), m_modelOptions(new ModelPickerModel(this)),
      m_attachments(new PendingAttachments(this))
{
    connect(m_attachments, &PendingAttachments::countChanged, this,
            &ChatController::refreshDerived);
    connect(m_attachments, &PendingAttachments::countChanged, this,
            &ChatController::keepPendingFiles);
    // The title and the model's label may be texts of the program's, shown translated.
    LanguageChange::follow(this, [this] { refreshDerived(); });
}

ChatController::ChatController(Store *store, const QUuid &conversationID, QObject *parent)
    : ChatController(parent)
{
    m_store = store;
    m_id = conversationID;
    rebind();
}

ChatController::~ChatController()
{
    if (m_store)
        m_store->keepFiles(m_attachments, {});
}

void ChatController::setStore(Store *store)
{
    if (m_store == store)
        return;
    if (m_store)
        m_store->keepFiles(m_attachments, {});
    m_store = store;
    rebind();
    keepPendingFiles();
}

void ChatController::keepPendingFiles()
{
    // The composer's files are referred to by no message yet; a clean-up must leave them.
    if (!m_store)
        return;
    QSet<QString> files;
    for (const Attachment &a : m_attachments->ready())
        files.insert(a.sha256);
    m_store->keepFiles(m_attachments, files);
}

QString ChatController::conversationIDString() const
{
    return m_id.isNull() ? QString() : canonicalUuidString(m_id);
}

void ChatController::setConversationIDString(const QString &id)
{
    const QUuid uuid = parseCanonicalUuid(id).value_or(QUuid());
    if (uuid == m_id)
        return;
    m_id = uuid;
    rebind();
}

void ChatController::rebind()
{
    // Files are stored beside the data file.
    if (m_store)
        m_attachments->setDataDir(QFileInfo(m_store->fileURL()).absolutePath());
    for (const auto &c : std::as_const(m_storeConnections))
        disconnect(c);
    m_storeConnections.clear();
    // The old model goes only after the views have the new one. Deleted first, its memory
    // could hold the new model, and a view that compares the model it is given with the one
    // it has would see no change and keep the deleted one: a pane with no messages.
    const std::unique_ptr<MessageListModel> old(std::exchange(m_model, nullptr));
    // A pane opened on a conversation whose reply still streams shows it as sending.
    const bool replying = m_store && m_store->replies()->isReplying(m_id);
    if (m_sending != replying) {
        m_sending = replying;
        emit sendingChanged();
    }
    if (m_store) {
        m_model = new MessageListModel(m_store, m_id, this);
        m_model->setSending(m_sending);
        m_model->setEditingID(m_editingID);
        m_model->setToolHost(m_toolHost);
        // Derived values change with the settings and with the conversation's own fields, never
        // with a streamed delta, so the per-delta path stays free of them.
        m_storeConnections
            << connect(m_store, &Store::settingsChanged, this, &ChatController::refreshDerived)
            << connect(m_store, &Store::conversationUpdated, this, &ChatController::refreshDerived)
            << connect(m_store, &Store::conversationsInserted, this,
                       &ChatController::refreshDerived)
            << connect(m_store, &Store::conversationsRemoved, this, &ChatController::refreshDerived)
            << connect(m_store->replies(), &ReplyRegistry::replyStarted, this,
                       [this](const QUuid &conv) {
                           if (conv == m_id)
                               setSending(true);
                       })
            << connect(m_store->replies(), &ReplyRegistry::replyFinished, this,
                       &ChatController::replyFinished)
            << connect(m_store->replies(), &ReplyRegistry::replyNotice, this,
                       [this](const QUuid &conv, const QString &message) {
                           if (conv == m_id)
                               emit notice(message);
                       })
            << connect(m_store->replies(), &ReplyRegistry::activityChanged, this,
                       [this](const QUuid &conv) {
                           const RunningReply *reply = m_store->replies()->reply(conv);
                           if (conv == m_id && reply)
                               setToolNotice(reply->toolNotice());
                       });
    }
    emit storeChanged();
    emit toolsChanged();
    refreshDerived();
}

void ChatController::refreshDerived()
{
    const QString t = title();
    if (t != m_title) {
        m_title = t;
        emit titleChanged();
    }
    const QString em = effectiveModel();
    const QString label = modelLabel();
    const QString gateway = gatewayName();
    if (em != m_effectiveModel || label != m_modelLabel || gateway != m_gatewayName) {
        m_effectiveModel = em;
        m_modelLabel = label;
        m_gatewayName = gateway;
        emit effectiveModelChanged();
    }
    m_modelOptions->update(m_store ? m_store->settings() : AppSettings(), this->gateway(), em);
    const bool cs = canSend();
    if (cs != m_canSend) {
        m_canSend = cs;
        emit canSendChanged();
    }
    const bool km = keyMissing();
    if (km != m_keyMissing) {
        m_keyMissing = km;
        emit keyMissingChanged();
    }
    const bool hi = historyImages();
    if (hi != m_historyImages) {
        m_historyImages = hi;
        emit historyImagesChanged();
    }
}

const Conversation *ChatController::conversation() const
{
    return m_store ? m_store->conversation(m_id) : nullptr;
}

void ChatController::setInput(const QString &input)
{
    if (m_input == input)
        return;
    m_input = input;
    emit inputChanged();
    refreshDerived();
}

void ChatController::setShowError(bool show)
{
    if (m_showError == show)
        return;
    m_showError = show;
    emit showErrorChanged();
}

QString ChatController::editingIDString() const
{
    return m_editingID ? canonicalUuidString(*m_editingID) : QString();
}

void ChatController::setEditText(const QString &text)
{
    if (m_editText == text)
        return;
    m_editText = text;
    emit editTextChanged();
}

void ChatController::setInputFocused(bool focused)
{
    if (m_inputFocused == focused)
        return;
    m_inputFocused = focused;
    emit inputFocusedChanged();
}

void ChatController::setSending(bool sending)
{
    if (m_sending == sending)
        return;
    m_sending = sending;
    if (m_model)
        m_model->setSending(sending);
    emit sendingChanged();
    refreshDerived();
}

void ChatController::setEditingID(const std::optional<QUuid> &id)
{
    if (m_editingID == id)
        return;
    m_editingID = id;
    if (!m_editRemovedFiles.isEmpty()) {
        m_editRemovedFiles.clear();
        emit editRemovedFilesChanged();
    }
    if (m_model)
        m_model->setEditingID(id);
    emit editingIDChanged();
}

QList<Message> ChatController::messages() const
{
    const Conversation *c = conversation();
    return c ? c->messages : QList<Message>();
}

QString ChatController::title() const
{
    const Conversation *c = conversation();
    return c ? c->displayTitle() : QStringLiteral("Corvane");
}

QString ChatController::effectiveModel() const
{
    if (!m_store)
        return {};
    const Conversation *c = conversation();
    return c ? m_store->settings().modelFor(*c) : m_store->settings().model;
}

QUuid ChatController::gateway() const
{
    const Conversation *c = conversation();
    return c ? c->provider : QUuid();
}

bool ChatController::gatewayRemoved() const
{
    return m_store && !m_store->settings().hasGateway(gateway());
}

QString ChatController::modelLabel() const
{
    return gatewayRemoved() ? tr("%1（网关已删除）").arg(effectiveModel()) : effectiveModel();
}

QString ChatController::gatewayName() const
{
    if (!m_store || m_store->settings().providers.isEmpty() || gatewayRemoved())
        return {};
    return m_store->settings().gatewayName(gateway());
}

void ChatController::openAttachment(const QUrl &file, const QString &name)
{
    if (!file.isLocalFile())
        return;
    // One folder per run, so that copies of two files with the same name do not meet.
    static const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QStringLiteral("corvane-%1").arg(QCoreApplication::applicationPid()));
    const QString dir = QDir(folder).filePath(QFileInfo(file.toLocalFile()).fileName().left(12));
    const QString copy = QDir(dir).filePath(QFileInfo(name).fileName());
    if (!QFileInfo::exists(copy)) {
        if (!QDir().mkpath(dir) || !QFile::copy(file.toLocalFile(), copy))
            return;
        QFile::setPermissions(copy, QFileDevice::ReadOwner);
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(copy));
}

bool ChatController::canSend() const
{
    // Files still being read go with the message only once they are stored.
    if (m_sending || m_attachments->busy())
        return false;
    return !TextUtil::trimSpaceAndLineBreaks(m_input).isEmpty() || m_attachments->rowCount() > 0;
}

bool ChatController::keyMissing() const
{
    return !m_store || Gateway::fromSettings(m_store->settings(), gateway()).keyMissing();
}

bool ChatController::historyImages() const
{
    const Conversation *c = conversation();
    return !c || c->historyImages;
}

void ChatController::setHistoryImages(bool send)
{
    if (!conversation() || send == historyImages())
        return;
    m_store->setHistoryImages(m_id, send);
    m_store->save();
}

void ChatController::send()
{
    if (m_sending || !m_store)
        return;
    const QString text = TextUtil::trimSpaceAndLineBreaks(m_input);
    if (!canSend())
        return;
    const Conversation *conv = conversation();
    if (!conv)
        return;

    setInput(QString());
    setInputFocused(true);
    const bool untitled = conv->needsTitle();
    Message question = Message::make(Message::Role::User, text);
    question.setAttachments(m_attachments->take());
    m_store->appendMessage(m_id, question);
    // A message of files alone is named after its first file.
    const QString title = text.isEmpty() ? question.attachments().first().name : text;
    if (untitled)
        m_store->setTitle(m_id, TextUtil::firstGraphemes(title, 24));

    const QList<Message> history = conversation()->messages;
    const Message placeholder = Message::make(Message::Role::Assistant, QString());
    m_store->appendMessage(m_id, placeholder);
    startStream(history, placeholder.id);
}

void ChatController::startStream(const QList<Message> &history, const QUuid &assistantID,
                                 std::optional<ReplyStream::Images> images)
{
    // The reply uses the settings and model of this moment, and belongs to the Store so it
    // survives this pane; the registry's replyStarted sets this pane sending.
    setToolNotice(QString());
    auto *reply = new ReplyStream(m_store, m_id, assistantID);
    reply->setToolHost(m_toolHost);
    const QString model = effectiveModel();
    m_store->replies()->add(reply);
    using Images = ReplyStream::Images;
    reply->start(m_store->settings(), gateway(), model, history,
                 images.value_or(historyImages() ? Images::All : Images::Latest));
}

void ChatController::replyFinished(const QUuid &conversation, const QString &error)
{
    if (conversation != m_id)
        return;
    if (!error.isEmpty()) {
        if (m_errorMessage != error) {
            m_errorMessage = error;
            emit errorMessageChanged();
        }
        setShowError(true);
    }
    setSending(m_store && m_store->replies()->isReplying(m_id));
}

void ChatController::stop()
{
    if (m_store)
        m_store->replies()->stop(m_id);
}

void ChatController::regenerate()
{
    resendLast(std::nullopt);
}

void ChatController::regenerateWithoutImages()
{
    if (m_sending)
        return;
    setHistoryImages(false);
    resendLast(ReplyStream::Images::None);
}

void ChatController::resendLast(std::optional<ReplyStream::Images> images)
{
    if (m_sending)
        return;
    const Conversation *conv = conversation();
    if (!conv)
        return;
    QList<Message> copy = conv->messages;
    // Every assistant message after the last question goes: a reply that called tools is
    // several of them, one per round.
    while (!copy.isEmpty() && copy.last().role == Message::Role::Assistant)
        copy.removeLast();
    if (copy.isEmpty() || copy.last().role != Message::Role::User)
        return;

    m_store->removeMessagesAfter(m_id, copy.last().id);
    const Message placeholder = Message::make(Message::Role::Assistant, QString());
    m_store->appendMessage(m_id, placeholder);
    startStream(copy, placeholder.id, images);
}

void ChatController::submitEdit(const QString &messageID)
{
    submitEdit(parseCanonicalUuid(messageID).value_or(QUuid()));
}

void ChatController::submitEdit(const QUuid &messageID)
{
    const Message *edited = m_sending || !m_store ? nullptr : m_store->message(m_id, messageID);
    const QString text = TextUtil::trimSpaceAndLineBreaks(m_editText);
    QList<Attachment> files;
    for (qsizetype i = 0; edited && i < edited->attachments().size(); ++i) {
        if (!m_editRemovedFiles.contains(int(i)))
            files.append(edited->attachments().at(i));
    }
    setEditingID(std::nullopt);
    // A message of files alone may stay without text.
    if (!edited || (text.isEmpty() && files.isEmpty()))
        return;

    const bool resend = edited->role == Message::Role::User;
    m_store->removeMessagesAfter(m_id, messageID);
    m_store->setMessageContent(m_id, messageID, text);
    m_store->setMessageAttachments(m_id, messageID, files);
    if (resend) {
        const QList<Message> kept = conversation()->messages;
        const Message placeholder = Message::make(Message::Role::Assistant, QString());
        m_store->appendMessage(m_id, placeholder);
        startStream(kept, placeholder.id);
    } else {
        m_store->save();
    }
}

void ChatController::setModel(const QString &name)
{
    if (!conversation())
        return;
    m_store->setModel(m_id, name, gateway());
    m_store->save();
    refreshDerived();
}

void ChatController::chooseModel(const QString &gatewayID, const QString &name)
{
    const auto id = gatewayID.isEmpty() ? std::optional(QUuid()) : parseCanonicalUuid(gatewayID);
    if (!conversation() || !id)
        return;
    m_store->setModel(m_id, name, *id);
    m_store->save();
    refreshDerived();
}

void ChatController::startEdit(const QString &messageID)
{
    const auto id = parseCanonicalUuid(messageID);
    const Message *m = m_sending || !m_store || !id ? nullptr : m_store->message(m_id, *id);
    if (!m)
        return;
    setEditText(m->content);
    setEditingID(*id);
}

void ChatController::cancelEdit()
{
    setEditingID(std::nullopt);
}

void ChatController::removeEditFile(int index)
{
    const Message *m = m_editingID && m_store ? m_store->message(m_id, *m_editingID) : nullptr;
    if (!m || index < 0 || index >= m->attachments().size() || m_editRemovedFiles.contains(index))
        return;
    m_editRemovedFiles.append(index);
    emit editRemovedFilesChanged();
}

void ChatController::setToolHost(ToolHost *host)
{
    if (m_toolHost == host)
        return;
    if (m_toolHost)
        disconnect(m_toolHost, nullptr, this, nullptr);
    m_toolHost = host;
    if (m_model)
        m_model->setToolHost(host);
    if (host)
        connect(host, &ToolHost::toolsChanged, this, &ChatController::toolsChanged);
    emit toolsChanged();
}

bool ChatController::toolsAvailable() const
{
    return m_toolHost && m_toolHost->hasTools();
}

bool ChatController::toolsEnabled() const
{
    const Conversation *c = conversation();
    return !c || c->tools;
}

void ChatController::setToolsEnabled(bool enabled)
{
    if (!conversation() || toolsEnabled() == enabled)
        return;
    m_store->setToolsEnabled(m_id, enabled);
    m_store->save();
    emit toolsChanged();
}

void ChatController::setToolNotice(const QString &notice)
{
    if (m_toolNotice == notice)
        return;
    m_toolNotice = notice;
    emit toolNoticeChanged();
}

void ChatController::answerCall(const QString &callID, int answer)
{
    auto *reply = m_store ? qobject_cast<ReplyStream *>(m_store->replies()->reply(m_id)) : nullptr;
    if (reply)
        reply->answer(callID, ReplyStream::Answer(answer));
}

void ChatController::allowCall(const QString &callID)
{
    answerCall(callID, int(ReplyStream::Answer::Allow));
}

void ChatController::allowConversation(const QString &callID)
{
    answerCall(callID, int(ReplyStream::Answer::AllowConversation));
}

void ChatController::denyCall(const QString &callID)
{
    answerCall(callID, int(ReplyStream::Answer::Deny));
}
