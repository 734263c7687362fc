// SPDX-License-Identifier: GPL-3.0-or-later
// InlineSource on its own: the rich text it makes keeps every style the text views rely on
// (links, code spans, line spacing, formula images in the text's colour and size) through every
// change of its input, and the copy key of a text with formulas goes to the text's own copy.
#include "markdown/mathrender.h"
#include "markdown/mdinline.h"
#include "markdown/quick/inlinesource.h"
#include "markdown/quick/mathformulas.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <functional>

namespace {

const QString linkSpan = QStringLiteral("[link](https://example.com)");
const QString codeSpan = QStringLiteral("`code`");
const QString formula = QStringLiteral("$x^2$");

/// The colours InlineText gives on the page and on the user's bubble.
struct Colours
{
    QColor text;
    QColor link;
    QColor codeBackground;
};
const Colours page{QColor(0x1d, 0x1d, 0x1f), QColor(0x0a, 0x64, 0xd8), QColor(0x14, 0, 0, 0)};
const Colours bubble{Qt::white, Qt::white, QColor(0x24, 0xff, 0xff, 0xff)};

/// A colour a format sets, or an invalid colour where it sets none.
QColor brushColour(const QTextCharFormat &format, QTextFormat::Property property)
{
    return format.hasProperty(property) ? format.brushProperty(property).color() : QColor();
}

/// The format of the first character of the first occurrence of a word in the document.
QTextCharFormat formatOf(const QTextDocument &doc, const QString &word)
{
    const QTextCursor found = doc.find(word);
    if (found.isNull())
        return {};
    QTextCursor at(found);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

/// The parameters of the formula images in the text: "COLOUR,SIZE,DPR" for each.
QStringList formulaParams(const QString &text)
{
    static const QRegularExpression address(QStringLiteral("image://math/(?:pending/)?([^/\"]*)/"));
    QStringList out;
    for (const QRegularExpressionMatch &m : address.globalMatch(text))
        out << m.captured(1);
    return out;
}

/// The object an InlineSource belongs to in QML: a text whose copy gives the formulas' TeX.
class Text : public QObject
{
    Q_OBJECT

public:
    int copies = 0;

    Q_INVOKABLE void copySource() { ++copies; }
};

} // namespace

using Change = std::function<void(InlineSource &)>;
Q_DECLARE_METATYPE(Change)

class TestInlineSource : public QObject
{
    Q_OBJECT

    MathFormulas m_formulas;

    // The styles the views rely on, read from the rich text as a TextEdit shows it: links in the
    // link colour, code spans on their box (also inside a link), the rest of the text left to
    // the view's own colour, the paragraph without margins and with its line spacing, and each
    // formula image drawn for the text's colour and size.
    void verifyStyles(const InlineSource &source, const QString &markdown)
    {
        QTextDocument doc;
        doc.setHtml(source.text());
        const QTextCharFormat plain = formatOf(doc, QStringLiteral("plain"));
        QVERIFY(!plain.hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(!plain.hasProperty(QTextFormat::BackgroundBrush));
        if (markdown.contains(linkSpan)) {
            const QTextCharFormat format = formatOf(doc, QStringLiteral("link"));
            QVERIFY(format.isAnchor());
            QCOMPARE(brushColour(format, QTextFormat::ForegroundBrush), source.linkColor());
        }
        if (markdown.contains(codeSpan)) {
            const QTextCharFormat format = formatOf(doc, QStringLiteral("code"));
            QCOMPARE(brushColour(format, QTextFormat::BackgroundBrush), source.codeBackground());
            if (markdown.contains(u"[`"))
                QCOMPARE(brushColour(format, QTextFormat::ForegroundBrush), source.linkColor());
        }
        QCOMPARE(doc.blockCount(), 1);
        const QTextBlockFormat block = doc.begin().blockFormat();
        QCOMPARE(block.topMargin(), 0.0);
        QCOMPARE(block.bottomMargin(), 0.0);
        if (source.lineSpacing() > 0) {
            QCOMPARE(block.lineHeightType(), int(QTextBlockFormat::LineDistanceHeight));
            QCOMPARE(block.lineHeight(), source.lineSpacing());
        } else {
            QCOMPARE(block.lineHeightType(), int(QTextBlockFormat::SingleHeight));
        }
        const QString params = QStringLiteral("%1,%2,%3")
                                   .arg(QString::number(source.color().rgba(), 16),
                                        QString::number(source.pixelSize()),
                                        QString::number(source.devicePixelRatio()));
        const QStringList images = formulaParams(source.text());
        QCOMPARE(images.size(), markdown.count(formula));
        for (const QString &image : images)
            QCOMPARE(image, params);
    }

    static void setUp(InlineSource &source, const QString &markdown, const Colours &colours,
                      MathFormulas *formulas)
    {
        source.setColor(colours.text);
        source.setLinkColor(colours.link);
        source.setCodeBackground(colours.codeBackground);
        source.setPixelSize(14);
        source.setFormulas(formulas);
        source.setHtml(mdInline(markdown));
    }

private slots:
    // The formulas' worker stops while the application is still there: a job that began as the
    // application went would find none to make its script engine in.
    void cleanupTestCase() { delete MathService::shared(); }

    // Each style on its own and together: the style sheet holds only the rules a text uses,
    // and must never lose one that it does.
    void styles_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<bool>("onBubble");
        QTest::addColumn<qreal>("lineSpacing");

        // clang-format off
        QTest::newRow("plain") << "plain words" << false << 0.0;
        QTest::newRow("a link") << "plain " + linkSpan << false << 0.0;
        QTest::newRow("a code span") << "plain " + codeSpan << false << 0.0;
        QTest::newRow("a link and a code span") << "plain " + linkSpan + " " + codeSpan << false << 0.0;
        QTest::newRow("a code span in a link") << "plain [`code` link](https://example.com)" << false << 0.0;
        QTest::newRow("on the bubble") << "plain " + linkSpan + " " + codeSpan << true << 0.0;
        QTest::newRow("line spacing") << "plain " + linkSpan + " " + codeSpan << false << 3.5;
        QTest::newRow("a formula") << "plain " + linkSpan + " " + formula + " " + codeSpan << false << 3.5;
        // clang-format on
    }

    void styles()
    {
        QFETCH(QString, markdown);
        QFETCH(bool, onBubble);
        QFETCH(qreal, lineSpacing);
        InlineSource source;
        source.setLineSpacing(lineSpacing);
        setUp(source, markdown, onBubble ? bubble : page, &m_formulas);
        verifyStyles(source, markdown);
    }

    // A change of any input gives a text that still has every style, in its new values: a
    // theme's colours, the zoom (the formulas' size), a paragraph that gains a link or a code
    // span as it streams.
    void changes_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("after"); // the markdown after the change

        const QString all = "plain " + linkSpan + " " + codeSpan + " " + formula;
        const Change toBubble = [](InlineSource &s) {
            s.setColor(bubble.text);
            s.setLinkColor(bubble.link);
            s.setCodeBackground(bubble.codeBackground);
        };
        // clang-format off
        QTest::newRow("to the bubble's colours") << all << toBubble << all;
        QTest::newRow("link colour") << all << Change([](InlineSource &s) { s.setLinkColor(Qt::red); }) << all;
        QTest::newRow("code box") << all << Change([](InlineSource &s) { s.setCodeBackground(Qt::green); }) << all;
        QTest::newRow("line spacing") << all << Change([](InlineSource &s) { s.setLineSpacing(6); }) << all;
        QTest::newRow("zoomed") << all << Change([](InlineSource &s) { s.setPixelSize(21); }) << all;
        QTest::newRow("text colour") << all << Change([](InlineSource &s) { s.setColor(Qt::blue); }) << all;
        QTest::newRow("another screen") << all << Change([](InlineSource &s) { s.setDevicePixelRatio(2); }) << all;
        QTest::newRow("a link streams in") << "plain" << Change() << "plain " + linkSpan;
        QTest::newRow("a code span streams in") << "plain " + linkSpan << Change() << "plain " + linkSpan + " " + codeSpan;
        QTest::newRow("a formula streams in") << "plain " + codeSpan << Change() << "plain " + codeSpan + " " + formula;
        QTest::newRow("the link goes") << "plain " + linkSpan + " " + codeSpan << Change() << "plain " + codeSpan;
        // clang-format on
    }

    void changes()
    {
        QFETCH(QString, markdown);
        QFETCH(Change, change);
        QFETCH(QString, after);
        InlineSource source;
        setUp(source, markdown, page, &m_formulas);
        QSignalSpy textChanged(&source, &InlineSource::textChanged);
        if (change)
            change(source);
        source.setHtml(mdInline(after));
        QVERIFY(!textChanged.isEmpty());
        verifyStyles(source, after);
    }

    // The copy key in a text with formulas calls the text's copySource(), which gives their
    // TeX, and goes no further; in a text without, and once its formulas are gone, the key is
    // the text's own.
    void copyKey_data()
    {
        QTest::addColumn<QStringList>("texts"); // the markdown, in turn
        QTest::addColumn<bool>("toSource");
        QTest::newRow("a formula") << QStringList{"a " + formula} << true;
        QTest::newRow("no formula") << QStringList{"a " + codeSpan} << false;
        QTest::newRow("a formula streams in") << QStringList{"a", "a " + formula} << true;
        QTest::newRow("the formula goes") << QStringList{"a " + formula, "a"} << false;
    }

    void copyKey()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, toSource);
        Text text;
        auto *source = new InlineSource(&text);
        for (const QString &markdown : std::as_const(texts))
            source->setHtml(mdInline(markdown));
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(copy.matches(QKeySequence::Copy));
        QCOMPARE(QCoreApplication::sendEvent(&text, &copy), toSource);
        QCOMPARE(text.copies, toSource ? 1 : 0);
        QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!QCoreApplication::sendEvent(&text, &other));
        QCOMPARE(text.copies, toSource ? 1 : 0);
    }
};

QTEST_MAIN(TestInlineSource)
#include "tst_inlinesource.moc"
