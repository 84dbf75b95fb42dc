import QtQuick 2.3
import "../scripts/mail.js" as MailScript

// One body of a letter, read-only. Links go out only as web links; the
// engine loads no remote pictures (see the program's network guard).
TextEdit {
    id: body

    readOnly: true
    wrapMode: TextEdit.Wrap
    font.pointSize: 11
    color: styles.foreground.textColor
    selectByMouse: !tabletMode
    activeFocusOnPress: !tabletMode
    Accessible.role: Accessible.EditableText
    Accessible.name: qsTr("Text")

    onLinkActivated: {
        if (debug)
            console.log("Opening url:", link)
        if (MailScript.isMailtoLink(link))
            return
        if (MailScript.isOpenableLink(link))
            Qt.openUrlExternally(link)
        else
            console.warn("MailBody: not opening a link that is neither a web nor a mail link:", link)
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: body.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
    }
}
