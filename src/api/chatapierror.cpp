// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapierror.h"

#include "model/textutil.h"

#include <QMetaEnum>

namespace {

// What the user can understand of a failure of the HTTP layer.
const char *networkReason(QNetworkReply::NetworkError code)
{
    using E = QNetworkReply;
    switch (code) {
    case E::ConnectionRefusedError:
        return QT_TRANSLATE_NOOP("Stored", "无法连接到服务器");
    case E::RemoteHostClosedError:
        return QT_TRANSLATE_NOOP("Stored", "服务器中途断开了连接");
    case E::HostNotFoundError:
        return QT_TRANSLATE_NOOP("Stored", "找不到服务器，请检查 API 地址");
    case E::TimeoutError:
        return QT_TRANSLATE_NOOP("Stored", "连接服务器超时");
    case E::OperationCanceledError:
        return QT_TRANSLATE_NOOP("Stored", "连接被中止");
    case E::SslHandshakeFailedError:
        return QT_TRANSLATE_NOOP("Stored", "安全连接失败，服务器证书无效或不受信任");
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
    case E::UnknownNetworkError:
        return QT_TRANSLATE_NOOP("Stored", "网络不可用，请检查网络连接");
    case E::TooManyRedirectsError:
        return QT_TRANSLATE_NOOP("Stored", "重定向次数过多");
    case E::InsecureRedirectError:
        return QT_TRANSLATE_NOOP("Stored", "服务器重定向到了不安全的地址");
    case E::ProxyConnectionRefusedError:
        return QT_TRANSLATE_NOOP("Stored", "代理服务器拒绝连接，请检查代理设置");
    case E::ProxyConnectionClosedError:
        return QT_TRANSLATE_NOOP("Stored", "代理服务器中途断开了连接");
    case E::ProxyNotFoundError:
        return QT_TRANSLATE_NOOP("Stored", "找不到代理服务器，请检查代理设置");
    case E::ProxyTimeoutError:
        return QT_TRANSLATE_NOOP("Stored", "连接代理服务器超时");
    case E::ProxyAuthenticationRequiredError:
        return QT_TRANSLATE_NOOP("Stored", "代理服务器要求身份验证，请检查代理的用户名和密码");
    case E::UnknownProxyError:
        return QT_TRANSLATE_NOOP("Stored", "代理服务器出错，请检查代理设置");
    case E::ProtocolUnknownError:
        return QT_TRANSLATE_NOOP("Stored", "API 地址应以 http:// 或 https:// 开头");
    case E::ProtocolFailure:
        return QT_TRANSLATE_NOOP("Stored", "服务器的回应无法识别");
    default:
        return QT_TRANSLATE_NOOP("Stored", "连接失败");
    }
}

QString networkText(QNetworkReply::NetworkError code, StoredText::Form form)
{
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    return StoredText::text(QT_TRANSLATE_NOOP("Stored", "网络错误：%1（%2）"), form)
        .arg(StoredText::text(networkReason(code), form),
             name ? QLatin1String(name) : QString::number(int(code)));
}

} // namespace

ChatAPIError ChatAPIError::http(int statusCode, const QString &body, int retryAfter)
{
    ChatAPIError e(Kind::Http);
    e.m_status = statusCode;
    e.m_text = body;
    e.m_retryAfter = retryAfter;
    return e;
}

QString ChatAPIError::kindCode() const
{
    switch (m_kind) {
    case Kind::Http: {
        QString code = QStringLiteral("http:%1").arg(m_status);
        if (m_retryAfter >= 0)
            code += QStringLiteral(";retry-after=%1").arg(m_retryAfter);
        return code;
    }
    case Kind::BadURL:
        return QStringLiteral("badURL");
    case Kind::NoKey:
        return QStringLiteral("noKey");
    case Kind::BadKey:
        return QStringLiteral("badKey");
    case Kind::Network: {
        const char *name =
            QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(m_networkError);
        return QStringLiteral("network:") +
               (name ? QLatin1String(name) : QString::number(int(m_networkError)));
    }
    case Kind::TimedOut:
        return QStringLiteral("timeout");
    case Kind::Cancelled:
        return {};
    case Kind::Gateway:
        return QStringLiteral("gateway");
    case Kind::EmptyReply:
        return QStringLiteral("empty");
    case Kind::Incomplete:
        return QStringLiteral("incomplete");
    case Kind::GatewayRemoved:
        return QStringLiteral("gatewayRemoved");
    }
    return {};
}

ChatAPIError ChatAPIError::gateway(const QString &message)
{
    ChatAPIError e(Kind::Gateway);
    e.m_text = message;
    return e;
}

QString ChatAPIError::networkDescription(QNetworkReply::NetworkError code)
{
    return networkText(code, StoredText::Form::Shown);
}

ChatAPIError ChatAPIError::network(QNetworkReply::NetworkError code, const QString &message)
{
    ChatAPIError e(Kind::Network);
    e.m_text = message;
    e.m_networkError = code;
    return e;
}

QString ChatAPIError::description(StoredText::Form form) const
{
    const auto text = [form](const char *source) { return StoredText::text(source, form); };
    switch (m_kind) {
    case Kind::Http: {
        // Without any response the body is the program's own word for that, not the server's.
        const QString body = TextUtil::trimSpaceAndLineBreaks(
            m_text == QString::fromUtf8(noResponseText) ? text(noResponseText) : m_text);
        const QString status = QString::number(m_status);
        return body.isEmpty() ? text(QT_TRANSLATE_NOOP("Stored", "请求失败（HTTP %1）")).arg(status)
                              : text(QT_TRANSLATE_NOOP("Stored", "请求失败（HTTP %1）：\n%2"))
                                    .arg(status, body);
    }
    case Kind::BadURL:
        return text(QT_TRANSLATE_NOOP("Stored", "API 地址无效，请到「设置」检查。"));
    case Kind::NoKey:
        return text(QT_TRANSLATE_NOOP("Stored", "还没填 API Key，请到「设置」里填写。"));
    case Kind::BadKey:
        return text(
            QT_TRANSLATE_NOOP("Stored", "API Key 含有换行或控制字符，请到「设置」重新填写。"));
    case Kind::Network:
        return networkText(m_networkError, form);
    case Kind::TimedOut:
        return text(QT_TRANSLATE_NOOP("Stored", "请求超时：服务器长时间没有回应，请稍后再试。"));
    case Kind::Cancelled:
        return text(QT_TRANSLATE_NOOP("Stored", "请求已取消。"));
    case Kind::Gateway: {
        const QString message = TextUtil::trimSpaceAndLineBreaks(m_text);
        return message.isEmpty()
                   ? text(QT_TRANSLATE_NOOP("Stored", "请求失败（服务器报错）"))
                   : text(QT_TRANSLATE_NOOP("Stored", "请求失败（服务器报错）：\n%1")).arg(message);
    }
    case Kind::EmptyReply:
        return text(QT_TRANSLATE_NOOP("Stored", "模型没有返回内容，请重试或换一个模型。"));
    case Kind::Incomplete:
        return text(QT_TRANSLATE_NOOP("Stored", "回复没有收完：最后一段数据在中途断开了。"));
    case Kind::GatewayRemoved:
        return text(QT_TRANSLATE_NOOP(
            "Stored", "这个对话所用的网关已被删除，请在输入框上方的模型菜单里换一个模型。"));
    }
    return {};
}
