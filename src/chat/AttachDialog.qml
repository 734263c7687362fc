// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Dialogs

// The paperclip's file dialog: several files at once. Loaded on first use, so that the dialogs
// module costs the start nothing.
FileDialog {
    /// Where the chosen files go.
    required property PendingAttachments attachments

    title: qsTr("添加附件")
    fileMode: FileDialog.OpenFiles
    onAccepted: attachments.addUrls(selectedFiles)
}
