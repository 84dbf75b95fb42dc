import QtQuick 2.3

// The compose form's attachment chips, in a row that scrolls sideways.
Flickable {
    id: row

    property var model: []

    signal removeItemAt(int i)

    contentWidth: chips.width
    contentHeight: height
    flickableDirection: Flickable.HorizontalFlick
    boundsBehavior: Flickable.StopAtBounds
    clip: true

    Row {
        id: chips
        height: row.height
        spacing: 10

        Repeater {
            model: row.model
            delegate: Rectangle {
                id: chip
                objectName: "attachmentChip" + index
                anchors.verticalCenter: parent.verticalCenter
                height: row.height * 0.8
                width: remove.x + remove.width + 10
                color: "#eeeeee"
                border.color: Qt.darker(color, 1.1)
                radius: 2 * dpiRatio

                Image {
                    id: icon
                    x: 5
                    anchors.verticalCenter: parent.verticalCenter
                    height: parent.height * 0.8
                    width: height
                    sourceSize.width: width
                    sourceSize.height: height
                    source: "image://ImageProvider/" + (modelData.type !== "" ? modelData.type : "none")
                }
                Text {
                    id: nameText
                    anchors.left: icon.right
                    anchors.leftMargin: 5
                    anchors.top: parent.top
                    height: parent.height / 2
                    verticalAlignment: Text.AlignBottom
                    text: modelData.name
                    textFormat: Text.PlainText
                    font.pointSize: 12
                    fontSizeMode: Text.VerticalFit
                    color: "#333333"
                    MouseArea {
                        anchors.fill: parent
                        onDoubleClicked: modelData.open()
                    }
                }
                Text {
                    id: sizeText
                    anchors.left: icon.right
                    anchors.leftMargin: 5
                    anchors.bottom: parent.bottom
                    height: parent.height / 2
                    verticalAlignment: Text.AlignTop
                    text: modelData.size
                    textFormat: Text.PlainText
                    font.pointSize: 10
                    fontSizeMode: Text.VerticalFit
                    color: "grey"
                }
                Text {
                    id: remove
                    objectName: "attachmentRemove" + index
                    x: Math.max(nameText.x + nameText.contentWidth, sizeText.x + sizeText.contentWidth) + 5
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u2716"
                    font.pixelSize: parent.height * 0.4
                    color: removeArea.pressed ? "grey" : "#333333"
                    MouseArea {
                        id: removeArea
                        anchors.fill: parent
                        anchors.margins: -5
                        onClicked: row.removeItemAt(index)
                    }
                }
            }
        }
    }
}
