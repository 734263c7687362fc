// SPDX-License-Identifier: GPL-3.0-or-later
// What a failed reply's row says, from what the data file keeps of the failure.
#include "api/chatapierror.h"
#include "api/failurenotice.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestFailureNotice : public QObject
{
    Q_OBJECT

private slots:
    // The gateway's own words are found in the shapes gateways answer with.
    void bodyMessage_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");

        const QString page = u"网关返回了网页而不是数据"_s;
        // clang-format off
        QTest::newRow("OpenAI") << QString::fromUtf8(R"({"error":{"message":"Incorrect API key provided: sk-ab***","type":"invalid_request_error","code":"invalid_api_key"}})") << u"Incorrect API key provided: sk-ab***"_s;
        QTest::newRow("error string") << QString::fromUtf8(R"({"error":"model not found"})") << u"model not found"_s;
        QTest::newRow("message") << QString::fromUtf8(R"({"code":40001,"message":" 余额不足 "})") << u"余额不足"_s;
        QTest::newRow("detail") << QString::fromUtf8(R"({"detail":"Not Found"})") << u"Not Found"_s;
        QTest::newRow("FastAPI detail list") << QString::fromUtf8(R"({"detail":[{"loc":["body"],"msg":"field required"},{"msg":"bad type"}]})") << u"field required；bad type"_s;
        QTest::newRow("error object without message") << QString::fromUtf8(R"({"error":{"code":500}})") << QString();
        QTest::newRow("nginx page") << u"<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body><center><h1>502 Bad Gateway</h1></center></body></html>"_s << u"502 Bad Gateway"_s;
        QTest::newRow("page with entities") << u"<!DOCTYPE html><html><head><title>Error &amp; &#x4E2D;&#25991; &lt;1&gt;</title>"_s << u"Error & 中文 <1>"_s;
        QTest::newRow("page without a title") << u"<HTML><body>oops</body></HTML>"_s << page;
        QTest::newRow("plain text") << u"upstream connect error"_s << u"upstream connect error"_s;
        QTest::newRow("blank") << u" \n "_s << QString();
        QTest::newRow("long text is cut") << u"x"_s.repeated(400) << u"x"_s.repeated(300) + u"…"_s;
        // clang-format on
    }

    void bodyMessage()
    {
        QFETCH(QString, body);
        QFETCH(QString, message);
        QCOMPARE(FailureNotice::bodyMessage(body), message);
    }

    // Each kind of failure gets its own advice, and the settings where the fix is there. The
    // descriptions are the client's own, as they are stored.
    void explain_data()
    {
        QTest::addColumn<ChatAPIError>("error");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("advice"); // a part of it
        QTest::addColumn<bool>("settings");
        QTest::addColumn<bool>("details");

        const QString openAI = QString::fromUtf8(
            R"({"error":{"message":"Incorrect API key","code":"invalid_api_key"}})");
        const QString nginx = u"<html><head><title>502 Bad Gateway</title></head></html>"_s;
        using E = ChatAPIError;
        using N = QNetworkReply;
        // clang-format off
        QTest::newRow("no key") << E::noKey() << false << E::noKey().description() << QString() << u"API Key"_s << true << false;
        QTest::newRow("bad key") << E::badKey() << false << E::badKey().description() << QString() << u"换行"_s << true << false;
        QTest::newRow("bad address") << E::badURL() << false << E::badURL().description() << QString() << u"API 地址"_s << true << false;
        QTest::newRow("401") << E::http(401, openAI) << false << u"请求失败（HTTP 401）"_s << u"Incorrect API key"_s << u"API Key"_s << true << true;
        QTest::newRow("403") << E::http(403, {}) << false << u"请求失败（HTTP 403）"_s << QString() << u"权限"_s << true << false;
        QTest::newRow("404") << E::http(404, u"{\"detail\":\"Not Found\"}"_s) << false << u"请求失败（HTTP 404）"_s << u"Not Found"_s << u"模型名称"_s << true << true;
        QTest::newRow("413") << E::http(413, {}) << false << u"请求失败（HTTP 413）"_s << QString() << u"太大"_s << false << false;
        QTest::newRow("429") << E::http(429, u"rate limited"_s) << false << u"请求失败（HTTP 429）"_s << u"rate limited"_s << u"稍后再试"_s << false << false;
        QTest::newRow("429, retry after") << E::http(429, {}, 30) << false << u"请求失败（HTTP 429）"_s << QString() << u"30 秒后可重试"_s << false << false;
        QTest::newRow("502 page") << E::http(502, nginx) << false << u"请求失败（HTTP 502）"_s << u"502 Bad Gateway"_s << u"稍后重试"_s << false << true;
        QTest::newRow("page with a 400") << E::http(400, nginx) << false << u"请求失败（HTTP 400）"_s << u"502 Bad Gateway"_s << u"中转"_s << false << true;
        QTest::newRow("context too long") << E::http(400, QString::fromUtf8(R"({"error":{"message":"This model\u2019s maximum context length is 8192 tokens","code":"context_length_exceeded"}})")) << false << u"请求失败（HTTP 400）"_s << u"This model\u2019s maximum context length is 8192 tokens"_s << u"对话太长"_s << false << true;
        QTest::newRow("no images") << E::http(400, QString::fromUtf8(R"({"error":{"message":"Invalid content type. image_url is only supported by certain models."}})")) << false << u"请求失败（HTTP 400）"_s << u"Invalid content type. image_url is only supported by certain models."_s << u"图片"_s << false << true;
        QTest::newRow("no tools") << E::http(400, QString::fromUtf8(R"({"error":"tools is not supported for this model"})")) << false << u"请求失败（HTTP 400）"_s << u"tools is not supported for this model"_s << u"关闭这个对话的工具后重试"_s << false << true;
        QTest::newRow("Ollama: does not support tools") << E::http(400, QString::fromUtf8(R"({"error":"registry.ollama.ai/library/gemma:2b does not support tools"})")) << false << u"请求失败（HTTP 400）"_s << u"registry.ollama.ai/library/gemma:2b does not support tools"_s << u"关闭这个对话的工具后重试"_s << false << true;
        QTest::newRow("a tool message out of place") << E::http(400, QString::fromUtf8(R"({"error":{"message":"messages with role 'tool' must be a response to a preceeding message with 'tool_calls'"}})")) << false << u"请求失败（HTTP 400）"_s << u"messages with role 'tool' must be a response to a preceeding message with 'tool_calls'"_s << u"不支持工具调用"_s << false << true;
        QTest::newRow("no response") << E::noResponse() << false << u"请求失败（HTTP -1）"_s << u"无响应"_s << u"端口"_s << true << false;
        QTest::newRow("refused") << E::network(N::ConnectionRefusedError, {}) << false << E::networkDescription(N::ConnectionRefusedError) << QString() << u"端口"_s << true << false;
        QTest::newRow("host not found") << E::network(N::HostNotFoundError, {}) << false << E::networkDescription(N::HostNotFoundError) << QString() << u"API 地址"_s << true << false;
        QTest::newRow("proxy") << E::network(N::ProxyConnectionRefusedError, {}) << false << E::networkDescription(N::ProxyConnectionRefusedError) << QString() << u"HTTPS_PROXY"_s << false << false;
        QTest::newRow("timed out") << E::timedOut() << false << E::timedOut().description() << QString() << u"稍后重试"_s << false << false;
        QTest::newRow("in the stream") << E::gateway(u"overloaded"_s) << false << u"请求失败（服务器报错）"_s << u"overloaded"_s << u"网关给出的原因"_s << false << false;
        QTest::newRow("gateway removed") << E::gatewayRemoved() << false << E::gatewayRemoved().description() << QString() << u"模型菜单"_s << true << false;
        QTest::newRow("empty") << E::emptyReply() << false << E::emptyReply().description() << QString() << u"换一个模型"_s << false << false;
        // A reply cut off after some text says so first, then why.
        QTest::newRow("cut off by the network") << E::network(N::RemoteHostClosedError, {}) << true << u"回复中断"_s << E::networkDescription(N::RemoteHostClosedError) << u"重试"_s << false << false;
        QTest::newRow("cut off in the stream") << E::gateway(u"boom"_s) << true << u"回复中断"_s << u"请求失败（服务器报错）：boom"_s << u"网关给出的原因"_s << false << false;
        QTest::newRow("cut off, last event broken") << E::incomplete() << true << u"回复中断"_s << E::incomplete().description() << u"重试"_s << false << false;
        // clang-format on
    }

    void explain()
    {
        QFETCH(ChatAPIError, error);
        QFETCH(bool, partial);
        QFETCH(QString, heading);
        QFETCH(QString, message);
        QFETCH(QString, advice);
        QFETCH(bool, settings);
        QFETCH(bool, details);
        const FailureNotice n =
            FailureNotice::explain(error.description(), error.kindCode(), partial);
        QCOMPARE(n.heading, heading);
        QCOMPARE(n.message, message);
        QVERIFY2(n.advice.contains(advice), qPrintable(n.advice));
        QCOMPARE(n.offerSettings, settings);
        QCOMPARE(!n.details.isEmpty(), details);
        // Only a model that takes no tools is fixed by turning them off.
        QCOMPARE(n.offerToolsOff, advice.contains(u"关闭这个对话的工具"));
    }

    // "不带图片重试" is offered where a model refused the request for its images, not where a
    // refusal only mentions them.
    void offerWithoutImages_data()
    {
        QTest::addColumn<ChatAPIError>("error");
        QTest::addColumn<bool>("offered");
        using E = ChatAPIError;
        // clang-format off
        QTest::newRow("DeepSeek") << E::http(400, QString::fromUtf8(R"({"error":{"message":"Failed to deserialize the JSON body into the target type: messages[0]: unknown variant `image_url`, expected `text` at line 1 column 302","type":"invalid_request_error"}})")) << true;
        QTest::newRow("OpenAI, not a vision model") << E::http(400, QString::fromUtf8(R"({"error":{"message":"Invalid content type. image_url is only supported by certain models."}})")) << true;
        QTest::newRow("unprocessable image input") << E::http(422, u"{\"detail\":\"image input is not supported\"}"_s) << true;
        QTest::newRow("too large, with images") << E::http(413, u"image too large"_s) << false;
        QTest::newRow("context too long") << E::http(400, u"maximum context length exceeded by the image"_s) << false;
        QTest::newRow("server error") << E::http(500, u"image service down"_s) << false;
        QTest::newRow("in the stream") << E::gateway(u"image_url not supported"_s) << false;
        // clang-format on
    }
    void offerWithoutImages()
    {
        QFETCH(ChatAPIError, error);
        QFETCH(bool, offered);
        const FailureNotice n =
            FailureNotice::explain(error.description(), error.kindCode(), false);
        QCOMPARE(n.offerWithoutImages, offered);
        QVERIFY(n.advice.contains(u"图片") || !offered);
    }

    // A kind this version does not know, from a later one, still gets a heading and advice.
    void unknownKind()
    {
        const FailureNotice n = FailureNotice::explain(u"出了点问题"_s, u"later:thing"_s, false);
        QCOMPARE(n.heading, u"出了点问题"_s);
        QVERIFY(!n.advice.isEmpty());
        QVERIFY(!n.offerSettings);
    }
};

QTEST_GUILESS_MAIN(TestFailureNotice)
#include "tst_failurenotice.moc"
