// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginethread.h"

#include <QByteArray>
#include <QCache>
#include <QColor>
#include <QHash>
#include <QHashFunctions>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QJSEngine;

/// A formula typeset as SVG, or the reason it could not be.
struct MathSvg
{
    QByteArray svg;
    QString error; ///< the TeX error as MathJax words it, or a note that the time ran out
    bool timedOut = false;
};

/**
 * Typesets TeX with the MathJax bundle built into the resources, in a QJSEngine of its own.
 * Not thread-safe: one engine belongs to one thread. Loading the bundle takes a good part of a
 * second and some 60 MB, so make one only when a formula needs it.
 */
class MathEngine
{
public:
    MathEngine();
    ~MathEngine();

    bool ready() const { return m_ready; }
    MathSvg typeset(const QString &tex, bool display);
    /// Stops a running typeset() from any thread; it then reports that the time ran out.
    void interrupt();

    static constexpr qsizetype maxTexSize = 20 * 1024;

private:
    std::unique_ptr<QJSEngine> m_engine;
    bool m_ready = false;
};

/// Turning MathJax's SVG into an image for the text.
namespace MathRaster {

/// Sizes in em, from the SVG's viewBox (1000 units to the em): MathJax's own width and height
/// are in ex of a font we do not use.
struct Metrics
{
    qreal width = 0;
    qreal height = 0; ///< above the baseline
    qreal depth = 0;  ///< below the baseline
};

/// Prepares MathJax's SVG for QtSvg, in place: every currentColor becomes `color`, the glyph
/// group's stroke-width="0" (which QtSvg draws as a hairline, making glyphs bold) becomes
/// stroke="none", and lines drawn with a stroke of their own (\cancel, frames) keep the
/// colour. Returns the metrics, or nullopt when the SVG has no usable viewBox.
std::optional<Metrics> correct(QByteArray &svg, const QColor &color);

/// The em the formula is drawn at in text of pixelSize with x-height xHeight: its x-height
/// matches the text's, within 1 to 1.2 times the font size.
qreal emSize(qreal pixelSize, qreal xHeight);

/// The formula drawn at emSize() times dpr, the image's device pixel
/// ratio set to dpr. An inline formula is padded above or below so that, placed with vertical
/// alignment "middle" in text whose x-height is xHeight pixels, its baseline sits on the
/// text's: the image's ascent is max(height, depth + xHeight / 2).
QImage draw(const QByteArray &svg, const Metrics &metrics, qreal pixelSize, qreal dpr,
            qreal xHeight, bool display);

/// The distance from the image's top to the formula's baseline, in logical pixels.
qreal ascent(const Metrics &metrics, qreal pixelSize, qreal xHeight, bool display);

} // namespace MathRaster

/// One formula as it is to be drawn.
struct MathRequest
{
    QString tex;
    bool display = false;
    QColor color;
    qreal pixelSize = 14;
    qreal dpr = 1;

    friend bool operator==(const MathRequest &, const MathRequest &) = default;
    friend size_t qHash(const MathRequest &r, size_t seed) noexcept
    {
        return qHashMulti(seed, r.tex, r.display, r.color.rgba(), r.pixelSize, r.dpr);
    }
};

/**
 * Draws formulas off the main thread and keeps the results.
 *
 * Requests come from the main thread; a worker thread holds the one MathEngine, made on the
 * first formula. Images are cached by (TeX, display, colour, size, device pixel ratio), and the
 * typeset SVG by (TeX, display), so a change of theme or zoom only draws again. A formula whose
 * typesetting takes longer than the time limit is abandoned and reported as an error; the
 * engine's own start-up does not count. Requests for a formula already on its way share it.
 */
class MathService : public QObject
{
    Q_OBJECT

public:
    /// The image, or a null image with the error.
    struct Result
    {
        QImage image;
        QString error;
    };
    using Callback = std::function<void(const Result &)>;

    explicit MathService(QObject *parent = nullptr);
    ~MathService() override;

    /// The service all views share, made on first use and owned by the application.
    static MathService *shared();

    /// Asks for a formula's image; done is called later, on the main thread, also when the
    /// image is cached.
    void request(const MathRequest &request, Callback done);

    /// The image of a request drawn before and still cached, or a null image.
    QImage cachedImage(const MathRequest &request) const;

    /// While a formula is drawn anew for another colour or size (a change of theme or zoom),
    /// its last image, its device pixel ratio set so that it takes the new size's room; or a
    /// null image.
    QImage standIn(const MathRequest &request) const;

    /// The error of a formula typeset before, or an empty string.
    QString errorFor(const QString &tex, bool display) const;

    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

    static constexpr int defaultTimeLimitMs = 2000;
    static constexpr int cacheEntries = 1024;

signals:
    /// For tests and benchmarks: a formula was typeset (or abandoned).
    void jobFinished();

private:
    using SvgKey = std::pair<QString, bool>;

    void finish(const MathRequest &request, const MathSvg &svg, const QImage &image);

    int m_timeLimitMs = defaultTimeLimitMs;
    QCache<SvgKey, MathSvg> m_svgs{cacheEntries};
    QCache<MathRequest, QImage> m_images{cacheEntries};
    /// Each formula's last drawn request, whose image stands in while it is drawn anew.
    QCache<SvgKey, MathRequest> m_lastDrawn{cacheEntries};
    /// The requests on their way, each with everyone waiting for it.
    QHash<MathRequest, QList<Callback>> m_pending;
    // Declared last, so that its jobs are over before the rest goes. Every formula asked for is
    // drawn (requests for one on its way share it), so its jobs run in order.
    EngineThread<MathEngine> m_engine{"math", BackgroundRunner::Mode::InOrder};
};
