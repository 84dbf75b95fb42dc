import QtQuick 2.3

// The settings, account, server and wizard forms, made together on first
// use since they open one another; in stacking order.
Item {
    id: forms

    // The window's managers and shared dialogs that the forms work with.
    property QtObject mailProfileManager: null
    property QtObject mailServerManager: null
    property Item messageForm: null
    property Item lineEditForm: null
    property Item dropDownList: null
    // Give the choice list and the number picker, made now if they were not yet.
    property var choiceList: null
    property var numberPicker: null
    property string quitKeyText: ""

    // The wizard added an account: it is to be joined to its servers.
    signal accountAdded

    readonly property Item settings: settingsForm
    readonly property Item mailSettings: settingsMailForm
    readonly property Item management: managementForm
    readonly property Item profile: profileForm
    readonly property Item server: serverForm
    readonly property Item wizard: wizardForm

    SettingsForm {
        id: settingsForm
        mailProfileManager: forms.mailProfileManager
        mailServerManager: forms.mailServerManager
        messageForm: forms.messageForm
        managementForm: managementForm
        profileForm: profileForm
        serverForm: serverForm
        settingsMailForm: settingsMailForm
        quitKeyText: forms.quitKeyText
    }
    SettingsMailForm {
        id: settingsMailForm
        mailProfileManager: forms.mailProfileManager
        choiceList: forms.choiceList
        numberPicker: forms.numberPicker
    }
    ManagementForm {
        id: managementForm
        wizardForm: wizardForm
    }
    ProfileForm {
        id: profileForm
        mailProfileManager: forms.mailProfileManager
        mailServerManager: forms.mailServerManager
        messageForm: forms.messageForm
        managementForm: managementForm
        serverForm: serverForm
        dropDownList: forms.dropDownList
    }
    ServerForm {
        id: serverForm
        mailServerManager: forms.mailServerManager
        dropDownList: forms.dropDownList
    }
    WizardForm {
        id: wizardForm
        mailProfileManager: forms.mailProfileManager
        mailServerManager: forms.mailServerManager
        messageForm: forms.messageForm
        lineEditForm: forms.lineEditForm
        onAccountAdded: forms.accountAdded()
    }
}
