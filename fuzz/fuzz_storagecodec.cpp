// SPDX-License-Identifier: GPL-3.0-or-later
// data.json reader and writer. Properties:
//  - the reader yields a whole record or nothing: an independent, slower reading of the same
//    bytes (below) must agree on success and on every field, ids and times made up for missing
//    keys aside;
//  - what it decodes, encoded, is compact valid UTF-8 with every '/' escaped, decodes to an
//    equal record, and encodes again to the very same bytes;
//  - a message's "reasoning", "error", "usage", "attachments" and "toolCalls" keys are written
//    exactly when it has some, a conversation's "tools" and "historyImages" only when off: a
//    file without them is written without the keys;
//  - a malformed attachment or tool call entry, or a "tools" or "historyImages" that is not a
//    flag, is skipped and reported, like a malformed gateway entry;
//  - a malformed gateway entry (settings "name", "providers", "defaultProvider", a
//    conversation's "provider") is skipped and reported, never a reason to refuse the file;
//    a file where nothing was skipped encodes without the gateway keys it did not have;
//  - the tool servers ("mcpServers") keep the file's order, of the servers and of their
//    variables and headers; a malformed server or a repeated name is skipped and reported; the
//    key is written exactly when there are servers.
#include "fuzzcheck.h"
#include "model/jsonkeys.h"
#include "model/storagecodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

bool absent(const QJsonValue &v)
{
    return v.isUndefined() || v.isNull();
}

// A whole number of tokens from 0 to 9e15, else -1.
qint64 tokens(const QJsonObject &usage, const char *key)
{
    const QJsonValue v = usage.value(QLatin1StringView(key));
    if (!v.isDouble())
        return -1;
    const double d = v.toDouble();
    return d >= 0 && d <= 9e15 && std::trunc(d) == d ? qint64(d) : -1;
}

// A missing or null key keeps the default; any other value must be a string.
bool optionalString(const QJsonObject &o, const char *key, QString &out)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (absent(v))
        return true;
    out = v.toString();
    return v.isString();
}

bool optionalFlag(const QJsonObject &o, const char *key, bool &out)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (absent(v))
        return true;
    out = v.toBool();
    return v.isBool();
}

// A tool call: string id and name; the texts may be missing or null, the flag too.
bool toolCall(const QJsonValue &v, ToolCall &out)
{
    const QJsonObject o = v.toObject();
    const QJsonValue id = o.value(QLatin1StringView("id"));
    const QJsonValue name = o.value(QLatin1StringView("name"));
    ToolCall t{id.toString(), name.toString(), {}, {}, false, {}};
    if (!v.isObject() || !id.isString() || !name.isString() ||
        !optionalString(o, "arguments", t.arguments) || !optionalString(o, "result", t.result) ||
        !optionalFlag(o, "isError", t.isError))
        return false;
    out = t;
    return true;
}

// A file's description: name and type strings, a 64-digit lowercase hex hash, a whole size.
bool attachment(const QJsonValue &v, Attachment &out)
{
    const QJsonObject o = v.toObject();
    const QJsonValue name = o.value(QLatin1StringView("name"));
    const QJsonValue type = o.value(QLatin1StringView("type"));
    const QJsonValue hash = o.value(QLatin1StringView("sha256"));
    const QString h = hash.toString();
    if (!v.isObject() || !name.isString() || !type.isString() || !hash.isString() || h.size() != 64)
        return false;
    for (const QChar c : h) {
        if (!QStringLiteral("0123456789abcdef").contains(c))
            return false;
    }
    const qint64 size = tokens(o, "size");
    if (size < 0)
        return false;
    out = Attachment{name.toString(), type.toString(), h, size};
    return true;
}

bool uuidText(const QJsonValue &v, QUuid &out)
{
    static const QString hex = QStringLiteral("0123456789abcdefABCDEF");
    const QString s = v.toString();
    if (!v.isString() || s.size() != 36)
        return false;
    for (int i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != u'-' : !hex.contains(s[i]))
            return false;
    }
    out = QUuid(s);
    return true;
}

// A gateway id: a UUID in the file's form that is not all zeros (the first gateway's).
bool gatewayId(const QJsonValue &v, QUuid &out)
{
    QUuid id;
    if (!uuidText(v, id) || id.isNull())
        return false;
    out = id;
    return true;
}

bool stringList(const QJsonValue &v, QList<QString> &out)
{
    if (absent(v))
        return true;
    if (!v.isArray())
        return false;
    for (const QJsonValue &m : v.toArray()) {
        if (!m.isString())
            return false;
        out.append(m.toString());
    }
    return true;
}

// One entry of "providers", or nothing when it is malformed.
std::optional<Provider> provider(const QJsonValue &v)
{
    const QJsonObject o = v.toObject();
    Provider p;
    if (!v.isObject() || !gatewayId(o.value(QLatin1StringView("id")), p.id) ||
        !optionalString(o, "name", p.name) || !optionalString(o, "baseURL", p.baseURL) ||
        !optionalString(o, "apiKey", p.apiKey) ||
        !stringList(o.value(QLatin1StringView("models")), p.models) ||
        !optionalFlag(o, "noKey", p.noKey) || !optionalFlag(o, "streamUsage", p.streamUsage))
        return std::nullopt;
    return p;
}

// The optional gateway keys of the settings; sets skipped for each one that is malformed.
void gateways(const QJsonObject &s, AppSettings &out, bool &skipped)
{
    const QJsonValue name = s.value(QLatin1StringView("name"));
    if (name.isString())
        out.name = name.toString() == QStringLiteral("默认") ? QString() : name.toString();
    else
        skipped |= !absent(name);

    const QJsonValue providers = s.value(QLatin1StringView("providers"));
    skipped |= !absent(providers) && !providers.isArray();
    for (const QJsonValue &entry : providers.toArray()) {
        const std::optional<Provider> p = provider(entry);
        const bool duplicate = p && std::any_of(out.providers.cbegin(), out.providers.cend(),
                                                [&p](const Provider &q) { return q.id == p->id; });
        if (p && !duplicate)
            out.providers.append(*p);
        else
            skipped = true;
    }

    const QJsonValue defaultProvider = s.value(QLatin1StringView("defaultProvider"));
    if (!gatewayId(defaultProvider, out.defaultProvider))
        skipped |= !absent(defaultProvider);
}

// Variables or headers: strings in the file's order; a repeated name keeps its first place and
// its last value, and sets skipped.
bool pairs(const QJsonValue &v, const QByteArray &bytes, const QList<QString> &path,
           McpServer::Pairs &out, bool &skipped)
{
    if (absent(v))
        return true;
    if (!v.isObject())
        return false;
    const QJsonObject o = v.toObject();
    QList<QString> seen;
    for (const QString &key : jsonObjectKeys(bytes, path)) {
        if (seen.contains(key)) {
            skipped = true;
            continue;
        }
        seen.append(key);
        if (!o.value(key).isString())
            return false;
        out.append({key, o.value(key).toString()});
    }
    return out.size() == o.size();
}

// One tool server, or nothing when it is malformed.
std::optional<McpServer> mcpServer(const QString &name, const QJsonValue &v,
                                   const QByteArray &bytes, bool &skipped)
{
    const QJsonObject o = v.toObject();
    McpServer m;
    m.name = name;
    const QList<QString> path{QStringLiteral("settings"), QStringLiteral("mcpServers"), name};
    const QJsonValue approval = o.value(QLatin1StringView("approval"));
    const QString a = approval.toString();
    if (a == QLatin1StringView("askOncePerTool"))
        m.approval = McpApproval::AskOncePerTool;
    else if (a == QLatin1StringView("never"))
        m.approval = McpApproval::Never;
    else if (!absent(approval) && a != QLatin1StringView("ask"))
        return std::nullopt;
    if (!v.isObject() || name.isEmpty() || !optionalString(o, "command", m.command) ||
        !stringList(o.value(QLatin1StringView("args")), m.args) ||
        !pairs(o.value(QLatin1StringView("env")), bytes, path + QList<QString>{QStringLiteral("env")},
               m.env, skipped) ||
        !optionalString(o, "cwd", m.cwd) || !optionalString(o, "url", m.url) ||
        !pairs(o.value(QLatin1StringView("headers")), bytes,
               path + QList<QString>{QStringLiteral("headers")}, m.headers, skipped) ||
        !optionalFlag(o, "enabled", m.enabled) ||
        !stringList(o.value(QLatin1StringView("disabledTools")), m.disabledTools))
        return std::nullopt;
    return m;
}

// The tool servers in the file's order; sets skipped for each one that is malformed or repeated.
void mcpServers(const QJsonObject &s, const QByteArray &bytes, AppSettings &out, bool &skipped)
{
    const QJsonValue servers = s.value(QLatin1StringView("mcpServers"));
    if (absent(servers))
        return;
    if (!servers.isObject()) {
        skipped = true;
        return;
    }
    QList<QString> seen;
    for (const QString &name :
         jsonObjectKeys(bytes, {QStringLiteral("settings"), QStringLiteral("mcpServers")})) {
        if (seen.contains(name)) {
            skipped = true;
            continue;
        }
        seen.append(name);
        if (const auto m = mcpServer(name, servers.toObject().value(name), bytes, skipped))
            out.mcpServers.append(*m);
        else
            skipped = true;
    }
}

struct Expected
{
    AppData data;
    QList<bool> freshId, freshTime; // per conversation: the reader makes these up
};

std::optional<Expected> readSlowly(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonValue settings = doc.object().value(QLatin1StringView("settings"));
    const QJsonValue conversations = doc.object().value(QLatin1StringView("conversations"));
    if (!settings.isObject() || !conversations.isArray())
        return std::nullopt;

    Expected e;
    const QJsonObject s = settings.toObject();
    AppSettings &out = e.data.settings;
    if (!optionalString(s, "baseURL", out.baseURL) || !optionalString(s, "apiKey", out.apiKey) ||
        !optionalString(s, "model", out.model) ||
        !optionalString(s, "systemPrompt", out.systemPrompt))
        return std::nullopt;
    const QJsonValue models = s.value(QLatin1StringView("models"));
    if (!absent(models)) {
        if (!models.isArray())
            return std::nullopt;
        for (const QJsonValue &m : models.toArray()) {
            if (!m.isString())
                return std::nullopt;
            out.models.append(m.toString());
        }
    }
    gateways(s, out, e.data.skippedEntries);
    mcpServers(s, bytes, out, e.data.skippedEntries);

    for (const QJsonValue &cv : conversations.toArray()) {
        if (!cv.isObject())
            return std::nullopt;
        const QJsonObject o = cv.toObject();
        Conversation c;
        const QJsonValue id = o.value(QLatin1StringView("id"));
        e.freshId.append(absent(id));
        if (!absent(id) && !uuidText(id, c.id))
            return std::nullopt;
        if (!optionalString(o, "title", c.title))
            return std::nullopt;
        const QJsonValue messages = o.value(QLatin1StringView("messages"));
        if (!absent(messages) && !messages.isArray())
            return std::nullopt;
        for (const QJsonValue &mv : messages.toArray()) {
            const QJsonObject m = mv.toObject();
            const QString role = m.value(QLatin1StringView("role")).toString();
            const QJsonValue content = m.value(QLatin1StringView("content"));
            Message message;
            if (!mv.isObject() || !uuidText(m.value(QLatin1StringView("id")), message.id) ||
                !content.isString())
                return std::nullopt;
            if (role == QLatin1StringView("user"))
                message.role = Message::Role::User;
            else if (role == QLatin1StringView("assistant"))
                message.role = Message::Role::Assistant;
            else if (role == QLatin1StringView("system"))
                message.role = Message::Role::System;
            else
                return std::nullopt;
            message.content = content.toString();
            const QJsonValue reasoning = m.value(QLatin1StringView("reasoning"));
            if (reasoning.isString())
                message.reasoning = reasoning.toString();
            const QJsonValue error = m.value(QLatin1StringView("error"));
            const QJsonValue kind = m.value(QLatin1StringView("errorKind"));
            if (error.isString() && !error.toString().isEmpty())
                message.setError(error.toString(), kind.isString() ? kind.toString() : QString());
            const QJsonObject usage = m.value(QLatin1StringView("usage")).toObject();
            message.setUsage({tokens(usage, "prompt_tokens"), tokens(usage, "completion_tokens"),
                              tokens(usage, "reasoning_tokens")});
            const QJsonValue files = m.value(QLatin1StringView("attachments"));
            e.data.skippedEntries |= !absent(files) && !files.isArray();
            QList<Attachment> attachments;
            for (const QJsonValue &entry : files.toArray()) {
                Attachment a;
                if (attachment(entry, a))
                    attachments.append(a);
                else
                    e.data.skippedEntries = true;
            }
            message.setAttachments(attachments);
            const QJsonValue calls = m.value(QLatin1StringView("toolCalls"));
            e.data.skippedEntries |= !absent(calls) && !calls.isArray();
            QList<ToolCall> toolCalls;
            for (const QJsonValue &entry : calls.toArray()) {
                ToolCall t;
                if (toolCall(entry, t))
                    toolCalls.append(t);
                else
                    e.data.skippedEntries = true;
            }
            message.setToolCalls(toolCalls);
            c.messages.append(message);
        }
        const QJsonValue createdAt = o.value(QLatin1StringView("createdAt"));
        e.freshTime.append(absent(createdAt));
        if (!absent(createdAt) && !createdAt.isDouble())
            return std::nullopt;
        c.createdAt = createdAt.toDouble();
        const QJsonValue model = o.value(QLatin1StringView("model"));
        if (!absent(model)) {
            if (!model.isString())
                return std::nullopt;
            c.model = model.toString();
        }
        const QJsonValue gateway = o.value(QLatin1StringView("provider"));
        if (!gatewayId(gateway, c.provider))
            e.data.skippedEntries |= !absent(gateway);
        if (!optionalFlag(o, "tools", c.tools)) {
            c.tools = true;
            e.data.skippedEntries = true;
        }
        const QJsonValue historyImages = o.value(QLatin1StringView("historyImages"));
        c.historyImages = !historyImages.isBool() || historyImages.toBool();
        e.data.skippedEntries |= !absent(historyImages) && !historyImages.isBool();
        e.data.conversations.append(c);
    }
    return e;
}

// Outside strings there is nothing but structure; inside them no raw control character and
// no unescaped '/'.
bool compactAndEscaped(const QByteArray &json)
{
    bool inString = false;
    bool escaped = false;
    for (const char ch : json) {
        const auto c = uchar(ch);
        if (c < 0x20)
            return false;
        if (!inString) {
            if (c == ' ')
                return false;
            inString = c == '"';
        } else if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '/') {
            return false;
        } else if (c == '"') {
            inString = false;
        }
    }
    return !inString && QByteArrayView(json).isValidUtf8();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<AppData> decoded = decodeAppData(bytes);
    const std::optional<Expected> expected = readSlowly(bytes);
    FUZZ_CHECK(decoded.has_value() == expected.has_value());
    if (!decoded)
        return 0;

    FUZZ_CHECK(decoded->settings == expected->data.settings);
    FUZZ_CHECK(decoded->skippedEntries == expected->data.skippedEntries);
    const qsizetype count = decoded->conversations.size();
    FUZZ_CHECK(count == expected->data.conversations.size());
    for (qsizetype i = 0; i < count; ++i) {
        Conversation got = decoded->conversations.at(i);
        FUZZ_CHECK(!got.id.isNull() || !expected->freshId.at(i));
        FUZZ_CHECK(std::isfinite(got.createdAt));
        if (expected->freshId.at(i))
            got.id = expected->data.conversations.at(i).id;
        if (expected->freshTime.at(i))
            got.createdAt = expected->data.conversations.at(i).createdAt;
        FUZZ_CHECK(got == expected->data.conversations.at(i));
    }

    const QByteArray encoded = encodeAppData(*decoded);
    FUZZ_CHECK(!encoded.isEmpty());
    FUZZ_CHECK(compactAndEscaped(encoded));
    const std::optional<AppData> again = decodeAppData(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->settings == decoded->settings);
    FUZZ_CHECK(again->conversations == decoded->conversations);
    FUZZ_CHECK(!again->skippedEntries);
    FUZZ_CHECK(encodeAppData(*again) == encoded);
    // Inside a string a quote is always escaped, so this pattern is only ever the key.
    qsizetype withReasoning = 0;
    qsizetype withError = 0;
    qsizetype withUsage = 0;
    qsizetype withFiles = 0;
    qsizetype withCalls = 0;
    for (const Conversation &c : decoded->conversations) {
        for (const Message &m : c.messages) {
            withReasoning += !m.reasoning.isEmpty();
            withError += !m.error().isEmpty();
            withUsage += !m.usage().isEmpty();
            withFiles += !m.attachments().isEmpty();
            withCalls += !m.toolCalls().isEmpty();
        }
    }
    FUZZ_CHECK(encoded.count(",\"reasoning\":") == withReasoning);
    FUZZ_CHECK(encoded.count(",\"error\":") == withError);
    FUZZ_CHECK(encoded.count(",\"usage\":") == withUsage);
    FUZZ_CHECK(encoded.count(",\"attachments\":[") == withFiles);
    FUZZ_CHECK(encoded.count(",\"toolCalls\":[") == withCalls);
    FUZZ_CHECK(encoded.count(",\"tools\":false") ==
               std::count_if(decoded->conversations.cbegin(), decoded->conversations.cend(),
                             [](const Conversation &c) { return !c.tools; }));
    // The gateway keys are written only when they say something.
    const AppSettings &settings = decoded->settings;
    FUZZ_CHECK(encoded.contains(",\"providers\":[") == !settings.providers.isEmpty());
    FUZZ_CHECK(encoded.contains(",\"defaultProvider\":") == !settings.defaultProvider.isNull());
    FUZZ_CHECK(encoded.contains(",\"mcpServers\":{") == !settings.mcpServers.isEmpty());
    FUZZ_CHECK(encoded.count(",\"provider\":") ==
               std::count_if(decoded->conversations.cbegin(), decoded->conversations.cend(),
                             [](const Conversation &c) { return !c.provider.isNull(); }));
    // The history's images are sent unless a conversation says not to.
    FUZZ_CHECK(encoded.count(",\"historyImages\":") ==
               std::count_if(decoded->conversations.cbegin(), decoded->conversations.cend(),
                             [](const Conversation &c) { return !c.historyImages; }));
    return 0;
}
