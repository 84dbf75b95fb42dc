import QtQuick 2.3
import "../controls"
import "../scripts/mail.js" as MailScript

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

    // The letter's row in the unfiltered folder model, as the store wants it.
    function sourceIndex() {
        return mailList.model.getSourceModelIndex(mailList.currentIndex)
    }

    function shown(action) {
        return MailScript.actionShown(action, root.currentFolder)
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
                    ButtonShortcut { text: qsTr("Reply (Ctrl+R), reply to all (Ctrl+Shift+R)") }
                    ButtonShortcut { sequence: "Ctrl+R"; showTip: false }
                    ButtonShortcut {
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
                    ButtonShortcut { text: qsTr("Archive") }
                    onClicked: root.currentProfile.cache.archiveMessage(block.letter.id, block.sourceIndex(),
                                                                        root.currentFolder, block.letter)
                }
                MenuButton {
                    objectName: "restoreButton"
                    visible: block.shown("restore")
                    imagePath: "qrc:/qml/images/mail_restore.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Restore") }
                    onClicked: root.currentProfile.cache.restoreMessage(block.letter.id, block.sourceIndex(),
                                                                        block.letter)
                }
                MenuButton {
                    objectName: "deleteButton"
                    visible: block.shown("delete")
                    imagePath: "qrc:/qml/images/mail_delete.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Delete"); sequence: "Del" }
                    onClicked: root.currentProfile.cache.deleteMessage(block.letter.id, block.sourceIndex(),
                                                                       root.currentFolder, block.letter)
                }
                MenuButton {
                    objectName: "printButton"
                    enabled: block.loaded
                    visible: block.shown("print")
                    imagePath: "qrc:/qml/images/printer.png"
                    imageColorOverlay: false
                    imageShadow: false
                    ButtonShortcut { text: qsTr("Print to PDF") }
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
                        var who = MailScript.splitSender(sender.text)
                        root.showNewMail()
                        root.addRecipient(who.name, who.address)
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
