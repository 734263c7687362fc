// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "markdown/highlighter.h"
#include "markdown/quick/codesource.h"
#include "markdown/quick/matchhighlighter.h"

#include <QPointer>
#include <QQmlParserStatus>
#include <QTextCharFormat>

#include <array>

/**
 * Fills a code block's TextEdit with its code, or with one piece of it, colours it by the block's
 * tokens, and spaces its lines.
 *
 * The code and its tokens come from a CodeSource, which all pieces of a block share (source); the
 * piece is the range [start, end) of its code, the whole code by default. Without a source given,
 * the highlighter keeps one of its own, set through code, language and active.
 *
 * The code goes into the document here rather than through the TextEdit's text: code that grows
 * (a streaming reply) is appended, so the lines already there keep their layout, colours and
 * spacing, and a delta costs what it adds, not the length of the block.
 *
 * Only formats change, never the text, so a copy is still the plain code. The marks of a search
 * (query) go on top of the colours.
 */
class CodeHighlighter : public MatchHighlighter, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// The block's code and tokens, shared by its pieces.
    Q_PROPERTY(CodeSource *source READ source WRITE setSource NOTIFY sourceChanged)
    /// The range of the code this piece shows; an end below 0 is the end of the code.
    Q_PROPERTY(int start READ start WRITE setStart NOTIFY rangeChanged)
    Q_PROPERTY(int end READ end WRITE setEnd NOTIFY rangeChanged)
    /// The code to show, verbatim, when no source is given.
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    /// The fence label, as written ("py", "C++", "js"…), when no source is given.
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

    static constexpr int minInterval = CodeSource::minInterval;

    explicit CodeHighlighter(QObject *parent = nullptr);
    ~CodeHighlighter() override;

    CodeSource *source() const { return m_source; }
    void setSource(CodeSource *source);
    int start() const { return m_start; }
    void setStart(int start);
    int end() const { return m_end; }
    void setEnd(int end);
    QString code() const;
    void setCode(const QString &code);
    QString language() const;
    void setLanguage(const QString &language);
    bool active() const;
    void setActive(bool active);
    Palette palette() const { return m_palette; }
    void setPalette(Palette palette);
    bool highlighted() const { return m_highlighted; }
    qreal lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(qreal spacing);

    void attach(QTextDocument *document) override;
    /// Uses this service instead of the shared one (tests, benchmarks).
    void setService(HighlightService *service) { ownSource()->setService(service); }

    void classBegin() override {}
    void componentComplete() override;

signals:
    void sourceChanged();
    void rangeChanged();
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
    /// The source in use: the one given, or the highlighter's own.
    CodeSource *tokens() const { return m_source ? m_source.data() : m_own; }
    CodeSource *ownSource();
    void connectSource(CodeSource *source);
    /// Whether the document's own text is coloured: neither code nor a source was given.
    bool following() const { return !m_source && !m_codeSet; }
    /// The code of this piece.
    QStringView pieceText() const;
    void textChanged();
    void fill();
    void tokensChanged(qsizetype from);
    void recolour(qsizetype from);
    void updateHighlighted();
    void updateFormats();
    void setHighlighted(bool highlighted);
    void applyLineSpacing();

    QPointer<CodeSource> m_source;
    /// Made when code, language or activity is set without a source.
    CodeSource *m_own = nullptr;
    int m_start = 0;
    int m_end = -1;
    /// The code the document holds, once filled.
    QString m_shown;
    bool m_filled = false;
    bool m_codeSet = false;
    /// Set by a fill that replaced the whole text, which drops every line's colours.
    bool m_replaced = false;
    bool m_complete = false;
    bool m_highlighted = false;
    bool m_applying = false;
    Palette m_palette = Light;
    qreal m_lineSpacing = 0;
    std::array<QTextCharFormat, int(SyntaxKind::Variable) + 1> m_formats;
};
