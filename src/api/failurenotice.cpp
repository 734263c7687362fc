// SPDX-License-Identifier: GPL-3.0-or-later
#include "failurenotice.h"

#include "api/chatapierror.h"
#include "model/textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QRegularExpression>

#include <optional>

namespace {

// Longest gateway message shown in the row; the rest is behind "详情".
constexpr qsizetype shownLength = 300;

QString shortened(const QString &text)
{
    const QString t = TextUtil::trimSpaceAndLineBreaks(text);
    return t.size() <= shownLength ? t : t.left(shownLength).trimmed() + QStringLiteral("…");
}

QString messageOf(const QJsonValue &v);

// {"error":{"message":…}}, {"error":"…"}, {"message":…}, {"detail":…}; FastAPI's detail may
// be a list of {"msg":…}.
QString messageOf(const QJsonObject &o)
{
    for (const char *key : {"error", "message", "detail", "msg", "error_msg"}) {
        const QString text = messageOf(o.value(QLatin1String(key)));
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QString messageOf(const QJsonValue &v)
{
    if (v.isString())
        return TextUtil::trimSpaceAndLineBreaks(v.toString());
    if (v.isObject())
        return messageOf(v.toObject());
    if (v.isArray()) {
        QStringList parts;
        for (const QJsonValue &item : v.toArray()) {
            const QString text = messageOf(item);
            if (!text.isEmpty())
                parts << text;
        }
        return parts.join(FailureNotice::tr("；"));
    }
    return {};
}

bool looksLikeWebPage(const QString &body)
{
    static const QRegularExpression page(
        QStringLiteral("^\\s*<(!doctype\\s+html|html|head|body)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return page.match(body).hasMatch();
}

QString pageTitle(const QString &body)
{
    static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title\\s*>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(body);
    if (!m.hasMatch())
        return {};
    // The common entities read as the characters they stand for.
    QString text = m.captured(1).simplified();
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    QRegularExpressionMatch e;
    while ((e = numeric.match(text)).hasMatch()) {
        const uint code = e.captured(2).toUInt(nullptr, e.captured(1).isEmpty() ? 10 : 16);
        const char32_t c = code > 0 && code <= 0x10FFFF ? char32_t(code) : U'\uFFFD';
        text.replace(e.capturedStart(), e.capturedLength(), QString::fromUcs4(&c, 1));
    }
    for (const auto &[entity, ch] : {std::pair{"&lt;", "<"},
                                     {"&gt;", ">"},
                                     {"&quot;", "\""},
                                     {"&apos;", "'"},
                                     {"&nbsp;", " "},
                                     {"&amp;", "&"}})
        text.replace(QLatin1String(entity), QLatin1String(ch));
    return TextUtil::trimSpaceAndLineBreaks(text);
}

bool mentions(const QString &body, std::initializer_list<const char *> words)
{
    for (const char *w : words) {
        if (body.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

struct Kind
{
    QString name;        // "http", "network", "noKey", …
    QString detail;      // the status or Qt's error name
    int retryAfter = -1; // seconds, for http
};

Kind parseKind(const QString &kind)
{
    Kind k;
    const qsizetype colon = kind.indexOf(u':');
    k.name = colon < 0 ? kind : kind.left(colon);
    if (colon < 0)
        return k;
    const QStringList parts = kind.mid(colon + 1).split(u';');
    k.detail = parts.first();
    for (const QString &p : parts.mid(1)) {
        if (p.startsWith(u"retry-after=")) {
            bool ok = false;
            const int seconds = p.mid(12).toInt(&ok);
            if (ok && seconds >= 0)
                k.retryAfter = seconds;
        }
    }
    return k;
}

// The first line of a stored description as it is shown: the failure is made again from its
// kind, and its words are taken in the interface's language only when it was written exactly
// so. Anything else (an older wording, a hand-edited file) is shown as stored.
QString shownHeading(const QString &first, const Kind &kind)
{
    std::optional<ChatAPIError> made;
    bool ok = false;
    if (kind.name == u"http") {
        const int status = kind.detail.toInt(&ok);
        if (ok)
            made = ChatAPIError::http(status, QString());
    } else if (kind.name == u"network") {
        const int code = QMetaEnum::fromType<QNetworkReply::NetworkError>().keyToValue(
            kind.detail.toLatin1().constData(), &ok);
        if (ok)
            made = ChatAPIError::network(QNetworkReply::NetworkError(code), QString());
    } else if (kind.name == u"gateway") {
        made = ChatAPIError::gateway(QString());
    } else if (kind.name == u"noKey") {
        made = ChatAPIError::noKey();
    } else if (kind.name == u"badKey") {
        made = ChatAPIError::badKey();
    } else if (kind.name == u"badURL") {
        made = ChatAPIError::badURL();
    } else if (kind.name == u"timeout") {
        made = ChatAPIError::timedOut();
    } else if (kind.name == u"empty") {
        made = ChatAPIError::emptyReply();
    } else if (kind.name == u"incomplete") {
        made = ChatAPIError::incomplete();
    } else if (kind.name == u"gatewayRemoved") {
        made = ChatAPIError::gatewayRemoved();
    }
    if (!made || made->description(StoredText::Form::Written) != first)
        return first;
    return made->description(StoredText::Form::Shown);
}

void adviseHttp(FailureNotice &n, int status, const QString &body, int retryAfter)
{
    if (status == 401) {
        n.advice = FailureNotice::tr("API Key 不对或已失效，请到「设置」检查。");
        n.offerSettings = true;
    } else if (status == 403) {
        n.advice =
            FailureNotice::tr("这个 Key 没有使用该模型或接口的权限，请检查 Key，或换一个模型。");
        n.offerSettings = true;
    } else if (status == 404) {
        n.advice = FailureNotice::tr(
            "找不到这个地址或模型，请检查 API 地址（通常以 /v1 结尾）和模型名称。");
        n.offerSettings = true;
    } else if (status == 413) {
        n.advice = FailureNotice::tr("请求的内容太大，请缩短消息，或开一个新对话。");
    } else if (status == 429) {
        n.advice =
            retryAfter > 0
                ? FailureNotice::tr("请求太频繁或额度已用完，%1 秒后可重试。").arg(retryAfter)
                : FailureNotice::tr("请求太频繁或额度已用完，请稍后再试，或检查账户余额。");
    } else if (status >= 500 || looksLikeWebPage(body)) {
        n.advice = FailureNotice::tr("网关或中转服务暂时出了问题，请稍后重试。");
    } else if (mentions(body, {"tools", "tool_choice", "function calling"}) &&
               mentions(body, {"support", "支持"})) {
        // "does not support tools", "tools is not supported", "tool_choice ... unsupported".
        n.advice = FailureNotice::tr("这个模型不支持工具，可以关闭这个对话的工具后重试。");
        n.offerToolsOff = true;
    } else if (mentions(body,
                        {"context_length", "context length", "maximum context", "context window",
                         "too many tokens", "prompt is too long", "上下文"})) {
        n.advice = FailureNotice::tr(
            "对话太长，超出了模型能读的长度，请开一个新对话，或删掉前面的内容后重试。");
    } else if (mentions(body, {"image", "vision", "图片", "图像"})) {
        // DeepSeek answers 400 "unknown variant `image_url`": a refused request, which may
        // go through without them.
        n.offerWithoutImages = status == 400 || status == 422;
        n.advice =
            n.offerWithoutImages
                ? FailureNotice::tr("这个模型不能读图片，请换一个支持图片的模型，或不带图片重试。")
                : FailureNotice::tr("这个模型不能读图片，请换一个支持图片的模型。");
    } else if (mentions(body, {"tool", "function call", "工具"})) {
        n.advice =
            FailureNotice::tr("这个模型不支持工具调用，请换一个模型，或关掉这个对话的工具。");
    } else if (status < 0) {
        n.advice = FailureNotice::tr("服务器没有按 HTTP 回应，请检查 API 地址和端口。");
        n.offerSettings = true;
    } else {
        n.advice = FailureNotice::tr("网关拒绝了这个请求，原因见上面网关的说明。");
    }
}

void adviseNetwork(FailureNotice &n, const QString &name)
{
    if (name == u"HostNotFoundError" || name == u"ProtocolUnknownError") {
        n.advice = FailureNotice::tr("请检查 API 地址是否写对，以及网络是否可用。");
        n.offerSettings = true;
    } else if (name.startsWith(u"Proxy")) {
        n.advice = FailureNotice::tr("请检查系统或环境变量（HTTPS_PROXY 等）里的代理设置。");
    } else if (name == u"SslHandshakeFailedError") {
        n.advice = FailureNotice::tr("请检查 API 地址是否正确，以及网络是否拦截了安全连接。");
    } else if (name == u"RemoteHostClosedError") {
        n.advice =
            FailureNotice::tr("连接在途中断开了，请点「重试」；反复出现时请检查网络或代理。");
    } else if (name == u"ConnectionRefusedError") {
        // Most often a wrong port, or a local server that is not running.
        n.advice =
            FailureNotice::tr("请检查 API 地址和端口是否写对、服务是否在运行，以及代理设置。");
        n.offerSettings = true;
    } else {
        n.advice = FailureNotice::tr("请检查网络连接、API 地址和代理设置，然后重试。");
    }
}

} // namespace

QString FailureNotice::bodyMessage(const QString &body)
{
    const QString trimmed = TextUtil::trimSpaceAndLineBreaks(body);
    if (trimmed.isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(trimmed.toUtf8(), &error);
    if (error.error == QJsonParseError::NoError) {
        if (doc.isObject())
            return shortened(messageOf(doc.object()));
        if (doc.isArray())
            return shortened(messageOf(QJsonValue(doc.array())));
        return {};
    }
    if (looksLikeWebPage(trimmed)) {
        const QString title = pageTitle(trimmed);
        return title.isEmpty() ? tr("网关返回了网页而不是数据") : shortened(title);
    }
    return shortened(trimmed);
}

FailureNotice FailureNotice::explain(const QString &error, const QString &kindCode, bool partial)
{
    FailureNotice n;
    // The stored description: a first line, and for HTTP and in-stream errors "：", a line
    // break and what the gateway sent.
    const qsizetype split = error.indexOf(QStringLiteral("：\n"));
    const Kind kind = parseKind(kindCode);
    const QString first = shownHeading(split < 0 ? error : error.left(split), kind);
    // Without a response the rest is the program's own word for that, not the gateway's.
    QString rest = split < 0 ? QString() : error.mid(split + 2);
    if (kind.name == u"http" && kind.detail == u"-1")
        rest = StoredText::shown(rest);

    n.heading = partial ? tr("回复中断") : first;
    if (kind.name == u"http") {
        n.message = bodyMessage(rest);
        if (TextUtil::trimSpaceAndLineBreaks(rest) != n.message)
            n.details = rest;
        bool ok = false;
        const int status = kind.detail.toInt(&ok);
        adviseHttp(n, ok ? status : -1, rest, kind.retryAfter);
    } else if (kind.name == u"gateway") {
        n.message = shortened(rest);
        if (TextUtil::trimSpaceAndLineBreaks(rest) != n.message)
            n.details = rest;
        n.advice = tr("以上是网关给出的原因；可以稍后重试，或换一个模型。");
    } else if (kind.name == u"network") {
        adviseNetwork(n, kind.detail);
    } else if (kind.name == u"noKey") {
        n.advice = tr("到「设置」填好 API Key 后，点「重试」。");
        n.offerSettings = true;
    } else if (kind.name == u"badKey") {
        n.advice = tr("到「设置」重新粘贴 API Key，注意不要带上换行。");
        n.offerSettings = true;
    } else if (kind.name == u"badURL") {
        n.advice = tr("到「设置」检查 API 地址，例如 https://api.openai.com/v1。");
        n.offerSettings = true;
    } else if (kind.name == u"timeout") {
        n.advice = tr("服务器长时间没有回应，请稍后重试；反复出现时请检查网络或代理。");
    } else if (kind.name == u"empty") {
        n.advice = tr("可以点「重试」，或换一个模型。");
    } else if (kind.name == u"incomplete") {
        n.advice = tr("最后一段没有收到，请点「重试」重新生成。");
    } else if (kind.name == u"gatewayRemoved") {
        n.advice = tr("在模型菜单里选一个模型后再点「重试」，也可以到「设置」重新添加网关。");
        n.offerSettings = true;
    } else {
        n.advice = tr("可以点「重试」再试一次。");
    }
    // A cut-off reply's heading says only that it broke off: what broke it comes next.
    if (partial && n.message.isEmpty())
        n.message = first;
    else if (partial)
        n.message = tr("%1：%2").arg(first, n.message);
    return n;
}
