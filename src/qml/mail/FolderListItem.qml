import QtQuick 2.15

// One folder of the drawer: icon, title and the number of letters, read
// when the drawer opens.
Rectangle {
    id: row

    property string title
    property string iconPath
    property bool current: false
    property var folderModel: null
    property string count: "0"

    signal clicked

    function updateCount() {
        count = folderModel ? String(folderModel.count()) : "0"
    }

    color: current ? styles.highlightColor : "transparent"
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.description: count
    Accessible.onPressAction: clicked()
    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()
    Behavior on color { ColorAnimation { duration: 100 } }

    Component.onCompleted: updateCount()

    Image {
        id: icon
        anchors.left: parent.left
        anchors.leftMargin: row.height * 0.2
        anchors.verticalCenter: parent.verticalCenter
        height: row.height * 0.7
        width: height
        sourceSize.width: width
        sourceSize.height: height
        source: row.iconPath
        mipmap: styles.image.mipmap
        scale: mouseArea.pressed ? 0.9 : 1.0
    }

    Text {
        objectName: "folderTitle"
        anchors.left: icon.right
        anchors.leftMargin: row.height * 0.2
        anchors.right: countText.left
        anchors.rightMargin: row.height * 0.2
        anchors.verticalCenter: parent.verticalCenter
        text: row.title
        textFormat: Text.PlainText
        font.pointSize: 16
        font.bold: row.current
        color: row.current ? "white" : styles.foreground.textColor
        elide: Text.ElideRight
    }

    Text {
        id: countText
        objectName: "folderCount"
        anchors.right: parent.right
        anchors.rightMargin: row.height * 0.2
        anchors.verticalCenter: parent.verticalCenter
        text: row.count
        font.pointSize: 16
        font.bold: row.current
        color: row.current ? "white" : styles.foreground.textColor
        horizontalAlignment: Text.AlignRight
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 2 * dpiRatio
        border.color: styles.focusColor
        visible: row.activeFocus
    }

    Separator {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onClicked: row.clicked()
    }
}
