import QtQuick 2.15
import "../controls"
import "../scripts/mail.js" as MailScript

// The drawer that slides in over the letter list with the five folders and
// their letter counts.
Rectangle {
    id: folderList
    objectName: "folderList"

    // The account whose folders are listed, the folder shown, and the
    // folders' names by number.
    property QtObject profile: null
    property int currentFolder: 0
    property var folderNames: []

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

    // Scrolls when the window is too low for all five.
    Flickable {
        id: flick
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.height
        boundsBehavior: Flickable.StopAtBounds
        flickableDirection: Flickable.VerticalFlick

        Column {
            id: column
            anchors.left: parent.left
            anchors.right: parent.right

            Repeater {
                id: rows
                model: [
                    { title: folderList.folderNames[0], icon: "qrc:/qml/images/mail_receive.png" },
                    { title: folderList.folderNames[1], icon: "qrc:/qml/images/mail_draft.png" },
                    { title: folderList.folderNames[2], icon: "qrc:/qml/images/mail_send.png" },
                    { title: folderList.folderNames[3], icon: "qrc:/qml/images/archive.png" },
                    { title: folderList.folderNames[4], icon: "qrc:/qml/images/trash.png" }
                ]
                delegate: FolderListItem {
                    objectName: "folderRow" + index
                    width: parent.width
                    height: itemHeight * 1.5
                    title: modelData.title
                    iconPath: modelData.icon
                    current: index === folderList.currentFolder
                    folderModel: MailScript.folderModel(folderList.profile, index)
                    ToolTipArea { text: qsTr("%1 (%2)").arg(modelData.title).arg(keys.count > index ? keys.itemAt(index).nativeText : "") }
                    onClicked: folderList.clicked(index)
                }
            }
        }
    }
    ScrollBar { flickable: flick }

    // Only for the key names of the tool tips; the keys themselves are the
    // window's.
    Repeater {
        id: keys
        model: 5
        Item {
            readonly property alias nativeText: key.nativeText
            Shortcut { id: key; sequence: "Ctrl+" + (index + 1); enabled: false }
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
