// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/highlighter.h"
#include "markdown/quick/matchhighlighter.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QQmlParserStatus>
#include <QTextCharFormat>
#include <QTimer>

#include <array>

/**
 * Fills a code block's TextEdit with its code, colours it by its fence label, and spaces its
 * lines.
 *
 * The code goes into the document here rather than through the TextEdit's text: code that grows
 * (a streaming reply) is appended, so the lines already there keep their layout, colours and
 * spacing, and a delta costs what it adds, not the length of the block.
 *
 * The tokens come from HighlightService's worker; until they arrive, and for a language without
 * a grammar, the code stays plain. While the code grows (a streaming reply) it is tokenised at
 * most every minInterval ms, and the part already tokenised keeps its colours in the meantime.
 * Only formats change, never the text, so a copy is still the plain code. The marks of a search
 * (query) go on top of the colours.
 */
class CodeHighlighter : public MatchHighlighter, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// The code to show, verbatim.
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    /// The fence label, as written ("py", "C++", "js"…).
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(Palette palette READ palette WRITE setPalette NOTIFY paletteChanged)
    /// Extra room between lines, in pixels (TextEdit has no line height of its own).
    Q_PROPERTY(qreal lineSpacing READ lineSpacing WRITE setLineSpacing NOTIFY lineSpacingChanged)
    /// Whether colours from a finished tokenisation are shown for the whole current text.
    Q_PROPERTY(bool highlighted READ highlighted NOTIFY highlightedChanged)

public:
    /// Light and dark backgrounds, and the user's bubble.
    enum Palette {
        Light = int(SyntaxPalette::Light),
        Dark = int(SyntaxPalette::Dark),
        OnAccent = int(SyntaxPalette::OnAccent),
    };
    Q_ENUM(Palette)

    static constexpr int minInterval = 250;

    explicit CodeHighlighter(QObject *parent = nullptr);
    ~CodeHighlighter() override;

    QString code() const { return m_code; }
    void setCode(const QString &code);
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    bool active() const { return m_active; }
    void setActive(bool active);
    Palette palette() const { return m_palette; }
    void setPalette(Palette palette);
    bool highlighted() const { return m_highlighted; }
    qreal lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(qreal spacing);

    void attach(QTextDocument *document) override;
    /// Uses this service instead of the shared one (tests, benchmarks).
    void setService(HighlightService *service) { m_service = service; }

    void classBegin() override {}
    void componentComplete() override;

signals:
    void codeChanged();
    void languageChanged();
    void activeChanged();
    void paletteChanged();
    void highlightedChanged();
    void lineSpacingChanged();

protected:
    void formatBlock(const QString &text) override;
    void reformat() override;

private:
    void textChanged();
    void fill();
    void refresh(bool now);
    void request();
    void accept(const QString &code, const SyntaxSpans &spans);
    void recolour(qsizetype from);
    void clear();
    void updateFormats();
    void setHighlighted(bool highlighted);
    void applyLineSpacing();
    HighlightService *service() const;

    QPointer<HighlightService> m_service;
    QString m_code;
    /// The code the document holds, once filled.
    QString m_shown;
    bool m_filled = false;
    /// Whether code was given at all; without it the document's own text is coloured.
    bool m_codeSet = false;
    /// Set by a fill that replaced the whole text, which drops every line's colours.
    bool m_replaced = false;
    QString m_language;
    QString m_grammar;
    bool m_active = true;
    bool m_complete = false;
    bool m_highlighted = false;
    bool m_applying = false;
    Palette m_palette = Light;
    qreal m_lineSpacing = 0;
    std::array<QTextCharFormat, int(SyntaxKind::Variable) + 1> m_formats;

    /// The text the spans belong to.
    QString m_spansText;
    SyntaxSpans m_spans;
    QTimer m_throttle;
    QElapsedTimer m_sinceRequest;
};
