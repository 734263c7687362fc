// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapierror.h"
#include "api/gateway.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <optional>

class GatewayRequest;

/**
 * One request for the gateway's model list: GET {base address}/models with the key, a
 * GatewayRequest like every other.
 *
 * finished() is emitted exactly once, always from the event loop, with the ids or with the
 * failure described for the user. Destroying the request aborts it without a signal.
 */
class ModelListRequest : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{20'000};
    /// A larger answer is not a model list.
    static constexpr qsizetype maxBodyLength = 32 * 1024 * 1024;

    /// The time limit is for the whole request.
    static ModelListRequest *start(const Gateway &gateway, QObject *parent = nullptr,
                                   std::chrono::milliseconds timeout = defaultTimeout);
    ~ModelListRequest() override;

    /// The non-blank ids of data[].id, trimmed, each once, in the order sent; nothing when the
    /// answer is not an object with a data array.
    static std::optional<QStringList> parseIds(const QByteArray &body);

    /// The failure as a chat request would report it, for the same advice; nothing on success
    /// or when the answer came but was no model list.
    const std::optional<ChatAPIError> &failure() const { return m_failure; }
    /// Something answered over HTTP, whatever it said.
    bool answered() const { return m_answered; }

signals:
    /// error is empty on success.
    void finished(const QStringList &ids, const QString &error);

private:
    ModelListRequest(const Gateway &gateway, std::chrono::milliseconds timeout, QObject *parent);
    void finish(const QStringList &ids, const QString &error);
    void fail(const ChatAPIError &error);
    void onReadyRead();
    void onReplyFinished();

    GatewayRequest *m_request;
    QByteArray m_body;
    std::optional<ChatAPIError> m_failure;
    bool m_finished = false;
    bool m_answered = false;
};
