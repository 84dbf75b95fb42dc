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
    // The letter's account, the folder shown (Letter.FolderType), the
    // folders' names by number, and the dialog that asks before a letter is
    // removed for good.
    property QtObject profile: null
    property int folder: 0
    property var folderNames: []
    property Item messageForm: null
    property real maxSubjectHeight: 0
    // The button keys work only while no form covers the main screen.
    property bool keysActive: true

    signal toggleFullWidth
    // Says what was done, with a way back, or what failed.
    signal notify(string text, string actionText, var action)
    signal editDraft
    signal reply
    signal replyToAll
    signal forward
    signal print
    // A new letter to the sender.
    signal writeTo(string name, string address)

    function shown(action) {
        return MailScript.actionShown(action, block.folder)
    }

    // Archives, deletes or restores the shown letter; says so with a way
    // back, or says what failed and where the letter still is. Removing for
    // good from Trash is asked first.
    function move(action) {
        var profile = block.profile
        var letter = block.letter
        var folder = block.folder
        if (!profile || !letter)
            return
        if (action === "delete" && folder === 4) {
            block.messageForm.show(qsTr("Remove the letter \"%1\" for good? It cannot be undone.")
                                   .arg(letter.subject),
                                   true, function() { block.run(profile, letter, action, folder) })
            block.messageForm.title = qsTr("Delete")
            return
        }
        run(profile, letter, action, folder)
    }
    function run(profile, letter, action, folder) {
        var id = letter.id
        var target = action === "archive" ? 3 : action === "delete" ? 4 : letter.folderType
        var done = action === "archive" ? profile.cache.archiveMessage(id, folder, letter)
                 : action === "delete" ? profile.cache.deleteMessage(id, folder, letter)
                 : profile.cache.restoreMessage(id, letter)
        if (!done) {
            var failed = action === "archive" ? qsTr("The letter could not be archived.")
                       : action === "delete" ? qsTr("The letter could not be deleted.")
                       : qsTr("The letter could not be restored.")
            block.notify(failed + " " + qsTr("It is still in %1.").arg(block.folderNames[folder]), "", null)
        } else if (action === "restore") {
            block.notify(qsTr("Restored to %1.").arg(block.folderNames[target]), "", null)
        } else if (folder !== target && !(action === "delete" && folder === 4)) {
            block.notify(action === "archive" ? qsTr("Letter archived.") : qsTr("Letter moved to Trash."),
                        qsTr("Undo"), function() { block.undo(profile, id, target, folder) })
        }
    }
    function undo(profile, id, from, to) {
        var model = MailScript.folderModel(profile, from)
        var row = model ? model.sourceRowOf(id) : -1
        var letter = row >= 0 ? model.sourceLetterAt(row) : null
        if (!letter || !profile.cache.returnMessage(id, from, to, letter))
            block.notify(qsTr("The letter could not be moved back. It is in %1.").arg(block.folderNames[from]),
                         "", null)
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
            height: itemHeight

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
                    ButtonShortcut { text: qsTr("Edit the draft"); active: block.keysActive }
                    onClicked: block.editDraft()
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
                        active: block.keysActive
                    }
                    ButtonShortcut {
                        id: replyAllKey
                        sequence: "Ctrl+Shift+R"
                        showTip: false
                        active: block.keysActive
                        action: function() { block.replyToAll() }
                    }
                    onClicked: block.reply()
                }
                MenuButton {
                    objectName: "forwardButton"
                    enabled: block.loaded
                    visible: block.shown("forward")
                    imagePath: "qrc:/qml/images/forward.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Forward"); sequence: "Ctrl+L"; active: block.keysActive }
                    onClicked: block.forward()
                }
                MenuButton {
                    objectName: "archiveButton"
                    visible: block.shown("archive")
                    imagePath: "qrc:/qml/images/archive.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Archive"); sequence: "Ctrl+E"; active: block.keysActive }
                    onClicked: block.move("archive")
                }
                MenuButton {
                    objectName: "restoreButton"
                    visible: block.shown("restore")
                    imagePath: "qrc:/qml/images/mail_restore.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Restore"); sequence: "Ctrl+Shift+E"; active: block.keysActive }
                    onClicked: block.move("restore")
                }
                MenuButton {
                    objectName: "deleteButton"
                    visible: block.shown("delete")
                    imagePath: "qrc:/qml/images/mail_delete.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Delete"); sequence: "Del"; active: block.keysActive }
                    onClicked: block.move("delete")
                }
                MenuButton {
                    objectName: "printButton"
                    enabled: block.loaded
                    visible: block.shown("print")
                    imagePath: "qrc:/qml/images/printer.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Print to PDF"); sequence: "Ctrl+P"; active: block.keysActive }
                    onClicked: block.print()
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
                height: Math.min(implicitHeight, block.maxSubjectHeight)
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
            height: Math.max(sender.implicitHeight, itemHeight)

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
                        block.writeTo(who.name, who.email)
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
