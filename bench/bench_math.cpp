// SPDX-License-Identifier: GPL-3.0-or-later
// Formulas: the first one (the engine loads), an average one on the loaded engine (typeset,
// corrected and drawn, as the worker does it), and the main thread's cost per delta of a
// streaming reply with 100 formulas against the same reply with formulas off, early and late
// in the reply: the cost must stay flat as formulas pile up.
#include "markdown/mathrender.h"
#include "markdown/mdblockmodel.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

const QStringList formulas{
    QStringLiteral("E=mc^2"),
    QStringLiteral("\\frac{a}{b}+\\sqrt{x^2+y^2}"),
    QStringLiteral("\\int_0^\\infty e^{-x^2}\\,dx=\\frac{\\sqrt{\\pi}}{2}"),
    QStringLiteral("\\sum_{k=1}^{n} k = \\frac{n(n+1)}{2}"),
    QStringLiteral("\\begin{pmatrix}a&b\\\\c&d\\end{pmatrix}"),
    QStringLiteral("\\ce{2H2 + O2 -> 2H2O}"),
    QStringLiteral("\\mathbb{R}^n \\to \\mathbb{C}"),
    QStringLiteral("\\begin{aligned}f(x)&=x^2\\\\f'(x)&=2x\\end{aligned}"),
    QStringLiteral("\\lim_{n\\to\\infty}\\left(1+\\frac{1}{n}\\right)^n=e"),
    QStringLiteral("P(A\\mid B)=\\frac{P(B\\mid A)P(A)}{P(B)}"),
};

/// A reply of paragraphs with 100 formulas: three inline in each paragraph, a display formula
/// after every third paragraph.
QString mathReply()
{
    QString out;
    int count = 0;
    for (int p = 0; count < 100; ++p) {
        out += QStringLiteral("由公式 $%1$ 可知，当 \\(%2\\) 时结果成立，而 $%3$ 给出了上界。\n\n")
                   .arg(formulas[p % 10], formulas[(p + 1) % 10], formulas[(p + 2) % 10]);
        count += 3;
        if (p % 3 == 2 && count < 100) {
            out += QStringLiteral("$$\n%1\n$$\n\n").arg(formulas[(p + 3) % 10]);
            ++count;
        }
    }
    return out;
}

void BM_FirstFormula(benchmark::State &state)
{
    for (auto _ : state) {
        MathEngine engine;
        benchmark::DoNotOptimize(engine.typeset(QStringLiteral("E=mc^2"), false));
    }
}
BENCHMARK(BM_FirstFormula)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AverageFormula(benchmark::State &state)
{
    MathEngine engine;
    qsizetype i = 0;
    for (auto _ : state) {
        const bool display = i % 3 == 0;
        MathSvg svg = engine.typeset(formulas[i++ % formulas.size()], display);
        const auto metrics = MathRaster::correct(svg.svg, Qt::black);
        if (!metrics)
            state.SkipWithError("no SVG");
        benchmark::DoNotOptimize(MathRaster::draw(svg.svg, *metrics, 16, 2, 7, display));
    }
}
BENCHMARK(BM_AverageFormula)->Unit(benchmark::kMillisecond)->Iterations(200);

// One delta of about 20 characters at a point of the reply (per mille), formulas on or off.
void BM_StreamDelta(benchmark::State &state)
{
    const QString reply = mathReply();
    const qsizetype at = reply.size() * state.range(0) / 1000;
    MDBlockModel model;
    model.setMath(state.range(1) != 0);
    model.setText(reply.left(at - 20));
    bool longer = false;
    for (auto _ : state) {
        longer = !longer;
        model.setText(reply.left(longer ? at : at - 20));
    }
    state.counters["blocks"] = double(model.rowCount());
}
BENCHMARK(BM_StreamDelta)
    ->ArgNames({"permille", "math"})
    ->ArgsProduct({{100, 500, 990}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
