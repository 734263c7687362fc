// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QObject>
#include <QQuickImageProvider>
#include <QTimer>
#include <QUrl>

class QQmlEngine;
class QQuickTextDocument;

/**
 * Serves formula images to QML as "image://math/COLOUR,SIZE,DPR/ID": COLOUR the text colour as
 * hex ARGB, SIZE the font's pixel size, DPR the screen's device pixel ratio, and ID a
 * mathImageId. It answers at once from MathService's cache. An address beginning with
 * "pending/" is a formula still being drawn: it gets the formula's last image in another colour
 * or size, or else an empty one, and the view asks again
 * under the plain address once MathFormulas' revision says the image is there. (Qt Quick's
 * TextEdit shows an image that arrives later only after its text is set again, so every image
 * it asks for must be ready when it asks.) A formula with a TeX error, or one that took too
 * long, comes back as its source drawn like inline code.
 */
class MathImageProvider : public QQuickImageProvider
{
public:
    MathImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};

/**
 * Formulas for the views (the singleton `MathFormulas`, one per engine, which installs the
 * "math" image provider on its engine): completes the image addresses in inline HTML, tells a
 * formula's error, and copies text with its formulas as TeX.
 */
class MathFormulas : public QObject
{
    Q_OBJECT
    /// Goes up when formulas that were being drawn are ready (at most every 40 ms); addresses
    /// made before may then be made anew.
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    explicit MathFormulas(QQmlEngine *engine = nullptr, QObject *parent = nullptr);

    int revision() const { return m_revision; }

    /// The inline HTML with its formula images drawn in `color` at `pixelSize` for `dpr`; a
    /// formula not drawn yet is asked for, and its address marked as pending.
    Q_INVOKABLE QString decorate(const QString &html, const QColor &color, qreal pixelSize,
                                 qreal dpr) const;
    /// The address of the image of a mathImageId.
    Q_INVOKABLE QString source(const QString &id, const QColor &color, qreal pixelSize,
                               qreal dpr) const;
    /// Whether an image address from source() or decorate() is marked as pending: the image
    /// behind it is a stand-in until the formula is drawn.
    Q_INVOKABLE bool isPending(const QUrl &source) const;
    /// A display formula's TeX as it is copied: between "$$".
    Q_INVOKABLE QString displaySource(const QString &tex) const;
    /// Why the formula could not be typeset, or an empty string (also while it is being typeset).
    Q_INVOKABLE QString errorFor(const QString &id) const;
    /// The error of the formula at or just before a position of the document, or "".
    Q_INVOKABLE QString errorAt(QQuickTextDocument *document, int position) const;
    /// The plain text between two positions, each formula as its TeX between "$" (inline) or
    /// "$$" (display).
    Q_INVOKABLE QString sourceText(QQuickTextDocument *document, int start, int end) const;

signals:
    void revisionChanged();

private:
    QTimer m_ready;
    int m_revision = 0;
};
