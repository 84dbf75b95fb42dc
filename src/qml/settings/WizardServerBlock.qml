import QtQuick 2.3
import "../controls"

// One server the wizard found, or the note that it found none.
Item {
    id: block

    property var server: null
    // The server manager, which names protocols and encryption.
    property QtObject serverNames: null
    property bool incoming: true
    property real markSize: 32
    property real markGap: 8
    property real columnSpacing: 30

    width: parent ? parent.width : 0
    height: Math.max(markSize, content.height)

    Image {
        anchors.right: parent.left
        anchors.rightMargin: block.markGap
        anchors.top: parent.top
        width: block.markSize
        height: width
        source: block.server ? "../images/ok.png" : "../images/remove.png"
        mipmap: styles.image.mipmap
        smooth: true
    }

    Column {
        id: content
        width: parent.width
        spacing: 5

        Text {
            width: parent.width
            font.pointSize: 14
            wrapMode: Text.WordWrap
            color: styles.foreground.textColor
            text: block.server ? (block.incoming ? qsTr("Incoming server") : qsTr("Outgoing server"))
                               : (block.incoming ? qsTr("Could not find the incoming server.\nYou should add it in settings manually.")
                                                 : qsTr("Could not find the outgoing server.\nYou should add it in settings manually."))
        }
        Grid {
            visible: block.server !== null
            rows: 2
            columns: 3
            columnSpacing: block.columnSpacing
            flow: Grid.LeftToRight
            Repeater {
                model: [qsTr("Protocol") + ":", qsTr("Address") + ":", qsTr("Security") + ":"]
                delegate: Text { text: modelData; color: "grey"; font.pointSize: 12 }
            }
            Text {
                objectName: block.incoming ? "wizardIncomingProtocol" : "wizardOutgoingProtocol"
                font.pointSize: 14
                font.bold: true
                color: styles.foreground.textColor
                text: block.server ? block.serverNames.protocolNames[block.server.protocol] : ""
            }
            Text {
                objectName: block.incoming ? "wizardIncomingAddress" : "wizardOutgoingAddress"
                font.pointSize: 14
                font.bold: true
                color: styles.foreground.textColor
                text: block.server ? block.server.address : ""
                textFormat: Text.PlainText
            }
            Text {
                font.pointSize: 14
                font.bold: true
                color: styles.foreground.textColor
                text: block.server ? block.serverNames.sslNames[block.server.ssl] : ""
            }
        }
    }
}
