import QtQuick 2.15

// A check box with a label; a click anywhere on it toggles it.
Item {
    id: checkBox

    property bool on: false
    property color customColor: styles.highlightColor
    property string text: ""
    property color textColor: styles.foreground.textColor
    property int fontSize: 10
    property real checkBoxLeftMargin: (Math.min(width, height) - box.width) / 2

    signal clicked

    width: 40 * dpiRatio + label.width
    height: width
    activeFocusOnTab: true
    Accessible.role: Accessible.CheckBox
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: on
    Accessible.onToggleAction: toggle()
    Accessible.onPressAction: toggle()
    Keys.onSpacePressed: toggle()

    function toggle() {
        flashAnimation.restart()
        on = !on
        clicked()
    }

    Rectangle {
        id: flash
        anchors.fill: parent
        radius: 4 * dpiRatio
        color: Qt.lighter(checkBox.customColor, 1.5)
        opacity: 0
    }
    SequentialAnimation {
        id: flashAnimation
        NumberAnimation { target: flash; property: "opacity"; to: 1; duration: 150 }
        NumberAnimation { target: flash; property: "opacity"; to: 0; duration: 250 }
    }

    Rectangle {
        id: box
        objectName: "box"
        x: checkBox.checkBoxLeftMargin
        anchors.verticalCenter: parent.verticalCenter
        width: 20 * dpiRatio
        height: width
        color: "transparent"
        border.width: 1
        border.color: checkBox.textColor
        radius: 2 * dpiRatio
    }
    Text {
        id: mark
        objectName: "mark"
        anchors.centerIn: box
        anchors.horizontalCenterOffset: box.width / 3
        anchors.verticalCenterOffset: -box.width / 3
        visible: checkBox.on
        text: "\u2713"
        color: checkBox.customColor
        font.pixelSize: 2.6 * box.height
    }
    Text {
        id: label
        objectName: "label"
        anchors.left: box.right
        anchors.leftMargin: 15
        anchors.verticalCenter: parent.verticalCenter
        text: checkBox.text
        textFormat: Text.PlainText
        color: checkBox.textColor
        font.pointSize: checkBox.fontSize
    }

    Rectangle {
        anchors.fill: parent
        radius: 4 * dpiRatio
        color: "transparent"
        border.width: 2
        border.color: styles.focusColor
        visible: checkBox.activeFocus
    }

    MouseArea {
        objectName: "mouseArea"
        anchors.fill: parent
        onClicked: checkBox.toggle()
    }
}
