// SPDX-License-Identifier: GPL-3.0-or-later
#include "inlinesource.h"

#include "markdown/quick/mathformulas.h"

#include <QKeyEvent>

using namespace Qt::Literals::StringLiterals;

namespace {

template<typename T> bool change(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

void InlineSource::setHtml(const QString &html)
{
    if (change(m_html, html))
        update();
}

void InlineSource::setColor(const QColor &color)
{
    if (change(m_color, color) && m_hasFormulas)
        update();
}

void InlineSource::setLinkColor(const QColor &color)
{
    if (change(m_linkColor, color))
        update();
}

void InlineSource::setCodeBackground(const QColor &color)
{
    if (change(m_codeBackground, color))
        update();
}

void InlineSource::setLineSpacing(qreal spacing)
{
    if (change(m_lineSpacing, spacing))
        update();
}

void InlineSource::setPixelSize(qreal size)
{
    if (change(m_pixelSize, size) && m_hasFormulas)
        update();
}

void InlineSource::setDevicePixelRatio(qreal dpr)
{
    if (change(m_dpr, dpr) && m_hasFormulas)
        update();
}

void InlineSource::setFormulas(MathFormulas *formulas)
{
    if (m_formulas == formulas)
        return;
    if (m_formulas)
        disconnect(m_formulas, nullptr, this, nullptr);
    m_formulas = formulas;
    // Formulas still being drawn were given addresses marked as pending: ask again when ready.
    if (formulas)
        connect(formulas, &MathFormulas::revisionChanged, this, [this] {
            if (m_hasFormulas)
                update();
        });
    update();
}

QString InlineSource::cssColor(const QColor &color)
{
    return color.name(color.alpha() < 255 ? QColor::HexArgb : QColor::HexRgb);
}

bool InlineSource::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_hasFormulas &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        QMetaObject::invokeMethod(watched, "copySource");
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void InlineSource::update()
{
    const bool hadFormulas = m_hasFormulas;
    const bool hadLinks = m_hasLinks;
    m_hasFormulas = m_html.contains(u"image://math/");
    m_hasLinks = m_html.contains(u"<a href=");
    // The copy key of a text with formulas gives their TeX; the text does that in copySource().
    if (m_hasFormulas != hadFormulas && parent()) {
        if (m_hasFormulas)
            parent()->installEventFilter(this);
        else
            parent()->removeEventFilter(this);
    }
    const QString body = m_hasFormulas && m_formulas
                             ? m_formulas->decorate(m_html, m_color, m_pixelSize, m_dpr)
                             : m_html;
    // One paragraph whose lines are spaced apart; the link colour is set here because the rich
    // text importer would otherwise use the palette's blue, unreadable on the bubble. The style
    // sheet holds only the rules the text uses: parsing it was a fifth of making a table cell.
    const bool hasCode = body.contains(u"<code>");
    QString text;
    text.reserve(body.size() + 200);
    if (m_hasLinks || hasCode) {
        text += u"<style>"_s;
        if (m_hasLinks) {
            text += u"a{color:"_s;
            text += cssColor(m_linkColor);
            text += u";}"_s;
        }
        if (hasCode) {
            text += u"code{background-color:"_s;
            text += cssColor(m_codeBackground);
            text += u";}"_s;
        }
        text += u"</style>"_s;
    }
    text += u"<p style=\"margin:0;"_s;
    if (m_lineSpacing > 0) {
        text += u"line-height:"_s;
        text += QString::number(m_lineSpacing);
        text += u"px;-qt-line-height-type:line-distance;"_s;
    }
    text += u"\">"_s;
    text += body;
    text += u"</p>"_s;
    if (text != m_text) {
        m_text = std::move(text);
        emit textChanged();
    }
    // Told apart from the text, which changes with every delta of a streamed paragraph.
    if (m_hasFormulas != hadFormulas || m_hasLinks != hadLinks)
        emit featuresChanged();
}
