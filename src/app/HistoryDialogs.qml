// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import Corvane

// The file dialogs of export, backup and restore. Failures are shown in a message box; a
// finished restore is announced through notice().
Item {
    id: root

    required property HistoryActions history

    signal notice(string text)
    /// A conversation was written to file.
    signal exported(url file)

    function exportConversation(id) {
        if (id === "")
            return
        exportDialog.conversationID = id
        exportDialog.selectedFile = history.documentsFile(history.suggestedFileName(id))
        exportDialog.open()
    }
    function backupAll() {
        backupDialog.selectedFile = history.documentsFile(history.backupFileName())
        backupDialog.open()
    }
    function restoreFromBackup() {
        restoreDialog.currentFolder = history.documentsFolder()
        restoreDialog.open()
    }
    // Qt 6.4's own file dialog draws its folder path on a fixed white box: in a dark window the
    // light path was unreadable on it. The box takes the window's field colour instead. (A
    // desktop's own dialog has no such box.)
    function readablePathBar(item) {
        if (!item)
            return false
        if (item.upButton !== undefined && item.contentModel !== undefined && item.background) {
            const bar = item
            bar.background.color = Qt.binding(() => bar.palette.base)
            return true
        }
        for (let i = 0; i < item.children.length; ++i) {
            if (readablePathBar(item.children[i]))
                return true
        }
        return false
    }
    component AppFileDialog: FileDialog {
        onVisibleChanged: if (visible)
                              root.readablePathBar(root.Overlay.overlay)
    }

    function showError(text) {
        if (text === "")
            return
        errorDialog.text = text
        errorDialog.open()
    }

    AppFileDialog {
        id: exportDialog

        property string conversationID

        objectName: "exportDialog"
        title: qsTr("导出为 Markdown")
        fileMode: FileDialog.SaveFile
        acceptLabel: qsTr("导出")
        defaultSuffix: "md"
        nameFilters: [qsTr("Markdown 文件 (*.md)"), qsTr("所有文件 (*)")]
        onAccepted: {
            const error = root.history.exportMarkdown(conversationID, selectedFile)
            if (error === "")
                root.exported(selectedFile)
            else
                root.showError(error)
        }
    }

    AppFileDialog {
        id: backupDialog

        objectName: "backupDialog"
        title: qsTr("备份全部对话")
        fileMode: FileDialog.SaveFile
        acceptLabel: qsTr("备份")
        defaultSuffix: "json"
        nameFilters: [qsTr("JSON 文件 (*.json)"), qsTr("所有文件 (*)")]
        onAccepted: root.showError(root.history.backup(selectedFile))
    }

    AppFileDialog {
        id: restoreDialog

        objectName: "restoreDialog"
        title: qsTr("从备份恢复")
        fileMode: FileDialog.OpenFile
        acceptLabel: qsTr("恢复")
        nameFilters: [qsTr("JSON 文件 (*.json)"), qsTr("所有文件 (*)")]
        onAccepted: {
            const report = root.history.restoreReport(selectedFile)
            if (report.ok)
                root.notice(report.text)
            else
                root.showError(report.text)
        }
    }

    MessageDialog {
        id: errorDialog

        objectName: "historyErrorDialog"
        title: "Corvane"
        buttons: MessageDialog.Ok
    }
}
