// SPDX-License-Identifier: GPL-3.0-or-later
// Every Chinese text in the program's C++ and QML goes through the translation markers, and
// translations/corvane_zh_CN.ts holds exactly the marked texts. The sources are read as text:
// comments are skipped, string literals are collected with the call they are an argument of.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString refresh = u"cmake --build build --target update_translations"_s;

struct Literal
{
    int line = 0;
    QString text;
    bool marked = false;
    /// The catalogue context, when the source names it (empty for a bare tr() in C++).
    QString context;
};

// Han, kana, Hangul and the full-width forms: the scripts of a text meant for a reader.
bool hasCjk(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) ||
            (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
            (u >= 0xFF00 && u <= 0xFFEF) || (u >= 0xD840 && u <= 0xD87F))
            return true;
    }
    return false;
}

bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

class Scanner
{
public:
    Scanner(QStringView code, bool qml, QString fileContext)
        : m_code(code), m_qml(qml), m_fileContext(std::move(fileContext))
    {}

    QList<Literal> literals()
    {
        while (m_pos < m_code.size())
            step();
        return m_literals;
    }

private:
    // One open bracket; a call's remembers its callee and which argument is being read.
    struct Frame
    {
        QString callee;
        QString qualifier;
        int argument = 0;
        QString context;
    };
    enum class Token { Other, Identifier, Literal, Scope };

    QChar at(qsizetype i) const { return i < m_code.size() ? m_code[i] : QChar(); }

    void step()
    {
        const QChar c = m_code[m_pos];
        if (c == u'\n')
            ++m_line;
        if (c.isSpace()) {
            ++m_pos;
            return;
        }
        if (c == u'/' && at(m_pos + 1) == u'/') {
            while (m_pos < m_code.size() && m_code[m_pos] != u'\n')
                ++m_pos;
            return;
        }
        if (c == u'/' && at(m_pos + 1) == u'*') {
            const qsizetype end = m_code.indexOf(u"*/", m_pos + 2);
            const qsizetype stop = end < 0 ? m_code.size() : end + 2;
            m_line += int(m_code.sliced(m_pos, stop - m_pos).count(u'\n'));
            m_pos = stop;
            return;
        }
        if (c.isDigit()) {
            // A number, with C++'s digit separators (60'000) and suffixes.
            while (m_pos < m_code.size() &&
                   (isIdentifierChar(m_code[m_pos]) || m_code[m_pos] == u'.' ||
                    (!m_qml && m_code[m_pos] == u'\'')))
                ++m_pos;
            m_last = Token::Other;
            return;
        }
        if (isIdentifierChar(c)) {
            identifier();
            return;
        }
        if (c == u'"' || c == u'\'' || (m_qml && c == u'`')) {
            quoted(c);
            return;
        }
        if (c == u':' && at(m_pos + 1) == u':') {
            m_pos += 2;
            m_last = m_last == Token::Identifier ? Token::Scope : Token::Other;
            return;
        }
        ++m_pos;
        if (c == u'(' || c == u'[' || c == u'{') {
            Frame frame;
            if (c == u'(' && m_last == Token::Identifier) {
                frame.callee = m_identifier;
                frame.qualifier = m_qualifier;
            }
            m_frames.append(frame);
        } else if (c == u')' || c == u']' || c == u'}') {
            if (!m_frames.isEmpty())
                m_frames.removeLast();
        } else if (c == u',' && !m_frames.isEmpty()) {
            ++m_frames.last().argument;
        }
        m_last = Token::Other;
    }

    void identifier()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_code.size() && isIdentifierChar(m_code[m_pos]))
            ++m_pos;
        const QString word = m_code.sliced(start, m_pos - start).toString();
        if (!m_qml && at(m_pos) == u'"' && word.endsWith(u'R') &&
            QStringList{u"R"_s, u"uR"_s, u"u8R"_s, u"UR"_s, u"LR"_s}.contains(word)) {
            raw();
            return;
        }
        if (!m_qml && (at(m_pos) == u'"' || at(m_pos) == u'\'') &&
            QStringList{u"u"_s, u"u8"_s, u"U"_s, u"L"_s}.contains(word))
            return; // an encoding prefix: the literal follows
        m_qualifier = m_last == Token::Scope ? m_identifier : QString();
        m_identifier = word;
        m_last = Token::Identifier;
    }

    void quoted(QChar quote)
    {
        const int line = m_line;
        QString text;
        ++m_pos;
        while (m_pos < m_code.size() && m_code[m_pos] != quote) {
            QChar c = m_code[m_pos++];
            if (c == u'\n')
                ++m_line;
            if (c == u'\\' && m_pos < m_code.size())
                text += escape();
            else
                text += c;
        }
        ++m_pos;
        add(line, text);
    }

    // The character after a backslash, decoded; m_pos is on it.
    QString escape()
    {
        const QChar c = m_code[m_pos++];
        const auto hex = [this](int most) {
            qsizetype end = m_pos;
            while (end < m_code.size() && end - m_pos < most && m_code[end].unicode() < 128 &&
                   isxdigit(m_code[end].unicode()))
                ++end;
            const uint value = m_code.sliced(m_pos, end - m_pos).toUInt(nullptr, 16);
            m_pos = end;
            return QString::fromUcs4(reinterpret_cast<const char32_t *>(&value), 1);
        };
        switch (c.unicode()) {
        case u'n':
            return u"\n"_s;
        case u't':
            return u"\t"_s;
        case u'r':
            return u"\r"_s;
        case u'x':
            return hex(m_qml ? 2 : 8);
        case u'u':
            return hex(4);
        case u'U':
            return hex(8);
        case u'\n': // a continued line
            ++m_line;
            return {};
        default:
            return c;
        }
    }

    void raw()
    {
        const int line = m_line;
        const qsizetype open = m_code.indexOf(u'(', m_pos);
        const QString end = u')' + m_code.sliced(m_pos + 1, open - m_pos - 1).toString() + u'"';
        const qsizetype close = m_code.indexOf(end, open);
        const QStringView text = m_code.sliced(open + 1, close - open - 1);
        m_line += int(text.count(u'\n'));
        m_pos = close + end.size();
        add(line, text.toString());
    }

    void add(int line, const QString &text)
    {
        // Adjacent literals are one text in C++.
        if (!m_qml && m_last == Token::Literal) {
            m_literals.last().text += text;
            return;
        }
        m_last = Token::Literal;
        Literal literal{line, text, false, {}};
        if (!m_frames.isEmpty()) {
            Frame &frame = m_frames.last();
            static const QStringList byClass{u"tr"_s, u"qsTr"_s, u"QT_TR_NOOP"_s,
                                             u"QT_TR_N_NOOP"_s};
            static const QStringList withContext{u"translate"_s, u"qsTranslate"_s,
                                                 u"QT_TRANSLATE_NOOP"_s, u"QT_TRANSLATE_N_NOOP"_s,
                                                 u"QT_TRANSLATE_NOOP3"_s};
            if (byClass.contains(frame.callee) && frame.argument == 0) {
                literal.marked = true;
                literal.context = m_qml ? m_fileContext : frame.qualifier;
            } else if (withContext.contains(frame.callee) && frame.argument == 0) {
                frame.context = text;
            } else if (withContext.contains(frame.callee) && frame.argument == 1) {
                literal.marked = true;
                literal.context = frame.context;
            }
        }
        m_literals.append(literal);
    }

    QStringView m_code;
    bool m_qml;
    QString m_fileContext;
    qsizetype m_pos = 0;
    int m_line = 1;
    Token m_last = Token::Other;
    QString m_identifier;
    QString m_qualifier;
    QList<Frame> m_frames;
    QList<Literal> m_literals;
};

QList<Literal> literalsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString code = QString::fromUtf8(file.readAll());
    const QFileInfo info(path);
    return Scanner(code, info.suffix() == u"qml", info.completeBaseName()).literals();
}

const QString sourceRoot = QStringLiteral(CORVANE_SOURCE_ROOT "/src");

QStringList sourceFiles()
{
    QStringList files;
    QDirIterator it(sourceRoot, {u"*.cpp"_s, u"*.h"_s, u"*.qml"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(sourceRoot.size() + 1);
    files.sort();
    return files;
}

// Chinese literals the user never reads, by file name (wherever the file moves) and text.
const QList<std::pair<QString, QString>> allowed = {
    // Typeset once at start so that the fallback fonts are loaded before the first frame.
    {u"theme.cpp"_s, u"你好，这是一个测试：“中文”与 English text — 123, (ok)! 的了我"_s},
    // Words looked for in a gateway's answer, and where a stored failure's description parts.
    {u"failurenotice.cpp"_s, u"上下文"_s},
    {u"failurenotice.cpp"_s, u"图片"_s},
    {u"failurenotice.cpp"_s, u"图像"_s},
    {u"failurenotice.cpp"_s, u"工具"_s},
    {u"failurenotice.cpp"_s, u"：\n"_s},
};

bool isAllowed(const QString &file, const QString &text)
{
    return allowed.contains({QFileInfo(file).fileName(), text});
}

// Context and source of every message of the catalogue.
QSet<std::pair<QString, QString>> catalogue(bool *ok)
{
    QFile file(QStringLiteral(CORVANE_SOURCE_ROOT "/translations/corvane_zh_CN.ts"));
    *ok = file.open(QIODevice::ReadOnly);
    QSet<std::pair<QString, QString>> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"source")
            messages.insert({context, xml.readElementText()});
    }
    *ok = *ok && !xml.hasError();
    return messages;
}

QString described(const std::pair<QString, QString> &message)
{
    return u"  [%1] %2"_s.arg(message.first.isEmpty() ? u"?"_s : message.first, message.second);
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // The reader itself: which literals count as marked, and in which context.
    void scanner_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("qml");
        QTest::addColumn<QStringList>("marked");   // "context|text", "|text" when unnamed
        QTest::addColumn<QStringList>("unmarked"); // the Chinese ones only

        // clang-format off
        QTest::newRow("tr") << u"return tr(\"没有\"), Foo::tr(\"有 %n 个\", nullptr, n);"_s << false
            << QStringList{u"|没有"_s, u"Foo|有 %n 个"_s} << QStringList{};
        QTest::newRow("translate and noop") << u"QCoreApplication::translate(\"Math\", \"公式\"); QStringLiteral(\"## \" QT_TRANSLATE_NOOP(\"Stored\", \"用户\") \"**\\n\")"_s << false
            << QStringList{u"Math|公式"_s, u"Stored|用户"_s} << QStringList{};
        QTest::newRow("a literal around a marked one") << u"tr(\"失败：%1\").arg(QStringLiteral(\"原因\"))"_s << false
            << QStringList{u"|失败：%1"_s} << QStringList{u"原因"_s};
        QTest::newRow("unmarked forms") << u"QString s = u\"甲\"_s + QLatin1String(\"x\") + u8\"乙\"; f(R\"x(丙\")x\"); g('丁');"_s << false
            << QStringList{} << QStringList{u"甲"_s, u"乙"_s, u"丙\""_s, u"丁"_s};
        QTest::newRow("comments") << u"// \"甲\"\n/* tr(\"乙\") \"丙\" */ tr(\"丁\")"_s << false
            << QStringList{u"|丁"_s} << QStringList{};
        QTest::newRow("adjacent, escapes") << u"tr(\"上\" \"下\\n\\\"引\\\"\\x4e2d\")"_s << false
            << QStringList{u"|上下\n\"引\"中"_s} << QStringList{};
        QTest::newRow("quotes that are not literals") << u"c == '\"' ? 60'000 : tr(\"甲\"); x = \"乙\";"_s << false
            << QStringList{u"|甲"_s} << QStringList{u"乙"_s};
        QTest::newRow("qml") << u"Label { text: qsTr(\"保存\") + 'x'; tip: \"提示\"; t: `模板` }"_s << true
            << QStringList{u"View|保存"_s} << QStringList{u"提示"_s, u"模板"_s};
        QTest::newRow("qml qsTranslate") << u"text: qsTranslate(\"Stored\", \"新对话\")"_s << true
            << QStringList{u"Stored|新对话"_s} << QStringList{};
        // clang-format on
    }

    void scanner()
    {
        QFETCH(QString, code);
        QFETCH(bool, qml);
        QFETCH(QStringList, marked);
        QFETCH(QStringList, unmarked);
        QStringList foundMarked;
        QStringList foundUnmarked;
        for (const Literal &l : Scanner(code, qml, u"View"_s).literals()) {
            if (l.marked)
                foundMarked << l.context + u'|' + l.text;
            else if (hasCjk(l.text))
                foundUnmarked << l.text;
        }
        QCOMPARE(foundMarked, marked);
        QCOMPARE(foundUnmarked, unmarked);
    }

    // A Chinese text is shown to the user, so it goes through tr() (qsTr() in QML), or
    // through QT_TRANSLATE_NOOP("Stored", …) when it is written into a file.
    void sourcesMarked_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList files = sourceFiles();
        QVERIFY2(files.size() > 50, qPrintable(sourceRoot));
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << file;
    }

    void sourcesMarked()
    {
        QFETCH(QString, file);
        QStringList found;
        for (const Literal &l : literalsOf(sourceRoot + u'/' + file)) {
            if (!l.marked && hasCjk(l.text) && !isAllowed(file, l.text))
                found << u"  %1:%2: \"%3\""_s.arg(file).arg(l.line).arg(l.text);
        }
        QVERIFY2(found.isEmpty(),
                 qPrintable(u"Chinese text outside tr()/qsTr()/QT_TRANSLATE_NOOP():\n"_s +
                            found.join(u'\n')));
    }

    // Each exception still names a literal that is there, so the list cannot outlive its use.
    void allowedStillThere()
    {
        QSet<std::pair<QString, QString>> seen;
        for (const QString &file : sourceFiles()) {
            for (const Literal &l : literalsOf(sourceRoot + u'/' + file))
                seen.insert({QFileInfo(file).fileName(), l.text});
        }
        for (const auto &entry : allowed)
            QVERIFY2(seen.contains(entry), qPrintable(entry.first + u": "_s + entry.second));
    }

    // The committed catalogue lists every marked text, and nothing else.
    void catalogueUpToDate()
    {
        bool ok = false;
        const QSet<std::pair<QString, QString>> listed = catalogue(&ok);
        QVERIFY2(ok, "translations/corvane_zh_CN.ts cannot be read");

        QSet<std::pair<QString, QString>> marked;
        QSet<QString> unnamed; // bare tr() in C++: the class is not read here
        for (const QString &file : sourceFiles()) {
            for (const Literal &l : literalsOf(sourceRoot + u'/' + file)) {
                if (l.marked && l.context.isEmpty())
                    unnamed.insert(l.text);
                else if (l.marked)
                    marked.insert({l.context, l.text});
            }
        }
        QVERIFY(!marked.isEmpty() && !unnamed.isEmpty());

        QStringList missing;
        for (const auto &message : marked) {
            if (!listed.contains(message))
                missing << described(message);
        }
        for (const QString &text : unnamed) {
            if (!std::any_of(listed.cbegin(), listed.cend(),
                             [&](const auto &m) { return m.second == text; }))
                missing << described({QString(), text});
        }
        QStringList stale;
        for (const auto &message : listed) {
            if (!marked.contains(message) && !unnamed.contains(message.second))
                stale << described(message);
        }
        missing.sort();
        stale.sort();
        QVERIFY2(missing.isEmpty() && stale.isEmpty(),
                 qPrintable(u"translations/corvane_zh_CN.ts is behind the sources; refresh it "
                            "with `%1`.\nNot in it:\n%2\nNo longer in the sources:\n%3"_s.arg(
                                refresh, missing.join(u'\n'), stale.join(u'\n'))));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
