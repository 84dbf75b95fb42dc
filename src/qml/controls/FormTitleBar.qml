import QtQuick 2.3

// A dialog's title bar with its close button, along the top of its parent.
Item {
    id: titleBar

    property string title: ""

    signal closeClicked

    anchors.left: parent.left
    anchors.right: parent.right
    anchors.top: parent.top
    height: itemHeight

    Shadow {
        target: bar
    }
    Rectangle {
        id: bar
        anchors.fill: parent
        color: styles.headerColor

        Text {
            objectName: "title"
            anchors.left: parent.left
            anchors.leftMargin: bar.height / 2
            anchors.right: closeButton.left
            anchors.rightMargin: bar.height / 2
            height: parent.height
            text: titleBar.title
            textFormat: Text.PlainText
            color: "#444444"
            font.pointSize: 16
            font.bold: true
            fontSizeMode: Text.VerticalFit
            minimumPointSize: 6
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        MenuButton {
            id: closeButton
            objectName: "closeButton"
            accessibleName: qsTr("Close")
            anchors.right: parent.right
            imagePath: "images/remove.png"
            onClicked: titleBar.closeClicked()
        }
    }
}
