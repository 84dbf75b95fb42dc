import QtQuick 2.15
import WizardBackend 1.0
import "../controls"
import "../scripts/text.js" as TextRules

// The account wizard: asks for the address, finds the servers, asks for the
// name and saves the account.
FormFrame {
    id: wizardForm
    objectName: "wizardForm"

    readonly property int step: wizard.currentStep
    readonly property bool foundAny: wizard.incomingServer !== null || wizard.outgoingServer !== null
    // Where the found servers and the account go; the dialogs that ask.
    property QtObject mailProfileManager: null
    property QtObject mailServerManager: null
    property Item messageForm: null
    property Item lineEditForm: null

    // An account was added: it is to be joined to its servers.
    signal accountAdded

    function show() {
        wizard.reset()
        emailField.text = ""
        nameField.text = ""
        open()
        emailField.setFocus()
    }
    function cancel() {
        wizard.reset()
        close()
    }

    function next() {
        if (step === Wizard.EMAIL_STEP) {
            var email = emailField.text.trim()
            if (email === "") {
                messageForm.show(qsTr("Email cannot be empty!"), false)
                return
            }
            if (!TextRules.isValidAddress(email)) {
                messageForm.show(qsTr("Your email is incorrect!"), false)
                return
            }
            wizard.email = email
            wizard.nextStep()
        } else if (step === Wizard.NAME_STEP) {
            if (nameField.text.trim() === "") {
                messageForm.show(qsTr("Name cannot be empty!"), false)
                return
            }
            saveAll()
            cancel()
        } else {
            wizard.nextStep()
        }
    }

    function saveAll() {
        var found = []
        if (wizard.incomingServer)
            found.push(wizard.incomingServer.address)
        if (wizard.outgoingServer)
            found.push(wizard.outgoingServer.address)
        for (var i = mailServerManager.servers.length - 1; i >= 0; --i) {
            if (found.indexOf(mailServerManager.servers[i].address) >= 0)
                mailServerManager.removeServer(i)
        }
        var servers = [wizard.incomingServer, wizard.outgoingServer]
        for (var s = 0; s < servers.length; ++s) {
            if (servers[s])
                mailServerManager.addServer(servers[s].type, servers[s].protocol, servers[s].ssl,
                                            servers[s].auth, servers[s].address)
        }
        var profiles = mailProfileManager.profiles
        for (var p = 0; p < profiles.length; ++p) {
            if (profiles[p].email === wizard.email) {
                mailProfileManager.removeProfile(p)
                break
            }
        }
        mailProfileManager.addProfile(nameField.text, wizard.email,
                                      wizard.incomingServer ? wizard.incomingServer.clone() : null,
                                      wizard.outgoingServer ? wizard.outgoingServer.clone() : null,
                                      wizard.saveLogin ? wizard.login : "",
                                      wizard.savePassword ? wizard.password : "")
        accountAdded()
    }

    leftInset: 0.1
    topInset: 0.1
    iconPath: "images/wizard.png"
    title: qsTr("Wizard: step %1 of 3").arg(step === Wizard.FOUND_STEP ? 2 : step === Wizard.NAME_STEP ? 3 : 1)
    onCloseClicked: cancel()

    Wizard {
        id: wizard

        onQueryUsernameQml: {
            var email = wizard.email
            var at = email.indexOf("@")
            lineEditForm.show(qsTr("User name for %1 on %2").arg(email).arg(wizard.serverUnderTest()),
                              at >= 0 ? email.substring(0, at) : email,
                              function(text) { wizard.setUsernameQml(text, lineEditForm.checkBoxOn) },
                              function() { wizard.tryNextServer() })
        }
        onQueryPasswordQml: {
            lineEditForm.show(qsTr("Password for %1 on %2").arg(wizard.email).arg(wizard.serverUnderTest()), "",
                              function(text) { wizard.setPasswordQml(text, lineEditForm.checkBoxOn) },
                              function() { wizard.tryNextServer() })
            lineEditForm.echoMode = TextInput.Password
            lineEditForm.checkBoxText = qsTr("Remember the password on this computer")
        }
        onQueryCertificateQml: {
            messageForm.show(e, true, function() { wizard.certificateAnswerQml(question, true) },
                             function() { wizard.certificateAnswerQml(question, false) },
                             { title: qsTr("Certificate verification"), okText: qsTr("Yes"),
                               cancelText: qsTr("No") })
        }
        onAuthFailedQml: {
            messageForm.show(qsTr("Authorization failed! Do you want to try again?") + "\n" + e, true,
                             function() { wizard.tryCurrentServer() },
                             function() { wizard.tryNextServer() },
                             { title: qsTr("Authorization") })
        }
    }

    Item {
        id: pages
        anchors.fill: parent
        anchors.leftMargin: wizardForm.panel.width * 0.1
        anchors.rightMargin: wizardForm.panel.width * 0.1
        anchors.topMargin: wizardForm.panel.height * 0.1
        anchors.bottomMargin: wizardForm.panel.height * 0.1 + buttonsRow.height

        // Address
        Column {
            visible: wizardForm.step === Wizard.EMAIL_STEP
            anchors.fill: parent
            spacing: pages.height * 0.1
            WizardText { text: qsTr("Enter your e-mail address; the program then looks for the servers of your account:") }
            LineEdit {
                id: emailField
                objectName: "wizardEmailField"
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("john.smith@example.com")
                inputMethodHints: Qt.ImhEmailCharactersOnly
                Keys.onReturnPressed: wizardForm.next()
                Keys.onEnterPressed: wizardForm.next()
            }
        }

        // Search
        Column {
            visible: wizardForm.step === Wizard.SEARCHING_STEP
            anchors.fill: parent
            spacing: pages.height * 0.1
            WizardText { text: qsTr("Searching for incoming and outgoing servers...") }
            ColoredImage {
                anchors.horizontalCenter: parent.horizontalCenter
                width: itemHeight
                height: itemHeight
                imagePath: "images/refresh.png"
                imageColor: styles.highlightColor
                rotate: parent.visible
            }
        }

        // Found servers
        Column {
            visible: wizardForm.step === Wizard.FOUND_STEP
            anchors.fill: parent
            spacing: pages.height * 0.1
            WizardText {
                objectName: "wizardFoundText"
                text: wizardForm.foundAny ? qsTr("Found the following servers:")
                                          : qsTr("Could not find incoming and outgoing servers.\nYou should add them in settings manually.")
            }
            WizardServerBlock {
                visible: wizardForm.foundAny
                server: wizard.incomingServer
                serverNames: wizardForm.mailServerManager
                incoming: true
                markSize: Math.min(wizardForm.panel.width * 0.06, 64)
                markGap: wizardForm.panel.width * 0.02
                columnSpacing: 35 * dpiRatio
            }
            WizardServerBlock {
                visible: wizardForm.foundAny
                server: wizard.outgoingServer
                serverNames: wizardForm.mailServerManager
                incoming: false
                markSize: Math.min(wizardForm.panel.width * 0.06, 64)
                markGap: wizardForm.panel.width * 0.02
                columnSpacing: 30 * dpiRatio
            }
        }

        // Name
        Column {
            visible: wizardForm.step === Wizard.NAME_STEP
            anchors.fill: parent
            spacing: pages.height * 0.1
            WizardText { text: qsTr("Enter your name.\nThe recipients of your letters see it in the \"From\" field.") }
            LineEdit {
                id: nameField
                objectName: "wizardNameField"
                width: parent.width
                height: itemHeight
                placeholderText: qsTr("John Smith")
                Keys.onReturnPressed: wizardForm.next()
                Keys.onEnterPressed: wizardForm.next()
            }
        }
    }

    Item {
        id: buttonsRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: wizardForm.panel.width * 0.1
        anchors.rightMargin: wizardForm.panel.width * 0.1
        anchors.bottomMargin: wizardForm.panel.height * 0.1
        height: 0.8 * itemHeight

        CustomButton {
            objectName: "wizardCancelButton"
            anchors.left: parent.left
            width: wizardForm.panel.width * 0.25
            height: parent.height
            buttonText: qsTr("Cancel")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: wizardForm.cancel()
        }
        CustomButton {
            id: nextButton
            objectName: "wizardNextButton"
            anchors.right: parent.right
            width: wizardForm.panel.width * 0.25
            height: parent.height
            buttonText: wizardForm.step === Wizard.NAME_STEP ? qsTr("Done") : qsTr("Next")
            enabled: wizardForm.step !== Wizard.SEARCHING_STEP
                     && (wizardForm.step !== Wizard.FOUND_STEP || wizardForm.foundAny)
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: wizardForm.next()
        }
    }

    onStepChanged: {
        if (step === Wizard.NAME_STEP)
            nameField.setFocus()
        else if (step === Wizard.FOUND_STEP)
            nextButton.forceActiveFocus()
    }
}
