// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

/**
 * Colours, font sizes and icon glyphs of every view, in one place (the QML singleton `Theme`).
 *
 * Colours derive from the application palette, so light and dark system themes both work, and
 * follow it when it changes:
 *  - textBackground: message list, composer, empty view (palette Base);
 *    controlBackground: text fields drawn by hand (AlternateBase); windowBackground: sidebar,
 *    code and table boxes (Window); separator: hairlines and the composer's outline.
 *  - label and its dimmed levels secondaryLabel / tertiaryLabel / quaternaryLabel (the text
 *    colour at 55 / 35 / 18 % opacity); quaternaryLabel also serves as a faint fill, and
 *    hoverFill (8 %) marks the row under the pointer.
 *  - accent (Highlight) with accentText on it; link; destructive (the stop button's red);
 *    quoteBar (accent at 45 %).
 *  - boxBackground / boxBorder: the frame of code blocks and tables.
 *  - the user's bubble: bubbleTop and bubbleBottom (the vertical gradient), and for content
 *    drawn on it bubbleText (white), bubbleSecondary (list markers, quote text, code header),
 *    bubbleQuoteBar, bubbleBoxBackground and bubbleBoxBorder.
 *
 * codeSpanBackground / bubbleCodeSpanBackground: the box behind inline code.
 *
 * matchBackground / matchText: a search match marked in a message (MatchHighlighter's colours).
 *
 * Spacings and corner radii are logical pixels too, named by size or by what they serve.
 *
 * Font sizes are logical pixels: the text styles caption, footnote, callout, body, title3, and
 * the rendered-message bases mdBody, mdHeading1..3, mdCodeLabel, mdCode, which the Markdown
 * views multiply by TextZoom.value.
 *
 * monoFont is the system's fixed-pitch family; dark tells whether the palette is a dark one.
 *
 * Icons are glyphs of the bundled Material Icons font (family iconFont): use them as the text
 * of an `Icon` (or any Text with font.family: Theme.iconFont) sized by font.pixelSize.
 */
class Theme : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool dark READ dark NOTIFY paletteChanged)
    Q_PROPERTY(QColor textBackground READ textBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor controlBackground READ controlBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor windowBackground READ windowBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor separator READ separator NOTIFY paletteChanged)
    Q_PROPERTY(QColor label READ label NOTIFY paletteChanged)
    Q_PROPERTY(QColor secondaryLabel READ secondaryLabel NOTIFY paletteChanged)
    Q_PROPERTY(QColor tertiaryLabel READ tertiaryLabel NOTIFY paletteChanged)
    Q_PROPERTY(QColor quaternaryLabel READ quaternaryLabel NOTIFY paletteChanged)
    Q_PROPERTY(QColor hoverFill READ hoverFill NOTIFY paletteChanged)
    Q_PROPERTY(QColor accent READ accent NOTIFY paletteChanged)
    Q_PROPERTY(QColor accentText READ accentText NOTIFY paletteChanged)
    Q_PROPERTY(QColor link READ link NOTIFY paletteChanged)
    Q_PROPERTY(QColor destructive READ destructive NOTIFY paletteChanged)
    Q_PROPERTY(QColor quoteBar READ quoteBar NOTIFY paletteChanged)
    Q_PROPERTY(QColor boxBackground READ windowBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor boxBorder READ separator NOTIFY paletteChanged)

    Q_PROPERTY(QColor bubbleTop READ bubbleTop CONSTANT)
    Q_PROPERTY(QColor bubbleBottom READ bubbleBottom CONSTANT)
    Q_PROPERTY(QColor bubbleText READ bubbleText CONSTANT)
    Q_PROPERTY(QColor bubbleSecondary READ bubbleSecondary CONSTANT)
    Q_PROPERTY(QColor bubbleQuoteBar READ bubbleQuoteBar CONSTANT)
    Q_PROPERTY(QColor bubbleBoxBackground READ bubbleBoxBackground CONSTANT)
    Q_PROPERTY(QColor bubbleBoxBorder READ bubbleBoxBorder CONSTANT)

    Q_PROPERTY(int caption READ caption CONSTANT)
    Q_PROPERTY(int footnote READ footnote CONSTANT)
    Q_PROPERTY(int callout READ callout CONSTANT)
    Q_PROPERTY(int body READ body CONSTANT)
    Q_PROPERTY(int title3 READ title3 CONSTANT)
    Q_PROPERTY(int mdBody READ mdBody CONSTANT)
    Q_PROPERTY(int mdHeading1 READ mdHeading1 CONSTANT)
    Q_PROPERTY(int mdHeading2 READ mdHeading2 CONSTANT)
    Q_PROPERTY(int mdHeading3 READ mdHeading3 CONSTANT)
    Q_PROPERTY(int mdCodeLabel READ mdCodeLabel CONSTANT)
    Q_PROPERTY(int mdCode READ mdCode CONSTANT)
    Q_PROPERTY(QColor codeSpanBackground READ codeSpanBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor bubbleCodeSpanBackground READ bubbleBoxBackground CONSTANT)
    Q_PROPERTY(QColor matchBackground READ matchBackground CONSTANT)
    Q_PROPERTY(QColor matchText READ matchText CONSTANT)
    // Spacing between items, smallest to largest, and spacings of one use.
    Q_PROPERTY(int spacingXXS READ spacingXXS CONSTANT)
    Q_PROPERTY(int spacingXS READ spacingXS CONSTANT)
    Q_PROPERTY(int spacingS READ spacingS CONSTANT)
    Q_PROPERTY(int spacingM READ spacingM CONSTANT)
    Q_PROPERTY(int spacingL READ spacingL CONSTANT)
    Q_PROPERTY(int spacingXL READ spacingXL CONSTANT)
    Q_PROPERTY(int spacingXXL READ spacingXXL CONSTANT)
    Q_PROPERTY(int headerLineSpacing READ headerLineSpacing CONSTANT)
    Q_PROPERTY(int listSpacing READ listSpacing CONSTANT)
    Q_PROPERTY(int emptyStateSpacing READ emptyStateSpacing CONSTANT)
    Q_PROPERTY(int tableColumnSpacing READ tableColumnSpacing CONSTANT)
    // Corner radii by what they round.
    Q_PROPERTY(int barRadius READ barRadius CONSTANT)
    Q_PROPERTY(int dotRadius READ dotRadius CONSTANT)
    Q_PROPERTY(int smallRadius READ smallRadius CONSTANT)
    Q_PROPERTY(int tailRadius READ tailRadius CONSTANT)
    Q_PROPERTY(int rowRadius READ rowRadius CONSTANT)
    Q_PROPERTY(int boxRadius READ boxRadius CONSTANT)
    Q_PROPERTY(int fieldRadius READ fieldRadius CONSTANT)
    Q_PROPERTY(int bubbleRadius READ bubbleRadius CONSTANT)
    /// A monospaced family for code.
    Q_PROPERTY(QString monoFont READ monoFont CONSTANT)

    Q_PROPERTY(QString iconFont READ iconFont CONSTANT)
    // One glyph per symbol the views use, named after what it shows.
    Q_PROPERTY(QString iconCompose READ iconCompose CONSTANT)
    Q_PROPERTY(QString iconSettings READ iconSettings CONSTANT)
    Q_PROPERTY(QString iconBubbles READ iconBubbles CONSTANT)
    /// The outline of iconBubbles as an SVG path on a 24 × 24 grid: the font has only the
    /// filled glyph.
    Q_PROPERTY(QString iconBubblesOutlinePath READ iconBubblesOutlinePath CONSTANT)
    Q_PROPERTY(QString iconSend READ iconSend CONSTANT)
    Q_PROPERTY(QString iconStop READ iconStop CONSTANT)
    Q_PROPERTY(QString iconModel READ iconModel CONSTANT)
    Q_PROPERTY(QString iconUpDown READ iconUpDown CONSTANT)
    Q_PROPERTY(QString iconCheck READ iconCheck CONSTANT)
    Q_PROPERTY(QString iconCopy READ iconCopy CONSTANT)
    Q_PROPERTY(QString iconEdit READ iconEdit CONSTANT)
    Q_PROPERTY(QString iconRegenerate READ iconRegenerate CONSTANT)
    Q_PROPERTY(QString iconScrollDown READ iconScrollDown CONSTANT)
    Q_PROPERTY(QString iconWarning READ iconWarning CONSTANT)
    Q_PROPERTY(QString iconMore READ iconMore CONSTANT)

public:
    explicit Theme(QObject *parent = nullptr);

    bool dark() const;
    QColor textBackground() const;
    QColor controlBackground() const;
    QColor windowBackground() const;
    QColor separator() const;
    QColor label() const;
    QColor secondaryLabel() const;
    QColor tertiaryLabel() const;
    QColor quaternaryLabel() const;
    QColor hoverFill() const;
    QColor accent() const;
    QColor accentText() const;
    QColor link() const;
    QColor destructive() const;
    QColor quoteBar() const;

    static QColor bubbleTop();
    static QColor bubbleBottom();
    static QColor bubbleText();
    static QColor bubbleSecondary();
    static QColor bubbleQuoteBar();
    static QColor bubbleBoxBackground();
    static QColor bubbleBoxBorder();

    static int caption() { return 10; }
    static int footnote() { return 10; }
    static int callout() { return 12; }
    static int body() { return 13; }
    static int title3() { return 15; }
    static int mdBody() { return 14; }
    static int mdHeading1() { return 22; }
    static int mdHeading2() { return 19; }
    static int mdHeading3() { return 16; }
    static int mdCodeLabel() { return 11; }
    static int mdCode() { return 13; }

    /// The faint box behind inline code (the text colour at 8 %).
    QColor codeSpanBackground() const;

    static int spacingXXS() { return 3; }
    static int spacingXS() { return 4; }
    static int spacingS() { return 6; }
    static int spacingM() { return 8; }
    static int spacingL() { return 10; }
    static int spacingXL() { return 12; }
    static int spacingXXL() { return 18; }
    /// Between a header's title and its subtitle.
    static int headerLineSpacing() { return 1; }
    /// Between list items, and between the typing dots.
    static int listSpacing() { return 5; }
    static int emptyStateSpacing() { return 14; }
    static int tableColumnSpacing() { return 16; }
    /// The quote bar.
    static int barRadius() { return 2; }
    static int dotRadius() { return 3; }
    static int smallRadius() { return 4; }
    /// The squared-off corner of the user's bubble.
    static int tailRadius() { return 5; }
    /// A highlighted sidebar row.
    static int rowRadius() { return 6; }
    /// Code and table boxes, grouped settings.
    static int boxRadius() { return 8; }
    /// The composer and the inline editor.
    static int fieldRadius() { return 12; }
    static int bubbleRadius() { return 16; }

    static QString monoFont();

    /// A search match in a message: dark text on yellow, which reads the same on light and
    /// dark backgrounds and on the user's bubble.
    static QColor matchBackground() { return QColor(0xff, 0xd6, 0x0a); }
    static QColor matchText() { return QColor(0x1d, 0x1d, 0x1f); }

    /// Registers the bundled icon font once per process and returns its family.
    static QString iconFont();
    /// Loads the fonts the window's first frame draws with and lays out and draws a line in
    /// each, so that the frame does not wait for the font system. Costs a few tens of
    /// milliseconds: for time that would otherwise go waiting.
    static void prepareFonts();
    static QString iconCompose();
    static QString iconSettings();
    static QString iconBubbles();
    static QString iconBubblesOutlinePath();
    static QString iconSend();
    static QString iconStop();
    static QString iconModel();
    static QString iconUpDown();
    static QString iconCheck();
    static QString iconCopy();
    static QString iconEdit();
    static QString iconRegenerate();
    static QString iconScrollDown();
    static QString iconWarning();
    static QString iconMore();

signals:
    void paletteChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
