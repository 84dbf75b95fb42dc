import QtQuick 2.3

// The message box: a text with OK, or a question with OK and Cancel.
// Messages queue: one shown while another is open waits its turn, so every
// question gets its answer (Cancel or close when it is dismissed).
ModalForm {
    id: messageForm

    property string okText: qsTr("OK")
    property string cancelText: qsTr("Cancel")
    property string title: qsTr("Warning")
    property var selectFunction: null
    property var cancelFunction: null
    property bool showCancel: false
    property string text: ""
    // Whether a message is on screen and not yet answered.
    property bool open: false
    // The messages waiting for the one shown, oldest first.
    property var waiting: []

    // labels, optional: { title, okText, cancelText } of this message.
    function show(text, cancel, _selectFunction, _cancelFunction, labels) {
        var message = {
            text: text,
            cancel: !!cancel,
            select: typeof _selectFunction === "function" ? _selectFunction : null,
            reject: typeof _cancelFunction === "function" ? _cancelFunction : null,
            labels: labels || {}
        }
        if (!open)
            present(message)
        else if (message.cancel || !repeated(text))
            waiting.push(message)
    }
    // A notice already shown or waiting, such as the same failure of every
    // timed check while the user is away, is not queued again.
    function repeated(text) {
        if (!showCancel && messageForm.text === text)
            return true
        for (var i = 0; i < waiting.length; ++i) {
            if (!waiting[i].cancel && waiting[i].text === text)
                return true
        }
        return false
    }
    function present(message) {
        messageForm.text = message.text
        showCancel = message.cancel
        selectFunction = message.select
        cancelFunction = message.reject
        title = message.labels.title || qsTr("Warning")
        okText = message.labels.okText || qsTr("OK")
        cancelText = message.labels.cancelText || qsTr("Cancel")
        open = true
        opacity = 1
    }
    // The next message, if one waits, comes up before the reaction runs: a
    // reaction that shows a message queues it behind those.
    function finish(reaction) {
        open = false
        if (waiting.length > 0)
            present(waiting.shift())
        else
            opacity = 0
        if (reaction)
            reaction()
    }
    // Dismissed from outside: a refusal, like Cancel.
    function hide() {
        if (open)
            reject()
    }
    function accept() {
        finish(showCancel ? selectFunction : null)
    }
    function reject() {
        finish(showCancel ? cancelFunction : null)
    }

    FormPanel {
        id: panel
        objectName: "panel"
        anchors.centerIn: parent
        width: parent.width / 2
        height: parent.height / 2

        FormTitleBar {
            id: titleBar
            objectName: "titleBar"
            title: messageForm.title
            onCloseClicked: messageForm.reject()
        }

        Text {
            objectName: "message"
            anchors.top: titleBar.bottom
            anchors.bottom: okButton.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 0.05 * panel.height
            text: messageForm.text
            textFormat: Text.PlainText
            font.pointSize: 14
            fontSizeMode: Text.Fit
            minimumPointSize: 6
            wrapMode: Text.Wrap
            // A long server response must not run over the buttons.
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: styles.foreground.textColor
        }

        CustomButton {
            id: okButton
            objectName: "okButton"
            x: messageForm.showCancel ? 0.05 * panel.width : panel.width / 4
            width: messageForm.showCancel ? 0.4 * panel.width : panel.width / 2
            height: 0.8 * itemHeight
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 0.05 * panel.height
            buttonText: messageForm.okText
            onClicked: messageForm.accept()
        }
        CustomButton {
            id: cancelButton
            objectName: "cancelButton"
            visible: messageForm.showCancel
            x: 0.55 * panel.width
            width: 0.4 * panel.width
            height: 0.8 * itemHeight
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 0.05 * panel.height
            buttonText: messageForm.cancelText
            onClicked: messageForm.reject()
        }
    }
}
