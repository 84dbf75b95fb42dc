import QtQuick 2.3
import LetterBackend 1.0

// Placeholder scene until the main window lands: shows that the program's
// types and context properties reach the QML.
Rectangle {
    id: root
    width: 900 * dpiRatio
    height: 600 * dpiRatio
    color: "#f4f4f4"

    Column {
        anchors.centerIn: parent
        spacing: 10 * dpiRatio

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            source: "images/mail_receive.png"
            width: 96 * dpiRatio
            height: width
            smooth: true
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Mail")
            font.pointSize: 24
            color: "#444444"
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Folders: Incoming %1, Trash %2").arg(Letter.IncomingFolder).arg(Letter.TrashFolder)
            color: "#888888"
        }
    }
}
