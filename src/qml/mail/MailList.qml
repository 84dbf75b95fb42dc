import QtQuick 2.3
import LetterBackend 1.0
import "../controls"
import "../scripts/mail.js" as MailScript

// The letters of the shown folder, newest first. Rows hold only the list
// fields; a letter is read from its file when it is chosen.
Rectangle {
    id: mailList
    objectName: "mailList"

    // The letter shown in the reading pane; null when none. An object
    // property: it turns null by itself when the letter is deleted.
    property QtObject currentLetter: null
    property alias currentIndex: listView.currentIndex
    property alias count: listView.count
    property alias contentY: listView.contentY
    property alias model: listView.model

    // Loads the letter of a row when needed and shows it.
    function openRow(index) {
        var letter = MailScript.letterAt(listView.model, index)
        if (!letter || !root.currentProfile)
            return
        if (!letter.parsed)
            root.currentProfile.cache.loadLetter(letter, root.currentFolder)
        currentLetter = letter
    }

    color: styles.listColor
    clip: true

    onCurrentLetterChanged: {
        if (currentLetter === null && listView.currentIndex >= 0 && listView.count > 0)
            reloadTimer.start()
    }

    Timer {
        id: reloadTimer
        interval: 300
        onTriggered: {
            if (mailList.currentLetter === null && listView.currentIndex >= 0)
                mailList.openRow(listView.currentIndex)
        }
    }

    ListView {
        id: listView
        objectName: "mailListView"
        anchors.fill: parent
        currentIndex: -1
        // Rows are made only for what is on screen.
        cacheBuffer: 0
        boundsBehavior: Flickable.DragOverBounds
        model: MailScript.folderModel(root.currentProfile, root.currentFolder)

        delegate: MailListItem {
            objectName: "mailRow" + index
            width: listView.width
            height: root.itemHeight * 1.5
            letter: model.letter
            current: ListView.isCurrentItem
            onClicked: {
                listView.currentIndex = index
                mailList.openRow(index)
            }
            onDoubleClicked: mail.state = "full"
        }

        onCurrentIndexChanged: {
            if (currentIndex < 0)
                mailList.currentLetter = null
            else if (mailList.currentLetter === null)
                reloadTimer.start()
        }

        onDraggingChanged: {
            if (!dragging && refreshHint.opacity === 1 && root.currentProfile)
                root.currentProfile.queryIncomingMail()
        }
    }

    // The row of the shown letter went away (moved to another folder): the
    // letter goes too, but only at the next turn of the event loop.
    Connections {
        target: listView.model
        ignoreUnknownSignals: true
        function onRowsRemoved() {
            var row = listView.currentItem
            if (mailList.currentLetter !== null && (!row || row.letter !== mailList.currentLetter))
                mailList.currentLetter = null
        }
    }

    Text {
        id: refreshHint
        objectName: "refreshHint"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: root.itemHeight
        text: qsTr("Release for refresh...")
        color: "#666666"
        font.pointSize: 14
        font.bold: true
        fontSizeMode: Text.VerticalFit
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideMiddle
        opacity: listView.dragging && root.currentFolder === Letter.IncomingFolder
                 && listView.contentY < listView.originY - 2 * root.itemHeight
                 && header.refreshButtonEnabled ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200 } }
    }

    ScrollBar { flickable: listView }
}
