import QtQuick 2.3

// The message box: a text with OK, or a question with OK and Cancel.
ModalForm {
    id: messageForm

    property string okText: qsTr("OK")
    property string cancelText: qsTr("Cancel")
    property string title: qsTr("Warning")
    property var selectFunction: null
    property var cancelFunction: null
    property bool showCancel: false
    property string text: ""

    function show(text, cancel, _selectFunction, _cancelFunction) {
        messageForm.text = text
        showCancel = !!cancel
        okText = qsTr("OK")
        cancelText = qsTr("Cancel")
        title = qsTr("Warning")
        selectFunction = null
        cancelFunction = null
        if (typeof _selectFunction === "function")
            selectFunction = _selectFunction
        if (typeof _cancelFunction === "function")
            cancelFunction = _cancelFunction
        opacity = 1
    }
    // The reaction is taken before hiding: it may show the next message at once.
    function accept() {
        var f = showCancel ? selectFunction : null
        hide()
        if (f)
            f()
    }
    function reject() {
        var f = showCancel ? cancelFunction : null
        hide()
        if (f)
            f()
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
            height: 0.8 * root.itemHeight
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
            height: 0.8 * root.itemHeight
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 0.05 * panel.height
            buttonText: messageForm.cancelText
            onClicked: messageForm.reject()
        }
    }
}
