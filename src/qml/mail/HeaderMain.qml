import QtQuick 2.15
import ProfileBackend 1.0
import "../controls"

// The bar along the top: drawer button, account chooser, refresh, new
// letter, search and settings.
Item {
    id: header
    objectName: "header"

    readonly property alias refreshButtonEnabled: refreshButton.enabled
    readonly property alias searchText: searchField.text
    readonly property alias drawerEnabled: menuBackButton.enabled
    // The account shown, and the accounts to choose from (the manager's list
    // and the index of the one shown in it).
    property QtObject profile: null
    property var profiles: []
    property int currentProfileIndex: -1
    // The button keys work only while no form covers the main screen.
    property bool keysActive: true
    property string drawerKeyText: ""
    property string findKeyText: ""
    property Item dropDownList: null
    // The search looks through every folder of the account.
    property bool searchEverywhere: false

    signal drawerClicked(bool open)
    signal profileChosen(int index)
    signal addProfileClicked
    signal newMailClicked
    signal settingsClicked
    signal searchEverywhereToggled(bool everywhere)

    function focusSearch() {
        searchField.setFocus()
    }

    function setMenuBackButtonState(st) {
        menuBackButton.state = st
    }

    Shadow { target: bar }

    Rectangle {
        id: bar
        anchors.fill: parent
        color: styles.headerColor

        MenuBackButton {
            id: menuBackButton
            objectName: "menuBackButton"
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            width: height
            enabled: header.profile !== null && header.profile.folders.length > 0
            onClicked: header.drawerClicked(opened)
            ToolTipArea { text: qsTr("Folders (%1)").arg(header.drawerKeyText) }
        }

        CustomComboBox {
            id: profileChooser
            objectName: "profileChooser"
            anchors.left: menuBackButton.right
            width: header.width * 0.4 - menuBackButton.width
            height: parent.height
            model: profileEmails(header.profiles)
            currentIndex: header.currentProfileIndex
            colorLight: styles.headerColor
            colorDark: styles.highlightColor
            buttonText: qsTr("Create new profile...")
            accessibleName: qsTr("Account")
            dropDownList: header.dropDownList
            onClicked: {
                // The list set the index: the box follows the manager again,
                // also after an account is added or removed.
                currentIndex = Qt.binding(function() { return header.currentProfileIndex })
                if (index !== header.currentProfileIndex)
                    header.profileChosen(index)
            }
            onButtonClicked: header.addProfileClicked()

            function profileEmails(profiles) {
                var emails = []
                for (var i = 0; i < profiles.length; ++i)
                    emails.push(profiles[i].email)
                return emails
            }
        }

        MenuButton {
            id: refreshButton
            objectName: "refreshButton"
            anchors.left: profileChooser.right
            imagePath: "qrc:/qml/images/refresh.png"
            rotate: header.profile !== null && header.profile.status === Profile.RECIEVING_STATUS
            enabled: !rotate && !rotationAnimationRunning && header.profile !== null
            onClicked: header.profile.queryIncomingMail()
            ButtonShortcut { text: qsTr("Check mail"); sequence: "F5"; active: header.keysActive }
        }

        MenuButton {
            id: newLetterButton
            objectName: "newLetterButton"
            anchors.left: refreshButton.right
            imagePath: "qrc:/qml/images/add.png"
            enabled: header.profile !== null
            onClicked: header.newMailClicked()
            ButtonShortcut { text: qsTr("New letter"); sequence: "Ctrl+N"; active: header.keysActive }
        }

        LineEdit {
            id: searchField
            objectName: "searchField"
            anchors.left: newLetterButton.right
            anchors.right: scopeBox.left
            anchors.leftMargin: 15
            anchors.rightMargin: 15
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.topMargin: parent.height * 0.1
            anchors.bottomMargin: parent.height * 0.1
            placeholderText: qsTr("Search...")
            accessibleName: qsTr("Search")
            ToolTipArea { text: qsTr("Search (%1)").arg(header.findKeyText) }
            showClearButton: true
        }

        CheckBox {
            id: scopeBox
            objectName: "searchEverywhereBox"
            anchors.right: rightGroup.left
            anchors.rightMargin: 15
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            text: qsTr("All folders")
            textColor: "white"
            on: header.searchEverywhere
            enabled: header.profile !== null
            onClicked: header.searchEverywhereToggled(on)
            ToolTipArea { text: qsTr("Search the letters of every folder") }
        }

        Row {
            id: rightGroup
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            layoutDirection: Qt.RightToLeft

            MenuButton {
                id: settingsButton
                objectName: "settingsButton"
                imagePath: "qrc:/qml/images/misc.png"
                onClicked: header.settingsClicked()
                ButtonShortcut { text: qsTr("Settings"); active: header.keysActive }
            }
        }
    }
}
