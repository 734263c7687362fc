// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

/**
 * The text zoom factor that scales every rendered message, persisted as the Qt setting
 * "textZoom" (organisation and application "Corvane").
 *
 * QML sees one instance per engine as the singleton `TextZoom`; its `value` (also readable as
 * `textZoom`) is the factor the Markdown views multiply their base font sizes by. The menu
 * commands change it only through the four operations below, which keep it on a grid of tenths.
 */
class TextZoom : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double value READ value NOTIFY valueChanged)
    Q_PROPERTY(double textZoom READ value NOTIFY valueChanged)
    // The rendered-message font sizes (Theme's md* bases) at the current factor.
    Q_PROPERTY(int bodySize READ bodySize NOTIFY valueChanged)
    Q_PROPERTY(int heading1Size READ heading1Size NOTIFY valueChanged)
    Q_PROPERTY(int heading2Size READ heading2Size NOTIFY valueChanged)
    Q_PROPERTY(int heading3Size READ heading3Size NOTIFY valueChanged)
    Q_PROPERTY(int codeSize READ codeSize NOTIFY valueChanged)
    Q_PROPERTY(int codeLabelSize READ codeLabelSize NOTIFY valueChanged)

public:
    static constexpr double minimum = 0.7;
    static constexpr double maximum = 1.8;
    static constexpr double defaultValue = 1.0;

    /// Reads the stored factor; a missing or unusable value (not a positive finite number)
    /// reads as 1.0.
    explicit TextZoom(QObject *parent = nullptr);

    double value() const { return m_value; }

    /// A base font size at a factor, in whole pixels (halves up), so that every view shows
    /// the same size at every step.
    static int scaled(int base, double zoom);
    int bodySize() const;
    int heading1Size() const;
    int heading2Size() const;
    int heading3Size() const;
    int codeSize() const;
    int codeLabelSize() const;

    /// One step up, kept within [minimum, maximum] and rounded to tenths.
    static double zoomedIn(double z);
    /// One step down, kept within [minimum, maximum] and rounded to tenths.
    static double zoomedOut(double z);
    /// The Ctrl+= step: one step up with the upper bound only.
    static double aliasZoomedIn(double z);

    Q_INVOKABLE void zoomIn();
    Q_INVOKABLE void zoomOut();
    Q_INVOKABLE void reset();
    Q_INVOKABLE void aliasZoomIn();

signals:
    void valueChanged();

private:
    void store(double z);

    double m_value = defaultValue;
};
