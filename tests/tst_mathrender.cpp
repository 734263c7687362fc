// SPDX-License-Identifier: GPL-3.0-or-later
#include "markdown/mathrender.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Shaped like MathJax's output: sizes in ex, the glyphs in a flipped group whose stroke-width
// is 0, and a line (as \cancel draws) with a stroke-width of its own. The glyph is a box from
// the baseline up to 0.4 em, from 0.25 to 0.75 em across.
QByteArray mathJaxLike(const QString &viewBox)
{
    return uR"SVG(<svg style="vertical-align: -0.5ex;" xmlns="http://www.w3.org/2000/svg" width="2ex" height="2ex" role="img" viewBox="%1" xmlns:xlink="http://www.w3.org/1999/xlink"><defs><path id="g" d="M250 0H750V400H250Z"></path></defs><g stroke="currentColor" fill="currentColor" stroke-width="0" transform="scale(1,-1)"><use xlink:href="#g"></use><line x1="0" y1="-50" x2="10" y2="-50" stroke-width="20"></line></g></svg>)SVG"_s
        .arg(viewBox)
        .toUtf8();
}

// Rows from the top of the image that hold a pixel of the glyph's column.
std::pair<int, int> inkRows(const QImage &image, int column)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(column, y)) > 128) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return {first, last};
}

} // namespace

class TestMathRender : public QObject
{
    Q_OBJECT

private slots:
    void correct_data()
    {
        QTest::addColumn<QString>("viewBox");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<qreal>("height");
        QTest::addColumn<qreal>("depth");
        QTest::newRow("baseline inside") << "0 -500 1000 700" << true << 1.0 << 0.5 << 0.2;
        QTest::newRow("commas, nothing below")
            << "0,-833.9,3845.1,833.9" << true << 3.8451 << 0.8339 << 0.0;
        QTest::newRow("no width") << "0 -500 0 700" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("garbage") << "a b c d" << false << 0.0 << 0.0 << 0.0;
    }

    // The size comes from the viewBox, never from the ex sizes; colours and strokes are fixed.
    void correct()
    {
        QFETCH(QString, viewBox);
        QByteArray svg = mathJaxLike(viewBox);
        const auto metrics = MathRaster::correct(svg, QColor(0x12, 0x34, 0x56));
        QFETCH(bool, usable);
        QCOMPARE(metrics.has_value(), usable);
        if (!usable)
            return;
        QTEST(metrics->width, "width");
        QTEST(metrics->height, "height");
        QTEST(metrics->depth, "depth");
        QVERIFY(!svg.contains("currentColor"));
        QVERIFY(!svg.contains("stroke-width=\"0\""));
        QVERIFY(svg.contains(R"(<g fill="#123456" stroke="none" transform)"));
        QVERIFY(svg.contains(R"(<line stroke="#123456" x1)"));
    }

    void draw_data()
    {
        QTest::addColumn<QString>("viewBox");
        QTest::addColumn<bool>("display");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<qreal>("ascent"); // logical pixels from the top to the baseline
        QTest::addColumn<int>("height");   // device pixels
        // 100 px to the em, an x-height of 40 px: "middle" puts the image's centre 10 px above
        // the baseline.
        QTest::newRow("inline, tall") << "0 -500 1000 700" << false << 1.0 << 50.0 << 80;
        QTest::newRow("inline, deep: room above")
            << "0 -500 1000 1100" << false << 1.0 << 80.0 << 140;
        QTest::newRow("inline, twice the pixels")
            << "0 -500 1000 700" << false << 2.0 << 50.0 << 160;
        QTest::newRow("display, no room") << "0 -500 1000 700" << true << 1.0 << 50.0 << 70;
    }

    void draw()
    {
        QFETCH(QString, viewBox);
        QFETCH(bool, display);
        QFETCH(qreal, dpr);
        QFETCH(qreal, ascent);
        QByteArray svg = mathJaxLike(viewBox);
        const auto metrics = MathRaster::correct(svg, Qt::red);
        QVERIFY(metrics);
        QCOMPARE(MathRaster::ascent(*metrics, 100, 40, display), ascent);
        const QImage image = MathRaster::draw(svg, *metrics, 100, dpr, 40, display);
        QTEST(image.height(), "height");
        QCOMPARE(image.width(), qRound(100 * dpr));
        QCOMPARE(image.devicePixelRatio(), dpr);
        // The glyph stands on the baseline and is no thicker than drawn: no outline.
        const auto [top, bottom] = inkRows(image, int(50 * dpr));
        QCOMPARE(bottom + 1, qRound(ascent * dpr));
        QCOMPARE(bottom + 1 - top, qRound(40 * dpr));
        QCOMPARE(qAlpha(image.pixel(int(25 * dpr) - 1, (top + bottom) / 2)), 0);
        QCOMPARE(QColor(image.pixel(int(50 * dpr), (top + bottom) / 2)), QColor(Qt::red));
    }

    void initTestCase() { m_service = std::make_unique<MathService>(); }
    void cleanupTestCase() { m_service.reset(); }

    void typeset_data()
    {
        QTest::addColumn<QString>("tex");
        QTest::addColumn<bool>("display");
        QTest::addColumn<QString>("error"); // empty: an image
        QTest::newRow("inline") << u"E=mc^2"_s << false << QString();
        QTest::newRow("matrix") << u"\\begin{pmatrix}1&2\\\\3&4\\end{pmatrix}"_s << true
                                << QString();
        QTest::newRow("chemistry, Chinese text")
            << u"\\ce{2H2 + O2 -> 2H2O}\\text{（水）}"_s << true << QString();
        QTest::newRow("unclosed brace") << u"\\frac{1}{"_s << false << u"Missing close brace"_s;
        QTest::newRow("unknown macro")
            << u"\\nosuchmacro"_s << false << u"Undefined control sequence \\nosuchmacro"_s;
        QTest::newRow("endless macro") << u"\\def\\x{\\x}\\x"_s << false << u"MathJax"_s;
        QTest::newRow("too long") << u"x"_s.repeated(MathEngine::maxTexSize + 1) << false
                                  << u"公式太长"_s;
    }

    // Every formula ends with an image or an error, never a crash or a hang; the error stays
    // known for the view's tooltip, and a second request is answered from the cache.
    void typeset()
    {
        QFETCH(QString, tex);
        QFETCH(bool, display);
        QFETCH(QString, error);
        const MathRequest request{tex, display, Qt::black, 16, 1};
        std::optional<MathService::Result> result;
        m_service->request(request, [&](const MathService::Result &r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result, 20000);
        QCOMPARE(result->image.isNull(), !error.isEmpty());
        QVERIFY2(result->error.contains(error), qPrintable(result->error));
        QCOMPARE(m_service->errorFor(tex, display), result->error);
        // Until it is drawn for twice the size, the image stands in, taking twice the room.
        const QImage standIn = m_service->standIn({tex, display, Qt::red, 32, 1});
        QCOMPARE(standIn.deviceIndependentSize(), result->image.deviceIndependentSize() * 2);

        QSignalSpy jobs(m_service.get(), &MathService::jobFinished);
        std::optional<MathService::Result> again;
        m_service->request(request, [&](const MathService::Result &r) { again = r; });
        QTRY_VERIFY(again);
        QCOMPARE(jobs.count(), 0);
        QCOMPARE(again->image, result->image);
    }

    // A formula over the time limit is abandoned; the engine then goes on with the next.
    void timeOut()
    {
        MathService service;
        std::optional<MathService::Result> warm;
        service.request({u"x"_s, false, Qt::black, 16, 1}, [&](auto &r) { warm = r; });
        QTRY_VERIFY_WITH_TIMEOUT(warm, 20000);
        service.setTimeLimit(1);
        QString big = u"\\begin{matrix}"_s;
        for (int i = 0; i < 40; ++i)
            big += u"\\frac{a}{b}&"_s.repeated(39) + u"\\sqrt{x}\\\\"_s;
        std::optional<MathService::Result> slow;
        service.request({big + u"\\end{matrix}"_s, true, Qt::black, 16, 1},
                        [&](auto &r) { slow = r; });
        QTRY_VERIFY_WITH_TIMEOUT(slow, 10000);
        QCOMPARE(slow->error, u"公式排版超时"_s);
        service.setTimeLimit(MathService::defaultTimeLimitMs);
        std::optional<MathService::Result> next;
        service.request({u"y"_s, false, Qt::black, 16, 1}, [&](auto &r) { next = r; });
        QTRY_VERIFY_WITH_TIMEOUT(next, 5000);
        QVERIFY(!next->image.isNull());
    }

private:
    std::unique_ptr<MathService> m_service;
};

QTEST_MAIN(TestMathRender)
#include "tst_mathrender.moc"
