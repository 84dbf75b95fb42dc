import QtQuick 2.15
import "../controls"
import "../scripts/profile.js" as Flows

// The settings menu: accounts, servers and the global mail options.
FormFrame {
    id: settingsForm
    objectName: "settingsForm"

    // What the account and server flows work with; the forms they open.
    property QtObject mailProfileManager: null
    property QtObject mailServerManager: null
    property Item messageForm: null
    property Item managementForm: null
    property Item profileForm: null
    property Item serverForm: null
    property Item settingsMailForm: null
    property string quitKeyText: ""

    function show(_title) {
        title = _title
        open()
        profilesItem.forceActiveFocus()
    }
    function hide() { close() }

    z: 998
    leftInset: 0.2
    topInset: 0.2
    iconPath: "images/misc.png"
    iconColorOverlay: true
    iconShadow: true
    // The rows, then the Close button with its margins.
    bodyHeight: rows.height + itemHeight + 20
    onCloseClicked: hide()

    Column {
        id: rows
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top

        SettingsItem {
            id: profilesItem
            objectName: "profileManagementItem"
            width: parent.width
            height: itemHeight
            itemText: qsTr("Profile management")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.show(qsTr("Profile management"),
                                           Qt.binding(function() { return mailProfileManager.profiles }),
                                           Flows.onAddProfile, Flows.onEditProfile, Flows.onRemoveProfile)
        }
        SettingsItem {
            objectName: "serverManagementItem"
            width: parent.width
            height: itemHeight
            itemText: qsTr("Server management")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.show(qsTr("Server management"),
                                           Qt.binding(function() { return mailServerManager.servers }),
                                           Flows.onAddServer, Flows.onEditServer, Flows.onRemoveServer)
        }
        SettingsItem {
            objectName: "mailSettingsItem"
            width: parent.width
            height: itemHeight
            itemText: qsTr("Mail settings")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: settingsMailForm.show(qsTr("Mail settings"))
        }
        // Also for desktops without a tray, whose menu is the only other way out.
        SettingsItem {
            objectName: "quitItem"
            width: parent.width
            height: itemHeight
            itemText: qsTr("Quit") + " (" + settingsForm.quitKeyText + ")"
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: Qt.quit()
        }
    }

    CustomButton {
        objectName: "settingsCloseButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        width: Math.min(settingsForm.panel.width / 2, 200 * dpiRatio)
        height: 0.8 * itemHeight
        buttonText: qsTr("Close")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: settingsForm.hide()
    }
}
