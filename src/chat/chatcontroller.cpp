// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatcontroller.h"

#include "messagelistmodel.h"
#include "model/textutil.h"
#include "replystream.h"
#include "store/store.h"

namespace {
QString idString(const std::optional<QUuid> &id)
{
    return id ? id->toString(QUuid::WithoutBraces).toUpper() : QString();
}
} // namespace

ChatController::ChatController(QObject *parent) : QObject(parent) {}

ChatController::ChatController(Store *store, const QUuid &conversationId, QObject *parent)
    : QObject(parent), m_store(store), m_id(conversationId)
{
    rebind();
}

ChatController::~ChatController() = default;

void ChatController::setStore(Store *store)
{
    if (m_store == store)
        return;
    m_store = store;
    rebind();
}

QString ChatController::conversationIdString() const
{
    return m_id.isNull() ? QString() : idString(m_id);
}

void ChatController::setConversationIdString(const QString &id)
{
    const QUuid uuid = QUuid::fromString(id);
    if (uuid == m_id)
        return;
    m_id = uuid;
    rebind();
}

void ChatController::rebind()
{
    for (const auto &c : std::as_const(m_storeConnections))
        disconnect(c);
    m_storeConnections.clear();
    delete m_model;
    m_model = nullptr;
    if (m_store) {
        m_model = new MessageListModel(m_store, m_id, this);
        m_model->setSending(m_sending);
        m_model->setEditingID(m_editingID);
        // Derived values change with the settings and with the conversation's own fields, never
        // with a streamed delta, so the per-delta path stays free of them.
        m_storeConnections << connect(m_store, &Store::settingsChanged, this, &ChatController::refreshDerived)
                           << connect(m_store, &Store::conversationUpdated, this, &ChatController::refreshDerived)
                           << connect(m_store, &Store::conversationsInserted, this, &ChatController::refreshDerived)
                           << connect(m_store, &Store::conversationsRemoved, this, &ChatController::refreshDerived);
    }
    emit storeChanged();
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
    if (em != m_effectiveModel) {
        m_effectiveModel = em;
        emit effectiveModelChanged();
    }
    const QStringList options = modelOptions();
    if (options != m_modelOptions) {
        m_modelOptions = options;
        emit modelOptionsChanged();
    }
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
}

std::optional<qsizetype> ChatController::conversationIndex() const
{
    if (!m_store)
        return std::nullopt;
    return m_store->indexOf(m_id);
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
    return idString(m_editingID);
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
    if (m_model)
        m_model->setEditingID(id);
    emit editingIDChanged();
}

QList<Message> ChatController::messages() const
{
    const auto i = conversationIndex();
    return i ? m_store->conversations().at(*i).messages : QList<Message>();
}

QString ChatController::title() const
{
    const auto i = conversationIndex();
    if (!i)
        return QStringLiteral("Corvane");
    const QString &t = m_store->conversations().at(*i).title;
    return t.isEmpty() ? QStringLiteral("未命名") : t;
}

QString ChatController::effectiveModel() const
{
    if (!m_store)
        return {};
    const auto i = conversationIndex();
    if (i) {
        const auto &model = m_store->conversations().at(*i).model;
        if (model)
            return *model;
    }
    return m_store->settings().model;
}

QStringList ChatController::modelOptions() const
{
    if (!m_store)
        return {};
    QStringList options;
    auto add = [&options](const QString &name) {
        const QString trimmed = TextUtil::trimHorizontal(name);
        if (!trimmed.isEmpty() && !options.contains(trimmed))
            options << trimmed;
    };
    add(m_store->settings().model);
    for (const QString &m : m_store->settings().models)
        add(m);
    return options;
}

bool ChatController::canSend() const
{
    return !m_sending && !TextUtil::trimSpaceAndLineBreaks(m_input).isEmpty();
}

bool ChatController::keyMissing() const
{
    return !m_store || TextUtil::trimHorizontal(m_store->settings().apiKey).isEmpty();
}

void ChatController::send()
{
    if (m_sending || !m_store)
        return;
    const QString text = TextUtil::trimSpaceAndLineBreaks(m_input);
    if (text.isEmpty())
        return;
    const auto conv = conversationIndex();
    if (!conv)
        return;

    setInput(QString());
    setInputFocused(true);
    m_store->appendMessage(*conv, Message::make(Message::Role::User, text));
    const QString &currentTitle = m_store->conversations().at(*conv).title;
    if (currentTitle == Conversation::defaultTitle() || currentTitle.isEmpty())
        m_store->setTitle(*conv, TextUtil::firstGraphemes(text, 24));

    const QList<Message> history = m_store->conversations().at(*conv).messages;
    const Message placeholder = Message::make(Message::Role::Assistant, QString());
    m_store->appendMessage(*conv, placeholder);
    startStream(history, placeholder.id);
}

void ChatController::startStream(const QList<Message> &history, const QUuid &assistantID)
{
    setSending(true);
    // The reply uses the settings and model of this moment, and belongs to the Store so it
    // survives this pane.
    auto *stream = new ReplyStream(m_store, m_id, assistantID, this);
    m_stream = stream;
    stream->start(m_store->settings(), effectiveModel(), history);
}

void ChatController::streamEnded(const std::optional<QString> &error)
{
    if (error) {
        if (m_errorMessage != *error) {
            m_errorMessage = *error;
            emit errorMessageChanged();
        }
        setShowError(true);
    }
    m_stream = nullptr;
    setSending(false);
}

void ChatController::stop()
{
    if (m_stream)
        m_stream->cancel();
}

void ChatController::regenerate()
{
    if (m_sending)
        return;
    const auto conv = conversationIndex();
    if (!conv)
        return;
    QList<Message> copy = m_store->conversations().at(*conv).messages;
    if (copy.isEmpty())
        return;
    if (copy.last().role == Message::Role::Assistant) {
        copy.removeLast();
        if (copy.isEmpty())
            return;
    }
    if (copy.last().role != Message::Role::User)
        return;

    m_store->truncateMessages(*conv, copy.size());
    const Message placeholder = Message::make(Message::Role::Assistant, QString());
    m_store->appendMessage(*conv, placeholder);
    startStream(copy, placeholder.id);
}

void ChatController::submitEdit(const QString &messageId)
{
    submitEdit(QUuid::fromString(messageId));
}

void ChatController::submitEdit(const QUuid &messageId)
{
    if (m_sending) {
        setEditingID(std::nullopt);
        return;
    }
    const auto conv = conversationIndex();
    if (!conv) {
        setEditingID(std::nullopt);
        return;
    }
    const QList<Message> &list = m_store->conversations().at(*conv).messages;
    qsizetype pos = -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).id == messageId) {
            pos = i;
            break;
        }
    }
    if (pos < 0) {
        setEditingID(std::nullopt);
        return;
    }
    const QString text = TextUtil::trimSpaceAndLineBreaks(m_editText);
    setEditingID(std::nullopt);
    if (text.isEmpty())
        return;

    m_store->truncateMessages(*conv, pos + 1);
    m_store->setMessageContent(*conv, pos, text);
    const QList<Message> kept = m_store->conversations().at(*conv).messages;
    if (kept.at(pos).role == Message::Role::User) {
        const Message placeholder = Message::make(Message::Role::Assistant, QString());
        m_store->appendMessage(*conv, placeholder);
        startStream(kept, placeholder.id);
    } else {
        m_store->save();
    }
}

void ChatController::setModel(const QString &name)
{
    const auto conv = conversationIndex();
    if (!conv)
        return;
    m_store->setModel(*conv, name);
    m_store->save();
    refreshDerived();
}

void ChatController::startEdit(const QString &messageId)
{
    if (m_sending)
        return;
    const QUuid id = QUuid::fromString(messageId);
    for (const Message &m : messages()) {
        if (m.id == id) {
            setEditText(m.content);
            setEditingID(id);
            return;
        }
    }
}

void ChatController::cancelEdit()
{
    setEditingID(std::nullopt);
}
