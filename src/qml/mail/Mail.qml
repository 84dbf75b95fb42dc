import QtQuick 2.15
import "../controls"
import "../scripts/mail.js" as MailScript

// The reading pane: the letter chosen in the list, its bodies and its
// attachments, with the actions on it.
Item {
    id: mail
    objectName: "mail"

    // The letter chosen in the list; null when none.
    property QtObject letter: null
    // The letters in the list.
    property int letterCount: 0
    // What the actions on the letter need: its account, the folder shown
    // (Letter.FolderType), the folders' names by number, and the dialog that
    // asks before a letter is removed for good.
    property QtObject profile: null
    property int folder: 0
    property var folderNames: []
    property Item messageForm: null
    // The button keys work only while no form covers the main screen.
    property bool keysActive: true
    // The bodies shown, copied when the view is updated.
    property var bodies: []
    property var bodyHtml: []
    // The shown letter has been read from its file: what acts on its bodies
    // (reply, forward, print) waits for this.
    property bool letterLoaded: false

    signal notify(string text, string actionText, var action)
    // Offers the choices; answer(choice) gets the one taken.
    signal askChoice(var choices, var answer)
    signal editDraft
    signal reply
    signal replyToAll
    signal forward
    // A new letter to the sender of the shown one.
    signal writeTo(string name, string address)

    // Rebuilds the pane for the letter given, the one now chosen in the
    // list: the binding of "letter" may not have caught up yet.
    function updateView(shown) {
        bodies = []
        bodyHtml = []
        letterLoaded = false
        if (!shown)
            return
        bodyHtml = shown.bodyHtmlList
        bodies = shown.bodyList
        letterLoaded = shown.parsed
        bodyFlick.contentY = 0
        attachmentPanel.state = ""
    }

    // The shown bodies as one HTML text, for printing and for the compose form.
    function getBodyText() {
        var text = ""
        for (var i = 0; i < bodies.length; ++i) {
            if (i > 0)
                text += "<br>"
            text += MailScript.bodyAsHtml(bodies[i], bodyHtml[i])
        }
        return text
    }

    // A letter is read off the main thread: its bodies come after it is chosen.
    Connections {
        target: mail.letter
        function onLoaded() { mail.updateView(mail.letter) }
    }

    // Asked for by the user; the pane covers the list only while the list
    // has letters, so that an emptied folder never leaves a blank cover.
    property bool fullWidth: false

    width: parent ? parent.width * 0.6 : 0
    Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.InOutQuad } }

    states: State {
        name: "full"
        when: mail.fullWidth && mail.letterCount > 0
        PropertyChanges { target: mail; width: mail.parent.width }
    }

    Shadow {
        target: pane
        horizontalOffset: -2
        verticalOffset: 0
    }

    Rectangle {
        id: pane
        anchors.fill: parent
        color: "white"

        MouseArea { anchors.fill: parent }

        MailHeader {
            id: mailHeader
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            letter: mail.letter
            fullWidth: mail.state === "full"
            loaded: mail.letterLoaded
            profile: mail.profile
            folder: mail.folder
            folderNames: mail.folderNames
            messageForm: mail.messageForm
            keysActive: mail.keysActive
            maxSubjectHeight: mail.height * 0.3
            onToggleFullWidth: mail.fullWidth = mail.state !== "full"
            onNotify: mail.notify(text, actionText, action)
            onEditDraft: mail.editDraft()
            onReply: mail.reply()
            onReplyToAll: mail.replyToAll()
            onForward: mail.forward()
            onWriteTo: mail.writeTo(name, address)
            onPrint: utils.printToPdf(mail.getBodyText(), mail.letter.subject)
        }

        Flickable {
            id: bodyFlick
            objectName: "bodyArea"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: mail.letter ? mailHeader.bottom : parent.top
            anchors.bottom: attachmentPanel.visible ? attachmentPanel.top : parent.bottom
            anchors.margins: 10
            clip: true
            flickableDirection: Flickable.VerticalFlick
            contentWidth: width
            contentHeight: bodyColumn.height

            Column {
                id: bodyColumn
                width: bodyFlick.width

                Repeater {
                    id: bodyRepeater
                    model: mail.bodies
                    delegate: MailBody {
                        objectName: "mailBody" + index
                        width: bodyColumn.width
                        text: modelData
                        textFormat: mail.bodyHtml[index] ? TextEdit.RichText : TextEdit.PlainText
                    }
                }
            }
        }

        ScrollBar {
            flickable: bodyFlick
            anchors.rightMargin: 5
        }

        // Says why the pane is empty.
        Text {
            objectName: "emptyPaneHint"
            anchors.centerIn: parent
            width: parent.width * 0.8
            visible: !mail.letter
            text: mail.letterCount > 0 ? qsTr("Choose a letter in the list.") : qsTr("No letters in this folder.")
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "#888888"
            font.pointSize: 13
        }

        MailAttachment {
            id: attachmentPanel
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            attachments: mail.letter ? mail.letter.attachList : []
            maxHeight: mail.height * 0.3
            onAskChoice: mail.askChoice(choices, answer)
            onNotify: mail.notify(text, "", null)
        }
    }
}
