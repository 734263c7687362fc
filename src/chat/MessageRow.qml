// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import Corvane

// One message of the chat pane: the user's text as a gradient bubble on the right (or the inline
// editor while it is edited), any other message as Markdown on the left, and under it the
// copy / edit / regenerate actions, shown while the pointer is over the row. The row holds no
// logic: it reports the user's choices through its signals.
Item {
    id: root

    required property int index
    required property string messageID
    required property string role
    /// The message list the row belongs to, if any: the text is then read from it (see
    /// MessageText), otherwise content is what it was given.
    property QtObject messages
    property alias content: source.text
    required property bool isLast
    required property bool isStreaming
    required property bool isTyping
    required property bool isEditing
    /// The text of the inline editor; the editor reports every change with editTextEdited().
    property string editText
    /// The part of the row on screen, in the row's coordinates (see MarkdownBlocksView).
    property real viewTop: -Infinity
    property real viewBottom: Infinity
    /// The search query whose matches are marked in the message.
    property string matchQuery
    /// For a reply marked as failed: what failed and what to do (heading, message, advice,
    /// details, offerSettings, partial); undefined for any other message.
    property var failure
    /// What the gateway said the reply cost, e.g. "输入 1,234 · 输出 567 tokens"; empty if unknown.
    property string usage
    /// A user message's files: {name, isImage, url, missing, size} each.
    property var attachments: []
    /// While the message is edited: the places of the files the edit removes.
    property var editRemovedFiles: []
    /// A reply's tool calls (see ToolCallsView).
    property var toolCalls: []
    /// A reply may be regenerated now (none streams in the pane).
    property bool canRetry: true

    signal startEdit
    signal cancelEdit
    signal submitEdit
    signal regenerate
    signal regenerateWithoutImages
    /// The failure's fix is in the Settings window.
    signal openSettings
    /// The model takes no tools: turn them off for the conversation and ask again.
    signal turnToolsOff
    /// The user's answers to a tool call's approval card.
    signal allowCall(string callID)
    signal allowConversation(string callID)
    signal denyCall(string callID)
    signal editTextEdited(string text)
    /// The user clicked a file of the message.
    signal openAttachment(url file, string name)
    /// The edit removes the file at that place.
    signal removeEditFile(int index)
    /// Text above the visible part changed its height by dy, moving what is seen.
    signal contentShifted(real dy)

    readonly property bool isUser: role === "user"
    /// A reply that failed before the model said anything: the strip says all there is.
    readonly property bool failedOnly: !!failure && !failure.partial

    // The list reuses rows: a row given another message forgets how the last one's reasoning
    // was folded.
    onMessageIDChanged: {
        reasoning.userExpanded = undefined
        if (failureLoader.item)
            failureLoader.item.detailsShown = false
    }
    readonly property bool hovering: hover.hovered
    /// The room beside a message that keeps it off the other edge.
    readonly property real sideRoom: 56
    readonly property bool actionsAvailable: isUser ? !isEditing : !isStreaming
    /// Shown under the pointer, and while the keyboard is on one of them.
    readonly property bool actionsShown: actionsAvailable
                                         && (hovering || copyAction.activeFocus
                                             || editAction.activeFocus || regenerateAction.activeFocus)

    implicitHeight: body.implicitHeight

    /// Makes the views of the blocks on screen now rather than before the next frame.
    function layoutBlocks() {
        markdown.layout()
    }

    /// The top of a block of the message's text (of its first search match, when it shows one),
    /// in the row's coordinates; the row's own top for -1.
    function blockTop(block) {
        return block < 0 ? 0 : body.y + content.y + markdown.y + markdown.blockTop(block)
    }

    // The answer alone: a reply's leading "<think>" block shows in its reasoning block.
    MessageText {
        id: source
        model: root.messages
        row: root.index
        role: "answer"
    }

    HoverHandler {
        id: hover
    }

    component ActionButton: AbstractButton {
        id: button

        property string glyph

        hoverEnabled: true
        focusPolicy: Qt.StrongFocus
        Accessible.name: text
        leftPadding: 6
        rightPadding: 6
        topPadding: 3
        bottomPadding: 3

        contentItem: Row {
            spacing: Theme.spacingXXS
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                glyph: button.glyph
                size: Theme.caption + 1
                color: Theme.secondaryLabel
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: button.text
                font.pixelSize: Theme.caption
                color: Theme.secondaryLabel
            }
        }
        background: Rectangle {
            radius: Theme.smallRadius
            color: button.down ? Theme.quaternaryLabel : "transparent"
            border.width: button.hovered || button.visualFocus ? 1 : 0
            border.color: button.visualFocus ? Theme.accent : Theme.separator
        }
    }

    Column {
        id: body

        width: root.width - root.sideRoom
        x: root.isUser ? root.sideRoom : 0
        spacing: Theme.spacingXS

        ReasoningBlock {
            id: reasoning
            objectName: "reasoning"

            width: parent.width
            messages: root.isUser ? null : root.messages
            row: root.index
            streaming: root.isStreaming
            answered: root.content !== ""
            matchQuery: root.matchQuery
            viewTop: root.viewTop - y
            viewBottom: root.viewBottom - y
            onContentShifted: dy => root.contentShifted(dy)
            // Room under the block, kept in the block so a row without reasoning has none.
            height: implicitHeight + (visible ? 6 : 0)
        }

        // The message itself: one Markdown view, in the bubble for the user's text; the typing
        // dots while a reply has no text; the editor while the user's text is edited. The view
        // is not made by a Loader, so its text binding stays compiled and a long streamed reply
        // never passes through the script engine.
        Item {
            id: content

            width: parent.width
            // A message of files alone has no bubble.
            visible: !root.failedOnly
                     && !(root.isUser && !root.isEditing && root.content === "" && root.attachments.length > 0)
            implicitHeight: root.isEditing && root.isUser ? editorLoader.implicitHeight
                          : root.isTyping && !root.isUser ? dots.implicitHeight
                          : root.isUser ? bubble.height : markdown.implicitHeight
            height: visible ? implicitHeight : 0

            Item {
                id: bubble
                objectName: "bubble"

                visible: root.isUser && !root.isEditing
                anchors.right: parent.right
                // Whole pixels, so the squared-off corner meets the edges exactly.
                width: Math.round(Math.min(parent.width, markdown.naturalWidth + 28))
                height: Math.ceil(markdown.implicitHeight + 20)

                // Unevenly rounded corners (16, 16, 5, 16): a fully rounded gradient box, and over
                // its bottom-right corner the same box with the small radius, clipped to that
                // corner. Both draw one gradient over one height, so the corner shows no seam
                // and no square of another shade.
                Rectangle {
                    anchors.fill: parent
                    radius: Theme.bubbleRadius
                    gradient: bubbleGradient
                }
                Item {
                    id: corner
                    objectName: "bubbleCorner"

                    readonly property real side: Math.min(Theme.bubbleRadius, bubble.width / 2,
                                                          bubble.height / 2)

                    x: bubble.width - side
                    y: bubble.height - side
                    width: side
                    height: side
                    clip: true

                    Rectangle {
                        x: -corner.x
                        y: -corner.y
                        width: bubble.width
                        height: bubble.height
                        radius: Theme.tailRadius
                        gradient: bubbleGradient
                    }
                }
                Gradient {
                    id: bubbleGradient

                    GradientStop {
                        position: 0
                        color: Theme.bubbleTop
                    }
                    GradientStop {
                        position: 1
                        color: Theme.bubbleBottom
                    }
                }
            }

            MarkdownBlocksView {
                id: markdown
                objectName: "markdown"

                visible: root.isUser ? !root.isEditing : !root.isTyping
                x: root.isUser ? bubble.x + 14 : 0
                y: root.isUser ? 10 : 0
                width: root.isUser ? bubble.width - 28 : content.width
                text: root.content
                streaming: root.isStreaming
                onAccent: root.isUser
                matchQuery: root.matchQuery
                // Only the bubble sizes itself to its text.
                measure: root.isUser
                visibleTop: root.viewTop - y
                visibleBottom: root.viewBottom - y
                onContentShifted: dy => root.contentShifted(dy)
            }

            TypingDots {
                id: dots
                objectName: "typingDots"
                visible: root.isTyping && !root.isUser
            }

            Loader {
                id: editorLoader

                width: parent.width
                active: root.isEditing && root.isUser
                sourceComponent: editorComponent
            }
        }

        // The files sent with a user's message, under its bubble: images as thumbnails (read
        // off the main thread and cached by the image cache), other files by name. A click
        // opens the file with the desktop's application.
        Flow {
            objectName: "messageAttachments"
            visible: root.isUser && root.attachments.length > 0
            width: parent.width
            layoutDirection: Qt.RightToLeft
            spacing: Theme.spacingS

            Repeater {
                model: root.isUser ? root.attachments : []
                delegate: AbstractButton {
                    id: file

                    required property var modelData
                    required property int index

                    objectName: "messageAttachment"
                    visible: !root.isEditing || root.editRemovedFiles.indexOf(index) < 0
                    enabled: !modelData.missing || root.isEditing
                    hoverEnabled: true
                    implicitWidth: modelData.isImage && !modelData.missing ? 120 : fileRow.implicitWidth + 16
                    implicitHeight: modelData.isImage && !modelData.missing ? 90 : 32
                    onClicked: if (!modelData.missing)
                                   root.openAttachment(modelData.url, modelData.name)
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    ToolTip.text: modelData.name

                    background: Rectangle {
                        radius: Theme.smallRadius
                        color: Theme.controlBackground
                        border.color: file.hovered ? Theme.accent : Theme.separator
                    }
                    contentItem: Item {
                        Image {
                            visible: file.modelData.isImage && !file.modelData.missing
                            anchors.fill: parent
                            anchors.margins: 1
                            source: visible ? file.modelData.url : ""
                            sourceSize.width: 240
                            sourceSize.height: 180
                            fillMode: Image.PreserveAspectCrop
                            asynchronous: true
                        }
                        Row {
                            id: fileRow

                            visible: !file.modelData.isImage || file.modelData.missing
                            anchors.centerIn: parent
                            spacing: 6

                            Icon {
                                glyph: file.modelData.missing ? Theme.iconWarning : "\ue24d"
                                size: 18
                                color: Theme.secondaryLabel
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Label {
                                width: Math.min(implicitWidth, 200)
                                anchors.verticalCenter: parent.verticalCenter
                                text: file.modelData.missing
                                      ? qsTr("%1（文件已丢失）").arg(file.modelData.name)
                                      : file.modelData.name
                                textFormat: Text.PlainText
                                elide: Text.ElideMiddle
                                font.pixelSize: Theme.callout
                                color: file.modelData.missing ? Theme.secondaryLabel : Theme.label
                            }
                        }
                        // While the message is edited, its files may be taken off it.
                        RoundButton {
                            objectName: "removeEditFileButton"
                            visible: root.isEditing
                            anchors.top: parent.top
                            anchors.right: parent.right
                            anchors.margins: -6
                            width: 20
                            height: 20
                            padding: 0
                            text: "×"
                            // The editor keeps the keyboard.
                            focusPolicy: Qt.NoFocus
                            Accessible.name: qsTr("移除")
                            onClicked: root.removeEditFile(file.index)
                        }
                    }
                }
            }
        }

        ToolCallsView {
            objectName: "toolCalls"
            width: parent.width
            calls: root.isUser ? [] : root.toolCalls
            onAllow: id => root.allowCall(id)
            onAllowConversation: id => root.allowConversation(id)
            onDeny: id => root.denyCall(id)
        }

        // Made only for a failed reply: most rows never need it.
        Loader {
            id: failureLoader

            width: Math.min(parent.width, 640)
            active: !!root.failure
            visible: active
            sourceComponent: FailureStrip {
                objectName: "failureStrip"
                failure: root.failure
                canRetry: root.isLast && root.canRetry
                onRetry: root.regenerate()
                onRetryWithoutImages: root.regenerateWithoutImages()
                onOpenSettings: root.openSettings()
                onTurnToolsOff: root.turnToolsOff()
            }
        }

        Row {
            id: actions
            objectName: "actions"

            // Placed rather than anchored: a reused row that drops the anchor would keep the
            // anchored x, and a reply's actions would show on the right.
            x: root.isUser ? parent.width - width : 0
            spacing: Theme.spacingXS
            // Hidden actions keep their room, so a row never changes height under the pointer.
            opacity: root.actionsShown ? 1 : 0
            enabled: root.actionsAvailable

            ActionButton {
                id: copyAction
                objectName: "copyAction"
                glyph: Theme.iconCopy
                text: qsTr("复制")
                onClicked: Clipboard.setText(root.content)
            }
            ActionButton {
                id: editAction
                objectName: "editAction"
                visible: root.isUser
                glyph: Theme.iconEdit
                text: qsTr("编辑")
                onClicked: root.startEdit()
            }
            ActionButton {
                id: regenerateAction
                objectName: "regenerateAction"
                visible: !root.isUser && root.isLast
                glyph: Theme.iconRegenerate
                text: qsTr("重新生成")
                onClicked: root.regenerate()
            }
            Text {
                objectName: "usage"
                anchors.verticalCenter: parent.verticalCenter
                visible: root.usage !== "" && !root.isUser
                leftPadding: Theme.spacingXS
                text: root.usage
                textFormat: Text.PlainText
                font.pixelSize: Theme.caption
                color: Theme.tertiaryLabel
            }
        }
    }

    Component {
        id: editorComponent

        Column {
            spacing: Theme.spacingS

            Rectangle {
                id: field
                objectName: "editorField"

                // The height of the text's own lines (Chinese lines are taller than Latin ones).
                readonly property real lineHeight: editor.lineCount > 0
                                                   ? editor.contentHeight / editor.lineCount : 0

                anchors.right: parent.right
                width: Math.max(parent.width, 220)
                height: Math.min(editor.implicitHeight, 12 * lineHeight + editor.topPadding + editor.bottomPadding)
                radius: Theme.fieldRadius
                color: Theme.controlBackground
                border.width: 1
                border.color: Qt.alpha(Theme.accent, 0.5)

                ScrollView {
                    anchors.fill: parent
                    TextArea {
                        id: editor
                        objectName: "editor"

                        padding: 10
                        text: root.editText
                        wrapMode: TextEdit.Wrap
                        color: Theme.label
                        selectByMouse: true
                        background: null
                        onTextChanged: if (text !== root.editText)
                                           root.editTextEdited(text)

                        TextMenuHandler {}
                        Component.onCompleted: {
                            forceActiveFocus()
                            cursorPosition = length
                        }
                    }
                }
            }

            Row {
                anchors.right: parent.right
                spacing: Theme.spacingM

                Button {
                    objectName: "cancelEditButton"
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("取消")
                    flat: true
                    font.pixelSize: Theme.callout
                    palette.buttonText: Theme.secondaryLabel
                    onClicked: root.cancelEdit()
                }
                Button {
                    objectName: "submitEditButton"
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("保存并重发")
                    highlighted: true
                    font.pixelSize: Theme.callout
                    topPadding: 4
                    bottomPadding: 4
                    onClicked: root.submitEdit()
                }
            }
        }
    }
}
