import QtQuick 2.15
import "../controls"

// The attachments of the shown letter along the bottom of the pane; a click
// on the title expands or collapses it, a click on a row offers to open or
// save that attachment.
Item {
    id: panel
    objectName: "attachmentPanel"

    property var attachments: []
    property real maxHeight: 0

    // Offers the choices; answer(choice) gets the one taken.
    signal askChoice(var choices, var answer)
    // Says what failed, as the window's notice does.
    signal notify(string text)

    visible: attachments.length > 0
    enabled: visible
    height: itemHeight
    clip: true
    Behavior on height { NumberAnimation { duration: 250; easing.type: Easing.InOutQuad } }

    states: State {
        name: "full"
        PropertyChanges {
            target: panel
            height: Math.min(itemHeight + list.contentHeight, panel.maxHeight)
        }
    }

    onStateChanged: list.contentY = 0

    function choose(attachment) {
        var open = qsTr("Open")
        panel.askChoice([open, qsTr("Save")], function(choice) {
            var name = attachment.name
            if (choice === open ? !attachment.open() : !attachment.save())
                panel.notify((choice === open ? qsTr("The attachment \"%1\" could not be opened.")
                                             : qsTr("The attachment \"%1\" could not be saved.")).arg(name))
        })
    }

    Shadow {
        target: background
        horizontalOffset: 1
        verticalOffset: -2
    }

    Rectangle {
        id: background
        anchors.fill: parent
        color: "white"
    }

    Rectangle {
        id: title
        objectName: "attachmentTitle"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: itemHeight
        color: titleArea.pressed ? "white" : "whitesmoke"

        Image {
            id: attachIcon
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            height: parent.height * 0.8
            width: height
            sourceSize.width: width
            sourceSize.height: height
            source: "qrc:/qml/images/attach.png"
            mipmap: styles.image.mipmap
        }

        Text {
            objectName: "attachmentCount"
            anchors.left: attachIcon.right
            anchors.leftMargin: 10
            anchors.right: hint.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            text: qsTr("Attachments: ") + panel.attachments.length
            color: styles.foreground.textColor
            font.pointSize: 11
            fontSizeMode: Text.VerticalFit
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }

        Text {
            id: hint
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: panel.state === "full" ? qsTr("Click to close \u25BC") : qsTr("Click to expand \u25B2")
            color: "#999999"
            font.pointSize: 10
        }

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: "#aaaaaa"
        }

        MouseArea {
            id: titleArea
            anchors.fill: parent
            onClicked: panel.state = panel.state === "full" ? "" : "full"
        }
    }

    ListView {
        id: list
        objectName: "attachmentList"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: title.bottom
        height: Math.max(0, panel.maxHeight - itemHeight)
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: panel.attachments
        delegate: MailAttachmentItem {
            objectName: "attachmentRow" + index
            width: list.width
            height: itemHeight
            attachment: modelData
            onClicked: panel.choose(modelData)
        }
    }
}
