import QtQuick 2.3

// The text prompt: a title, an optional note, one input field and a
// "Remember" check box.
ModalForm {
    id: lineEditForm

    property alias checkBoxText: checkBox.text
    property alias checkBoxOn: checkBox.on
    property string titleStr: ""
    property alias note: noteText.text
    property alias echoMode: field.echoMode
    property var okFunction: null
    property var cancelFunction: null

    function show(title, text, _okFunction, _cancelFunction) {
        titleStr = title
        field.text = text
        note = ""
        okFunction = typeof _okFunction === "function" ? _okFunction : null
        cancelFunction = null
        if (typeof _cancelFunction === "function")
            cancelFunction = _cancelFunction
        field.setFocus()
        checkBox.on = true
        checkBox.text = qsTr("Remember")
        echoMode = TextInput.Normal
        opacity = 1
    }
    function accept() {
        var f = okFunction
        var text = field.text
        hide()
        if (f)
            f(text)
    }
    // Whoever waits for the answer gets one: without a cancel reaction,
    // closing counts as OK with the text typed so far.
    function close() {
        if (cancelFunction) {
            var f = cancelFunction
            hide()
            f()
        } else {
            accept()
        }
    }

    FormPanel {
        id: panel
        objectName: "panel"
        anchors.centerIn: parent
        width: Math.min(parent.width / 2, 600)
        height: 5 * itemHeight + (noteText.visible ? noteText.height + 0.3 * itemHeight : 0)

        FormTitleBar {
            id: titleBar
            objectName: "titleBar"
            title: lineEditForm.titleStr
            onCloseClicked: lineEditForm.close()
        }

        Column {
            anchors.top: titleBar.bottom
            anchors.topMargin: 0.3 * itemHeight
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 0.05 * panel.width
            anchors.rightMargin: 0.05 * panel.width
            spacing: 0.3 * itemHeight

            Text {
                id: noteText
                objectName: "note"
                width: parent.width
                visible: text !== ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 14
                color: styles.foreground.textColor
            }
            LineEdit {
                id: field
                objectName: "field"
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("Type here...")
                onAccepted: lineEditForm.accept()
            }
            CheckBox {
                id: checkBox
                objectName: "checkBox"
                width: parent.width
                height: itemHeight
                checkBoxLeftMargin: 0
                fontSize: 14
                customColor: styles.highlightColor
            }
        }

        CustomButton {
            id: okButton
            objectName: "okButton"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 0.05 * panel.width
            width: 0.3 * panel.width
            height: 0.8 * itemHeight
            buttonText: qsTr("OK")
            onClicked: lineEditForm.accept()
        }
    }
}
