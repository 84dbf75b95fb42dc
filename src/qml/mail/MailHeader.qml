import QtQuick 2.15
import "../controls"
import "../scripts/mail.js" as MailScript
import "../scripts/text.js" as TextRules

// The top of the reading pane: full-width toggle, actions, subject, sender
// and date of the shown letter.
Item {
    id: block
    objectName: "mailHeader"

    property QtObject letter: null
    property bool fullWidth: false
    // Its bodies are read: the actions that copy or print them can run.
    property bool loaded: false

    signal toggleFullWidth

    function shown(action) {
        return MailScript.actionShown(action, mailList.shownFolder)
    }

    // Archives, deletes or restores the shown letter; says so with a way
    // back, or says what failed and where the letter still is. Removing for
    // good from Trash is asked first.
    function move(action) {
        var profile = root.currentProfile
        var letter = block.letter
        var folder = mailList.shownFolder
        if (!profile || !letter)
            return
        if (action === "delete" && folder === 4) {
            messageForm.show(qsTr("Remove the letter \"%1\" for good? It cannot be undone.").arg(letter.subject),
                             true, function() { block.run(profile, letter, action, folder) })
            messageForm.title = qsTr("Delete")
            return
        }
        run(profile, letter, action, folder)
    }
    function run(profile, letter, action, folder) {
        var id = letter.id
        // The shown row: a letter made here may have no id yet.
        var row = mailList.model.getSourceModelIndex(mailList.currentIndex)
        var target = action === "archive" ? 3 : action === "delete" ? 4 : letter.folderType
        var done = action === "archive" ? profile.cache.archiveMessage(id, row, folder, letter)
                 : action === "delete" ? profile.cache.deleteMessage(id, row, folder, letter)
                 : profile.cache.restoreMessage(id, row, letter)
        if (!done) {
            var failed = action === "archive" ? qsTr("The letter could not be archived.")
                       : action === "delete" ? qsTr("The letter could not be deleted.")
                       : qsTr("The letter could not be restored.")
            root.notify(failed + " " + qsTr("It is still in %1.").arg(root.folderNames[folder]))
        } else if (action === "restore") {
            root.notify(qsTr("Restored to %1.").arg(root.folderNames[target]))
        } else if (folder !== target && !(action === "delete" && folder === 4)) {
            root.notify(action === "archive" ? qsTr("Letter archived.") : qsTr("Letter moved to Trash."),
                        qsTr("Undo"), function() { block.undo(profile, id, target, folder) })
        }
    }
    function undo(profile, id, from, to) {
        var model = MailScript.folderModel(profile, from)
        var row = model ? model.sourceRowOf(id) : -1
        var letter = row >= 0 ? model.sourceLetterAt(row) : null
        if (!letter || !profile.cache.returnMessage(id, row, from, to, letter))
            root.notify(qsTr("The letter could not be moved back. It is in %1.").arg(root.folderNames[from]))
    }

    visible: letter !== null
    enabled: visible
    height: content.height

    Shadow {
        target: background
        horizontalOffset: 1
        verticalOffset: 2
    }

    Rectangle {
        id: background
        anchors.fill: parent
        color: "whitesmoke"
    }

    Column {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right

        Item {
            id: buttonRow
            width: parent.width
            height: root.itemHeight

            MenuButton {
                id: fullWidthButton
                objectName: "fullWidthButton"
                anchors.left: parent.left
                imagePath: block.fullWidth ? "qrc:/qml/images/nofullscreen.png" : "qrc:/qml/images/fullscreen.png"
                imageColor: "#dddddd"
                accessibleName: block.fullWidth ? qsTr("Leave full width") : qsTr("Full width")
                onClicked: block.toggleFullWidth()
            }

            Row {
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: parent.bottom

                MenuButton {
                    objectName: "editDraftButton"
                    enabled: block.loaded
                    visible: block.shown("edit")
                    imagePath: "qrc:/qml/images/mail_draft.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Edit the draft") }
                    onClicked: root.showDraft()
                }
                MenuButton {
                    objectName: "replyButton"
                    enabled: block.loaded
                    visible: block.shown("reply")
                    imagePath: "qrc:/qml/images/reply.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut {
                        text: qsTr("Reply")
                        sequence: "Ctrl+R"
                        moreTip: qsTr("reply to all") + " (" + replyAllKey.nativeText + ")"
                    }
                    ButtonShortcut {
                        id: replyAllKey
                        sequence: "Ctrl+Shift+R"
                        showTip: false
                        action: function() {
                            root.showReply()
                            newMailForm.replyToAll()
                        }
                    }
                    onClicked: root.showReply()
                }
                MenuButton {
                    objectName: "forwardButton"
                    enabled: block.loaded
                    visible: block.shown("forward")
                    imagePath: "qrc:/qml/images/forward.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Forward"); sequence: "Ctrl+L" }
                    onClicked: root.showForward()
                }
                MenuButton {
                    objectName: "archiveButton"
                    visible: block.shown("archive")
                    imagePath: "qrc:/qml/images/archive.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Archive"); sequence: "Ctrl+E" }
                    onClicked: block.move("archive")
                }
                MenuButton {
                    objectName: "restoreButton"
                    visible: block.shown("restore")
                    imagePath: "qrc:/qml/images/mail_restore.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Restore"); sequence: "Ctrl+Shift+E" }
                    onClicked: block.move("restore")
                }
                MenuButton {
                    objectName: "deleteButton"
                    visible: block.shown("delete")
                    imagePath: "qrc:/qml/images/mail_delete.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Delete"); sequence: "Del" }
                    onClicked: block.move("delete")
                }
                MenuButton {
                    objectName: "printButton"
                    enabled: block.loaded
                    visible: block.shown("print")
                    imagePath: "qrc:/qml/images/printer.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Print to PDF"); sequence: "Ctrl+P" }
                    onClicked: utils.printToPdf(mail.getBodyText(), block.letter.subject)
                }
            }
        }

        Separator { width: parent.width }

        Item {
            width: parent.width
            height: subject.height + 5

            Text {
                id: subject
                objectName: "mailSubject"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                y: 5
                height: Math.min(implicitHeight, mail.height * 0.3)
                text: block.letter ? block.letter.subject : ""
                textFormat: Text.PlainText
                color: "black"
                font.pointSize: 13
                fontSizeMode: Text.VerticalFit
                wrapMode: Text.Wrap
            }
        }

        Item {
            width: parent.width
            height: Math.max(sender.implicitHeight, root.itemHeight)

            Text {
                id: sender
                objectName: "mailSender"
                anchors.left: parent.left
                anchors.right: date.left
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: block.letter ? block.letter.from : ""
                textFormat: Text.PlainText
                color: styles.foreground.textColor
                font.pointSize: 11
                fontSizeMode: Text.VerticalFit
                wrapMode: Text.Wrap
                scale: senderArea.pressed ? 0.99 : 1.0

                Rectangle {
                    x: 0
                    y: sender.contentHeight + 3
                    width: Math.min(sender.contentWidth, sender.width)
                    height: 1
                    color: senderArea.pressed ? sender.color : "#bbbbbb"
                }

                MouseArea {
                    id: senderArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        var who = TextRules.splitSender(sender.text)
                        root.showNewMail()
                        root.addRecipient(who.name, who.email)
                    }
                }
            }

            Text {
                id: date
                objectName: "mailDate"
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: block.letter ? Qt.formatDateTime(block.letter.date, "dd.MM.yyyy hh:mm:ss") : ""
                color: styles.foreground.textColor
                font.pointSize: 11
                fontSizeMode: Text.VerticalFit
            }
        }
    }
}
