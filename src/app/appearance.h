// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPalette>

/**
 * How replies look, as the user chooses in the 显示 menu: light or dark, kept as the Qt setting
 * "appearance" ("system", "light" or "dark"; anything else reads as "system"), and whether code
 * is highlighted and formulas typeset.
 *
 * Qt 6.4 follows a dark desktop only on KDE, so "system" asks the freedesktop portal
 * (org.freedesktop.appearance color-scheme: 0 no preference, 1 dark, 2 light) asynchronously at
 * start and follows its changes while the program runs. Without a portal, or with no preference,
 * the platform's own palette stays. The chosen palette becomes the application palette, which
 * Theme and every window derive their colours from.
 */
class Appearance : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Mode mode READ mode WRITE setMode NOTIFY modeChanged)
    /// Whether code blocks are coloured by language (the Qt setting "codeHighlighting").
    Q_PROPERTY(bool codeHighlighting READ codeHighlighting WRITE setCodeHighlighting NOTIFY
                   codeHighlightingChanged)
    /// Whether formulas are typeset (the Qt setting "renderMath"); without, their TeX shows.
    Q_PROPERTY(bool renderMath READ renderMath WRITE setRenderMath NOTIFY renderMathChanged)
    /// The portal's colour scheme (0, 1 or 2), or -1 while no portal has answered.
    Q_PROPERTY(int systemScheme READ systemScheme NOTIFY systemSchemeChanged)

public:
    enum Mode { System, Light, Dark };
    Q_ENUM(Mode)

    explicit Appearance(QObject *parent = nullptr);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    int systemScheme() const { return m_systemScheme; }
    bool codeHighlighting() const { return m_codeHighlighting; }
    void setCodeHighlighting(bool on);
    bool renderMath() const { return m_renderMath; }
    void setRenderMath(bool on);

    /// Complete palettes for the Fusion style, so that every role is set whatever the platform.
    static QPalette lightPalette();
    static QPalette darkPalette();

signals:
    void modeChanged();
    void systemSchemeChanged();
    void codeHighlightingChanged();
    void renderMathChanged();

private:
    void queryPortal();
    void setSystemScheme(int scheme);
    void apply();

    Mode m_mode = System;
    int m_systemScheme = -1;
    bool m_codeHighlighting = true;
    bool m_renderMath = true;
};
