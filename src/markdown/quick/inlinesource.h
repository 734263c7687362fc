// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/quick/mathformulas.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

/**
 * The rich text an InlineText shows for a block's inline HTML: the HTML in one paragraph, with
 * the style of its links and code spans, its extra line room, and its formula images drawn for
 * the text's colour, size and screen.
 *
 * Made here rather than in a binding: while a reply streams, the paragraph that grows changes
 * with every delta, and a script binding would make each version as a string of the script
 * engine, whose collector then pauses a frame every few dozen.
 *
 * While there are formulas, the copy key pressed in the text (its QML parent) calls the text's
 * copySource() instead, which gives their TeX: a key handler in every text would cost a seventh
 * of making one.
 */
class InlineSource : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString html READ html WRITE setHtml NOTIFY inputChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY inputChanged)
    Q_PROPERTY(QColor linkColor READ linkColor WRITE setLinkColor NOTIFY inputChanged)
    Q_PROPERTY(
        QColor codeBackground READ codeBackground WRITE setCodeBackground NOTIFY inputChanged)
    Q_PROPERTY(qreal lineSpacing READ lineSpacing WRITE setLineSpacing NOTIFY inputChanged)
    Q_PROPERTY(qreal pixelSize READ pixelSize WRITE setPixelSize NOTIFY inputChanged)
    Q_PROPERTY(
        qreal devicePixelRatio READ devicePixelRatio WRITE setDevicePixelRatio NOTIFY inputChanged)
    /// Draws the formula images; without, formulas keep their bare addresses.
    Q_PROPERTY(MathFormulas *formulas READ formulas WRITE setFormulas NOTIFY inputChanged)
    Q_PROPERTY(bool hasFormulas READ hasFormulas NOTIFY featuresChanged)
    Q_PROPERTY(bool hasLinks READ hasLinks NOTIFY featuresChanged)
    Q_PROPERTY(QString text READ text NOTIFY textChanged)

public:
    using QObject::QObject;

    QString html() const { return m_html; }
    void setHtml(const QString &html);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QColor linkColor() const { return m_linkColor; }
    void setLinkColor(const QColor &color);
    QColor codeBackground() const { return m_codeBackground; }
    void setCodeBackground(const QColor &color);
    qreal lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(qreal spacing);
    qreal pixelSize() const { return m_pixelSize; }
    void setPixelSize(qreal size);
    qreal devicePixelRatio() const { return m_dpr; }
    void setDevicePixelRatio(qreal dpr);
    MathFormulas *formulas() const { return m_formulas; }
    void setFormulas(MathFormulas *formulas);

    bool hasFormulas() const { return m_hasFormulas; }
    bool hasLinks() const { return m_hasLinks; }
    QString text() const { return m_text; }

    /// "#rrggbb", or "#aarrggbb" when the colour is not opaque.
    static QString cssColor(const QColor &color);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void inputChanged();
    void textChanged();
    void featuresChanged();

private:
    void update();

    QString m_html;
    QColor m_color;
    QColor m_linkColor;
    QColor m_codeBackground;
    qreal m_lineSpacing = 0;
    qreal m_pixelSize = 0;
    qreal m_dpr = 1;
    QPointer<MathFormulas> m_formulas;
    bool m_hasFormulas = false;
    bool m_hasLinks = false;
    QString m_text;
};
