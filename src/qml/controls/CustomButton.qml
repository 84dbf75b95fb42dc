import QtQuick 2.15

// A raised push button with a label.
Item {
    id: customButton

    property string buttonText: ""
    property alias shadow: shadow
    property int borderWidth: 1
    property color colorLight: styles.buttons.colorLight
    property color colorDark: styles.buttons.colorDark
    property color colorText: "#555555"
    readonly property bool pressed: mouseArea.pressed

    signal clicked

    Accessible.role: Accessible.Button
    Accessible.name: buttonText
    Accessible.onPressAction: clicked()

    Shadow {
        id: shadow
        target: face
        horizontalOffset: mouseArea.pressed ? 0 : -1
        verticalOffset: mouseArea.pressed ? 0 : 1
        radius: 2
    }

    Rectangle {
        id: face
        anchors.fill: parent
        radius: 2
        border.width: customButton.borderWidth
        border.color: customButton.colorDark
        color: mouseArea.pressed ? customButton.colorDark : customButton.colorLight
        clip: true

        ButtonGradient {
            anchors.fill: parent
            color: customButton.colorDark
        }
        Text {
            id: label
            objectName: "label"
            anchors.fill: parent
            text: customButton.buttonText
            textFormat: Text.PlainText
            font.pointSize: 14
            fontSizeMode: Text.VerticalFit
            minimumPointSize: 6
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideMiddle
            color: customButton.enabled ? customButton.colorText : "grey"
            scale: mouseArea.pressed ? 0.95 : 1
        }
    }

    Rectangle {
        objectName: "focusFrame"
        anchors.fill: parent
        anchors.margins: -2
        radius: 3
        color: "transparent"
        border.width: 2
        border.color: styles.focusColor
        visible: customButton.activeFocus
    }

    MouseArea {
        id: mouseArea
        objectName: "mouseArea"
        anchors.fill: parent
        onClicked: customButton.clicked()
    }
}
