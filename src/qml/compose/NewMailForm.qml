import QtQuick 2.15
import QtQuick.Controls 1.2 as Controls
import QtQuick.Controls.Styles 1.2 as Styles
import LetterBackend 1.0
import DocumentHandlerBackend 1.0
import "../controls"
import "../settings"
import "../scripts/text.js" as TextRules

// The compose form: a new letter, a reply, a forward or a draft opened again.
FormFrame {
    id: newMailForm
    objectName: "newMailForm"

    property bool changed: false
    property bool absolutlyNewMail: false
    property var addRecipient: recipientField.contactChosen
    // The letter the form was filled from, so that only that one is ever
    // removed from Drafts.
    property var sourceLetter: null
    readonly property var profile: mailProfileManager.currentProfile >= 0
                                   ? mailProfileManager.profiles[mailProfileManager.currentProfile] : null

    function clear() {
        if (profile)
            profile.newLetter.clear()
        recipientField.clear()
        subjectField.text = ""
        textArea.text = ""
        document.clear()
        attachmentRow.model = []
        absolutlyNewMail = false
        sourceLetter = null
    }

    function finishFilling(title) {
        newMailForm.title = title
        textArea.cursorPosition = 0
        changed = false
        open()
    }

    function showNew() {
        clear()
        absolutlyNewMail = true
        finishFilling(qsTr("New mail"))
        recipientField.setFocus()
    }

    function showDraft() {
        clear()
        var letter = mailList.currentLetter
        if (letter) {
            sourceLetter = letter
            subjectField.text = letter.subject
            for (var i = 0; i < letter.toList.length; ++i) {
                var r = TextRules.splitRecipient(letter.toList[i])
                recipientField.addChip(r.name, r.email)
            }
            textArea.text = mail.getBodyText()
            takeAttachments(letter)
        }
        finishFilling(qsTr("Draft"))
        recipientField.setFocus()
    }

    function showReply() {
        clear()
        var letter = mailList.currentLetter
        if (letter) {
            sourceLetter = letter
            subjectField.text = "Re: " + letter.subject
            var sender = TextRules.splitSender(letter.from)
            recipientField.addChip(sender.name, sender.email)
            textArea.text = "<br>" + Qt.formatDateTime(letter.date, "dd.MM.yyyy hh:mm:ss") + ", "
                    + TextRules.escapeHtml(letter.from) + " " + qsTr("writes") + ":" + mail.getBodyText()
            recipientField.replyToAllVisible = true
        }
        finishFilling(qsTr("New mail: reply"))
        textArea.forceActiveFocus()
    }

    function showForward() {
        clear()
        var letter = mailList.currentLetter
        if (letter) {
            sourceLetter = letter
            subjectField.text = "Fwd: " + letter.subject
            textArea.text = "<br>---------- " + qsTr("Source message") + " ----------"
            textArea.append("<b>" + qsTr("From") + ":</b> " + TextRules.escapeHtml(letter.from))
            textArea.append("<b>" + qsTr("Date") + ":</b> " + Qt.formatDateTime(letter.date, "dd.MM.yyyy hh:mm:ss"))
            textArea.append("<b>" + qsTr("Subject") + ":</b> " + TextRules.escapeHtml(letter.subject))
            textArea.append("<b>" + qsTr("To") + ":</b> " + TextRules.formatToList(letter.toList))
            textArea.append("<br>" + mail.getBodyText())
            takeAttachments(letter)
        }
        finishFilling(qsTr("New mail: forward"))
        recipientField.setFocus()
    }

    // Fills a letter that came from outside (a "mailto:" link); the body
    // is plain text.
    function setSubjectAndBody(subject, body) {
        subjectField.text = subject
        textArea.text = TextRules.escapeHtml(body).replace(/\r?\n/g, "<br>")
        textArea.cursorPosition = 0
        changed = false
    }

    function replyToAll() {
        var letter = sourceLetter
        if (!letter || !profile)
            return
        for (var i = 0; i < letter.toList.length; ++i) {
            var r = TextRules.splitRecipient(letter.toList[i])
            if (r.email !== profile.email)
                recipientField.addChip(r.name, r.email)
        }
        changed = true
    }

    function takeAttachments(letter) {
        profile.newLetter.setAttachments(letter.attachList)
        attachmentRow.model = profile.newLetter.attachList
    }

    function writeLetter() {
        var letter = profile.newLetter
        letter.from = profile.name + " <" + profile.email + ">"
        letter.subject = subjectField.text
        letter.toList = recipientField.addresses()
        var bodies = letter.bodyList
        bodies.push(textArea.text)
        letter.bodyList = bodies
        letter.prepareNonQtBody()
    }

    // Only a draft opened from Drafts is replaced; a letter started with the
    // new-letter button while Drafts is shown removes nothing.
    function removeEditedDraft() {
        if (root.currentFolder !== Letter.DraftsFolder || absolutlyNewMail || !sourceLetter)
            return
        if (mailList.currentLetter !== sourceLetter || mailList.currentIndex < 0)
            return
        profile.cache.deleteMessage(sourceLetter.id, mailList.model.getSourceModelIndex(mailList.currentIndex),
                                    Letter.DraftsFolder, sourceLetter)
    }

    function sendEmail() {
        if (!profile)
            return
        if (profile.outgoingServerStr === "") {
            messageForm.show(qsTr("You should connect outgoing server to your profile before sending message!"), false)
            return
        }
        if (!recipientField.isValid()) {
            messageForm.show(qsTr("Not valid recipient addresses!"), false)
            return
        }
        writeLetter()
        profile.sendNewLetter()
        contactsList.contactsModel.addContactsFromLetter(profile.newLetter)
        removeEditedDraft()
        changed = false
        close()
    }

    function saveToDrafts() {
        if (!profile)
            return
        removeEditedDraft()
        writeLetter()
        if (profile.newLetter.toList.length === 0)
            profile.newLetter.toList = [profile.email + ":::" + profile.name]
        profile.saveNewLetterToDrafts()
        changed = false
        close()
    }

    function hide() {
        if (!changed) {
            close()
            return
        }
        changed = false
        messageForm.show(qsTr("Do you want to save the message into drafts?"), true,
                         saveToDrafts, hide)
        messageForm.okText = qsTr("Yes")
        messageForm.cancelText = qsTr("No")
    }

    // Escape: a dialog of the form first, else the form through its close
    // question.
    function closeByKey() {
        if (linkForm.opacity > 0)
            linkForm.hide()
        else
            hide()
    }

    function attach() {
        if (!profile)
            return
        profile.createAttachment()
        attachmentRow.model = profile.newLetter.attachList
        changed = true
    }

    leftInset: 0.05
    topInset: 0.05
    iconPath: "images/mail_new.png"
    onCloseClicked: hide()
    overlays: [
        LinkForm { id: linkForm }
    ]

    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: newMailForm.shown && !linkForm.shown && !messageForm.enabled
        onActivated: newMailForm.sendEmail()
    }

    DocumentHandler {
        id: document
        target: textArea
        cursorPosition: textArea.cursorPosition
        selectionStart: textArea.selectionStart
        selectionEnd: textArea.selectionEnd
    }

    ContactsLineEdit {
        id: recipientField
        objectName: "recipientField"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: Math.max(itemHeight, Math.min(contentHeight + 0.2 * itemHeight, newMailForm.panel.height * 0.3))
        suggestions: contactsList
        onCurrentTextChanged: contactsList.filter(currentText)
        onEdited: newMailForm.changed = true
        onReplyButtonClicked: newMailForm.replyToAll()
    }

    SoftSeparator { id: separator1; anchors.top: recipientField.bottom }

    LineEdit {
        id: subjectField
        objectName: "subjectField"
        anchors.top: separator1.bottom
        anchors.topMargin: itemHeight * 0.1
        anchors.left: parent.left
        anchors.right: parent.right
        height: itemHeight
        showRectangles: false
        placeholderText: qsTr("Subject")
        onTextChanged: newMailForm.changed = true
    }

    SoftSeparator { id: separator2; anchors.top: subjectField.bottom; anchors.topMargin: itemHeight * 0.1 }

    ComposeToolbar {
        id: toolbar
        anchors.top: separator2.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        height: 0.8 * itemHeight
        document: document
        textArea: textArea
        onLinkRequested: linkForm.show(qsTr("Link properties"), function(html) {
            document.insertLink(html)
            textArea.forceActiveFocus()
        })
    }

    SoftSeparator { id: separator3; anchors.top: toolbar.bottom }

    Controls.TextArea {
        id: textArea
        objectName: "bodyArea"
        anchors.top: separator3.bottom
        anchors.bottom: separator4.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 10
        frameVisible: false
        textFormat: TextEdit.RichText
        baseUrl: "qrc:/"
        font.pointSize: 11
        textColor: styles.foreground.textColor
        selectByMouse: !tabletMode
        wrapMode: TextEdit.Wrap
        tabChangesFocus: true
        Accessible.role: Accessible.EditableText
        Accessible.name: qsTr("Text")
        onTextChanged: newMailForm.changed = true
        onLinkActivated: {
            if (debug)
                console.log("Opening url:", link)
            Qt.openUrlExternally(link)
        }
        style: Styles.TextAreaStyle {
            transientScrollBars: tabletMode
            incrementControl: Item {}
            decrementControl: Item {}
            scrollBarBackground: Item {
                implicitWidth: 10 * dpiRatio
                implicitHeight: 10 * dpiRatio
            }
            handle: Rectangle {
                implicitWidth: 10 * dpiRatio
                implicitHeight: 10 * dpiRatio
                radius: 2 * dpiRatio
                color: styles.highlightColor
                opacity: styleData.pressed ? 0.65 : 0.35
                Behavior on opacity { NumberAnimation { duration: 150 } }
            }
        }
    }

    SoftSeparator { id: separator4; anchors.bottom: bottomBar.top }

    Rectangle {
        id: bottomBar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: itemHeight
        color: "white"

        CustomButton {
            id: sendButton
            objectName: "sendButton"
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            width: 125 * dpiRatio
            height: parent.height * 0.8
            buttonText: qsTr("Send")
            colorLight: styles.headerColor
            colorDark: Qt.darker(styles.headerColor, 1.2)
            colorText: "#222222"
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: newMailForm.sendEmail()
            ToolTipArea { text: qsTr("Send (Ctrl+Return)") }
        }
        MenuButton {
            id: attachButton
            objectName: "attachButton"
            accessibleName: qsTr("Attach")
            anchors.left: sendButton.right
            anchors.leftMargin: 10
            imagePath: "images/attach.png"
            imageColorOverlay: false
            imageShadow: false
            leftBorder: true
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: newMailForm.attach()
            ToolTipArea { text: qsTr("Attach a file") }
        }
        NewMailAttachment {
            id: attachmentRow
            objectName: "attachmentRow"
            anchors.left: attachButton.right
            anchors.right: parent.right
            anchors.rightMargin: parent.height * 0.1
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            onRemoveItemAt: {
                newMailForm.profile.newLetter.removeAttachmentAt(i)
                model = newMailForm.profile.newLetter.attachList
                newMailForm.changed = true
            }
        }
    }

    ContactsList {
        id: contactsList
        objectName: "contactsList"
        z: 1
        width: Math.max(newMailForm.panel.width / 2, 500)
        x: recipientField.currentTextX + 10 + width > newMailForm.panel.width
           ? newMailForm.panel.width - width : recipientField.currentTextX + 10
        y: recipientField.y + recipientField.height
        height: newMailForm.body.height / 2
        visible: recipientField.currentText !== "" && count > 0
        onClicked: recipientField.contactChosen(name, email)
    }

}
