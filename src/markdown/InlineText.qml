// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// Selectable rich text of one block: the inline HTML of a paragraph, heading, list item, quote
// or table cell. Links open only through the LinkOpener, which accepts web and mail links.
// Formulas are images drawn for this text's colour and size; a copy gives their TeX, and a
// formula that could not be typeset tells why when the pointer rests on it.
TextEdit {
    id: root

    /// The block's inline HTML (from the block model), without any block markup.
    property string inlineHtml
    /// Drawn on the user's bubble: the text, links and code spans take the bubble's colours.
    property bool onAccent: false
    /// Extra room between the lines of the block.
    property real lineSpacing: 0
    property color linkColor: onAccent ? Theme.bubbleText : Theme.link
    /// Keep naturalWidth, the unwrapped width of the text, up to date (for a parent that sizes
    /// itself to its content). Measuring costs a second layout of the text, so it is asked for.
    property bool measure: false
    /// Updated from handlers rather than a binding: the first read of implicitWidth lays the
    /// text out again and changes it, which a binding would report as a loop.
    property real naturalWidth: 0
    /// A faint box behind code spans.
    property color codeBackground: onAccent ? Theme.bubbleCodeSpanBackground
                                            : Theme.codeSpanBackground
    /// The search query whose matches are marked; empty marks nothing.
    property string matchQuery
    /// The highlighter of those matches, made when there is first a query.
    property MatchHighlighter marks: null

    readonly property bool hasFormulas: source.hasFormulas
    /// Follows the pointer for a text whose links or formulas answer it; made when the text
    /// first has one. Over plain text the text's own cursor, the I-beam, is enough.
    property HoverHandler pointer: null
    readonly property string formulaError: hasFormulas && pointer && pointer.hovered
        ? MathFormulas.errorAt(textDocument, positionAt(pointer.point.position.x,
                                                        pointer.point.position.y))
        : ""

    /// Copies the selection, formulas as their TeX (also on the copy key: see InlineSource).
    function copySource() {
        if (hasFormulas)
            Clipboard.setText(MathFormulas.sourceText(textDocument, selectionStart, selectionEnd))
        else
            copy()
    }

    // The rich text of the paragraph, made in C++: a script binding would make every version of
    // a growing paragraph as a string of the script engine.
    InlineSource {
        id: source
        html: root.inlineHtml
        color: root.color
        linkColor: root.linkColor
        codeBackground: root.codeBackground
        lineSpacing: root.lineSpacing
        pixelSize: root.font.pixelSize
        // Asked only by a text with formulas: reading Screen makes an attached object, a
        // sixth of the cost of making a text item.
        devicePixelRatio: root.hasFormulas ? Screen.devicePixelRatio : 1
        formulas: MathFormulas
        onFeaturesChanged: root.makePointer()
    }

    text: source.text
    textFormat: TextEdit.RichText
    readOnly: true
    selectByMouse: true
    wrapMode: TextEdit.Wrap
    font.pixelSize: TextZoom.bodySize
    color: onAccent ? Theme.bubbleText : Theme.label
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    onLinkActivated: link => LinkOpener.open(link)
    onMeasureChanged: naturalWidth = measure ? implicitWidth : 0
    onImplicitWidthChanged: if (measure)
                                naturalWidth = implicitWidth
    Component.onCompleted: {
        if (measure)
            naturalWidth = implicitWidth
        makeMarks()
        makePointer()
    }

    // Set from here rather than bound: a binding would give every text, formulas or not, the
    // tooltip's attached object.
    onFormulaErrorChanged: {
        ToolTip.delay = 400
        ToolTip.text = formulaError
        ToolTip.visible = formulaError.length > 0
    }

    function makePointer() {
        if (!pointer && (source.hasLinks || source.hasFormulas)) {
            pointer = pointerComponent.createObject(root)
            // A handler made later is given its events only once it is among the text's data.
            root.data.push(pointer)
        }
    }

    Component {
        id: pointerComponent

        HoverHandler {
            cursorShape: root.hoveredLink.length > 0 ? Qt.PointingHandCursor : Qt.IBeamCursor
        }
    }
    /// The top of the first marked match, in the text's coordinates; -1 when none.
    function matchY() {
        const at = marks ? marks.firstMatch() : -1
        return at < 0 ? -1 : positionToRectangle(at).y
    }

    // Only a text with something to mark gets a highlighter, when it first has.
    function makeMarks() {
        if (matchQuery !== "" && !marks)
            marks = marksComponent.createObject(root)
    }
    onMatchQueryChanged: makeMarks()

    Component {
        id: marksComponent

        MatchHighlighter {
            // The colours first: given after the query, each would format the text again.
            matchBackground: Theme.matchBackground
            matchText: Theme.matchText
            textDocument: root.matchQuery !== "" ? root.textDocument : null
            query: root.matchQuery
        }
    }
}
