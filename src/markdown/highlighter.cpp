// SPDX-License-Identifier: GPL-3.0-or-later
#include "highlighter.h"

#include <QCoreApplication>
#include <QFile>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

QColor syntaxColor(SyntaxKind kind, SyntaxPalette palette)
{
    // Columns: light, dark, bubble. Light and dark follow the contrast of common editor themes;
    // on the bubble's blue only pale tints stay readable.
    static constexpr QRgb table[][3] = {
        {0x000000, 0x000000, 0x000000}, // plain: never used
        {0x6e7781, 0x8b949e, 0xc9d6ff}, // comment
        {0x0a3069, 0xa5d6ff, 0xc8f7c5}, // string
        {0xcf222e, 0xff7b72, 0xffd0c9}, // keyword
        {0x0550ae, 0x79c0ff, 0xffe59a}, // number
        {0x8250df, 0xd2a8ff, 0xf1d4ff}, // function
        {0x953800, 0xffa657, 0xffdcb0}, // type
        {0x0550ae, 0x79c0ff, 0xe6ecff}, // operator
        {0x116329, 0x7ee787, 0xb9f6ca}, // tag
        {0x0550ae, 0x79c0ff, 0xd6e6ff}, // attribute, property
        {0x116329, 0x7ee787, 0xb9f6ca}, // regex
        {0x82071e, 0xffa198, 0xffc4be}, // deleted
        {0x116329, 0x7ee787, 0xb9f6ca}, // inserted
        {0x953800, 0xffa657, 0xffdcb0}, // variable
    };
    const int row = std::clamp(int(kind), 0, int(std::size(table)) - 1);
    return QColor::fromRgb(table[row][std::clamp(int(palette), 0, 2)]);
}

namespace {

const QString resourceDir = QStringLiteral(":/Corvane/prism/");

QString readResource(const QString &name)
{
    QFile file(resourceDir + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList listOf(const QJsonValue &value)
{
    if (value.isString())
        return {value.toString()};
    QStringList out;
    for (const QJsonValue &v : value.toArray())
        out << v.toString();
    return out;
}

/// The grammars and how they depend on each other, from Prism's own components.json.
struct Catalogue
{
    QJsonObject languages;
    QHash<QString, QString> byLabel; // lower-case label -> grammar id

    static const Catalogue &get()
    {
        static const Catalogue catalogue = [] {
            Catalogue c;
            const QJsonObject all =
                QJsonDocument::fromJson(readResource(QStringLiteral("components.json")).toUtf8())
                    .object();
            c.languages = all.value(QStringLiteral("languages")).toObject();
            c.languages.remove(QStringLiteral("meta"));
            for (auto it = c.languages.constBegin(); it != c.languages.constEnd(); ++it) {
                c.byLabel.insert(it.key().toLower(), it.key());
                for (const QString &alias : listOf(it.value().toObject().value("alias")))
                    c.byLabel.insert(alias.toLower(), it.key());
            }
            // Labels people write that Prism does not list as aliases.
            const std::pair<const char *, const char *> extra[] = {
                {"c++", "cpp"},         {"cxx", "cpp"},        {"cc", "cpp"},
                {"hpp", "cpp"},         {"h++", "cpp"},        {"h", "c"},
                {"py3", "python"},      {"python3", "python"}, {"zsh", "bash"},
                {"console", "bash"},    {"golang", "go"},      {"rs", "rust"},
                {"c#", "csharp"},       {"f#", "fsharp"},      {"objective-c", "objectivec"},
                {"make", "makefile"},   {"mk", "makefile"},    {"ps1", "powershell"},
                {"jsonc", "json"},      {"vue", "markup"},     {"cmakelists", "cmake"},
                {"node", "javascript"}, {"mjs", "javascript"}, {"cjs", "javascript"},
                {"pwsh", "powershell"}, {"postgresql", "sql"}, {"mysql", "sql"},
                {"htm", "markup"},      {"patch", "diff"},     {"tf", "hcl"},
            };
            for (const auto &[label, id] : extra)
                if (c.languages.contains(QLatin1String(id)))
                    c.byLabel.insert(QLatin1String(label), QLatin1String(id));
            return c;
        }();
        return catalogue;
    }
};

// Flattens Prism's token tree into [start, length, kind] triples; an inner token's kind wins,
// text inside a token without a colour of its own takes its parent's. The kind numbers are
// SyntaxKind's.
const char *glue = R"JS(
var __corvaneKinds = {
  comment: 1, prolog: 1, doctype: 1, cdata: 1, shebang: 1,
  string: 2, char: 2, 'template-string': 2, 'attr-value': 2, url: 2, 'string-property': 2,
  keyword: 3, important: 3, atrule: 3, rule: 3, directive: 3, 'control-flow': 3, module: 3,
  number: 4, boolean: 4, constant: 4, symbol: 4, entity: 4, unit: 4, hexcode: 4,
  'function': 5, 'function-name': 5, 'method': 5, macro: 5, selector: 5,
  'class-name': 6, builtin: 6, namespace: 6, 'maybe-class-name': 6, 'type': 6, annotation: 6,
  decorator: 6,
  operator: 7,
  tag: 8,
  'attr-name': 9, property: 9, key: 9,
  regex: 10,
  deleted: 11,
  inserted: 12,
  variable: 13, parameter: 13
};
function __corvaneKind(token) {
  var k = __corvaneKinds[token.type];
  if (k) return k;
  var alias = token.alias;
  if (typeof alias === 'string') return __corvaneKinds[alias] || 0;
  if (alias) for (var i = 0; i < alias.length; ++i) if (__corvaneKinds[alias[i]]) return __corvaneKinds[alias[i]];
  return 0;
}
function __corvaneSpans(text, grammar) {
  var out = [];
  var pos = 0;
  function walk(list, inherited) {
    for (var i = 0; i < list.length; ++i) {
      var t = list[i];
      if (typeof t === 'string') {
        if (inherited && t.length) out.push(pos, t.length, inherited);
        pos += t.length;
        continue;
      }
      var k = __corvaneKind(t) || inherited;
      var c = t.content;
      if (typeof c === 'string') {
        if (k && c.length) out.push(pos, c.length, k);
        pos += c.length;
      } else {
        walk(Array.isArray(c) ? c : [c], k);
      }
    }
  }
  walk(Prism.tokenize(text, Prism.languages[grammar]), 0);
  return out;
}
)JS";

} // namespace

HighlightEngine::HighlightEngine() : m_engine(std::make_unique<QJSEngine>())
{
    m_engine->installExtensions(QJSEngine::ConsoleExtension);
    // Prism must not look for a page to highlight by itself.
    m_engine->evaluate(QStringLiteral("var window = undefined; var Prism = { manual: true, "
                                      "disableWorkerMessageHandler: true };"));
    // Qt 6.4's engine puts a backslash before every '/' of RegExp.prototype.source, even one
    // that is escaped already, so a pattern rebuilt from its source (Prism does that for every
    // greedy token, and many grammars build theirs from others) looks for a backslash that is
    // not there: comments in C-like languages never matched. Undo the extra escape.
    m_engine->evaluate(QStringLiteral(R"JS(
(function () {
  var d = Object.getOwnPropertyDescriptor(RegExp.prototype, 'source');
  if (!d || !d.get || !d.configurable || /\//.source === '\\/')
    return;
  Object.defineProperty(RegExp.prototype, 'source', {
    configurable: true,
    get: function () { return d.get.call(this).replace(/\\\//g, '/'); }
  });
})();
)JS"));
    const QJSValue core = m_engine->evaluate(readResource(QStringLiteral("prism-core.min.js")),
                                             QStringLiteral("prism-core.js"));
    const QJSValue g = m_engine->evaluate(QString::fromUtf8(glue));
    m_ready = !core.isError() && !g.isError() &&
              m_engine->globalObject().property(QStringLiteral("Prism")).isObject();
}

HighlightEngine::~HighlightEngine() = default;

QString HighlightEngine::grammarFor(const QString &label)
{
    // A fence label may carry more after the language: "python title=x", "js{1,3}".
    QString word = label.trimmed();
    const qsizetype cut = word.indexOf(QRegularExpression(QStringLiteral("[\\s{,]")));
    if (cut >= 0)
        word.truncate(cut);
    return Catalogue::get().byLabel.value(word.toLower());
}

bool HighlightEngine::load(const QString &grammar)
{
    if (m_loaded.contains(grammar))
        return true;
    const Catalogue &catalogue = Catalogue::get();
    if (!catalogue.languages.contains(grammar))
        return false;
    m_loaded.insert(grammar); // before the dependencies, so that a cycle ends
    const QJsonObject entry = catalogue.languages.value(grammar).toObject();
    for (const QString &dep : listOf(entry.value(QStringLiteral("require"))))
        if (!load(dep))
            return false;
    for (const QString &dep : listOf(entry.value(QStringLiteral("optional"))))
        load(dep);
    const QString source = readResource(QStringLiteral("prism-%1.min.js").arg(grammar));
    if (source.isEmpty() || m_engine->evaluate(source).isError()) {
        m_loaded.remove(grammar); // an interrupted load is tried again next time
        return false;
    }
    return true;
}

SyntaxSpans HighlightEngine::highlight(const QString &grammar, const QString &code)
{
    if (!m_ready || grammar.isEmpty() || code.isEmpty() || code.size() > maxCodeSize)
        return {};
    m_engine->setInterrupted(false);
    if (!load(grammar))
        return {};
    const QJSValue fn = m_engine->globalObject().property(QStringLiteral("__corvaneSpans"));
    const QJSValue result = fn.call({QJSValue(code), QJSValue(grammar)});
    if (result.isError() || !result.isArray())
        return {};
    const int n = result.property(QStringLiteral("length")).toInt();
    SyntaxSpans spans;
    spans.reserve(n / 3);
    for (int i = 0; i + 2 < n; i += 3) {
        const int start = result.property(quint32(i)).toInt();
        const int length = result.property(quint32(i + 1)).toInt();
        const int kind = result.property(quint32(i + 2)).toInt();
        if (kind <= 0 || kind > int(SyntaxKind::Variable) || length <= 0)
            continue;
        // Runs of one kind that touch become one.
        if (!spans.isEmpty() && spans.last().kind == SyntaxKind(kind) &&
            spans.last().start + spans.last().length == start)
            spans.last().length += length;
        else
            spans.append({start, length, SyntaxKind(kind)});
    }
    return spans;
}

void HighlightEngine::interrupt()
{
    m_engine->setInterrupted(true);
}

HighlightService::HighlightService(QObject *parent) : QObject(parent) {}

HighlightService::~HighlightService() = default;

HighlightService *HighlightService::shared()
{
    static QPointer<HighlightService> service;
    if (!service)
        service = new HighlightService(QCoreApplication::instance());
    return service;
}

HighlightService::Key HighlightService::keyFor(const QString &grammar, const QString &code)
{
    return {grammar, qHash(code, 0x5eed), code.size()};
}

const SyntaxSpans *HighlightService::cached(const QString &grammar, const QString &code)
{
    return m_cache.object(keyFor(grammar, code));
}

void HighlightService::request(QObject *requester, const QString &grammar, const QString &code,
                               Callback done)
{
    m_engine.runner().runPrepared(
        requester,
        [this, grammar, code]() -> BackgroundRunner::Work<SyntaxSpans> {
            // A text that is cached by now (another block with the same code) needs no worker.
            if (const SyntaxSpans *spans = cached(grammar, code))
                return BackgroundRunner::Work<SyntaxSpans>::ready(*spans);
            // The time box: a grammar with a runaway expression must not hold the worker.
            m_engine.timeBox(this, m_timeLimitMs);
            // An interrupted run gives no spans: the block stays plain.
            return [this, grammar, code] { return m_engine.engine().highlight(grammar, code); };
        },
        [this, requester = QPointer(requester), grammar, code,
         done = std::move(done)](const SyntaxSpans &spans) {
            // An interrupted or failed run is remembered as plain too, so it is not tried again.
            const Key key = keyFor(grammar, code);
            if (!m_cache.contains(key))
                m_cache.insert(key, new SyntaxSpans(spans));
            if (requester && done)
                done(code, spans);
            emit jobFinished();
        });
}
