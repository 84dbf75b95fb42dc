import QtQuick 2.15
import "../controls"
import "../scripts/profile.js" as Flows

// One account: its name, address and servers.
FormFrame {
    id: profileForm
    objectName: "profileForm"

    property int currentInServerIndex: -1
    property int currentOutServerIndex: -1
    property var inServersModel: []
    property var outServersModel: []
    property alias name: nameField.text
    property alias email: emailField.text
    property var okFunction
    property bool add: false
    // What the account and server flows work with; the forms they open.
    property QtObject mailProfileManager: null
    property QtObject mailServerManager: null
    property Item messageForm: null
    property Item managementForm: null
    property Item serverForm: null
    // The window's one drop-down list, for the server boxes.
    property Item dropDownList: null

    function show(_title, _name, _email, _inServersModel, _outServersModel, _okFunction) {
        if (_inServersModel.length === 0)
            currentInServerIndex = -1
        if (_outServersModel.length === 0)
            currentOutServerIndex = -1
        title = _title
        inServersModel = _inServersModel
        outServersModel = _outServersModel
        name = _name
        email = _email
        okFunction = _okFunction
        add = _title === qsTr("Add profile")
        open()
        nameField.setFocus()
    }
    // Shown again after a refused check, with what the user typed.
    function reopen() { open() }
    function hide() { close() }

    // The add-profile flow, as the header's profile chooser starts it.
    function addProfile() { Flows.onAddProfile() }

    // A server made from one of the choosers joins its list.
    function addServerAddress(incoming, address) {
        if (incoming) {
            inServersModel = inServersModel.concat([address])
            if (currentInServerIndex < 0)
                currentInServerIndex = 0
        } else {
            outServersModel = outServersModel.concat([address])
            if (currentOutServerIndex < 0)
                currentOutServerIndex = 0
        }
    }

    leftInset: 0.1
    topInset: 0.01
    iconPath: "images/user.png"
    subIconPath: add ? "images/add.png" : "images/edit.png"
    // The margins above and below the rows, the buttons in the lower one.
    bodyHeight: fields.height + itemHeight * 2
    onCloseClicked: hide()

    Item {
        id: rows
        anchors.fill: parent
        anchors.margins: itemHeight / 2
        anchors.bottomMargin: itemHeight * 1.5

        Column {
            id: labels
            anchors.left: parent.left
            anchors.top: parent.top
            width: parent.width / 2
            spacing: 5
            Repeater {
                id: labelTexts
                model: [qsTr("Name:"), qsTr("Email:"), qsTr("Incoming server:"), qsTr("Outgoing server:")]
                delegate: Text {
                    width: labels.width
                    height: itemHeight
                    verticalAlignment: Text.AlignVCenter
                    text: modelData
                    color: "#444444"
                    font.pointSize: 15
                    fontSizeMode: Text.VerticalFit
                    elide: Text.ElideRight
                }
            }
        }

        Column {
            id: fields
            anchors.left: labels.right
            anchors.right: parent.right
            anchors.top: parent.top
            spacing: 5

            LineEdit {
                id: nameField
                objectName: "profileNameField"
                accessibleName: labelTexts.model[0]
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("Sender name")
            }
            LineEdit {
                id: emailField
                objectName: "profileEmailField"
                accessibleName: labelTexts.model[1]
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("Your email")
                inputMethodHints: Qt.ImhEmailCharactersOnly
            }
            CustomComboBox {
                id: inChooser
                objectName: "incomingServerChooser"
                dropDownList: profileForm.dropDownList
                accessibleName: labelTexts.model[2]
                width: parent.width
                height: itemHeight
                model: profileForm.inServersModel
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: profileForm.currentInServerIndex }
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                buttonText: qsTr("Create new server...")
                activeFocusOnTab: true
                onClicked: profileForm.currentInServerIndex = index
                onButtonClicked: Flows.onAddServer()
            }
            CustomComboBox {
                id: outChooser
                objectName: "outgoingServerChooser"
                dropDownList: profileForm.dropDownList
                accessibleName: labelTexts.model[3]
                width: parent.width
                height: itemHeight
                model: profileForm.outServersModel
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: profileForm.currentOutServerIndex }
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                buttonText: qsTr("Create new server...")
                activeFocusOnTab: true
                onClicked: profileForm.currentOutServerIndex = index
                onButtonClicked: {
                    Flows.onAddServer()
                    serverForm.currentTypeIndex = Flows.OUTGOING_TYPE
                    serverForm.currentProtocolIndex = Flows.SMTP
                }
            }
        }
    }

    CustomButton {
        id: okButton
        objectName: "profileOkButton"
        anchors.right: parent.horizontalCenter
        anchors.rightMargin: 5
        anchors.bottom: parent.bottom
        anchors.bottomMargin: itemHeight * 0.35
        width: profileForm.panel.width * 0.25
        height: 0.8 * itemHeight
        buttonText: qsTr("OK")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: {
            profileForm.hide()
            profileForm.okFunction()
        }
    }
    CustomButton {
        objectName: "profileCloseButton"
        anchors.left: parent.horizontalCenter
        anchors.leftMargin: 5
        anchors.bottom: okButton.bottom
        width: okButton.width
        height: okButton.height
        buttonText: qsTr("Close")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: profileForm.hide()
    }
}
