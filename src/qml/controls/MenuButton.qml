import QtQuick 2.15

// A flat button of an icon and an optional label, as high as its parent.
Item {
    id: menuButton

    property string text: ""
    property int fontSize: 13
    property color textColor: styles.buttons.textColor
    property color textStyleColor: "white"
    property string imagePath: ""
    property var imageColor
    property bool imageColorOverlay: true
    property bool imageShadow: true
    readonly property bool rotationAnimationRunning: icon.rotationAnimationRunning
    property bool leftBorder: false
    property bool rightBorder: false
    property bool rotate: false
    property bool checked: false
    property real textLeftMargin: 10 * dpiRatio
    readonly property bool pressed: mouseArea.pressed
    // What a screen reader says; an icon button's key names it too.
    property string accessibleName: text

    signal clicked
    signal pressAndHold

    height: parent ? parent.height : 0
    width: label.x + label.width + (text !== "" ? textLeftMargin : 0)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: clicked()
    // Taken here, before any key handler of the button's own, so that a
    // key presses it once.
    Keys.onPressed: {
        if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            event.accepted = true
            if (!event.isAutoRepeat)
                clicked()
        }
    }

    Rectangle {
        objectName: "focusFrame"
        anchors.fill: parent
        anchors.margins: 1
        radius: 4 * dpiRatio
        color: "transparent"
        border.width: 2 * dpiRatio
        border.color: styles.focusColor
        visible: menuButton.activeFocus
    }

    Rectangle {
        id: pressedFrame
        width: 0.9 * menuButton.height
        height: width
        anchors.centerIn: icon
        radius: 4 * dpiRatio
        visible: mouseArea.pressed || menuButton.checked
        color: "#33999999"
        border.width: 1
        border.color: "#55999999"
    }

    ColoredImage {
        id: icon
        objectName: "icon"
        x: menuButton.textLeftMargin
        anchors.verticalCenter: parent.verticalCenter
        width: menuButton.imagePath !== "" ? 0.7 * menuButton.height : 1
        height: width
        imagePath: menuButton.imagePath
        imageColor: menuButton.imageColor
        colorOverlay: menuButton.imageColorOverlay
        shadow: menuButton.imageShadow
        rotate: menuButton.rotate
        pressed: mouseArea.pressed || menuButton.checked
        visible: menuButton.imagePath !== ""
    }

    Text {
        id: label
        objectName: "label"
        x: icon.x + icon.width + 0.2 * menuButton.height
        anchors.verticalCenter: parent.verticalCenter
        text: menuButton.text
        textFormat: Text.PlainText
        font.pointSize: menuButton.fontSize
        color: menuButton.textColor
        style: Text.Raised
        styleColor: menuButton.textStyleColor
    }

    EngravedLine {
        visible: menuButton.leftBorder
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        height: 0.75 * menuButton.height
    }
    EngravedLine {
        visible: menuButton.rightBorder
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        height: 0.75 * menuButton.height
    }

    MouseArea {
        id: mouseArea
        objectName: "mouseArea"
        anchors.fill: parent
        // Hidden or faded-out buttons must not catch clicks meant for what lies below.
        enabled: menuButton.visible && menuButton.opacity > 0
        onClicked: menuButton.clicked()
        onPressAndHold: menuButton.pressAndHold()
    }
}
