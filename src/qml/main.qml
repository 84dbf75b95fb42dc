import QtQuick 2.15
import LetterBackend 1.0
import ProfileBackend 1.0
import MailProfileManagerBackend 1.0
import MailServerManagerBackend 1.0
import TrayIconBackend 1.0
import "controls"
import "mail"
import "compose"
import "scripts/server.js" as ServerScript
import "scripts/mail.js" as MailScript

Item {
    id: root
    objectName: "root"

    // In the scene's units, which grow with dpiRatio; the drawer and the
    // long forms scroll below what fits.
    readonly property int minWidth: Math.round(900 * dpiRatio)
    readonly property int minHeight: Math.round(500 * dpiRatio)
    property int currentFolder: Letter.IncomingFolder
    // The search looks through every folder; the list shows what it found
    // instead of a folder while there is a search text.
    property bool searchEverywhere: false
    readonly property bool showingResults: searchEverywhere && header.searchText !== ""
                                           && currentProfile !== null
    // By folder number (Letter.FolderType).
    readonly property var folderNames: [qsTr("Incoming"), qsTr("Drafts"), qsTr("Sent"), qsTr("Archive"),
                                        qsTr("Trash")]
    // The account whose folders are shown; null when there is none.
    readonly property var currentProfile: MailScript.profileAt(mailProfileManager.profiles,
                                                               mailProfileManager.currentProfile)

    width: minWidth
    height: minHeight

    // Most forms are made on first use: many sessions never open them,
    // and the window shows sooner and holds less without them. Until then
    // these are null.
    readonly property Item newMailForm: composeLoader.item
    readonly property Item colorFontPicker: colorPickerLoader.item
    readonly property Item listViewForm: choiceListLoader.item
    readonly property Item spinPathBoxForm: numberPickerLoader.item
    readonly property Item settingsForm: settingsLoader.item ? settingsLoader.item.settings : null
    readonly property Item settingsMailForm: settingsLoader.item ? settingsLoader.item.mailSettings : null
    readonly property Item managementForm: settingsLoader.item ? settingsLoader.item.management : null
    readonly property Item profileForm: settingsLoader.item ? settingsLoader.item.profile : null
    readonly property Item serverForm: settingsLoader.item ? settingsLoader.item.server : null
    readonly property Item wizardForm: settingsLoader.item ? settingsLoader.item.wizard : null

    // The compose form, made now if it was not yet.
    function compose() {
        composeLoader.active = true
        return composeLoader.item
    }
    // The settings, account, server and wizard forms, made now if they were not yet.
    function settingsForms() {
        settingsLoader.active = true
        return settingsLoader.item
    }

    // The list of choices and the number picker, made now if they were not yet.
    function choiceList() {
        choiceListLoader.active = true
        return choiceListLoader.item
    }
    function numberPicker() {
        numberPickerLoader.active = true
        return numberPickerLoader.item
    }

    function showNewMail() { compose().showNew() }
    function showReply() { compose().showReply(mailList.currentLetter, mail.getBodyText()) }
    function showForward() { compose().showForward(mailList.currentLetter, mail.getBodyText()) }
    function showDraft() { compose().showDraft(mailList.currentLetter, mail.getBodyText()) }
    function addRecipient(name, address) { compose().addRecipient(name, address) }
    function showSettings() { settingsForms().settings.show(qsTr("Settings")) }
    function showWizard() { settingsForms().wizard.show() }
    function addProfile() { settingsForms().profile.addProfile() }

    function showWindow() {
        viewer.show()
        viewer.raise()
    }

    function showDrawer(open) {
        header.setMenuBackButtonState(open ? "back" : "menu")
        if (open)
            folderList.show()
        else
            folderList.hide()
    }

    // Says what failed, or what was done with a way back.
    function notify(text, actionText, action) {
        notice.show(text, actionText, action)
    }

    // The search text goes to the folder shown or to the letters found in all.
    function search(text) {
        if (!currentProfile)
            return
        currentProfile.searchResults.setSearchText(searchEverywhere ? text : "")
        var model = MailScript.folderModel(currentProfile, currentFolder)
        if (model)
            model.setSearchText(searchEverywhere ? "" : text)
    }
    function setSearchEverywhere(everywhere) {
        searchEverywhere = everywhere
        mailList.currentIndex = -1
        search(header.searchText)
    }

    function chooseFolder(folder) {
        if (searchEverywhere) {
            searchEverywhere = false
            if (currentProfile)
                currentProfile.searchResults.setSearchText("")
        }
        currentFolder = folder
        header.setMenuBackButtonState("menu")
        mailList.currentIndex = -1
        mailList.contentY = 0
        var model = MailScript.folderModel(currentProfile, folder)
        if (model)
            model.setSearchText("")
    }

    MailServerManager {
        id: mailServerManager
        objectName: "mailServerManager"
        onQueryCertificateQml: {
            messageForm.show(text, true, function() { certificateAnswerQml(question, true) },
                             function() { certificateAnswerQml(question, false) },
                             { title: qsTr("Certificate verification"), okText: qsTr("Yes"),
                               cancelText: qsTr("No") })
        }
    }

    MailProfileManager {
        id: mailProfileManager
        objectName: "mailProfileManager"
        onError: {
            messageForm.show(e, false, null, null, { title: qsTr("Error") })
        }
        // The account asking need not be the one shown.
        onQueryUsernameQml: {
            var profile = MailScript.profileAt(profiles, currentProfileQuery)
            lineEditForm.show(profile ? qsTr("User name for %1 on %2").arg(profile.email).arg(profile.incomingServerStr)
                                      : qsTr("Input username"),
                              profile ? MailScript.userPart(profile.email) : "",
                              function(text) { setUsernameQml(text, lineEditForm.checkBoxOn) })
        }
        onQueryPasswordQml: {
            var profile = MailScript.profileAt(profiles, currentProfileQuery)
            lineEditForm.show(profile ? qsTr("Password for %1 on %2").arg(profile.email).arg(profile.incomingServerStr)
                                      : qsTr("Input password"), "",
                              function(text) { setPasswordQml(text, lineEditForm.checkBoxOn) })
            lineEditForm.echoMode = TextInput.Password
            lineEditForm.note = keyringNotice
            lineEditForm.checkBoxText = keyringAvailable ? qsTr("Remember the password on this computer")
                                                         : qsTr("Remember while the program runs")
        }
        onAuthFailedQml: {
            // The retry goes to the account that failed, which need not be
            // the one shown.
            var failed = MailScript.profileAt(profiles, currentProfileQuery)
            messageForm.show(qsTr("Authorization failed! Do you want to try again?") + "\n" + e, true,
                             function() { if (failed) failed.queryIncomingMail() }, null,
                             { title: qsTr("Authorization") })
        }
        onSendNoticeQml: notice.show(text, "", null, !busy)
        onTrayMessageQml: {
            if (!viewer.visible)
                trayIcon.showNotice(title, message)
        }
    }

    TrayIcon {
        id: trayIcon
        objectName: "trayIcon"
        property int unseenLetters: root.currentProfile ? root.currentProfile.unseenLetters : 0
        toolTip: unseenLetters > 0 ? qsTr("Mail: unseen letters: ") + unseenLetters : qsTr("Mail")
        onUnseenLettersChanged: setTrayIcon(unseenLetters > 0)
        onTrayClicked: {
            if (viewer.visible)
                viewer.hide()
            else
                root.showWindow()
        }
        onNewMessageActionTriggered: {
            // Without an account a letter could be neither sent nor saved.
            if (root.currentProfile)
                root.showNewMail()
            else
                root.showWizard()
            if (!viewer.visible)
                root.showWindow()
        }
        onQueryMailActionTriggered: {
            if (root.currentProfile)
                root.currentProfile.queryIncomingMail()
        }
        onQuitActionTriggered: Qt.quit()
    }

    Style { id: styles }

    // One instance of every form, in stacking order (later ones above
    // earlier ones of the same z). The lazy ones are named by file, so that
    // neither they nor the modules they import are read before first use.
    Loader {
        id: composeLoader
        anchors.fill: parent
        z: 999
        active: false
        source: active ? "compose/NewMailForm.qml" : ""
        onLoaded: {
            item.profile = Qt.binding(function() { return root.currentProfile })
            item.profiles = Qt.binding(function() { return mailProfileManager.profiles })
            item.messageForm = messageForm
            item.dropDownList = comboBoxList
        }
    }
    Connections {
        target: composeLoader.item
        function onNumberAsked(min, max, current, set) {
            root.numberPicker().show(min, max, current, set)
            // The text takes each size as it is picked.
            root.spinPathBoxForm.processValueOnChange = true
        }
        function onColorAsked(current, at, set) { root.colorFontPicker.show(current, at, set) }
    }
    Loader {
        id: choiceListLoader
        anchors.fill: parent
        z: 999
        active: false
        source: active ? "controls/ListViewForm.qml" : ""
        onLoaded: item.objectName = "listViewForm"
    }
    Loader {
        id: numberPickerLoader
        anchors.fill: parent
        z: 999
        active: false
        source: active ? "controls/SpinPathBoxForm.qml" : ""
        onLoaded: item.objectName = "spinPathBoxForm"
    }
    // Below the number picker and the choice list that the mail settings
    // open over themselves, like the settings form itself.
    Loader {
        id: settingsLoader
        anchors.fill: parent
        z: 998
        active: false
        source: active ? "settings/SettingsForms.qml" : ""
        onLoaded: {
            item.mailProfileManager = mailProfileManager
            item.mailServerManager = mailServerManager
            item.messageForm = messageForm
            item.lineEditForm = lineEditForm
            item.dropDownList = comboBoxList
            item.choiceList = root.choiceList
            item.numberPicker = root.numberPicker
            item.quitKeyText = Qt.binding(function() { return keyboardShortcuts.quitKeyText })
        }
    }
    // The wizard's account is joined to its servers a moment later.
    Connections {
        target: settingsLoader.item
        function onAccountAdded() {
            initTimer.interval = 1000
            initTimer.start()
        }
    }
    MessageForm { id: messageForm; objectName: "messageForm" }
    ComboBoxList { id: comboBoxList; objectName: "comboBoxList" }
    LineEditForm { id: lineEditForm; objectName: "lineEditForm" }
    Loader {
        id: colorPickerLoader
        anchors.fill: parent
        z: 999
        active: composeLoader.active
        source: active ? "compose/ColorPickerForm.qml" : ""
    }
    // "mailto:" links from the desktop, and the keyboard shortcuts.
    MailtoRequests {
        id: mailtoRequests
        hasAccount: mailProfileManager.currentProfile >= 0 && mailProfileManager.profiles.length > 0
        messageForm: messageForm
        composeForm: root.compose
    }
    KeyboardShortcuts {
        id: keyboardShortcuts
        mailList: mailList
        header: header
        mail: mail
        folderList: folderList
        profile: root.currentProfile
        folder: mailList.shownFolder
        comboBoxList: comboBoxList
        lineEditForm: lineEditForm
        messageForm: messageForm
        colorFontPicker: root.colorFontPicker
        wizardForm: root.wizardForm
        serverForm: root.serverForm
        profileForm: root.profileForm
        managementForm: root.managementForm
        spinPathBoxForm: root.spinPathBoxForm
        listViewForm: root.listViewForm
        newMailForm: root.newMailForm
        settingsMailForm: root.settingsMailForm
        settingsForm: root.settingsForm
        onDrawerAsked: root.showDrawer(open)
        onFolderChosen: root.chooseFolder(folder)
    }

    MailList {
        id: mailList
        enabled: !keyboardShortcuts.formOpen
        anchors.left: parent.left
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width * 0.4
        profile: root.currentProfile
        folder: root.currentFolder
        showingResults: root.showingResults
        refreshEnabled: header.refreshButtonEnabled
        onCurrentLetterChanged: mail.updateView(currentLetter)
        onNotify: root.notify(text)
        onToggleFullWidth: mail.fullWidth = !mail.fullWidth
        onOpenFullWidth: mail.fullWidth = true
    }

    FolderList {
        id: folderList
        // Over the reading pane, also at full width.
        z: 1
        enabled: !keyboardShortcuts.formOpen
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: mailList.width
        profile: root.currentProfile
        currentFolder: root.currentFolder
        folderNames: root.folderNames
        onClicked: {
            root.chooseFolder(folder)
            root.showDrawer(false)
        }
    }

    Mail {
        id: mail
        enabled: !keyboardShortcuts.formOpen
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        letter: mailList.currentLetter
        letterCount: mailList.count
        profile: root.currentProfile
        folder: mailList.shownFolder
        folderNames: root.folderNames
        messageForm: messageForm
        keysActive: keyboardShortcuts.onMainScreen
        onNotify: root.notify(text, actionText, action)
        onAskChoice: root.choiceList().show(choices, answer)
        onEditDraft: root.showDraft()
        onReply: root.showReply()
        onReplyToAll: {
            root.showReply()
            root.newMailForm.replyToAll()
        }
        onForward: root.showForward()
        onWriteTo: {
            root.showNewMail()
            root.addRecipient(name, address)
        }
    }

    HeaderMain {
        id: header
        enabled: !keyboardShortcuts.formOpen
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: Math.min(parent.height * 0.1, 60 * dpiRatio)
        profile: root.currentProfile
        profiles: mailProfileManager.profiles
        currentProfileIndex: mailProfileManager.currentProfile
        keysActive: keyboardShortcuts.onMainScreen
        drawerKeyText: keyboardShortcuts.drawerKeyText
        findKeyText: keyboardShortcuts.findKeyText
        dropDownList: comboBoxList
        onDrawerClicked: root.showDrawer(open)
        onProfileChosen: mailProfileManager.initCurrentProfile(index)
        onAddProfileClicked: root.addProfile()
        onNewMailClicked: root.showNewMail()
        onSettingsClicked: root.showSettings()
        searchEverywhere: root.searchEverywhere
        onSearchEverywhereToggled: root.setSearchEverywhere(everywhere)
        onSearchTextChanged: root.search(searchText)
    }

    Notice {
        id: notice
        objectName: "notice"
        enabled: !keyboardShortcuts.formOpen
        keysActive: keyboardShortcuts.onMainScreen
    }

    Timer {
        id: initTimer
        interval: 400
        onTriggered: ServerScript.initProfilesWithServers()
    }

    Component.onCompleted: {
        viewer.setMinimumWidth(minWidth)
        viewer.setMinimumHeight(minHeight)
        initTimer.start()
        mailList.takeFocus()
        if (mailProfileManager.profiles.length === 0)
            root.showWizard()
        if (debug) {
            console.log("mailProfileManager.currentProfile", mailProfileManager.currentProfile)
            console.log("mailProfileManager.profiles.length", mailProfileManager.profiles.length)
            console.log("mailServerManager.servers.length", mailServerManager.servers.length)
        }
    }
}
