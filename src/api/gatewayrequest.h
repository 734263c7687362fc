// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapierror.h"
#include "api/gateway.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <utility>

class QNetworkReply;

/**
 * One HTTP request to a gateway, from its address to the end of its reply.
 *
 * Every request the program sends to a gateway is made here, under one set of rules:
 * - the address is the gateway's, trimmed and without slashes at either end, followed by the
 *   path; one that does not parse is refused, and only HTTP leaves the program (an address
 *   without a scheme goes to the HTTP layer, which refuses it with its own error);
 * - the key goes in "Authorization: Bearer", after the extra headers so none can replace it; a
 *   missing key, or one that could not be written into a header safely, refuses the request;
 *   a gateway without a key (a local server) gets no such header and no key check;
 * - nothing goes to a gateway that was removed;
 * - a redirect is followed only within the origin of the address, so the key and the other
 *   headers never reach another origin;
 * - the application's proxy settings apply, and a proxy's own failures are named as such;
 * - the request fails once its time limit has passed.
 *
 * The caller reads the reply (reply()) on readyRead() and finished(), then ends the request
 * with stop() or by destroying it. failed() ends the request from here instead; no signal
 * follows it. Every signal comes from the event loop, never from inside send() or stop(). Do
 * not delete the request from inside one of its signals. Main thread only.
 */
class GatewayRequest : public QObject
{
    Q_OBJECT

public:
    using Header = std::pair<QByteArray, QByteArray>;

    enum class TimeLimit {
        Idle,  ///< the longest time without any sign of life from the gateway
        Total, ///< the longest time for the whole request
    };

    /// An error response's body is kept up to this many bytes; the rest is read and dropped.
    static constexpr qsizetype maxErrorBodyLength = 64 * 1024;

    explicit GatewayRequest(const Gateway &gateway, QObject *parent = nullptr);
    /// Aborts a running request without a signal.
    ~GatewayRequest() override;

    /// Set before send(); without a limit a request may wait for ever.
    void setTimeLimit(std::chrono::milliseconds limit, TimeLimit kind);

    /**
     * Sends verb ("GET" sends no body) to path under the gateway's address, with the extra
     * headers and the body. Called once. A request refused before sending ends with failed().
     */
    void send(const QByteArray &verb, QStringView path, const QList<Header> &headers = {},
              const QByteArray &body = {});

    /// The reply, from send() until the request ends; null before, and after a refusal.
    QNetworkReply *reply() const { return m_reply; }

    /// The failure of a reply that ended without a response; a proxy's own failure is named as
    /// such.
    ChatAPIError networkError() const;

    /// Whether b has a's scheme, host and port: the one test of where a redirect, or any other
    /// address a server names, may take the headers.
    static bool sameOrigin(const QUrl &a, const QUrl &b);

public slots:
    /// Ends the request quietly: no signal follows. Does nothing once it has ended.
    void stop();

signals:
    /// More of the body waits in reply(); its status and headers are known.
    void readyRead();
    /// The reply has ended: the rest of its body, its status and its error are in reply().
    void finished();
    /// The request ended here: refused before sending (a removed gateway, no key, a key that
    /// cannot be sent, an address that does not parse, a scheme other than HTTP), redirected
    /// to another origin, or out of time.
    void failed(const ChatAPIError &error);

private:
    void fail(const ChatAPIError &error);
    void onRedirected(const QUrl &target);
    /// Restarts an idle time limit.
    void onSignOfLife();

    Gateway m_gateway;
    QPointer<QNetworkReply> m_reply;
    QUrl m_origin;
    QTimer m_timer;
    bool m_idleLimit = false;
    bool m_bodyDelivered = false; // readyRead() or finished() has been emitted
    bool m_ended = false;
};
