import QtQuick 2.3

// The common ground of the modal dialogs: covers the window, dims it, fades
// in and out, and takes input only while fully shown.
Item {
    id: modalForm

    function hide() {
        opacity = 0
    }

    anchors.fill: parent
    z: 999
    opacity: 0
    visible: opacity > 0
    // Not while it fades: a form on its way out would take the click meant
    // for what lies below it.
    enabled: opacity === 1 && !fade.running
    Behavior on opacity { NumberAnimation { id: fade; duration: 250 } }

    Rectangle {
        anchors.fill: parent
        color: "#55000000"
        MouseArea {
            anchors.fill: parent
            onWheel: wheel.accepted = true
        }
    }
}
