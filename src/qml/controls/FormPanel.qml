import QtQuick 2.3

// The white panel of a dialog.
Rectangle {
    color: "white"
    border.width: 1
    border.color: "#dddddd"
    radius: 2 * dpiRatio

    // Clicks on the panel's empty parts must not reach the dim background.
    MouseArea {
        anchors.fill: parent
    }
}
