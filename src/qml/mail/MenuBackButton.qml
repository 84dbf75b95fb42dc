import QtQuick 2.15
import "../controls"

// The hamburger that turns into a back arrow while the folder drawer is open.
Item {
    id: button

    property bool rightBorder: false

    signal clicked(bool opened)

    state: "menu"
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: qsTr("Folders")
    Accessible.onPressAction: toggle()
    Keys.onSpacePressed: toggle()
    Keys.onReturnPressed: toggle()

    function toggle() {
        state = state === "menu" ? "back" : "menu"
        clicked(state === "back")
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: 2
        radius: 4 * dpiRatio
        color: "transparent"
        border.width: 2 * dpiRatio
        border.color: styles.focusColor
        visible: button.activeFocus
    }

    Item {
        id: icon
        anchors.centerIn: parent
        width: parent.width / 2
        height: width

        property color barColor: button.enabled ? "white" : "lightgrey"
        property real barHeight: height * 0.2

        Shadow { target: topBar; verticalOffset: 0; radius: 3; color: "#dd000000" }
        Shadow { target: middleBar; verticalOffset: 0; radius: 3; color: "#dd000000" }
        Shadow { target: bottomBar; verticalOffset: 0; radius: 3; color: "#dd000000" }

        Rectangle {
            id: topBar
            objectName: "menuTopBar"
            x: 0
            y: 0
            width: icon.width
            height: icon.barHeight
            color: icon.barColor
            antialiasing: true
        }
        Rectangle {
            id: middleBar
            x: 0
            y: (icon.height - height) / 2
            width: icon.width
            height: icon.barHeight
            color: icon.barColor
            antialiasing: true
        }
        Rectangle {
            id: bottomBar
            x: 0
            y: icon.height - height
            width: icon.width
            height: icon.barHeight
            color: icon.barColor
            antialiasing: true
        }
    }

    Rectangle {
        visible: button.rightBorder
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: 1
        height: parent.height / 2
        color: styles.lineColor
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onClicked: button.toggle()
    }

    states: [
        State { name: "menu" },
        State {
            name: "back"
            PropertyChanges { target: icon; rotation: 180 }
            PropertyChanges {
                target: topBar
                rotation: 45
                width: icon.width * 0.66
                x: icon.width * 0.46
                y: icon.height * 0.335 - topBar.height / 2
            }
            PropertyChanges {
                target: bottomBar
                rotation: -45
                width: icon.width * 0.66
                x: icon.width * 0.46
                y: icon.height * 0.665 - bottomBar.height / 2
            }
        }
    ]

    transitions: Transition {
        RotationAnimation { target: icon; direction: RotationAnimation.Clockwise; duration: 350; easing.type: Easing.InOutQuad }
        NumberAnimation { properties: "x,y,width,rotation"; targets: [topBar, bottomBar]; duration: 350; easing.type: Easing.InOutQuad }
    }
}
