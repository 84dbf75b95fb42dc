import QtQuick 2.15

// A line along the bottom of the window saying what just happened or what
// failed, with an optional action such as Undo (also Ctrl+Z). A notice with
// an action, or one said to fade, goes by itself after a while; a failure
// stays until closed.
Rectangle {
    id: notice

    property string text: ""
    property string actionText: ""
    property var action: null
    // Ctrl+Z runs the action only while no form covers the main screen.
    property bool keysActive: true

    function show(message, label, run, fades) {
        text = message
        actionText = label || ""
        action = typeof run === "function" ? run : null
        opacity = 1
        if (action || fades)
            timer.restart()
        else
            timer.stop()
    }
    function hide() {
        opacity = 0
        action = null
        timer.stop()
    }
    function runAction() {
        var run = action
        hide()
        if (run)
            run()
    }

    anchors.horizontalCenter: parent.horizontalCenter
    anchors.bottom: parent.bottom
    anchors.bottomMargin: itemHeight * 0.3
    width: Math.min(parent.width - itemHeight, label.implicitWidth + buttons.width + itemHeight)
    height: Math.max(itemHeight * 0.9, label.implicitHeight + itemHeight * 0.3)
    z: 990
    radius: 4 * dpiRatio
    color: "#303030"
    opacity: 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 200 } }
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text

    Timer {
        id: timer
        interval: 8000
        onTriggered: notice.hide()
    }
    Shortcut {
        id: undoKey
        sequence: "Ctrl+Z"
        enabled: notice.visible && notice.action !== null && notice.keysActive
        onActivated: notice.runAction()
    }

    Text {
        id: label
        objectName: "noticeText"
        anchors.left: parent.left
        anchors.right: buttons.left
        anchors.leftMargin: itemHeight * 0.3
        anchors.rightMargin: itemHeight * 0.3
        anchors.verticalCenter: parent.verticalCenter
        text: notice.text
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: "white"
        font.pointSize: 11
    }
    Row {
        id: buttons
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.rightMargin: itemHeight * 0.2
        spacing: itemHeight * 0.2

        MenuButton {
            objectName: "noticeActionButton"
            visible: notice.action !== null
            text: notice.actionText
            textColor: "white"
            textStyleColor: "black"
            activeFocusOnTab: true
            ToolTipArea { text: qsTr("Undo (%1)").arg(undoKey.nativeText) }
            onClicked: notice.runAction()
        }
        MenuButton {
            objectName: "noticeCloseButton"
            text: "\u00D7"
            textColor: "white"
            textStyleColor: "black"
            textLeftMargin: 0
            activeFocusOnTab: true
            Accessible.name: qsTr("Close")
            onClicked: notice.hide()
        }
    }
}
