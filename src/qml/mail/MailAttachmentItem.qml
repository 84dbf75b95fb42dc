import QtQuick 2.15

// One attachment: its type's icon, name and size.
Rectangle {
    id: row

    property QtObject attachment: null

    signal clicked

    color: mouseArea.pressed ? "white" : "whitesmoke"
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: attachment ? attachment.name + ", " + attachment.size : ""
    Accessible.onPressAction: clicked()
    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()

    Image {
        id: icon
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        height: parent.height * 0.8
        width: height
        sourceSize.width: width
        sourceSize.height: height
        source: "image://ImageProvider/" + (row.attachment && row.attachment.type !== "" ? row.attachment.type : "none")
    }

    Text {
        objectName: "attachmentName"
        anchors.left: icon.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.top: parent.top
        height: parent.height / 2
        text: row.attachment ? row.attachment.name : ""
        textFormat: Text.PlainText
        color: styles.foreground.textColor
        font.pointSize: 10
        fontSizeMode: Text.VerticalFit
        verticalAlignment: Text.AlignBottom
        elide: Text.ElideMiddle
    }

    Text {
        objectName: "attachmentSize"
        anchors.left: icon.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: parent.height / 2
        text: row.attachment ? row.attachment.size : ""
        textFormat: Text.PlainText
        color: "#999999"
        font.pointSize: 10
        fontSizeMode: Text.VerticalFit
        verticalAlignment: Text.AlignTop
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: "#aaaaaa"
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 2
        border.color: styles.focusColor
        visible: row.activeFocus
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onClicked: row.clicked()
    }
}
