import QtQuick 2.3
import "../scripts/mail.js" as MailScript

// The drawer that slides in over the letter list with the five folders and
// their letter counts.
Rectangle {
    id: folderList
    objectName: "folderList"

    signal clicked(int folder)

    function show() {
        for (var i = 0; i < rows.count; ++i)
            rows.itemAt(i).updateCount()
        state = "show"
    }

    function hide() {
        state = "hide"
    }

    color: styles.listColor
    clip: true
    state: "hide"
    visible: x > -width

    MouseArea { anchors.fill: parent }

    Column {
        anchors.left: parent.left
        anchors.right: parent.right

        Repeater {
            id: rows
            model: [
                { title: qsTr("Incoming"), icon: "qrc:/qml/images/mail_receive.png" },
                { title: qsTr("Drafts"), icon: "qrc:/qml/images/mail_draft.png" },
                { title: qsTr("Sent"), icon: "qrc:/qml/images/mail_send.png" },
                { title: qsTr("Archive"), icon: "qrc:/qml/images/archive.png" },
                { title: qsTr("Trash"), icon: "qrc:/qml/images/trash.png" }
            ]
            delegate: FolderListItem {
                objectName: "folderRow" + index
                width: parent.width
                height: root.itemHeight * 1.5
                title: modelData.title
                iconPath: modelData.icon
                current: index === root.currentFolder
                folderModel: MailScript.folderModel(root.currentProfile, index)
                onClicked: {
                    folderList.clicked(index)
                    folderList.hide()
                }
            }
        }
    }

    states: [
        State { name: "show"; PropertyChanges { target: folderList; x: 0 } },
        State { name: "hide"; PropertyChanges { target: folderList; x: -folderList.width } }
    ]

    transitions: Transition {
        NumberAnimation { property: "x"; duration: 350; easing.type: Easing.InOutQuad }
    }
}
