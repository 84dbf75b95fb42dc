import QtQuick 2.15
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
    // The account and the folder number (Letter.FolderType) listed.
    property QtObject profile: null
    property int folder: Letter.IncomingFolder
    // Lists the letters that the search found in every folder of the
    // account instead of the folder.
    property bool showingResults: false
    // The folder of the letter shown: the one listed, or in the letters
    // found in every folder the one the letter was found in.
    property int shownFolder: folder
    // Pulling the list down checks for mail only while a check may start.
    property bool refreshEnabled: true

    // Says what failed, as the window's notice does.
    signal notify(string text)
    signal toggleFullWidth
    signal openFullWidth

    // Loads the letter of a row when needed and shows it. Only a letter the
    // user opens loses its unseen mark, not one shown in place of a deleted one.
    function openRow(index, byUser) {
        var letter = MailScript.letterAt(listView.model, index)
        if (!letter || !profile)
            return
        var markSeen = byUser !== false
        shownFolder = showingResults ? listView.model.folderAt(index) : folder
        unreadable.target = profile.cache
        if (!letter.parsed)
            profile.cache.loadLetter(letter, shownFolder, markSeen)
        else if (markSeen && shownFolder === Letter.IncomingFolder)
            profile.cache.setLetterSeen(letter, true)
        currentLetter = letter
    }
    // Selects a row, kept within the list, and shows its letter.
    function moveTo(index) {
        if (listView.count === 0)
            return
        listView.currentIndex = Math.max(0, Math.min(listView.count - 1, index))
        listView.positionViewAtIndex(listView.currentIndex, ListView.Contain)
        openRow(listView.currentIndex)
    }
    function takeFocus() {
        listView.forceActiveFocus()
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
                mailList.openRow(listView.currentIndex, false)
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
        model: mailList.showingResults && mailList.profile ? mailList.profile.searchResults
                                                           : MailScript.folderModel(mailList.profile, mailList.folder)
        activeFocusOnTab: true
        keyNavigationEnabled: false
        Accessible.role: Accessible.List
        Accessible.name: mailList.showingResults ? qsTr("Letters found in all folders") : qsTr("Letters")

        readonly property int pageRows: Math.max(1, Math.floor(height / (itemHeight * 1.5)) - 1)
        Keys.onPressed: {
            // Rows that came or went since the last frame move the current
            // row only once applied.
            forceLayout()
            var at = currentIndex
            switch (event.key) {
            case Qt.Key_Up: mailList.moveTo(at < 0 ? 0 : at - 1); break
            case Qt.Key_Down: mailList.moveTo(at + 1); break
            case Qt.Key_Home: mailList.moveTo(0); break
            case Qt.Key_End: mailList.moveTo(count - 1); break
            case Qt.Key_PageUp: mailList.moveTo(at - pageRows); break
            case Qt.Key_PageDown: mailList.moveTo(Math.max(at, 0) + pageRows); break
            case Qt.Key_Return:
            case Qt.Key_Enter:
                if (mailList.currentLetter)
                    mailList.toggleFullWidth()
                break
            default: return
            }
            event.accepted = true
        }

        // The frame says where the keys go.
        Rectangle {
            anchors.fill: parent
            z: 2
            color: "transparent"
            border.width: 2 * dpiRatio
            border.color: styles.focusColor
            visible: listView.activeFocus
        }

        delegate: MailListItem {
            objectName: "mailRow" + index
            width: listView.width
            height: itemHeight * 1.5
            letter: model.letter
            current: ListView.isCurrentItem
            onClicked: {
                listView.currentIndex = index
                mailList.openRow(index)
            }
            onDoubleClicked: mailList.openFullWidth()
        }

        onCurrentIndexChanged: {
            if (currentIndex < 0)
                mailList.currentLetter = null
            else if (mailList.currentLetter === null)
                reloadTimer.start()
        }

        onDraggingChanged: {
            if (!dragging && refreshHint.opacity === 1 && mailList.profile)
                mailList.profile.queryIncomingMail()
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

    // A letter whose file is gone or broken shows nothing: say why, and
    // where it is, so that the user deletes or archives it knowingly.
    Connections {
        id: unreadable
        // Set when a letter is opened: the account's store is no property
        // that says when it changes.
        target: null
        ignoreUnknownSignals: true
        function onLetterUnreadable(letter, path) {
            if (letter === mailList.currentLetter)
                mailList.notify(qsTr("This letter cannot be shown: its file is missing or damaged (%1). "
                                 + "It can still be deleted or archived.").arg(path))
        }
    }

    Text {
        id: refreshHint
        objectName: "refreshHint"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: itemHeight
        text: qsTr("Release for refresh...")
        color: "#666666"
        font.pointSize: 14
        font.bold: true
        fontSizeMode: Text.VerticalFit
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideMiddle
        opacity: listView.dragging && mailList.folder === Letter.IncomingFolder
                 && listView.contentY < listView.originY - 2 * itemHeight
                 && mailList.refreshEnabled ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200 } }
    }

    ScrollBar { flickable: listView }
}
