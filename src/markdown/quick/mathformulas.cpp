// SPDX-License-Identifier: GPL-3.0-or-later
#include "mathformulas.h"

#include "markdown/mathrender.h"
#include "markdown/mdmath.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMutex>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickTextDocument>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>

#include <cmath>
#include <memory>

namespace {

const QString scheme = QStringLiteral("image://math/");
/// Begins the provider id of a formula still being drawn.
const QString pendingMark = QStringLiteral("pending/");

/// (request, error-free id) of a provider id "COLOUR,SIZE,DPR/ID".
std::optional<MathRequest> parseRequest(QStringView id)
{
    const qsizetype slash = id.indexOf(u'/');
    if (slash < 0)
        return std::nullopt;
    const QList<QStringView> params = id.first(slash).split(u',');
    const auto formula = mathFromImageId(id.sliced(slash + 1));
    if (params.size() != 3 || !formula)
        return std::nullopt;
    bool ok[3] = {};
    MathRequest r;
    r.color = QColor::fromRgba(params[0].toUInt(&ok[0], 16));
    r.pixelSize = params[1].toDouble(&ok[1]);
    r.dpr = params[2].toDouble(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || !(r.pixelSize >= 1 && r.pixelSize <= 400) ||
        !(r.dpr > 0 && r.dpr <= 8))
        return std::nullopt;
    r.tex = formula->first;
    r.display = formula->second;
    return r;
}

QString params(const QColor &color, qreal pixelSize, qreal dpr)
{
    return QStringLiteral("%1,%2,%3/")
        .arg(QString::number(color.rgba(), 16), QString::number(pixelSize), QString::number(dpr));
}

/// A formula that could not be typeset: its source, drawn like inline code, on the baseline.
QImage drawSource(const MathRequest &r)
{
    const QString text = mathSourceText(QString(r.tex).replace(u'\n', u' '), r.display);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(1, qRound(r.pixelSize * 0.9 * r.dpr)));
    const QFontMetricsF metrics(font);
    QFont body;
    body.setPixelSize(std::max(1, qRound(r.pixelSize * r.dpr)));
    const qreal xHeight = QFontMetricsF(body).xHeight();
    // The same padding as a typeset formula, so that the text sits on the line's baseline.
    const qreal pad = 2 * r.dpr;
    const qreal ascent = std::max(metrics.ascent(), metrics.descent() + xHeight / 2);
    const qreal below = ascent - xHeight / 2;
    const QSize size(
        int(std::ceil(std::min(metrics.horizontalAdvance(text), 4000.0 * r.dpr) + 2 * pad)),
        int(std::ceil(ascent + below)));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QColor background = r.color;
    background.setAlphaF(0.1f);
    painter.fillRect(
        QRectF(QPointF(0, ascent - metrics.ascent()), QSizeF(size.width(), metrics.height())),
        background);
    painter.setFont(font);
    painter.setPen(r.color);
    painter.drawText(QPointF(pad, ascent), text);
    painter.end();
    image.setDevicePixelRatio(r.dpr);
    return image;
}

} // namespace

namespace {

/// Whether the service can answer for the request at once; if not, it is asked to draw it.
bool ready(const MathRequest &request)
{
    MathService *service = MathService::shared();
    if (!service->cachedImage(request).isNull() ||
        !service->errorFor(request.tex, request.display).isEmpty())
        return true;
    service->request(request, [](const MathService::Result &) {});
    return false;
}

QImage answer(const QString &id)
{
    const bool pending = id.startsWith(pendingMark);
    const std::optional<MathRequest> request =
        parseRequest(QStringView(id).sliced(pending ? pendingMark.size() : 0));
    if (!request)
        return {};
    if (!ready(*request)) {
        QImage standIn = MathService::shared()->standIn(*request);
        if (standIn.isNull()) {
            standIn = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            standIn.fill(Qt::transparent);
        }
        return standIn;
    }
    const QImage image = MathService::shared()->cachedImage(*request);
    return image.isNull() ? drawSource(*request) : image;
}

} // namespace

QImage MathImageProvider::requestImage(const QString &id, QSize *size, const QSize &)
{
    // The service belongs to the main thread, where text documents load their images.
    MathService *service = MathService::shared();
    QImage image;
    if (QThread::currentThread() == service->thread())
        image = answer(id);
    else
        QMetaObject::invokeMethod(
            service, [&] { image = answer(id); }, Qt::BlockingQueuedConnection);
    if (size)
        *size = image.size();
    return image;
}

MathFormulas::MathFormulas(QQmlEngine *engine, QObject *parent) : QObject(parent)
{
    MathService *service = MathService::shared(); // made in the main thread, before any image
    if (engine && !engine->imageProvider(QStringLiteral("math")))
        engine->addImageProvider(QStringLiteral("math"), new MathImageProvider);
    m_ready.setSingleShot(true);
    m_ready.setInterval(40);
    connect(service, &MathService::jobFinished, &m_ready, qOverload<>(&QTimer::start));
    connect(&m_ready, &QTimer::timeout, this, [this] {
        ++m_revision;
        emit revisionChanged();
    });
}

QString MathFormulas::decorate(const QString &html, const QColor &color, qreal pixelSize,
                               qreal dpr) const
{
    const QString p = params(color, pixelSize, dpr);
    QString out;
    qsizetype last = 0;
    for (qsizetype at = html.indexOf(scheme); at >= 0; at = html.indexOf(scheme, last)) {
        const qsizetype begin = at + scheme.size();
        const qsizetype end = html.indexOf(u'"', begin);
        if (end < 0)
            break;
        out += QStringView(html).sliced(last, begin - last);
        const QString id = p + html.mid(begin, end - begin);
        const std::optional<MathRequest> request = parseRequest(id);
        if (request && !ready(*request))
            out += pendingMark;
        out += id;
        last = end;
    }
    return out + html.mid(last);
}

QString MathFormulas::source(const QString &id, const QColor &color, qreal pixelSize,
                             qreal dpr) const
{
    const QString full = params(color, pixelSize, dpr) + id;
    const std::optional<MathRequest> request = parseRequest(full);
    return scheme + (request && !ready(*request) ? pendingMark : QString()) + full;
}

bool MathFormulas::isPending(const QUrl &source) const
{
    return source.toString().startsWith(scheme + pendingMark);
}

QString MathFormulas::displaySource(const QString &tex) const
{
    return mathSourceText(tex, true);
}

QString MathFormulas::errorFor(const QString &id) const
{
    const auto formula = mathFromImageId(id);
    return formula ? MathService::shared()->errorFor(formula->first, formula->second) : QString();
}

namespace {

/// The formula of an image format's name ("image://math/PARAMS/ID"), if it is one.
std::optional<std::pair<QString, bool>> formulaOf(const QTextFormat &format)
{
    if (!format.isImageFormat())
        return std::nullopt;
    const QString name = format.toImageFormat().name();
    if (!name.startsWith(scheme))
        return std::nullopt;
    const qsizetype from =
        scheme.size() +
        (QStringView(name).sliced(scheme.size()).startsWith(pendingMark) ? pendingMark.size() : 0);
    const qsizetype slash = name.indexOf(u'/', from);
    return slash < 0 ? std::nullopt : mathFromImageId(QStringView(name).sliced(slash + 1));
}

} // namespace

QString MathFormulas::errorAt(QQuickTextDocument *document, int position) const
{
    if (!document || !document->textDocument())
        return {};
    QTextDocument *doc = document->textDocument();
    for (const int at : {position + 1, position}) {
        if (at <= 0 || at >= doc->characterCount())
            continue;
        QTextCursor cursor(doc);
        cursor.setPosition(at);
        if (const auto formula = formulaOf(cursor.charFormat()))
            return MathService::shared()->errorFor(formula->first, formula->second);
    }
    return {};
}

QString MathFormulas::sourceText(QQuickTextDocument *document, int start, int end) const
{
    if (!document || !document->textDocument())
        return {};
    QTextDocument *doc = document->textDocument();
    if (start > end)
        std::swap(start, end);
    QString out;
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        if (block.position() > start)
            out += u'\n';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(start, fragment.position());
            const int to = std::min(end, fragment.position() + fragment.length());
            if (from >= to)
                continue;
            if (const auto formula = formulaOf(fragment.charFormat())) {
                for (int k = from; k < to; ++k)
                    out += mathSourceText(formula->first, formula->second);
            } else {
                out += fragment.text().mid(from - fragment.position(), to - from);
            }
        }
    }
    // Line breaks and the spaces kept visible become ordinary ones.
    return out.replace(QChar::LineSeparator, u'\n').replace(QChar::Nbsp, u' ');
}
