import QtQuick 2.3

// A short word at the foot of the window. One about work under way stays
// until the next; any other goes by itself.
Rectangle {
    id: notice
    objectName: "notice"

    readonly property alias text: label.text

    function show(message, lasting) {
        label.text = message
        opacity = 1
        if (lasting)
            hideTimer.stop()
        else
            hideTimer.restart()
    }

    width: label.contentWidth + 30 * dpiRatio
    height: itemHeight * 0.7
    radius: 4 * dpiRatio
    color: "#dd333333"
    opacity: 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 200 } }

    Text {
        id: label
        objectName: "noticeText"
        anchors.centerIn: parent
        color: "white"
        textFormat: Text.PlainText
        font.pointSize: 12
    }

    Timer {
        id: hideTimer
        interval: 5000
        onTriggered: notice.opacity = 0
    }
}
