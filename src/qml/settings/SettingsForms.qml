import QtQuick 2.3

// The settings, account, server and wizard forms, made together on first
// use since they open one another; in stacking order.
Item {
    readonly property Item settings: settingsForm
    readonly property Item mailSettings: settingsMailForm
    readonly property Item management: managementForm
    readonly property Item profile: profileForm
    readonly property Item server: serverForm
    readonly property Item wizard: wizardForm

    SettingsForm { id: settingsForm }
    SettingsMailForm { id: settingsMailForm }
    ManagementForm { id: managementForm }
    ProfileForm { id: profileForm }
    ServerForm { id: serverForm }
    WizardForm { id: wizardForm }
}
