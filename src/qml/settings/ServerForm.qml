import QtQuick 2.15
import "../controls"
import "../scripts/server.js" as ServerFlows

// One server record: type, protocol, address, security and authentication.
FormFrame {
    id: serverForm
    objectName: "serverForm"

    property int currentTypeIndex: 0
    property int currentProtocolIndex: 0
    property int currentConnIndex: 0
    property int currentAuthIndex: 0
    property alias address: addressField.text
    property var okFunction
    property bool add: false
    readonly property bool incoming: currentTypeIndex === ServerFlows.INCOMING_TYPE
    // The server manager, which names the types, protocols and security.
    property QtObject mailServerManager: null
    // The window's one drop-down list, for the boxes.
    property Item dropDownList: null

    function show(_title, _address, _okFunction) {
        title = _title
        address = _address
        okFunction = _okFunction
        add = _title === qsTr("Add server")
        open()
        if (add)
            typeChooser.forceActiveFocus()
        else
            addressField.setFocus()
    }
    // Shown again after a refused check, with what the user typed.
    function reopen() { open() }
    function hide() { close() }

    // The type decides which protocols and methods make sense.
    function chooseType(type) {
        currentTypeIndex = type
        if (type === ServerFlows.INCOMING_TYPE) {
            if (currentProtocolIndex === ServerFlows.SMTP)
                currentProtocolIndex = ServerFlows.POP3
            if (currentAuthIndex === ServerFlows.NO_AUTH)
                currentAuthIndex = ServerFlows.AUTO_AUTH
        } else if (currentProtocolIndex === ServerFlows.POP3 || currentProtocolIndex === ServerFlows.IMAP) {
            currentProtocolIndex = ServerFlows.SMTP
        }
    }

    leftInset: 0.1
    topInset: 0.01
    iconPath: "images/server.png"
    subIconPath: add ? "images/add.png" : "images/edit.png"
    // The margins above and below the rows, the buttons in the lower one.
    bodyHeight: fields.height + itemHeight * 2
    onCloseClicked: hide()

    Item {
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
                model: [qsTr("Type:"), qsTr("Protocol:"), qsTr("Address:"), qsTr("Connection protocol:"),
                    qsTr("Authentication method:")]
                delegate: Text {
                    width: labels.width
                    height: itemHeight
                    verticalAlignment: Text.AlignVCenter
                    text: modelData
                    color: index === 0 && !serverForm.add ? "grey" : "#444444"
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

            CustomComboBox {
                id: typeChooser
                objectName: "serverTypeChooser"
                dropDownList: serverForm.dropDownList
                accessibleName: labelTexts.model[0]
                width: parent.width
                height: itemHeight
                enabled: serverForm.add
                model: mailServerManager.typeNames
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: serverForm.currentTypeIndex }
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                activeFocusOnTab: enabled
                onClicked: serverForm.chooseType(index)
            }
            CustomComboBox {
                objectName: "serverProtocolChooser"
                dropDownList: serverForm.dropDownList
                accessibleName: labelTexts.model[1]
                width: parent.width
                height: itemHeight
                model: mailServerManager.protocolNames
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: serverForm.currentProtocolIndex }
                disableMap: [[ServerFlows.POP3, function() { return !serverForm.incoming }],
                    [ServerFlows.IMAP, function() { return !serverForm.incoming }],
                    [ServerFlows.SMTP, function() { return serverForm.incoming }]]
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                activeFocusOnTab: true
                onClicked: serverForm.currentProtocolIndex = index
            }
            LineEdit {
                id: addressField
                objectName: "serverAddressField"
                accessibleName: labelTexts.model[2]
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("pop.example.com")
                inputMethodHints: Qt.ImhUrlCharactersOnly
            }
            CustomComboBox {
                objectName: "serverSecurityChooser"
                dropDownList: serverForm.dropDownList
                accessibleName: labelTexts.model[3]
                width: parent.width
                height: itemHeight
                model: mailServerManager.sslNames
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: serverForm.currentConnIndex }
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                activeFocusOnTab: true
                onClicked: serverForm.currentConnIndex = index
            }
            CustomComboBox {
                objectName: "serverAuthChooser"
                dropDownList: serverForm.dropDownList
                accessibleName: labelTexts.model[4]
                width: parent.width
                height: itemHeight
                model: mailServerManager.authNames
                // The shared list writes currentIndex itself: keep following the form.
                Binding on currentIndex { value: serverForm.currentAuthIndex }
                disableMap: [[ServerFlows.NO_AUTH, function() { return serverForm.incoming }]]
                colorLight: styles.buttons.colorLight
                colorDark: styles.buttons.colorDark
                activeFocusOnTab: true
                onClicked: serverForm.currentAuthIndex = index
            }
        }
    }

    CustomButton {
        id: okButton
        objectName: "serverOkButton"
        anchors.right: parent.horizontalCenter
        anchors.rightMargin: 5
        anchors.bottom: parent.bottom
        anchors.bottomMargin: itemHeight * 0.35
        width: serverForm.panel.width * 0.25
        height: 0.8 * itemHeight
        buttonText: qsTr("OK")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: {
            serverForm.hide()
            serverForm.okFunction()
        }
    }
    CustomButton {
        objectName: "serverCloseButton"
        anchors.left: parent.horizontalCenter
        anchors.leftMargin: 5
        anchors.bottom: okButton.bottom
        width: okButton.width
        height: okButton.height
        buttonText: qsTr("Close")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: serverForm.hide()
    }
}
