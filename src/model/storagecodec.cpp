// SPDX-License-Identifier: GPL-3.0-or-later
#include "storagecodec.h"

#include "model/jsonkeys.h"

#include <QChar>
#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <simdjson.h>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

/// Asks the system to back the whole 2 MB pages inside [data, data + size) with huge pages.
/// Reading a large history fills several fresh buffers of its size; with 4 KB pages each
/// buffer costs a page fault per 4 KB, which was the largest single cost of the load.
void adviseHugePages(const void *data, std::size_t size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (at + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (at + size) & ~(huge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

/// Readies the calling thread's heap for about size bytes of small blocks to come. glibc grows
/// a thread's heap by the pages each new block needs, with a system call each time (17,000 of
/// them for a 50 MB history), and each fresh page costs a fault. Taking the room in large
/// pieces first and giving it back leaves the heap grown, and the huge pages asked for it cut
/// the faults. Only advice: the strings may still land elsewhere, which merely costs time.
void prepareHeap(std::size_t size)
{
#if defined(__GLIBC__) && defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (size < (std::size_t(8) << 20)) // too little to win back the work
        return;
    // Below the size the allocator maps on its own, so the pieces come from the thread's heap.
    constexpr std::size_t piece = 64 * 1024;
    std::vector<void *> pieces;
    pieces.reserve(size / piece + 1);
    for (std::size_t taken = 0; taken < size; taken += piece) {
        void *p = std::malloc(piece);
        if (!p)
            break;
        pieces.push_back(p);
    }
    // Adjacent pieces, a block header apart, form one stretch of a heap.
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    for (void *p : pieces) {
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        if (at < end || at - end > 64) {
            adviseHugePages(reinterpret_cast<const void *>(begin), end - begin);
            begin = at;
        }
        end = at + piece;
    }
    adviseHugePages(reinterpret_cast<const void *>(begin), end - begin);
    for (void *p : pieces)
        std::free(p);
#else
    Q_UNUSED(size);
#endif
}

// ---- writing ----

constexpr char lowerHex[] = "0123456789abcdef";

char *writeUnicodeEscape(char *p, char16_t c)
{
    *p++ = '\\';
    *p++ = 'u';
    *p++ = lowerHex[(c >> 12) & 0xF];
    *p++ = lowerHex[(c >> 8) & 0xF];
    *p++ = lowerHex[(c >> 4) & 0xF];
    *p++ = lowerHex[c & 0xF];
    return p;
}

// Writes s as a JSON string straight from UTF-16 into out, without an intermediate UTF-8 copy:
// this runs over every message of every save.
void appendString(QByteArray &out, QStringView s)
{
    const qsizetype start = out.size();
    // At most six bytes per UTF-16 unit (\u00XX), plus the quotes.
    const qsizetype worst = s.size() * 6 + 2;
    if (out.capacity() - start < worst)
        out.reserve(std::max(out.capacity() * 2, start + worst));
    out.resize(start + worst);
    char *p = out.data() + start;

    *p++ = '"';
    const char16_t *it = s.utf16();
    const char16_t *const end = it + s.size();
    while (it < end) {
        const char16_t c = *it++;
        if (c < 0x80) {
            if (c >= 0x20 && c != u'"' && c != u'\\' && c != u'/') {
                *p++ = char(c);
                continue;
            }
            switch (c) {
            case u'"':
            case u'\\':
            case u'/':
                *p++ = '\\';
                *p++ = char(c);
                break;
            case u'\b':
                *p++ = '\\';
                *p++ = 'b';
                break;
            case u'\f':
                *p++ = '\\';
                *p++ = 'f';
                break;
            case u'\n':
                *p++ = '\\';
                *p++ = 'n';
                break;
            case u'\r':
                *p++ = '\\';
                *p++ = 'r';
                break;
            case u'\t':
                *p++ = '\\';
                *p++ = 't';
                break;
            default:
                p = writeUnicodeEscape(p, c);
            }
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && it < end && QChar::isLowSurrogate(*it)) {
            const char32_t u = QChar::surrogateToUcs4(c, *it++);
            *p++ = char(0xF0 | (u >> 18));
            *p++ = char(0x80 | ((u >> 12) & 0x3F));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isSurrogate(c) || c == 0xFEFF) {
            // A lone surrogate has no UTF-8 form; the escape keeps it exactly as it was. Qt's
            // reader drops a byte order mark written as such at the start of a string, and
            // keeps the escaped one.
            p = writeUnicodeEscape(p, c);
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(p - out.data());
}

void appendUuid(QByteArray &out, const QUuid &id)
{
    char buf[38];
    buf[0] = '"';
    char *p = writeCanonicalUuid(buf + 1, id);
    *p++ = '"';
    out.append(buf, p - buf);
}

void appendDouble(QByteArray &out, double v)
{
    char buf[32];
    // The shortest text that reads back to the same double.
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr - buf);
}

const char *roleLiteral(Message::Role role)
{
    switch (role) {
    case Message::Role::User:
        break;
    case Message::Role::Assistant:
        return "\"assistant\"";
    case Message::Role::System:
        return "\"system\"";
    }
    return "\"user\"";
}

void appendCount(QByteArray &out, const char *key, qint64 count)
{
    if (count < 0)
        return;
    if (out.back() != '{')
        out.append(',');
    out.append(key);
    out.append(QByteArray::number(count));
}

void appendField(QByteArray &out, const char *key, QStringView value)
{
    out.append(key);
    appendString(out, value);
}

// The rare parts of a message, each only when it holds something.
void appendExtras(QByteArray &out, const MessageExtras &x)
{
    if (!x.error.isEmpty()) {
        out.append(",\"error\":");
        appendString(out, x.error);
        if (!x.errorKind.isEmpty()) {
            out.append(",\"errorKind\":");
            appendString(out, x.errorKind);
        }
    }
    if (!x.usage.isEmpty()) {
        out.append(",\"usage\":{");
        appendCount(out, "\"prompt_tokens\":", x.usage.prompt);
        appendCount(out, "\"completion_tokens\":", x.usage.completion);
        appendCount(out, "\"reasoning_tokens\":", x.usage.reasoning);
        out.append('}');
    }
    if (!x.attachments.isEmpty()) {
        out.append(",\"attachments\":[");
        for (const Attachment &a : x.attachments) {
            if (out.back() != '[')
                out.append(',');
            out.append("{\"name\":");
            appendString(out, a.name);
            out.append(",\"type\":");
            appendString(out, a.type);
            out.append(",\"sha256\":");
            appendString(out, a.sha256);
            out.append(",\"size\":");
            out.append(QByteArray::number(a.size));
            out.append('}');
        }
        out.append(']');
    }
    if (!x.toolCalls.isEmpty()) {
        out.append(",\"toolCalls\":[");
        for (const ToolCall &t : x.toolCalls) {
            if (out.back() != '[')
                out.append(',');
            appendField(out, "{\"id\":", t.id);
            appendField(out, ",\"name\":", t.name);
            appendField(out, ",\"arguments\":", t.arguments);
            appendField(out, ",\"result\":", t.result);
            out.append(t.isError ? ",\"isError\":true}" : ",\"isError\":false}");
        }
        out.append(']');
    }
}

bool appendConversation(QByteArray &out, const Conversation &c)
{
    if (!std::isfinite(c.createdAt))
        return false;
    out.append("{\"id\":");
    appendUuid(out, c.id);
    out.append(",\"title\":");
    appendString(out, c.title);
    out.append(",\"messages\":[");
    bool first = true;
    for (const Message &m : c.messages) {
        if (!first)
            out.append(',');
        first = false;
        out.append("{\"id\":");
        appendUuid(out, m.id);
        out.append(",\"role\":");
        out.append(roleLiteral(m.role));
        out.append(",\"content\":");
        appendString(out, m.content);
        // Written only when there is some, so a file without reasoning stays as it was.
        if (!m.reasoning.isEmpty()) {
            out.append(",\"reasoning\":");
            appendString(out, m.reasoning);
        }
        if (m.extras)
            appendExtras(out, *m.extras);
        out.append('}');
    }
    out.append("],\"createdAt\":");
    appendDouble(out, c.createdAt);
    if (c.model) {
        out.append(",\"model\":");
        appendString(out, *c.model);
    }
    if (!c.provider.isNull()) {
        out.append(",\"provider\":");
        appendUuid(out, c.provider);
    }
    if (!c.tools)
        out.append(",\"tools\":false");
    if (!c.historyImages)
        out.append(",\"historyImages\":false");
    out.append('}');
    return true;
}

void appendStringList(QByteArray &out, const QList<QString> &list)
{
    out.append('[');
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendString(out, list[i]);
    }
    out.append(']');
}

// The fields every further gateway has, after its id.
void appendGateway(QByteArray &out, QStringView name, QStringView baseURL, QStringView apiKey,
                   const QList<QString> &models)
{
    appendField(out, ",\"name\":", name);
    appendField(out, ",\"baseURL\":", baseURL);
    appendField(out, ",\"apiKey\":", apiKey);
    out.append(",\"models\":");
    appendStringList(out, models);
}

// The keys after the first gateway's, each only when it says something, so that a file with
// one gateway stays as it was.
void appendGateways(QByteArray &out, const AppSettings &s)
{
    if (!s.name.isEmpty() && s.name != AppSettings::defaultGatewayName()) {
        out.append(",\"name\":");
        appendString(out, s.name);
    }
    if (!s.providers.isEmpty()) {
        out.append(",\"providers\":[");
        for (qsizetype i = 0; i < s.providers.size(); ++i) {
            const Provider &p = s.providers[i];
            out.append(i > 0 ? ",{\"id\":" : "{\"id\":");
            appendUuid(out, p.id);
            appendGateway(out, p.name, p.baseURL, p.apiKey, p.models);
            if (p.noKey)
                out.append(",\"noKey\":true");
            if (p.streamUsage)
                out.append(",\"streamUsage\":true");
            out.append('}');
        }
        out.append(']');
    }
    if (!s.defaultProvider.isNull()) {
        out.append(",\"defaultProvider\":");
        appendUuid(out, s.defaultProvider);
    }
}

void appendPairs(QByteArray &out, const McpServer::Pairs &pairs)
{
    out.append('{');
    for (const auto &[key, value] : pairs) {
        if (out.back() != '{')
            out.append(',');
        appendString(out, key);
        out.append(':');
        appendString(out, value);
    }
    out.append('}');
}

// The tool servers, keyed by name in the user's order; each server's keys in a fixed order,
// each only when it is not the default.
void appendMcpServers(QByteArray &out, const QList<McpServer> &servers)
{
    if (servers.isEmpty())
        return;
    out.append(",\"mcpServers\":{");
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const McpServer &m = servers[i];
        if (i > 0)
            out.append(',');
        appendString(out, m.name);
        out.append(":{");
        const auto key = [&out](const char *name) {
            if (out.back() != '{')
                out.append(',');
            out.append(name);
        };
        if (!m.command.isEmpty()) {
            key("\"command\":");
            appendString(out, m.command);
        }
        if (!m.args.isEmpty()) {
            key("\"args\":");
            appendStringList(out, m.args);
        }
        if (!m.env.isEmpty()) {
            key("\"env\":");
            appendPairs(out, m.env);
        }
        if (!m.cwd.isEmpty()) {
            key("\"cwd\":");
            appendString(out, m.cwd);
        }
        if (!m.url.isEmpty()) {
            key("\"url\":");
            appendString(out, m.url);
        }
        if (!m.headers.isEmpty()) {
            key("\"headers\":");
            appendPairs(out, m.headers);
        }
        if (!m.enabled)
            key("\"enabled\":false");
        if (m.approval != McpApproval::Ask) {
            key("\"approval\":");
            appendString(out, McpServer::approvalName(m.approval));
        }
        if (!m.disabledTools.isEmpty()) {
            key("\"disabledTools\":");
            appendStringList(out, m.disabledTools);
        }
        out.append('}');
    }
    out.append('}');
}

/// Adds a pair read from an object: a repeated key keeps its first place and takes the last
/// value, as Qt's reader does. False for a repeat, which the file does not read back as it was.
bool addPair(McpServer::Pairs &pairs, QString key, QString value)
{
    for (auto &pair : pairs) {
        if (pair.first == key) {
            pair.second = std::move(value);
            return false;
        }
    }
    pairs.append({std::move(key), std::move(value)});
    return true;
}

/// Sets skipped when a name repeats: the file does not read back as it was.
template<typename Value>
void addNamed(std::vector<std::pair<QString, Value>> &named, QString name, Value value,
              bool &skipped)
{
    for (auto &entry : named) {
        if (entry.first == name) {
            entry.second = std::move(value);
            skipped = true;
            return;
        }
    }
    named.emplace_back(std::move(name), std::move(value));
}

/// A gateway's id as read: the canonical form and not all zeros, which would name the first
/// gateway.
std::optional<QUuid> gatewayId(QStringView text)
{
    const auto id = parseCanonicalUuid(text);
    return id && !id->isNull() ? id : std::nullopt;
}

/// The first gateway's name as kept: its default name is kept as none, as it is written.
QString firstGatewayName(QString name)
{
    return name == AppSettings::defaultGatewayName() ? QString() : name;
}

// ---- reading ----

// Each reader returns false on a format error and leaves the default in place for a missing or
// null optional key.

bool readOptionalString(const QJsonObject &o, QLatin1StringView key, QString &out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool absent(const QJsonValue &v)
{
    return v.isUndefined() || v.isNull();
}

bool readStringList(const QJsonValue &v, QList<QString> &out)
{
    if (absent(v))
        return true;
    if (!v.isArray())
        return false;
    const QJsonArray array = v.toArray();
    out.reserve(array.size());
    for (const QJsonValue &m : array) {
        if (!m.isString())
            return false;
        out.append(m.toString());
    }
    return true;
}

std::optional<QUuid> readGatewayId(const QJsonValue &v)
{
    return v.isString() ? gatewayId(v.toString()) : std::nullopt;
}

bool readFlag(const QJsonValue &v, bool &out)
{
    if (absent(v))
        return true;
    out = v.toBool();
    return v.isBool();
}

// A further gateway; false when the entry is malformed and is skipped.
bool readProvider(const QJsonValue &v, Provider &p)
{
    if (!v.isObject())
        return false;
    const QJsonObject o = v.toObject();
    const auto id = readGatewayId(o.value("id"_L1));
    if (!id)
        return false;
    p.id = *id;
    return readOptionalString(o, "name"_L1, p.name) &&
           readOptionalString(o, "baseURL"_L1, p.baseURL) &&
           readOptionalString(o, "apiKey"_L1, p.apiKey) &&
           readStringList(o.value("models"_L1), p.models) &&
           readFlag(o.value("noKey"_L1), p.noKey) &&
           readFlag(o.value("streamUsage"_L1), p.streamUsage);
}

// The optional keys of further gateways: what is malformed is skipped, and said in skipped.
void readGateways(const QJsonObject &o, AppSettings &s, bool &skipped)
{
    const QJsonValue name = o.value("name"_L1);
    if (name.isString())
        s.name = firstGatewayName(name.toString());
    else if (!absent(name))
        skipped = true;

    const QJsonValue providers = o.value("providers"_L1);
    if (providers.isArray()) {
        for (const QJsonValue &entry : providers.toArray()) {
            Provider p;
            if (readProvider(entry, p) && !s.provider(p.id))
                s.providers.append(std::move(p));
            else
                skipped = true;
        }
    } else if (!absent(providers)) {
        skipped = true;
    }

    const QJsonValue defaultProvider = o.value("defaultProvider"_L1);
    if (const auto id = readGatewayId(defaultProvider))
        s.defaultProvider = *id;
    else if (!absent(defaultProvider))
        skipped = true;
}

// Keys of the object at path in the file, in the file's order; see jsonObjectKeys().
bool readPairs(const QJsonValue &v, QByteArrayView json, const QList<QString> &path,
               McpServer::Pairs &out, bool &skipped)
{
    if (absent(v))
        return true;
    if (!v.isObject())
        return false;
    const QJsonObject o = v.toObject();
    for (const QString &key : jsonObjectKeys(json, path)) {
        const QJsonValue value = o.value(key);
        if (!value.isString())
            return false;
        if (!addPair(out, key, value.toString()))
            skipped = true;
    }
    return out.size() == o.size();
}

// One tool server; false when the entry is malformed and is skipped.
bool readMcpServer(const QJsonValue &v, QByteArrayView json, McpServer &m, bool &skipped)
{
    if (!v.isObject() || m.name.isEmpty())
        return false;
    const QJsonObject o = v.toObject();
    const QList<QString> path{u"settings"_s, u"mcpServers"_s, m.name};
    const QJsonValue approval = o.value("approval"_L1);
    if (!absent(approval)) {
        const auto a = McpServer::approvalFromName(approval.toString());
        if (!approval.isString() || !a)
            return false;
        m.approval = *a;
    }
    return readOptionalString(o, "command"_L1, m.command) &&
           readStringList(o.value("args"_L1), m.args) &&
           readPairs(o.value("env"_L1), json, path + QList<QString>{u"env"_s}, m.env, skipped) &&
           readOptionalString(o, "cwd"_L1, m.cwd) && readOptionalString(o, "url"_L1, m.url) &&
           readPairs(o.value("headers"_L1), json, path + QList<QString>{u"headers"_s}, m.headers,
                     skipped) &&
           readFlag(o.value("enabled"_L1), m.enabled) &&
           readStringList(o.value("disabledTools"_L1), m.disabledTools);
}

// The tool servers, in the file's order: what is malformed is skipped, and said in skipped.
void readMcpServers(const QJsonValue &v, QByteArrayView json, AppSettings &s, bool &skipped)
{
    if (absent(v))
        return;
    if (!v.isObject()) {
        skipped = true;
        return;
    }
    const QJsonObject o = v.toObject();
    std::vector<std::pair<QString, QJsonValue>> named;
    for (const QString &name : jsonObjectKeys(json, {u"settings"_s, u"mcpServers"_s}))
        addNamed(named, name, o.value(name), skipped);
    for (auto &[name, entry] : named) {
        McpServer m;
        m.name = name;
        if (readMcpServer(entry, json, m, skipped))
            s.mcpServers.append(std::move(m));
        else
            skipped = true;
    }
}

bool readSettings(const QJsonObject &o, QByteArrayView json, AppSettings &s, bool &skipped)
{
    if (!readOptionalString(o, "baseURL"_L1, s.baseURL) ||
        !readOptionalString(o, "apiKey"_L1, s.apiKey) ||
        !readOptionalString(o, "model"_L1, s.model) ||
        !readOptionalString(o, "systemPrompt"_L1, s.systemPrompt) ||
        !readStringList(o.value("models"_L1), s.models))
        return false;
    readGateways(o, s, skipped);
    readMcpServers(o.value("mcpServers"_L1), json, s, skipped);
    return true;
}

bool readUuid(const QJsonValue &v, QUuid &out)
{
    if (!v.isString())
        return false;
    const auto id = parseCanonicalUuid(v.toString());
    if (!id)
        return false;
    out = *id;
    return true;
}

qint64 tokenCount(const QJsonValue &v)
{
    return TokenUsage::count(v.toDouble(-1));
}

// One attachment; false when the entry is malformed and is skipped.
bool readAttachment(const QJsonValue &v, Attachment &a)
{
    const QJsonObject o = v.toObject();
    const QJsonValue name = o.value("name"_L1);
    const QJsonValue type = o.value("type"_L1);
    const QJsonValue sha256 = o.value("sha256"_L1);
    a.name = name.toString();
    a.type = type.toString();
    a.sha256 = sha256.toString();
    a.size = TokenUsage::count(o.value("size"_L1).toDouble(-1));
    return v.isObject() && name.isString() && type.isString() && Attachment::isHash(a.sha256) &&
           a.size >= 0;
}

// A message's files: what is malformed is skipped, and said in skipped.
void readAttachments(const QJsonValue &v, Message &m, bool &skipped)
{
    if (absent(v))
        return;
    if (!v.isArray()) {
        skipped = true;
        return;
    }
    QList<Attachment> list;
    for (const QJsonValue &entry : v.toArray()) {
        Attachment a;
        if (readAttachment(entry, a))
            list.append(a);
        else
            skipped = true;
    }
    m.setAttachments(list);
}

// One tool call: an id and a name; the texts and the flag may be missing. False when the
// entry is malformed and is skipped.
bool readToolCall(const QJsonValue &v, ToolCall &t)
{
    const QJsonObject o = v.toObject();
    const QJsonValue id = o.value("id"_L1);
    const QJsonValue name = o.value("name"_L1);
    t.id = id.toString();
    t.name = name.toString();
    return v.isObject() && id.isString() && name.isString() &&
           readOptionalString(o, "arguments"_L1, t.arguments) &&
           readOptionalString(o, "result"_L1, t.result) &&
           readFlag(o.value("isError"_L1), t.isError);
}

// A reply's tool calls: what is malformed is skipped, and said in skipped.
void readToolCalls(const QJsonValue &v, Message &m, bool &skipped)
{
    if (absent(v))
        return;
    if (!v.isArray()) {
        skipped = true;
        return;
    }
    QList<ToolCall> list;
    for (const QJsonValue &entry : v.toArray()) {
        ToolCall t;
        if (readToolCall(entry, t))
            list.append(t);
        else
            skipped = true;
    }
    m.setToolCalls(list);
}

bool readMessage(const QJsonValue &v, Message &m, bool &skipped)
{
    if (!v.isObject())
        return false;
    const QJsonObject o = v.toObject();
    if (!readUuid(o.value("id"_L1), m.id))
        return false;
    const QJsonValue role = o.value("role"_L1);
    if (!role.isString())
        return false;
    const auto r = Message::roleFromName(role.toString());
    if (!r)
        return false;
    m.role = *r;
    const QJsonValue content = o.value("content"_L1);
    if (!content.isString())
        return false;
    m.content = content.toString();
    // An optional extra: any value but a string reads as none, and never fails the file.
    m.reasoning = o.value("reasoning"_L1).toString();
    // The same for the rare extras.
    m.setError(o.value("error"_L1).toString(), o.value("errorKind"_L1).toString());
    const QJsonValue usage = o.value("usage"_L1);
    if (usage.isObject()) {
        const QJsonObject u = usage.toObject();
        m.setUsage({tokenCount(u.value("prompt_tokens"_L1)),
                    tokenCount(u.value("completion_tokens"_L1)),
                    tokenCount(u.value("reasoning_tokens"_L1))});
    }
    readAttachments(o.value("attachments"_L1), m, skipped);
    readToolCalls(o.value("toolCalls"_L1), m, skipped);
    return true;
}

bool readConversation(const QJsonValue &v, Conversation &c, bool &skipped)
{
    if (!v.isObject())
        return false;
    const QJsonObject o = v.toObject();

    const QJsonValue id = o.value("id"_L1);
    if (id.isUndefined() || id.isNull())
        c.id = QUuid::createUuid();
    else if (!readUuid(id, c.id))
        return false;

    if (!readOptionalString(o, "title"_L1, c.title))
        return false;

    const QJsonValue messages = o.value("messages"_L1);
    if (!messages.isUndefined() && !messages.isNull()) {
        if (!messages.isArray())
            return false;
        const QJsonArray array = messages.toArray();
        // Made at their exact size: resize() leaves room to grow, up to the next power of two
        // in bytes, which a history read once would keep for nothing.
        c.messages = QList<Message>(array.size());
        qsizetype i = 0;
        for (const QJsonValue &m : array) {
            if (!readMessage(m, c.messages[i++], skipped))
                return false;
        }
    }

    const QJsonValue createdAt = o.value("createdAt"_L1);
    if (createdAt.isUndefined() || createdAt.isNull())
        c.createdAt = currentTimeStamp();
    else if (createdAt.isDouble())
        c.createdAt = createdAt.toDouble();
    else
        return false;

    const QJsonValue model = o.value("model"_L1);
    if (!model.isUndefined() && !model.isNull()) {
        if (!model.isString())
            return false;
        c.model = model.toString();
    }

    const QJsonValue provider = o.value("provider"_L1);
    if (const auto id = readGatewayId(provider))
        c.provider = *id;
    else if (!absent(provider))
        skipped = true;

    if (!readFlag(o.value("tools"_L1), c.tools)) {
        c.tools = true;
        skipped = true;
    }
    const QJsonValue historyImages = o.value("historyImages"_L1);
    if (historyImages.isBool())
        c.historyImages = historyImages.toBool();
    else if (!absent(historyImages))
        skipped = true;
    return true;
}

// ---- reading, fast path ----
//
// simdjson validates the whole document; this reader then walks every field with the same rules
// as the reader above. Where a key appears twice the last one counts, as in Qt's reader. Any
// error here, of the JSON or of a rule, is not a verdict: the caller then reads the file again
// with Qt's reader, which decides. simdjson refuses some input that Qt accepts (a lone
// surrogate escape such as \ud800, which our own writer emits; integers beyond 64 bits).

namespace fast {

namespace dom = simdjson::dom;
using Slot = std::optional<dom::element>;

/// Whether a value Qt's reader would read alike. Qt refuses a number too small for a double
/// where simdjson rounds it to zero or near it, so such a number leaves the file to Qt.
bool tame(dom::element e)
{
    switch (e.type()) {
    case dom::element_type::DOUBLE:
        return std::fabs(double(e)) >= std::numeric_limits<double>::min();
    case dom::element_type::ARRAY:
        for (const dom::element item : dom::array(e))
            if (!tame(item))
                return false;
        return true;
    case dom::element_type::OBJECT:
        for (const dom::key_value_pair field : dom::object(e))
            if (!tame(field.value))
                return false;
        return true;
    default:
        return true;
    }
}

/// The last value of each of the given keys. Every value the reader will not look at (other
/// keys, earlier duplicates) must be tame.
template<std::size_t N>
bool fields(dom::object object, const std::array<std::string_view, N> &keys,
            std::array<Slot, N> &out)
{
    for (const dom::key_value_pair field : object) {
        std::size_t i = 0;
        while (i < N && field.key != keys[i])
            ++i;
        if (i == N) {
            if (!tame(field.value))
                return false;
            continue;
        }
        if (out[i] && !tame(*out[i]))
            return false;
        out[i] = field.value;
    }
    return true;
}

bool absent(const Slot &slot)
{
    return !slot || slot->is_null();
}

/// The number of UTF-16 units of UTF-8 that simdjson has checked: a unit per byte that starts
/// a character, two for a character beyond the BMP.
std::size_t utf16Length(std::string_view s)
{
    const auto *in = reinterpret_cast<const unsigned char *>(s.data());
    std::size_t units = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        units += std::size_t((in[i] & 0xC0) != 0x80) + std::size_t(in[i] >= 0xF0);
    return units;
}

/// Writes checked UTF-8 as UTF-16 to o, which has room for utf16Length(s) units.
void writeUtf16(std::string_view s, char16_t *o)
{
    const auto *in = reinterpret_cast<const unsigned char *>(s.data());
    const std::size_t size = s.size();
    for (std::size_t i = 0; i < size;) {
        const char32_t c = in[i];
        if (c < 0x80) {
            *o++ = char16_t(c);
            i += 1;
        } else if (c < 0xE0) {
            *o++ = char16_t(((c & 0x1F) << 6) | (in[i + 1] & 0x3Fu));
            i += 2;
        } else if (c < 0xF0) {
            *o++ = char16_t(((c & 0x0F) << 12) | ((in[i + 1] & 0x3Fu) << 6) | (in[i + 2] & 0x3Fu));
            i += 3;
        } else {
            const char32_t u = ((c & 0x07) << 18) | ((in[i + 1] & 0x3Fu) << 12) |
                               ((in[i + 2] & 0x3Fu) << 6) | (in[i + 3] & 0x3Fu);
            *o++ = QChar::highSurrogate(u);
            *o++ = QChar::lowSurrogate(u);
            i += 4;
        }
    }
}

/// The text of a string simdjson has read, which it has checked to be valid UTF-8. The string
/// is allocated once at its exact length: QString::fromUtf8() allocates one unit per byte,
/// three times what Chinese text needs, and keeps that for as long as the history is open.
QString text(std::string_view s, std::size_t units)
{
    if (units == s.size()) // only ASCII
        return QString::fromLatin1(s.data(), qsizetype(s.size()));
    QString out(qsizetype(units), Qt::Uninitialized);
    writeUtf16(s, reinterpret_cast<char16_t *>(out.data()));
    return out;
}

QString text(std::string_view s)
{
    return text(s, utf16Length(s));
}

/// The strings of one conversation, made together once it has been read: laid end to end in a
/// few shared blocks instead of an allocation each. Each string holds a reference to its block,
/// as a copy of a QString does, so the first change to one copies it out, as any change to a
/// shared string does; the block is freed with the last string in it. An allocation costs
/// about 30 bytes beside the text (the string's header, the allocator's own and its rounding),
/// which for the 70,000 strings of a large history was 2 MB of memory and as many calls.
class TextBatch
{
public:
    /// out receives s when the batch is made.
    void add(std::string_view s, QString &out) { m_pending.push_back({s, &out, 0}); }

    void make()
    {
        std::erase_if(m_pending, [](const Pending &p) {
            if (!p.s.empty())
                return false;
            *p.out = text(p.s, 0);
            return true;
        });
        for (Pending &p : m_pending)
            p.units = utf16Length(p.s);
        for (std::size_t i = 0; i < m_pending.size();) {
            // The strings that fit in one block, each with its terminating null.
            std::size_t total = 0;
            std::size_t end = i;
            while (end < m_pending.size() && total + m_pending[end].units + 1 <= blockUnits) {
                total += m_pending[end].units + 1;
                ++end;
            }
            if (end - i < 2) {
                // Too long for a block, or alone: a string of its own.
                *m_pending[i].out = text(m_pending[i].s, m_pending[i].units);
                ++i;
                continue;
            }
            auto [header, data] = QTypedArrayData<char16_t>::allocate(qsizetype(total));
            Q_CHECK_PTR(header);
            // The block comes with one reference, which the first string takes.
            for (std::size_t k = i; k < end; ++k) {
                if (k > i)
                    header->ref();
                const Pending &p = m_pending[k];
                writeUtf16(p.s, data);
                data[p.units] = u'\0';
                *p.out = QString(QString::DataPointer(header, data, qsizetype(p.units)));
                data += p.units + 1;
            }
            i = end;
        }
        m_pending.clear();
    }

private:
    /// Below the size the allocator maps on its own, so blocks come from the reading thread's
    /// heap; a longer string is one block of its own.
    static constexpr std::size_t blockUnits = 30 * 1024;

    struct Pending
    {
        std::string_view s;
        QString *out;
        std::size_t units;
    };
    std::vector<Pending> m_pending;
};

bool readOptionalString(const Slot &slot, QString &out)
{
    if (absent(slot))
        return true;
    std::string_view s;
    if (slot->get_string().get(s))
        return false;
    out = text(s);
    return true;
}

/// A count of tokens: a whole number from 0 on; anything else reads as none.
qint64 tokenCount(const Slot &slot)
{
    if (!slot)
        return -1;
    double d = -1;
    if (int64_t i = 0; !slot->get_int64().get(i))
        d = double(i);
    else if (uint64_t u = 0; !slot->get_uint64().get(u))
        d = double(u);
    else if (slot->get_double().get(d))
        return -1;
    return TokenUsage::count(d);
}

bool readUuid(const Slot &slot, QUuid &out)
{
    std::string_view s;
    if (!slot || slot->get_string().get(s) || s.size() != 36)
        return false;
    const auto id = parseCanonicalUuid(QString::fromLatin1(s.data(), 36));
    if (!id)
        return false;
    out = *id;
    return true;
}

bool readStringList(const Slot &slot, QList<QString> &out)
{
    if (absent(slot))
        return true;
    dom::array list;
    if (slot->get_array().get(list))
        return false;
    out.reserve(qsizetype(list.size()));
    for (const dom::element m : list) {
        std::string_view name;
        if (m.get_string().get(name))
            return false;
        out.append(text(name));
    }
    return true;
}

std::optional<QUuid> readGatewayId(const Slot &slot)
{
    std::string_view s;
    if (!slot || slot->get_string().get(s) || s.size() != 36)
        return std::nullopt;
    return gatewayId(QString::fromLatin1(s.data(), 36));
}

bool readFlag(const Slot &slot, bool &out)
{
    return absent(slot) || !slot->get_bool().get(out);
}

// The same rules as the reader above. The caller has checked that the entry is tame.
bool readProvider(dom::element v, Provider &p)
{
    dom::object o;
    if (v.get_object().get(o))
        return false;
    std::array<Slot, 7> f;
    if (!fields<7>(o, {"id", "name", "baseURL", "apiKey", "models", "noKey", "streamUsage"}, f))
        return false;
    const auto id = readGatewayId(f[0]);
    if (!id)
        return false;
    p.id = *id;
    return readOptionalString(f[1], p.name) && readOptionalString(f[2], p.baseURL) &&
           readOptionalString(f[3], p.apiKey) && readStringList(f[4], p.models) &&
           readFlag(f[5], p.noKey) && readFlag(f[6], p.streamUsage);
}

/// Reads the optional keys of further gateways: name, providers, defaultProvider. False only
/// when a value is one that Qt's reader may read otherwise.
bool readGateways(const Slot &name, const Slot &providers, const Slot &defaultProvider,
                  AppSettings &s, bool &skipped)
{
    for (const Slot *slot : {&name, &providers, &defaultProvider}) {
        if (*slot && !tame(**slot))
            return false;
    }
    std::string_view n;
    if (name && !name->get_string().get(n))
        s.name = firstGatewayName(text(n));
    else if (!absent(name))
        skipped = true;

    dom::array list;
    if (providers && !providers->get_array().get(list)) {
        for (const dom::element entry : list) {
            Provider p;
            if (readProvider(entry, p) && !s.provider(p.id))
                s.providers.append(std::move(p));
            else
                skipped = true;
        }
    } else if (!absent(providers)) {
        skipped = true;
    }

    if (const auto id = readGatewayId(defaultProvider))
        s.defaultProvider = *id;
    else if (!absent(defaultProvider))
        skipped = true;
    return true;
}

bool readPairs(const Slot &slot, McpServer::Pairs &out, bool &skipped)
{
    if (absent(slot))
        return true;
    dom::object o;
    if (slot->get_object().get(o))
        return false;
    for (const dom::key_value_pair field : o) {
        std::string_view value;
        if (field.value.get_string().get(value))
            return false;
        if (!addPair(out, text(field.key), text(value)))
            skipped = true;
    }
    return true;
}

// The same rules as the reader above. The caller has checked that the entry is tame.
bool readMcpServer(dom::element v, McpServer &m, bool &skipped)
{
    dom::object o;
    if (v.get_object().get(o) || m.name.isEmpty())
        return false;
    std::array<Slot, 9> f;
    if (!fields<9>(o,
                   {"command", "args", "env", "cwd", "url", "headers", "enabled", "approval",
                    "disabledTools"},
                   f))
        return false;
    if (!absent(f[7])) {
        std::string_view name;
        if (f[7]->get_string().get(name))
            return false;
        const auto approval = McpServer::approvalFromName(text(name));
        if (!approval)
            return false;
        m.approval = *approval;
    }
    return readOptionalString(f[0], m.command) && readStringList(f[1], m.args) &&
           readPairs(f[2], m.env, skipped) && readOptionalString(f[3], m.cwd) &&
           readOptionalString(f[4], m.url) && readPairs(f[5], m.headers, skipped) &&
           readFlag(f[6], m.enabled) && readStringList(f[8], m.disabledTools);
}

/// The tool servers, as the reader above reads them. False only when a value is one that Qt's
/// reader may read otherwise.
bool readMcpServers(const Slot &slot, AppSettings &s, bool &skipped)
{
    if (absent(slot))
        return true;
    if (!tame(*slot))
        return false;
    dom::object o;
    if (slot->get_object().get(o)) {
        skipped = true;
        return true;
    }
    std::vector<std::pair<QString, dom::element>> named;
    for (const dom::key_value_pair field : o)
        addNamed(named, text(field.key), field.value, skipped);
    for (const auto &[name, entry] : named) {
        McpServer m;
        m.name = name;
        if (readMcpServer(entry, m, skipped))
            s.mcpServers.append(std::move(m));
        else
            skipped = true;
    }
    return true;
}

bool readSettings(dom::object o, AppSettings &s, bool &skipped)
{
    std::array<Slot, 9> f;
    if (!fields<9>(o,
                   {"baseURL", "apiKey", "model", "systemPrompt", "models", "name", "providers",
                    "defaultProvider", "mcpServers"},
                   f))
        return false;
    return readOptionalString(f[0], s.baseURL) && readOptionalString(f[1], s.apiKey) &&
           readOptionalString(f[2], s.model) && readOptionalString(f[3], s.systemPrompt) &&
           readStringList(f[4], s.models) && readGateways(f[5], f[6], f[7], s, skipped) &&
           readMcpServers(f[8], s, skipped);
}

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// One attachment, by the rules of the reader above.
bool readAttachment(dom::element v, Attachment &a)
{
    dom::object o;
    if (v.get_object().get(o))
        return false;
    std::array<Slot, 4> f;
    if (!fields<4>(o, {"name", "type", "sha256", "size"}, f))
        return false;
    std::string_view name, type, sha256;
    if (!f[0] || f[0]->get_string().get(name) || !f[1] || f[1]->get_string().get(type) || !f[2] ||
        f[2]->get_string().get(sha256))
        return false;
    a.name = utf8(name);
    a.type = utf8(type);
    a.sha256 = utf8(sha256);
    a.size = tokenCount(f[3]);
    return Attachment::isHash(a.sha256) && a.size >= 0;
}

void readAttachments(const Slot &slot, Message &m, std::atomic<bool> &skipped)
{
    if (absent(slot))
        return;
    dom::array entries;
    if (slot->get_array().get(entries)) {
        skipped.store(true, std::memory_order_relaxed);
        return;
    }
    QList<Attachment> list;
    for (const dom::element entry : entries) {
        Attachment a;
        if (readAttachment(entry, a))
            list.append(a);
        else
            skipped.store(true, std::memory_order_relaxed);
    }
    m.setAttachments(list);
}

// One tool call, by the rules of the reader above.
bool readToolCall(dom::element v, ToolCall &t)
{
    dom::object o;
    if (v.get_object().get(o))
        return false;
    std::array<Slot, 5> f;
    if (!fields<5>(o, {"id", "name", "arguments", "result", "isError"}, f))
        return false;
    std::string_view id, name;
    if (!f[0] || f[0]->get_string().get(id) || !f[1] || f[1]->get_string().get(name))
        return false;
    t.id = utf8(id);
    t.name = utf8(name);
    return readOptionalString(f[2], t.arguments) && readOptionalString(f[3], t.result) &&
           readFlag(f[4], t.isError);
}

void readToolCalls(const Slot &slot, Message &m, std::atomic<bool> &skipped)
{
    if (absent(slot))
        return;
    dom::array entries;
    if (slot->get_array().get(entries)) {
        skipped.store(true, std::memory_order_relaxed);
        return;
    }
    QList<ToolCall> list;
    for (const dom::element entry : entries) {
        ToolCall t;
        if (readToolCall(entry, t))
            list.append(t);
        else
            skipped.store(true, std::memory_order_relaxed);
    }
    m.setToolCalls(list);
}

bool readMessage(dom::element v, Message &m, TextBatch &texts, std::atomic<bool> &skipped)
{
    dom::object o;
    if (v.get_object().get(o))
        return false;
    std::array<Slot, 9> f;
    if (!fields<9>(o,
                   {"id", "role", "content", "reasoning", "error", "errorKind", "usage",
                    "attachments", "toolCalls"},
                   f))
        return false;
    if (!readUuid(f[0], m.id))
        return false;
    std::string_view role;
    if (!f[1] || f[1]->get_string().get(role))
        return false;
    if (role == "user")
        m.role = Message::Role::User;
    else if (role == "assistant")
        m.role = Message::Role::Assistant;
    else if (role == "system")
        m.role = Message::Role::System;
    else
        return false;
    std::string_view content;
    if (!f[2] || f[2]->get_string().get(content))
        return false;
    texts.add(content, m.content);
    // An optional extra: any value but a string reads as none, and never fails the file.
    std::string_view reasoning;
    if (f[3] && !f[3]->get_string().get(reasoning))
        texts.add(reasoning, m.reasoning);
    else if (f[3] && !tame(*f[3]))
        return false;
    // The rare extras read the same way.
    std::string_view error;
    std::string_view kind;
    const bool hasError = f[4] && !f[4]->get_string().get(error) && !error.empty();
    const bool hasKind = f[5] && !f[5]->get_string().get(kind) && !kind.empty();
    if ((f[4] && !tame(*f[4])) || (f[5] && !tame(*f[5])) || (f[6] && !tame(*f[6])) ||
        (f[7] && !tame(*f[7])) || (f[8] && !tame(*f[8])))
        return false;
    if (hasError) {
        m.extras = new MessageExtras;
        texts.add(error, m.extras->error);
        if (hasKind)
            texts.add(kind, m.extras->errorKind);
    }
    dom::object usage;
    if (f[6] && !f[6]->get_object().get(usage)) {
        std::array<Slot, 3> counts;
        if (!fields<3>(usage, {"prompt_tokens", "completion_tokens", "reasoning_tokens"}, counts))
            return false;
        m.setUsage({tokenCount(counts[0]), tokenCount(counts[1]), tokenCount(counts[2])});
    }
    readAttachments(f[7], m, skipped);
    readToolCalls(f[8], m, skipped);
    return true;
}

/// Reads one conversation; its strings are made once all of it has been read.
bool readConversation(dom::element v, Conversation &c, TextBatch &texts, std::atomic<bool> &skipped)
{
    dom::object o;
    if (v.get_object().get(o))
        return false;
    std::array<Slot, 8> f;
    if (!fields<8>(
            o,
            {"id", "title", "messages", "createdAt", "model", "provider", "tools", "historyImages"},
            f))
        return false;
    if (absent(f[0]))
        c.id = QUuid::createUuid();
    else if (!readUuid(f[0], c.id))
        return false;

    if (!absent(f[1])) {
        std::string_view title;
        if (f[1]->get_string().get(title))
            return false;
        texts.add(title, c.title);
    }

    if (!absent(f[2])) {
        dom::array messages;
        if (f[2]->get_array().get(messages))
            return false;
        // At their exact size, as in the reader above.
        c.messages = QList<Message>(qsizetype(messages.size()));
        qsizetype i = 0;
        for (const dom::element m : messages) {
            if (!readMessage(m, c.messages[i++], texts, skipped))
                return false;
        }
    }

    if (absent(f[3])) {
        c.createdAt = currentTimeStamp();
    } else {
        double createdAt = 0;
        // Zero and the subnormal range are where the two readers part: a number too small
        // for a double, which Qt's reader refuses where simdjson rounds it, and -0, which Qt
        // reads as 0. Qt's reader decides those files.
        if (f[3]->get_double().get(createdAt) ||
            std::fabs(createdAt) < std::numeric_limits<double>::min())
            return false;
        c.createdAt = createdAt;
    }

    if (!absent(f[4])) {
        std::string_view model;
        if (f[4]->get_string().get(model))
            return false;
        texts.add(model, c.model.emplace());
    }

    if (f[5] && !tame(*f[5]))
        return false;
    if (const auto id = readGatewayId(f[5]))
        c.provider = *id;
    else if (!absent(f[5]))
        skipped.store(true, std::memory_order_relaxed);

    if (f[6] && !tame(*f[6]))
        return false;
    if (!readFlag(f[6], c.tools)) {
        c.tools = true;
        skipped.store(true, std::memory_order_relaxed);
    }
    bool historyImages = true;
    if (!absent(f[7]) && !f[7]->get_bool().get(historyImages))
        c.historyImages = historyImages;
    else if (!absent(f[7]))
        skipped.store(true, std::memory_order_relaxed);
    texts.make();
    return true;
}

/// Reads every conversation into out[], which has room for them all; fileSize is the size of
/// the whole file. A large history is read by two threads: making its strings is most of the
/// work, and most of that is the system's handing out fresh memory, which goes as fast on
/// either core. (While the file is read at start, the other core has nothing else to do.)
bool readConversations(dom::array conversations, Conversation *out, std::size_t fileSize,
                       bool &skippedEntries)
{
    std::vector<dom::element> all;
    all.reserve(conversations.size());
    for (const dom::element c : conversations)
        all.push_back(c);

    // Both threads take the next batch until none is left, so one very long conversation
    // does not leave a thread idle; a failure anywhere stops both.
    constexpr std::size_t batch = 64;
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> failed = false;
    std::atomic<bool> skipped = false;
    const auto work = [&](std::size_t heapSize) {
        // The history's strings take about as much room as the file (twice that for ASCII
        // text, but more room prepared than is used measured slower).
        prepareHeap(heapSize);
        TextBatch texts;
        for (;;) {
            const std::size_t from = next.fetch_add(batch, std::memory_order_relaxed);
            if (from >= all.size() || failed.load(std::memory_order_relaxed))
                return;
            const std::size_t to = std::min(from + batch, all.size());
            for (std::size_t i = from; i < to; ++i) {
                if (!readConversation(all[i], out[i], texts, skipped)) {
                    failed = true;
                    return;
                }
            }
        }
    };

    // A thread of its own rather than the background runner's: this is one read shared by two
    // threads at once, with this one working too, where the runner runs jobs one at a time
    // beside the caller; and the hop to the runner's thread and back would cost start-up time.
    std::thread helper;
    if (fileSize >= (std::size_t(8) << 20) && all.size() > batch) {
        try {
            helper = std::thread(work, fileSize / 2);
        } catch (const std::system_error &) {
            // No second thread: this one reads everything.
        }
    }
    work(helper.joinable() ? fileSize / 2 : fileSize);
    if (helper.joinable())
        helper.join();
    if (skipped)
        skippedEntries = true;
    return !failed;
}

/// Reads bytes in place when `padded` (storageReadPadding bytes after them may be read), else
/// a padded copy.
std::optional<AppData> decode(QByteArrayView bytes, bool padded)
{
    dom::parser parser;
    const auto size = std::size_t(bytes.size());
    if (parser.allocate(size) || parser.doc.allocate(size))
        return std::nullopt;
    // The parser's buffers for a document of this size are at least this large: a tape entry
    // and a structural index per byte, and the strings' text.
    adviseHugePages(parser.doc.tape.get(), size * sizeof(std::uint64_t));
    adviseHugePages(parser.doc.string_buf.get(), size);
    adviseHugePages(parser.implementation->structural_indexes.get(), size * sizeof(std::uint32_t));
    // Qt's reader drops a byte order mark that starts a string or a key, where simdjson keeps
    // it: a file with one anywhere but at its start is left to Qt's reader, so that both read
    // it alike. This program writes the mark escaped, so only files edited elsewhere have one.
    // A large file is searched on another core while this one parses it.
    const auto innerMark = [bytes] {
        return bytes.size() > 3 &&
               memmem(bytes.data() + 3, std::size_t(bytes.size() - 3), "\xEF\xBB\xBF", 3);
    };
    std::future<bool> marked;
    if (size >= (std::size_t(8) << 20)) {
        try {
            marked = std::async(std::launch::async, innerMark);
        } catch (const std::system_error &) {
        }
    }
    dom::element root;
    // simdjson reads a little past the end of its input.
    if (parser.parse(bytes.data(), size, !padded).get(root))
        return std::nullopt;
    if (marked.valid() ? marked.get() : innerMark())
        return std::nullopt;
    dom::object object;
    if (root.get_object().get(object))
        return std::nullopt;
    std::array<Slot, 2> f;
    if (!fields<2>(object, {"settings", "conversations"}, f))
        return std::nullopt;
    dom::object settings;
    dom::array conversations;
    if (!f[0] || f[0]->get_object().get(settings) || !f[1] || f[1]->get_array().get(conversations))
        return std::nullopt;

    AppData data;
    if (!readSettings(settings, data.settings, data.skippedEntries))
        return std::nullopt;
    data.conversations = QList<Conversation>(qsizetype(conversations.size()));
    if (!readConversations(conversations, data.conversations.data(), size, data.skippedEntries))
        return std::nullopt;
    return data;
}

} // namespace fast

} // namespace

QByteArray encodeAppData(const AppSettings &settings, const QList<Conversation> &conversations)
{
    QByteArray out;
    out.reserve(4096);
    out.append("{\"settings\":{\"baseURL\":");
    appendString(out, settings.baseURL);
    appendField(out, ",\"apiKey\":", settings.apiKey);
    appendField(out, ",\"model\":", settings.model);
    appendField(out, ",\"systemPrompt\":", settings.systemPrompt);
    out.append(",\"models\":");
    appendStringList(out, settings.models);
    appendGateways(out, settings);
    appendMcpServers(out, settings.mcpServers);
    out.append("},\"conversations\":[");
    for (qsizetype i = 0; i < conversations.size(); ++i) {
        if (i > 0)
            out.append(',');
        if (!appendConversation(out, conversations[i]))
            return {};
    }
    out.append("]}");
    return out;
}

static_assert(storageReadPadding >= qsizetype(simdjson::SIMDJSON_PADDING));

QByteArray readPadded(QIODevice &file)
{
    QByteArray bytes;
    const qint64 size = file.size();
    if (size > 0 && size < std::numeric_limits<qsizetype>::max() - storageReadPadding) {
        bytes.reserve(qsizetype(size) + storageReadPadding);
        adviseHugePages(bytes.constData(), std::size_t(size));
        bytes.resize(qsizetype(size));
        const qint64 got = file.read(bytes.data(), size);
        if (got < 0)
            return {};
        bytes.resize(qsizetype(got)); // shorter than it said: keeps the room after it
    }
    // A file that grew meanwhile, or one whose size is not known, is read to its end; only
    // the padding may be lost then.
    if (!file.atEnd())
        bytes += file.readAll();
    return bytes;
}

std::optional<AppData> decodeAppData(const QByteArray &bytes)
{
    // The bytes are read in place when enough spare room follows them (see readPadded()):
    // a QByteArray's spare capacity may lie before its data rather than after it.
    // (data_ptr() only hands out the array's header here; nothing is detached or written.)
    const bool padded =
        const_cast<QByteArray &>(bytes).data_ptr().freeSpaceAtEnd() >= storageReadPadding;
    if (auto data = fast::decode(bytes, padded))
        return data;
    return decodeAppDataWithQt(bytes);
}

std::optional<AppData> decodeAppData(const FileContents &contents)
{
    const QByteArrayView bytes = contents.bytes();
    if (auto data = fast::decode(bytes, true))
        return data;
    // Qt's reader keeps nothing of its input once it returns.
    return decodeAppDataWithQt(QByteArray::fromRawData(bytes.data(), bytes.size()));
}

FileContents::FileContents(QFile &file)
{
#ifdef Q_OS_UNIX
    struct stat status
    {};
    const int fd = file.handle();
    const long pageSize = sysconf(_SC_PAGESIZE);
    // An empty file has nothing to map; a size beyond the address space cannot be.
    if (fd >= 0 && pageSize > 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > 0 &&
        std::uintmax_t(status.st_size) <
            std::uintmax_t(std::numeric_limits<qsizetype>::max() - 2 * pageSize)) {
        const auto size = std::size_t(status.st_size);
        const auto page = std::size_t(pageSize);
        // The file's pages, then at least storageReadPadding bytes of zeros: the rest of its
        // last page reads as zeros, and a page of anonymous memory follows, since reading a
        // page wholly beyond the end of a mapped file faults.
        const std::size_t filePages = (size + page - 1) / page * page;
        const std::size_t length =
            (size + std::size_t(storageReadPadding) + page - 1) / page * page;
        void *area = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area != MAP_FAILED) {
            int flags = MAP_PRIVATE | MAP_FIXED;
#ifdef MAP_POPULATE
            flags |= MAP_POPULATE; // the cached pages mapped at once, not one fault each
#endif
            if (mmap(area, filePages, PROT_READ, flags, fd, 0) != MAP_FAILED) {
                m_map = area;
                m_mapLength = length;
                m_size = qsizetype(size);
                m_valid = true;
                return;
            }
            munmap(area, length);
        }
    }
#endif
    m_read = readPadded(file);
    m_valid = file.error() == QFileDevice::NoError;
}

FileContents::~FileContents()
{
#ifdef Q_OS_UNIX
    if (m_map)
        munmap(m_map, m_mapLength);
#endif
}

QByteArrayView FileContents::bytes() const
{
    if (m_map)
        return {static_cast<const char *>(m_map), m_size};
    return m_read;
}

std::optional<AppData> decodeAppDataWithQt(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();

    // Both top-level keys are required: missing, null or of another type fails the file.
    const QJsonValue settings = root.value("settings"_L1);
    const QJsonValue conversations = root.value("conversations"_L1);
    if (!settings.isObject() || !conversations.isArray())
        return std::nullopt;

    AppData data;
    if (!readSettings(settings.toObject(), bytes, data.settings, data.skippedEntries))
        return std::nullopt;
    const QJsonArray array = conversations.toArray();
    data.conversations = QList<Conversation>(array.size());
    qsizetype i = 0;
    for (const QJsonValue &c : array) {
        if (!readConversation(c, data.conversations[i++], data.skippedEntries))
            return std::nullopt;
    }
    return data;
}
