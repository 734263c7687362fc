// SPDX-License-Identifier: GPL-3.0-or-later
#include "mathrender.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QJSEngine>
#include <QLoggingCategory>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

MathEngine::MathEngine() : m_engine(std::make_unique<QJSEngine>())
{
    QFile bundle(QStringLiteral(":/Corvane/mathjax/mathjax.js"));
    if (!bundle.open(QIODevice::ReadOnly)) {
        qWarning("The formula typesetter is missing from the resources");
        return;
    }
    // The bundle's minified code makes Qt's compiler warn a few dozen times about variables
    // it uses before their declaration, which is harmless here: keep those out of the log.
    // Engines load one at a time, so the filter in place before is never this one.
    static QBasicMutex loading;
    const QMutexLocker lock(&loading);
    static QLoggingCategory::CategoryFilter previous = nullptr;
    const auto quiet = [](QLoggingCategory *category) {
        if (previous)
            previous(category);
        if (qstrcmp(category->categoryName(), "qt.qml.compiler") == 0)
            category->setEnabled(QtWarningMsg, false);
    };
    previous = QLoggingCategory::installFilter(quiet);
    const QJSValue loaded =
        m_engine->evaluate(QString::fromUtf8(bundle.readAll()), QStringLiteral("mathjax.js"));
    QLoggingCategory::installFilter(previous);
    m_ready = !loaded.isError() &&
              m_engine->globalObject().property(QStringLiteral("corvaneTypeset")).isCallable();
    if (!m_ready)
        qWarning("The formula typesetter did not load: %s", qPrintable(loaded.toString()));
}

MathEngine::~MathEngine() = default;

MathSvg MathEngine::typeset(const QString &tex, bool display)
{
    MathSvg out;
    if (!m_ready) {
        out.error = QCoreApplication::translate("MathService", "公式排版程序不可用");
        return out;
    }
    if (tex.size() > maxTexSize) {
        out.error = QCoreApplication::translate("MathService", "公式太长");
        return out;
    }
    m_engine->setInterrupted(false);
    const QJSValue fn = m_engine->globalObject().property(QStringLiteral("corvaneTypeset"));
    const QJSValue result = fn.call({QJSValue(tex), QJSValue(display)});
    if (m_engine->isInterrupted()) {
        m_engine->setInterrupted(false);
        out.timedOut = true;
        out.error = QCoreApplication::translate("MathService", "公式排版超时");
        return out;
    }
    if (result.isError()) {
        out.error = result.toString();
        return out;
    }
    const QJSValue svg = result.property(QStringLiteral("svg"));
    if (svg.isString())
        out.svg = svg.toString().toUtf8();
    if (out.svg.isEmpty()) {
        out.error = result.property(QStringLiteral("error")).toString();
        if (out.error.isEmpty())
            out.error = QCoreApplication::translate("MathService", "公式无法排版");
    }
    return out;
}

void MathEngine::interrupt()
{
    m_engine->setInterrupted(true);
}

namespace MathRaster {

std::optional<Metrics> correct(QByteArray &svg, const QColor &color)
{
    static const QRegularExpression viewBox(QStringLiteral(
        R"(<svg\b[^>]*\bviewBox="\s*(-?[\d.]+)[\s,]+(-?[\d.]+)[\s,]+([\d.]+)[\s,]+([\d.]+)\s*")"));
    const QString text = QString::fromUtf8(svg);
    const QRegularExpressionMatch box = viewBox.match(text);
    if (!box.hasMatch())
        return std::nullopt;
    const qreal minY = box.captured(2).toDouble();
    const qreal w = box.captured(3).toDouble();
    const qreal h = box.captured(4).toDouble();
    if (!(w > 0 && h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return std::nullopt;
    const Metrics metrics{w / 1000, -minY / 1000, (minY + h) / 1000};

    const QString colour = color.name(QColor::HexRgb);
    static const QRegularExpression tag(QStringLiteral(R"(<[A-Za-z]+\b[^>]*>)"));
    static const QRegularExpression stroke(QStringLiteral(R"(\sstroke="[^"]*")"));
    static const QRegularExpression zeroWidth(QStringLiteral(R"(\bstroke-width="0(\.0*)?")"));
    QString out;
    out.reserve(text.size() + 64);
    qsizetype last = 0;
    for (const QRegularExpressionMatch &m : tag.globalMatch(text)) {
        out += QStringView(text).sliced(last, m.capturedStart() - last);
        QString t = m.captured();
        if (t.contains(zeroWidth)) {
            t.remove(stroke);
            t.replace(zeroWidth, QStringLiteral("stroke=\"none\""));
        } else if (t.contains(QLatin1String("stroke-width=\"")) && !t.contains(stroke)) {
            // Its stroke came from the glyph group, which has none any more.
            const qsizetype name = t.indexOf(u' ');
            t.insert(name < 0 ? t.size() - 1 : name, QStringLiteral(" stroke=\"%1\"").arg(colour));
        }
        out += t;
        last = m.capturedEnd();
    }
    out += QStringView(text).sliced(last);
    out.replace(QLatin1String("currentColor"), colour);
    svg = out.toUtf8();
    return metrics;
}

qreal emSize(qreal pixelSize, qreal xHeight)
{
    // MathJax's TeX fonts have an x-height of 0.442 em, smaller than most text fonts'.
    return pixelSize * std::clamp(xHeight / (0.442 * pixelSize), 1.0, 1.2);
}

qreal ascent(const Metrics &metrics, qreal pixelSize, qreal xHeight, bool display)
{
    const qreal em = emSize(pixelSize, xHeight);
    const qreal h = metrics.height * em;
    return display ? h : std::max(h, metrics.depth * em + xHeight / 2);
}

QImage draw(const QByteArray &svg, const Metrics &metrics, qreal pixelSize, qreal dpr,
            qreal xHeight, bool display)
{
    const qreal a = ascent(metrics, pixelSize, xHeight, display);
    const qreal em = emSize(pixelSize, xHeight);
    // Placed in the middle, the image's centre lies xHeight / 4 above the baseline.
    const qreal below = display ? metrics.depth * em : a - xHeight / 2;
    const QSize size(int(std::ceil(metrics.width * em * dpr)), int(std::ceil((a + below) * dpr)));
    if (size.isEmpty() || size.width() > 16384 || size.height() > 16384)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal top = (a - metrics.height * em) * dpr;
    renderer.render(&painter, QRectF(0, top, metrics.width * em * dpr,
                                     (metrics.height + metrics.depth) * em * dpr));
    painter.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

} // namespace MathRaster

MathService::MathService(QObject *parent) : QObject(parent) {}

MathService::~MathService() = default;

MathService *MathService::shared()
{
    static QPointer<MathService> service;
    if (!service)
        service = new MathService(QCoreApplication::instance());
    return service;
}

QString MathService::errorFor(const QString &tex, bool display) const
{
    const MathSvg *svg = m_svgs.object({tex, display});
    return svg ? svg->error : QString();
}

QImage MathService::cachedImage(const MathRequest &request) const
{
    const QImage *image = m_images.object(request);
    return image ? *image : QImage();
}

void MathService::request(const MathRequest &request, Callback done)
{
    const auto later = [this](Callback done, Result result) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done), result] { done(result); }, Qt::QueuedConnection);
    };
    if (const QImage *image = m_images.object(request))
        return later(std::move(done), {*image, {}});
    if (const MathSvg *svg = m_svgs.object({request.tex, request.display});
        svg && !svg->error.isEmpty())
        return later(std::move(done), {{}, svg->error});
    if (const auto pending = m_pending.find(request); pending != m_pending.end())
        return pending->append(std::move(done));
    m_pending.insert(request, {std::move(done)});
    m_engine.runner().runPrepared(
        [this, request] {
            // Typeset by an earlier job (the formula in another colour or size): drawn only.
            const MathSvg *known = m_svgs.object({request.tex, request.display});
            const std::optional<MathSvg> svg = known ? std::optional(*known) : std::nullopt;
            QFont font = QGuiApplication::font();
            font.setPixelSize(std::max(1, qRound(request.pixelSize)));
            const qreal xHeight = QFontMetricsF(font).xHeight();
            // The time box: a formula that keeps the engine busy must not hold every other one
            // back.
            if (!svg)
                m_engine.timeBox(this, m_timeLimitMs);
            return [this, request, svg, xHeight] {
                MathSvg typeset =
                    svg ? *svg : m_engine.engine().typeset(request.tex, request.display);
                QImage image;
                if (typeset.error.isEmpty()) {
                    QByteArray corrected = typeset.svg;
                    if (const auto metrics = MathRaster::correct(corrected, request.color))
                        image = MathRaster::draw(corrected, *metrics, request.pixelSize,
                                                 request.dpr, xHeight, request.display);
                    if (image.isNull())
                        typeset.error = QCoreApplication::translate("MathService", "公式无法绘制");
                }
                return std::pair(typeset, image);
            };
        },
        [this, request](const std::pair<MathSvg, QImage> &done) {
            finish(request, done.first, done.second);
        });
}

void MathService::finish(const MathRequest &request, const MathSvg &svg, const QImage &image)
{
    const SvgKey key{request.tex, request.display};
    // Errors and time-outs are kept too: such a formula is not tried again.
    if (!m_svgs.contains(key))
        m_svgs.insert(key, new MathSvg(svg));
    if (!image.isNull()) {
        m_lastDrawn.insert(key, new MathRequest(request));
        if (!m_images.contains(request))
            m_images.insert(request, new QImage(image));
    }
    const Result result{image, image.isNull() ? svg.error : QString()};
    for (const Callback &done : m_pending.take(request))
        done(result);
    emit jobFinished();
}

QImage MathService::standIn(const MathRequest &request) const
{
    const MathRequest *last = m_lastDrawn.object({request.tex, request.display});
    const QImage *drawn = last ? m_images.object(*last) : nullptr;
    if (!drawn)
        return {};
    QImage image = *drawn;
    image.setDevicePixelRatio(last->dpr * last->pixelSize / request.pixelSize);
    return image;
}
