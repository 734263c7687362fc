// SPDX-License-Identifier: GPL-3.0-or-later
#include "theme.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTextLayout>

namespace {

QColor paletteColor(QPalette::ColorRole role)
{
    return QGuiApplication::palette().color(QPalette::Active, role);
}

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(alpha);
    return c;
}

QColor whiteAt(qreal alpha)
{
    return withAlpha(Qt::white, alpha);
}

// The symbols of the design mapped onto Material Icons code points (the font's own names in
// the comments), so that one table decides every glyph.
enum Glyph : char16_t {
    SquareAndPencil = 0xe745,      // edit_note
    Gearshape = 0xe8b8,            // settings
    BubbleLeftAndRight = 0xe0bf,   // forum
    ArrowUpCircleFill = 0xf182,    // arrow_circle_up
    StopCircleFill = 0xef71,       // stop_circle
    Cpu = 0xe322,                  // memory
    ChevronUpChevronDown = 0xe5d7, // unfold_more
    Checkmark = 0xe5ca,            // check
    DocOnDoc = 0xe14d,             // content_copy
    Pencil = 0xe3c9,               // edit
    ArrowClockwise = 0xe5d5,       // refresh
    ArrowDown = 0xe5db,            // arrow_downward
    ExclamationTriangle = 0xe002,  // warning
    Ellipsis = 0xe5d3,             // more_horiz
};

QString glyph(Glyph g)
{
    return QString(QChar(g));
}

} // namespace

Theme::Theme(QObject *parent) : QObject(parent)
{
    iconFont();
    qGuiApp->installEventFilter(this);
}

bool Theme::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qGuiApp && event->type() == QEvent::ApplicationPaletteChange)
        emit paletteChanged();
    return QObject::eventFilter(watched, event);
}

bool Theme::dark() const
{
    return paletteColor(QPalette::Window).lightness() < 128;
}

QColor Theme::textBackground() const
{
    return paletteColor(QPalette::Base);
}

QColor Theme::controlBackground() const
{
    return paletteColor(QPalette::AlternateBase);
}

QColor Theme::windowBackground() const
{
    return paletteColor(QPalette::Window);
}

QColor Theme::separator() const
{
    // A translucent line reads the same on base and window backgrounds, light or dark.
    return withAlpha(label(), dark() ? 0.2 : 0.14);
}

QColor Theme::label() const
{
    return paletteColor(QPalette::Text);
}

QColor Theme::secondaryLabel() const
{
    return withAlpha(label(), 0.55);
}

QColor Theme::tertiaryLabel() const
{
    return withAlpha(label(), 0.35);
}

QColor Theme::quaternaryLabel() const
{
    return withAlpha(label(), 0.18);
}

QColor Theme::hoverFill() const
{
    return withAlpha(label(), 0.08);
}

QColor Theme::codeSpanBackground() const
{
    return withAlpha(label(), 0.08);
}

QColor Theme::accent() const
{
    return paletteColor(QPalette::Highlight);
}

QColor Theme::accentText() const
{
    return paletteColor(QPalette::HighlightedText);
}

QColor Theme::link() const
{
    return accent();
}

QColor Theme::destructive() const
{
    return dark() ? QColor(0xff, 0x45, 0x3a) : QColor(0xff, 0x3b, 0x30);
}

QColor Theme::quoteBar() const
{
    return withAlpha(accent(), 0.45);
}

QColor Theme::bubbleTop()
{
    return QColor::fromRgbF(0.18f, 0.37f, 0.90f);
}

QColor Theme::bubbleBottom()
{
    return QColor::fromRgbF(0.11f, 0.25f, 0.70f);
}

QColor Theme::bubbleText()
{
    return Qt::white;
}

QColor Theme::bubbleSecondary()
{
    return whiteAt(0.82);
}

QColor Theme::bubbleQuoteBar()
{
    return whiteAt(0.5);
}

QColor Theme::bubbleBoxBackground()
{
    return whiteAt(0.14);
}

QColor Theme::bubbleBoxBorder()
{
    return whiteAt(0.25);
}

QString Theme::monoFont()
{
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QString Theme::iconFont()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/Corvane/fonts/MaterialIcons-Regular.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Material Icons") : families.first();
    }();
    return family;
}

void Theme::prepareFonts()
{
    // Chinese and Latin text, digits and the punctuation of both: the fallback fonts a
    // conversation needs are found and loaded here.
    const QString sample =
        QStringLiteral("你好，这是一个测试：“中文”与 English text — 123, (ok)! 的了我");
    QFont body = QGuiApplication::font();
    body.setPixelSize(mdBody());
    QFont bold = body;
    bold.setBold(true);
    QFont code(monoFont());
    code.setPixelSize(mdCode());
    QFont icons(iconFont());
    icons.setPixelSize(body.pixelSize());
    QImage canvas(256, 32, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    for (const QFont &font : {body, bold, code, icons}) {
        QTextLayout layout(sample, font);
        layout.beginLayout();
        layout.createLine().setLineWidth(canvas.width());
        layout.endLayout();
        layout.draw(&painter, {});
    }
}

QString Theme::iconCompose()
{
    return glyph(SquareAndPencil);
}

QString Theme::iconSettings()
{
    return glyph(Gearshape);
}

QString Theme::iconBubbles()
{
    return glyph(BubbleLeftAndRight);
}

QString Theme::iconBubblesOutlinePath()
{
    // Material Icons' outlined "forum" (Apache-2.0), the same design as the glyph.
    return QStringLiteral("M15 4v7H5.17L4 12.17V4h11m1-2H3c-.55 0-1 .45-1 1v14l4-4h10c.55 0 "
                          "1-.45 1-1V3c0-.55-.45-1-1-1zm5 4h-2v9H6v2c0 .55.45 1 1 1h11l4 4V7c0-.55"
                          "-.45-1-1-1z");
}

QString Theme::iconSend()
{
    return glyph(ArrowUpCircleFill);
}

QString Theme::iconStop()
{
    return glyph(StopCircleFill);
}

QString Theme::iconModel()
{
    return glyph(Cpu);
}

QString Theme::iconUpDown()
{
    return glyph(ChevronUpChevronDown);
}

QString Theme::iconCheck()
{
    return glyph(Checkmark);
}

QString Theme::iconCopy()
{
    return glyph(DocOnDoc);
}

QString Theme::iconEdit()
{
    return glyph(Pencil);
}

QString Theme::iconRegenerate()
{
    return glyph(ArrowClockwise);
}

QString Theme::iconScrollDown()
{
    return glyph(ArrowDown);
}

QString Theme::iconWarning()
{
    return glyph(ExclamationTriangle);
}

QString Theme::iconMore()
{
    return glyph(Ellipsis);
}
