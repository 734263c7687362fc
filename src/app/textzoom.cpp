// SPDX-License-Identifier: GPL-3.0-or-later
#include "textzoom.h"

#include "theme.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

const QString key = QStringLiteral("textZoom");

/// Rounds a value given in tenths to a whole number of tenths, halves away from zero.
/// Stored values are binary doubles, so 1.15 is a hair below 1.15 and 10 * 1.15 + 1 may land
/// just under 12.5; snapping to a millionth first treats such values as the decimals they
/// stand for.
double roundTenths(double tenths)
{
    const double snapped = std::round(tenths * 1e6) / 1e6;
    return std::round(snapped) / 10.0;
}

/// One step of `delta` tenths; with `lowerBound`, results under the minimum become the minimum.
double step(double z, int delta, bool lowerBound)
{
    const double t = z * 10.0 + delta;
    if (lowerBound && t < TextZoom::minimum * 10.0)
        return TextZoom::minimum;
    return roundTenths(std::min(t, TextZoom::maximum * 10.0));
}

} // namespace

TextZoom::TextZoom(QObject *parent) : QObject(parent)
{
    bool ok = false;
    const double stored = QSettings().value(key).toDouble(&ok);
    // Anything else would make the text invisible (zero or negative sizes) or unreadable.
    if (ok && std::isfinite(stored) && stored > 0)
        m_value = stored;
}

double TextZoom::zoomedIn(double z)
{
    return step(z, +1, true);
}

double TextZoom::zoomedOut(double z)
{
    return step(z, -1, true);
}

double TextZoom::aliasZoomedIn(double z)
{
    return step(z, +1, false);
}

void TextZoom::zoomIn()
{
    store(zoomedIn(m_value));
}

void TextZoom::zoomOut()
{
    store(zoomedOut(m_value));
}

void TextZoom::reset()
{
    store(defaultValue);
}

void TextZoom::aliasZoomIn()
{
    store(aliasZoomedIn(m_value));
}

void TextZoom::store(double z)
{
    QSettings().setValue(key, z);
    if (z != m_value) {
        m_value = z;
        emit valueChanged();
    }
}

int TextZoom::scaled(int base, double zoom)
{
    return int(std::floor(base * zoom + 0.5));
}

int TextZoom::bodySize() const
{
    return scaled(Theme::mdBody(), m_value);
}

int TextZoom::heading1Size() const
{
    return scaled(Theme::mdHeading1(), m_value);
}

int TextZoom::heading2Size() const
{
    return scaled(Theme::mdHeading2(), m_value);
}

int TextZoom::heading3Size() const
{
    return scaled(Theme::mdHeading3(), m_value);
}

int TextZoom::codeSize() const
{
    return scaled(Theme::mdCode(), m_value);
}

int TextZoom::codeLabelSize() const
{
    return scaled(Theme::mdCodeLabel(), m_value);
}
