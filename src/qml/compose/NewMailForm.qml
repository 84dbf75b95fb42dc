import QtQuick 2.15
import QtQuick.Controls 1.2 as Controls
import QtQuick.Controls.Styles 1.2 as Styles
import LetterBackend 1.0
import DocumentHandlerBackend 1.0
import "../controls"
import "../settings"
import "../scripts/text.js" as TextRules
import "../scripts/mail.js" as MailScript

// The compose form: a new letter, a reply, a forward or a draft opened again.
FormFrame {
    id: newMailForm
    objectName: "newMailForm"

    property bool changed: false
    // Changes not yet in Drafts; kept there on their own every
    // autosaveInterval and when the program or the session ends.
    property bool unsaved: false
    property int autosaveInterval: 30000
    // This opening has put the letter into Drafts itself.
    property bool autosaved: false
    property bool editingDraft: false
    property bool absolutlyNewMail: false
    property var addRecipient: recipientField.contactChosen
    // The letter the form was filled from, so that only that one is ever
    // removed from Drafts.
    property var sourceLetter: null
    // The account the letter goes from; all the user's accounts, whose
    // addresses a reply to all leaves out; the dialog for questions and
    // failures.
    property QtObject profile: null
    property var profiles: []
    property Item messageForm: null
    // The window's one drop-down list, for the toolbar's boxes.
    property Item dropDownList: null

    // The font size and colour pickers of the toolbar, which the window owns.
    signal numberAsked(int min, int max, int current, var set)
    signal colorAsked(color current, point at, var set)

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
        autosaved = false
        editingDraft = false
    }

    function finishFilling(title) {
        newMailForm.title = title
        textArea.cursorPosition = 0
        changed = false
        unsaved = false
        open()
    }

    function showNew() {
        clear()
        absolutlyNewMail = true
        finishFilling(qsTr("New mail"))
        recipientField.setFocus()
    }

    // The letters to answer, forward or edit again come with their bodies as
    // the reading pane shows them (HTML).
    function showDraft(letter, bodyText) {
        clear()
        if (letter) {
            sourceLetter = letter
            editingDraft = true
            // Saved again under its own id, the draft is replaced.
            profile.newLetter.id = letter.id
            profile.newLetter.references = letter.references
            subjectField.text = letter.subject
            addChips(letter.toList, false)
            addChips(letter.copyList, true)
            textArea.text = bodyText
            takeAttachments(letter)
        }
        finishFilling(qsTr("Draft"))
        recipientField.setFocus()
    }

    function showReply(letter, bodyText) {
        clear()
        if (letter) {
            sourceLetter = letter
            subjectField.text = TextRules.prefixedSubject("Re: ", letter.subject)
            if (letter.replyTo.address !== "") {
                addChips([letter.replyTo], false)
            } else {
                var sender = TextRules.splitSender(letter.from)
                recipientField.addChip(sender.name, sender.email)
            }
            if (letter.messageId !== "")
                profile.newLetter.references = letter.references.concat([letter.messageId])
            textArea.text = "<br>" + Qt.formatDateTime(letter.date, "dd.MM.yyyy hh:mm:ss") + ", "
                    + TextRules.escapeHtml(letter.from) + " " + qsTr("writes") + ":"
                    + "<blockquote>" + bodyText + "</blockquote>"
            recipientField.replyToAllVisible = true
        }
        finishFilling(qsTr("New mail: reply"))
        textArea.forceActiveFocus()
    }

    function showForward(letter, bodyText) {
        clear()
        if (letter) {
            sourceLetter = letter
            subjectField.text = TextRules.prefixedSubject("Fwd: ", letter.subject)
            textArea.text = "<br>---------- " + qsTr("Source message") + " ----------"
            textArea.append("<b>" + qsTr("From") + ":</b> " + TextRules.escapeHtml(letter.from))
            textArea.append("<b>" + qsTr("Date") + ":</b> " + Qt.formatDateTime(letter.date, "dd.MM.yyyy hh:mm:ss"))
            textArea.append("<b>" + qsTr("Subject") + ":</b> " + TextRules.escapeHtml(letter.subject))
            textArea.append("<b>" + qsTr("To") + ":</b> " + TextRules.formatToList(letter.toList))
            textArea.append("<br>" + bodyText)
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

    // A user's edit: closing asks about it, and Drafts gets it in time.
    function markChanged() {
        changed = true
        unsaved = true
    }

    function addChips(entries, cc) {
        for (var i = 0; i < entries.length; ++i) {
            recipientField.addChip(entries[i].name, entries[i].address, cc)
        }
    }

    // The letter's other recipients go to Cc; none of the user's own
    // addresses does.
    function replyToAll() {
        var letter = sourceLetter
        if (!letter || !profile)
            return
        var own = profiles.map(function(p) { return p.email.toLowerCase() })
        var others = letter.toList.concat(letter.copyList).filter(function(entry) {
            return own.indexOf(entry.address.toLowerCase()) < 0
        })
        addChips(others, true)
        markChanged()
    }

    function takeAttachments(letter) {
        profile.newLetter.setAttachments(letter.attachList)
        attachmentRow.model = profile.newLetter.attachList
    }

    // Written again at every save: the letter holds one body, the text shown.
    function writeLetter() {
        var letter = profile.newLetter
        letter.from = profile.name + " <" + profile.email + ">"
        letter.subject = subjectField.text
        letter.toList = recipientField.addresses()
        letter.copyList = recipientField.copyAddresses()
        letter.bodyList = [textArea.text]
        letter.prepareNonQtBody()
    }

    // Puts what is written into Drafts without a word, replacing its earlier
    // draft; an edit of a chip in progress is not disturbed.
    function keepDraft() {
        if (!shown || !unsaved || !profile)
            return
        writeLetter()
        profile.saveNewLetterToDrafts()
        unsaved = false
        autosaved = true
    }

    function refuseInvalidRecipients() {
        if (recipientField.isValid())
            return false
        var invalid = recipientField.invalidEntries()
        messageForm.show(qsTr("Not valid recipient addresses!")
                         + (invalid.length > 0 ? "\n" + invalid.join("\n") : ""), false)
        return true
    }

    function sendEmail() {
        if (!profile)
            return
        if (profile.outgoingServerStr === "") {
            messageForm.show(qsTr("You should connect outgoing server to your profile before sending message!"), false)
            return
        }
        recipientField.commit()
        if (refuseInvalidRecipients())
            return
        writeLetter()
        // The letter's draft, if it has one, goes with it.
        profile.sendNewLetter()
        contactsList.contactsModel.addContactsFromLetter(profile.newLetter)
        changed = false
        unsaved = false
        close()
    }

    function saveToDrafts() {
        if (!profile)
            return
        recipientField.commit()
        writeLetter()
        if (profile.newLetter.toList.length === 0)
            profile.newLetter.toList = [{ address: profile.email, name: profile.name }]
        // Under the letter's id: an earlier draft of it is replaced.
        profile.saveNewLetterToDrafts()
        changed = false
        unsaved = false
        close()
    }

    function hide() {
        if (!changed) {
            close()
            return
        }
        changed = false
        messageForm.show(qsTr("Do you want to save the message into drafts?"), true,
                         saveToDrafts, discard, { okText: qsTr("Yes"), cancelText: qsTr("No") })
    }

    // "No" to keeping the letter: a draft that this opening saved on its own
    // goes too; a draft the user opened stays as last saved.
    function discard() {
        if (autosaved && !editingDraft)
            profile.discardNewLetterDraft()
        unsaved = false
        hide()
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
        // A cancelled file dialog changes nothing.
        if (!profile.createAttachment())
            return
        attachmentRow.model = profile.newLetter.attachList
        markChanged()
    }

    leftInset: 0.05
    topInset: 0.05
    iconPath: "images/mail_new.png"
    onCloseClicked: hide()
    overlays: [
        LinkForm { id: linkForm }
    ]

    Timer {
        id: autosaveTimer
        interval: newMailForm.autosaveInterval
        running: newMailForm.shown && newMailForm.unsaved
        onTriggered: newMailForm.keepDraft()
    }

    Connections {
        target: sessionGuard
        function onEnding() { newMailForm.keepDraft() }
    }

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
        onEdited: newMailForm.markChanged()
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
        onTextChanged: newMailForm.markChanged()
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
        dropDownList: newMailForm.dropDownList
        onNumberAsked: newMailForm.numberAsked(min, max, current, set)
        onColorAsked: newMailForm.colorAsked(current, at, set)
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
        onTextChanged: newMailForm.markChanged()
        onLinkActivated: {
            if (debug)
                console.log("Opening url:", link)
            if (MailScript.isOpenableLink(link))
                Qt.openUrlExternally(link)
            else
                console.warn("NewMailForm: not opening a link that is neither a web nor a mail link:", link)
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
                newMailForm.markChanged()
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
