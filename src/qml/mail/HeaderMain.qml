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
            enabled: root.currentProfile !== null && root.currentProfile.incomingModel !== null
            onClicked: root.showDrawer(opened)
            ToolTipArea { text: qsTr("Folders (%1)").arg(keyboardShortcuts.drawerKeyText) }
        }

        CustomComboBox {
            id: profileChooser
            objectName: "profileChooser"
            anchors.left: menuBackButton.right
            width: header.width * 0.4 - menuBackButton.width
            height: parent.height
            model: profileEmails(mailProfileManager.profiles)
            currentIndex: mailProfileManager.currentProfile
            colorLight: styles.headerColor
            colorDark: styles.highlightColor
            buttonText: qsTr("Create new profile...")
            accessibleName: qsTr("Account")
            onClicked: {
                // The list set the index: the box follows the manager again,
                // also after an account is added or removed.
                currentIndex = Qt.binding(function() { return mailProfileManager.currentProfile })
                if (index !== mailProfileManager.currentProfile)
                    mailProfileManager.initCurrentProfile(index)
            }
            onButtonClicked: root.addProfile()

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
            rotate: root.currentProfile !== null
                    && root.currentProfile.status === Profile.RECIEVING_STATUS
            enabled: !rotate && !rotationAnimationRunning && root.currentProfile !== null
            onClicked: root.currentProfile.queryIncomingMail()
            ButtonShortcut { text: qsTr("Check mail"); sequence: "F5" }
        }

        MenuButton {
            id: newLetterButton
            objectName: "newLetterButton"
            anchors.left: refreshButton.right
            imagePath: "qrc:/qml/images/add.png"
            enabled: root.currentProfile !== null
            onClicked: root.showNewMail()
            ButtonShortcut { text: qsTr("New letter"); sequence: "Ctrl+N" }
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
            ToolTipArea { text: qsTr("Search (%1)").arg(keyboardShortcuts.findKeyText) }
            showClearButton: true
            onTextChanged: root.search(text)
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
            on: root.searchEverywhere
            enabled: root.currentProfile !== null
            onClicked: root.setSearchEverywhere(on)
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
                onClicked: root.showSettings()
                ButtonShortcut { text: qsTr("Settings") }
            }
        }
    }
}
