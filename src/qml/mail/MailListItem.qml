import QtQuick 2.15
import LetterBackend 1.0

// One letter of the list: seen state, subject and sender.
Rectangle {
    id: row

    property QtObject letter: null
    property bool current: false
    readonly property bool unseen: letter !== null && letter.letterType === Letter.LetterUnseen

    signal clicked
    signal doubleClicked

    function dateText(when) {
        var today = new Date()
        return when.toDateString() === today.toDateString() ? Qt.formatTime(when, Qt.DefaultLocaleShortDate)
                                                              : Qt.formatDate(when, Qt.DefaultLocaleShortDate)
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: letter ? letter.subject + ", " + letter.from + ", " + dateText(letter.date) : ""
    Accessible.selected: current

    color: current ? styles.highlightColor : styles.listColor
    Behavior on color { ColorAnimation { duration: 250 } }

    Image {
        id: icon
        objectName: "letterIcon"
        anchors.left: parent.left
        anchors.leftMargin: row.height * 0.1
        anchors.verticalCenter: parent.verticalCenter
        height: row.height * 0.7
        width: height
        sourceSize.width: width
        sourceSize.height: height
        source: row.unseen ? "qrc:/qml/images/unseen.png" : "qrc:/qml/images/seen.png"
        mipmap: styles.image.mipmap

        Image {
            objectName: "attachMark"
            visible: row.letter !== null && row.letter.letterType === Letter.LetterSeenWithAttachment
            x: parent.width / 2
            y: parent.height / 2
            width: parent.width / 2
            height: parent.height / 2
            sourceSize.width: width
            sourceSize.height: height
            source: "qrc:/qml/images/attach.png"
            mipmap: styles.image.mipmap
        }
    }

    // The time for a letter of today, the date for an older one.
    Text {
        id: date
        objectName: "letterDate"
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: row.height * 0.1
        height: row.height / 2 - row.height * 0.1
        text: row.letter ? row.dateText(row.letter.date) : ""
        font.pointSize: 11
        font.bold: row.unseen
        verticalAlignment: Text.AlignVCenter
        color: row.current ? "white" : Qt.lighter(styles.foreground.textColor, 1.5)
    }

    Text {
        objectName: "letterSubject"
        anchors.left: icon.right
        anchors.right: date.left
        anchors.top: parent.top
        anchors.margins: row.height * 0.1
        height: row.height / 2 - row.height * 0.1
        text: row.letter ? row.letter.subject : ""
        textFormat: Text.PlainText
        font.pointSize: 14
        font.bold: row.unseen
        fontSizeMode: Text.VerticalFit
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: row.current ? "white" : styles.foreground.textColor
    }

    Text {
        objectName: "letterSender"
        anchors.left: icon.right
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: row.height * 0.1
        height: row.height / 2 - row.height * 0.1
        text: row.letter ? row.letter.from : ""
        textFormat: Text.PlainText
        font.pointSize: 12
        font.bold: row.unseen
        fontSizeMode: Text.VerticalFit
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: Qt.lighter(styles.foreground.textColor, 1.5)
    }

    Separator {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
    }

    MouseArea {
        anchors.fill: parent
        onClicked: row.clicked()
        onDoubleClicked: row.doubleClicked()
    }
}
