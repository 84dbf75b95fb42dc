import QtQuick 2.3
import "../controls"

// The global mail options: letters kept per folder, the check interval and
// deletion on the server.
FormFrame {
    id: settingsMailForm
    objectName: "settingsMailForm"

    property QtObject mailProfileManager: null
    // Give the choice list and the number picker, made now if they were not yet.
    property var choiceList: null
    property var numberPicker: null

    readonly property int storeCount: mailProfileManager.storeMessagesCount
    // The limit proposed when there is none yet.
    readonly property int proposedCount: storeCount > 0 ? storeCount : 1000
    readonly property int intervalMinutes: Math.floor(mailProfileManager.getMailTimerInterval / 60 / 1000)
    readonly property string keepText: qsTr("Store up to %1 messages in folder").arg(proposedCount)
    readonly property string keepAllText: qsTr("Don't delete messages")
    readonly property string deleteText: qsTr("Delete received messages from server")
    readonly property string keepOnServerText: qsTr("Don't delete received messages from server")

    function show(_title) {
        title = _title
        open()
        limitItem.forceActiveFocus()
    }
    function hide() { close() }

    function chooseLimit() {
        var list = choiceList()
        list.show([keepText, keepAllText], function(choice) {
            if (choice === keepAllText) {
                mailProfileManager.storeMessagesCount = 0
                return
            }
            numberPicker().show(10, 10000, proposedCount, function(value) {
                mailProfileManager.storeMessagesCount = value
            })
        })
        list.rectLeftMargin = list.width * 0.15
    }

    function chooseInterval() {
        numberPicker().show(1, 300, intervalMinutes, function(value) {
            mailProfileManager.getMailTimerInterval = value * 60 * 1000
        })
    }

    function chooseServerDeletion() {
        var list = choiceList()
        list.show([deleteText, keepOnServerText], function(choice) {
            mailProfileManager.deleteFromServer = choice === deleteText
        })
        list.rectLeftMargin = list.width * 0.15
    }

    z: 998
    leftInset: 0.1
    topInset: 0.2
    iconPath: "images/unseen.png"
    subIconPath: "images/misc.png"
    // The rows, then the Close button with its margins.
    bodyHeight: rows.height + itemHeight + 20
    onCloseClicked: hide()

    Column {
        id: rows
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top

        SettingsItem {
            id: limitItem
            objectName: "storeLimitItem"
            width: parent.width
            height: itemHeight
            itemText: settingsMailForm.storeCount > 0 ? settingsMailForm.keepText : settingsMailForm.keepAllText
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: settingsMailForm.chooseLimit()
        }
        SettingsItem {
            objectName: "intervalItem"
            width: parent.width
            height: itemHeight
            itemText: qsTr("Get new messages every %1 minute(s)").arg(settingsMailForm.intervalMinutes)
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: settingsMailForm.chooseInterval()
        }
        SettingsItem {
            objectName: "serverDeletionItem"
            width: parent.width
            height: itemHeight
            itemText: mailProfileManager.deleteFromServer ? settingsMailForm.deleteText
                                                         : settingsMailForm.keepOnServerText
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: settingsMailForm.chooseServerDeletion()
        }
    }

    CustomButton {
        objectName: "mailSettingsCloseButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        width: Math.min(settingsMailForm.panel.width / 2, 200 * dpiRatio)
        height: 0.8 * itemHeight
        buttonText: qsTr("Close")
        activeFocusOnTab: true
        Keys.onReturnPressed: clicked()
        Keys.onSpacePressed: clicked()
        onClicked: settingsMailForm.hide()
    }
}
