import QtQuick 2.3
import QtQuick.Window 2.3

// A tool tip for the item it sits in: shown after the pointer rests on the
// item, gone when it leaves or presses. Clicks pass through.
MouseArea {
    id: area

    property string text: ""

    anchors.fill: parent
    hoverEnabled: !tabletMode
    acceptedButtons: Qt.NoButton
    onContainsMouseChanged: {
        if (containsMouse && text !== "")
            delay.restart()
        else
            tip.shownAt = null
    }
    onPressed: tip.shownAt = null

    Timer {
        id: delay
        interval: 700
        onTriggered: {
            if (!area.containsMouse)
                return
            var p = area.mapToItem(tip.parent, 0, area.height + 4)
            tip.x = Math.max(2, Math.min(p.x, tip.parent.width - tip.width - 2))
            tip.y = p.y + tip.height > tip.parent.height ? p.y - area.height - tip.height - 8 : p.y
            tip.shownAt = p
        }
    }

    Rectangle {
        id: tip
        objectName: "toolTip"
        property var shownAt: null
        // Drawn above every form, over the whole window.
        parent: area.Window.contentItem
        z: 2000
        visible: shownAt !== null
        width: label.implicitWidth + 12 * dpiRatio
        height: label.implicitHeight + 8 * dpiRatio
        color: "#ffffe8"
        border.color: "#aaaaaa"
        radius: 2 * dpiRatio
        Text {
            id: label
            anchors.centerIn: parent
            text: area.text
            textFormat: Text.PlainText
            font.pointSize: 10
            color: "#333333"
        }
    }
}
