// SPDX-License-Identifier: GPL-3.0-or-later
#include "chatapierror.h"

#include "model/textutil.h"

ChatAPIError ChatAPIError::http(int statusCode, const QString &body)
{
    ChatAPIError e(Kind::Http);
    e.m_status = statusCode;
    e.m_text = body;
    return e;
}

ChatAPIError ChatAPIError::network(QNetworkReply::NetworkError code, const QString &message)
{
    ChatAPIError e(Kind::Network);
    e.m_text = message;
    e.m_networkError = code;
    return e;
}

QString ChatAPIError::description() const
{
    switch (m_kind) {
    case Kind::Http: {
        QString text = tr("请求失败（HTTP %1）").arg(m_status);
        const QString body = TextUtil::trimSpaceAndLineBreaks(m_text);
        if (!body.isEmpty())
            text += QStringLiteral("：\n") + body;
        return text;
    }
    case Kind::BadURL:
        return tr("API 地址无效，请到「设置」检查。");
    case Kind::NoKey:
        return tr("还没填 API Key，请到「设置」里填写。");
    case Kind::BadKey:
        return tr("API Key 含有换行或控制字符，请到「设置」重新填写。");
    case Kind::Network:
        return tr("网络错误：") + m_text;
    case Kind::TimedOut:
        return tr("请求超时：服务器长时间没有回应，请稍后再试。");
    case Kind::Cancelled:
        return tr("请求已取消。");
    }
    return {};
}
