import QtQuick 2.3
import "../controls"
import "../settings"

// Asks for a link's text and address and hands back the anchor element.
FormFrame {
    id: linkForm
    objectName: "linkForm"

    property var selectFunction

    function show(_title, _selectFunc) {
        title = _title
        selectFunction = _selectFunc
        descriptionField.text = ""
        addressField.text = ""
        open()
        descriptionField.setFocus()
    }
    function hide() { close() }
    function accept() {
        if (!okButton.enabled)
            return
        hide()
        // Inserted as written: the user may mean markup in the description.
        selectFunction("<a href=\"" + addressField.text + "\">" + descriptionField.text + "</a>")
    }

    z: 998
    leftInset: 0.1
    topInset: 0.1
    iconPath: "images/www.png"
    onCloseClicked: hide()

    Column {
        anchors.fill: parent
        anchors.margins: 20 * dpiRatio

        Text {
            width: parent.width
            text: qsTr("Text to display in a letter:")
            font.pointSize: 13
            color: styles.buttons.textColor
            elide: Text.ElideRight
        }
        LineEdit {
            id: descriptionField
            objectName: "linkDescriptionField"
            width: parent.width
            height: itemHeight
            placeholderText: qsTr("Example Company Ltd.")
            Keys.onReturnPressed: linkForm.accept()
            Keys.onEnterPressed: linkForm.accept()
        }
        Item { width: 1; height: 20 * dpiRatio }
        Text {
            width: parent.width
            text: qsTr("Website address:")
            font.pointSize: 13
            color: styles.buttons.textColor
            elide: Text.ElideRight
        }
        LineEdit {
            id: addressField
            objectName: "linkAddressField"
            width: parent.width
            height: itemHeight
            placeholderText: qsTr("https://www.example.com")
            inputMethodHints: Qt.ImhUrlCharactersOnly
            Keys.onReturnPressed: linkForm.accept()
            Keys.onEnterPressed: linkForm.accept()
        }
    }

    CustomButton {
        id: okButton
        objectName: "linkOkButton"
        anchors.right: parent.horizontalCenter
        anchors.rightMargin: 5
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        width: Math.min(linkForm.panel.width / 2, 200 * dpiRatio)
        height: 0.8 * itemHeight
        buttonText: qsTr("OK")
        enabled: descriptionField.text !== "" && addressField.text !== ""
        activeFocusOnTab: true
        Keys.onReturnPressed: linkForm.accept()
        Keys.onSpacePressed: linkForm.accept()
        onClicked: linkForm.accept()
    }
    CustomButton {
        objectName: "linkCloseButton"
        anchors.left: parent.horizontalCenter
        anchors.leftMargin: 5
        anchors.bottom: okButton.bottom
        width: okButton.width
        height: okButton.height
        buttonText: qsTr("Close")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: linkForm.hide()
    }
}
