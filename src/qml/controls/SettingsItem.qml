import QtQuick 2.15

// One row of a settings list.
Rectangle {
    id: settingsItem

    property string itemText: ""

    signal clicked

    width: parent ? parent.width : 0
    height: itemHeight
    color: mouseArea.pressed ? "#bbbbbb" : "white"
    Accessible.role: Accessible.Button
    Accessible.name: itemText
    Accessible.onPressAction: clicked()

    Text {
        objectName: "label"
        anchors.fill: parent
        anchors.leftMargin: 0.05 * settingsItem.width
        anchors.rightMargin: 0.05 * settingsItem.width
        text: settingsItem.itemText
        textFormat: Text.PlainText
        font.pointSize: 14
        fontSizeMode: Text.VerticalFit
        minimumPointSize: 6
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: mouseArea.pressed ? "white" : "#555555"
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: "#bbbbbb"
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 2
        border.color: styles.focusColor
        visible: settingsItem.activeFocus
    }
    MouseArea {
        id: mouseArea
        objectName: "mouseArea"
        anchors.fill: parent
        onClicked: settingsItem.clicked()
    }
}
