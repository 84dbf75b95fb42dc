import QtQuick 2.3
import LetterBackend 1.0
import ProfileBackend 1.0
import MailProfileManagerBackend 1.0
import MailServerManagerBackend 1.0
import "controls"
import "settings"
import "compose"
import "scripts/server.js" as ServerScript

// Interim scene until the main window's screens land.
Rectangle {
    id: root
    width: 900 * dpiRatio
    height: 600 * dpiRatio
    color: "#f4f4f4"

    property int minWidth: 900
    property int minHeight: 500
    property int currentFolder: Letter.IncomingFolder
    property real itemHeight: 50 * dpiRatio

    MailServerManager { id: mailServerManager; objectName: "mailServerManager"
        onQueryCertificateQml: {
            messageForm.show(str, true, function() { certificateAnswerQml(true) }, function() { certificateAnswerQml(false) })
            messageForm.okText = qsTr("Yes"); messageForm.cancelText = qsTr("No"); messageForm.title = qsTr("Certificate verification")
        }
    }
    MailProfileManager { id: mailProfileManager; objectName: "mailProfileManager"
        onError: { messageForm.show(e, false); messageForm.title = qsTr("Error") }
    }
    Style { id: styles }

    Item { id: mailList; property var currentLetter; property int currentIndex: -1; property var model }
    Item { id: mail; function getBodyText() { return "" } }
    Item { id: header; function focusSearch() {} }

    // --- Forms and dialogs ---
    NewMailForm { id: newMailForm }
    ListViewForm { id: listViewForm; objectName: "listViewForm" }
    SpinPathBoxForm { id: spinPathBoxForm; objectName: "spinPathBoxForm" }
    SettingsForm { id: settingsForm }
    SettingsMailForm { id: settingsMailForm }
    ManagementForm { id: managementForm }
    ProfileForm { id: profileForm }
    ServerForm { id: serverForm }
    WizardForm { id: wizardForm }
    MessageForm { id: messageForm; objectName: "messageForm" }
    ComboBoxList { id: comboBoxList; objectName: "comboBoxList" }
    LineEditForm { id: lineEditForm; objectName: "lineEditForm" }
    ColorPickerForm { id: colorFontPicker }
    MailtoRequests { id: mailtoRequests }
    KeyboardShortcuts { id: keyboardShortcuts }

    Timer { id: initTimer; interval: 400; onTriggered: ServerScript.initProfilesWithServers() }

    Component.onCompleted: {
        initTimer.start()
        if (mailProfileManager.profiles.length === 0)
            wizardForm.show()
    }
}
