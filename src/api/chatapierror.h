// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/storedtext.h"

#include <QMetaType>
#include <QNetworkReply>
#include <QString>

/**
 * Why a chat request failed.
 *
 * Http, BadURL, NoKey and GatewayRemoved are the client's own failures. BadKey refuses a key that
 * could not be written into a header safely. Network, TimedOut and Cancelled come from the HTTP
 * layer; only Cancelled is the user's stop, everything else is a real failure to be shown. Gateway,
 * EmptyReply and Incomplete end a reply that arrived with a success status.
 */
class ChatAPIError
{
public:
    enum class Kind {
        Http,           ///< status outside 200 to 299, or no HTTP response at all (-1, "无响应")
        BadURL,         ///< the request address does not parse as a URL
        NoKey,          ///< the API key is empty after trimming
        BadKey,         ///< the API key holds a line break or another control character
        Network,        ///< connection, TLS or protocol failure; carries Qt's error text
        TimedOut,       ///< the gateway sent nothing for the inactivity time-out
        Cancelled,      ///< stopped by ChatStream::cancel()
        Gateway,        ///< the gateway reported a failure inside the stream; carries its message
        EmptyReply,     ///< the stream ended normally without any text or reasoning
        Incomplete,     ///< the stream ended in the middle of an event: its last line is cut off
        GatewayRemoved, ///< the conversation's gateway is no longer in the settings
    };

    /// A response that was not HTTP (-1, "无响应").
    ChatAPIError() = default;

    /// retryAfter: the seconds the gateway asked to wait before trying again, -1 when it did not.
    static ChatAPIError http(int statusCode, const QString &body, int retryAfter = -1);
    static ChatAPIError noResponse() { return {}; }
    static ChatAPIError badURL() { return ChatAPIError(Kind::BadURL); }
    static ChatAPIError noKey() { return ChatAPIError(Kind::NoKey); }
    static ChatAPIError badKey() { return ChatAPIError(Kind::BadKey); }
    static ChatAPIError network(QNetworkReply::NetworkError code, const QString &message);
    static ChatAPIError timedOut() { return ChatAPIError(Kind::TimedOut); }
    static ChatAPIError cancelled() { return ChatAPIError(Kind::Cancelled); }
    static ChatAPIError gateway(const QString &message);
    static ChatAPIError emptyReply() { return ChatAPIError(Kind::EmptyReply); }
    static ChatAPIError incomplete() { return ChatAPIError(Kind::Incomplete); }
    static ChatAPIError gatewayRemoved() { return ChatAPIError(Kind::GatewayRemoved); }

    Kind kind() const { return m_kind; }
    /// The HTTP status of an Http error (-1 when the response was not HTTP), else 0.
    int statusCode() const { return m_status; }
    /// The response body of an Http error, Qt's error text of a Network error, or the gateway's
    /// message of a Gateway error.
    const QString &body() const { return m_text; }
    /// Qt's error code of a Network error, else NoError.
    QNetworkReply::NetworkError networkError() const { return m_networkError; }
    /// The seconds an Http error's gateway asked to wait ("Retry-After"), -1 when it did not.
    int retryAfter() const { return m_retryAfter; }

    /**
     * The kind as kept beside a failed reply, for the advice shown with it after a restart:
     * "http:<status>" (with ";retry-after=<seconds>" when the gateway asked to wait),
     * "network:<Qt's error name>", "noKey", "badKey", "badURL", "timeout", "gateway", "empty",
     * "incomplete" or "gatewayRemoved"; empty for a cancellation, which is not a failure.
     */
    QString kindCode() const;

    /// True only for the caller's own stop; a time-out is a real failure.
    bool isCancellation() const { return m_kind == Kind::Cancelled; }

    /// The message for the user: shown, or written into the reply that failed (its texts are
    /// stored ones, see model/storedtext.h).
    QString description(StoredText::Form form = StoredText::Form::Shown) const;

    /// "网络错误：" with what went wrong in the user's words and, for support, the code's name in
    /// brackets.
    static QString networkDescription(QNetworkReply::NetworkError code);

    bool operator==(const ChatAPIError &) const = default;

private:
    explicit ChatAPIError(Kind kind) : m_kind(kind), m_status(0), m_text() {}

    static constexpr char noResponseText[] = QT_TRANSLATE_NOOP("Stored", "无响应");

    Kind m_kind = Kind::Http;
    int m_status = -1;
    QString m_text = QString::fromUtf8(noResponseText);
    QNetworkReply::NetworkError m_networkError = QNetworkReply::NoError;
    int m_retryAfter = -1;
};

Q_DECLARE_METATYPE(ChatAPIError)
