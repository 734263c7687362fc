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

#include <cmath>
#include <memory>

namespace {

const QString scheme = QStringLiteral("image://math/");

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
    const QString text = (r.display ? QStringLiteral("$$%1$$") : QStringLiteral("$%1$"))
                             .arg(QString(r.tex).replace(u'\n', u' '));
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

/// The response to one image request. It may be cancelled and deleted (on the image loader's
/// thread) before the service answers; the answer then finds no response to give the image to.
class MathImageResponse : public QQuickImageResponse
{
public:
    struct Link
    {
        QMutex mutex;
        MathImageResponse *response = nullptr;
    };

    MathImageResponse() : m_link(std::make_shared<Link>()) { m_link->response = this; }
    ~MathImageResponse() override
    {
        QMutexLocker lock(&m_link->mutex);
        m_link->response = nullptr;
    }

    std::shared_ptr<Link> link() const { return m_link; }

    void deliver(const QImage &image, const QString &error)
    {
        m_image = image;
        m_error = image.isNull() ? error : QString();
        emit finished();
    }

    QQuickTextureFactory *textureFactory() const override
    {
        return QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_error; }

private:
    std::shared_ptr<Link> m_link;
    QImage m_image;
    QString m_error;
};

} // namespace

QQuickImageResponse *MathImageProvider::requestImageResponse(const QString &id, const QSize &)
{
    auto *response = new MathImageResponse;
    const std::optional<MathRequest> request = parseRequest(id);
    if (!request) {
        response->deliver({}, QStringLiteral("not a formula: %1").arg(id));
        return response;
    }
    // The service lives in the main thread, which it answers in.
    MathService *service = MathService::shared();
    QMetaObject::invokeMethod(service, [service, r = *request, link = response->link()] {
        service->request(r, [r, link](const MathService::Result &result) {
            const QImage image = result.image.isNull() ? drawSource(r) : result.image;
            QMutexLocker lock(&link->mutex);
            if (link->response)
                link->response->deliver(image, result.error);
        });
    });
    return response;
}

MathFormulas::MathFormulas(QQmlEngine *engine, QObject *parent) : QObject(parent)
{
    MathService::shared(); // made here, in the main thread, before any image is asked for
    if (engine && !engine->imageProvider(QStringLiteral("math")))
        engine->addImageProvider(QStringLiteral("math"), new MathImageProvider);
}

QString MathFormulas::decorate(const QString &html, const QColor &color, qreal pixelSize,
                               qreal dpr) const
{
    if (!html.contains(scheme))
        return html;
    return QString(html).replace(scheme, scheme + params(color, pixelSize, dpr));
}

QString MathFormulas::source(const QString &id, const QColor &color, qreal pixelSize,
                             qreal dpr) const
{
    return scheme + params(color, pixelSize, dpr) + id;
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
    const qsizetype slash = name.indexOf(u'/', scheme.size());
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
                const QString delimiter =
                    formula->second ? QStringLiteral("$$") : QStringLiteral("$");
                for (int k = from; k < to; ++k)
                    out += delimiter + formula->first + delimiter;
            } else {
                out += fragment.text().mid(from - fragment.position(), to - from);
            }
        }
    }
    // Line breaks and the spaces kept visible become ordinary ones.
    return out.replace(QChar::LineSeparator, u'\n').replace(QChar::Nbsp, u' ');
}
