import QtQuick 2.15
import QtQuick.Window 2.15
import "../controls"

// A dialog with an icon in its title bar and its panel inset from the
// window's edges: the settings forms and the compose form.
ModalForm {
    id: form

    property string title: ""
    property string iconPath: ""
    property string subIconPath: ""
    property bool iconColorOverlay: false
    property bool iconShadow: false
    // Panel insets, as fractions of the window.
    property real leftInset: 0.1
    property real rightInset: leftInset
    property real topInset: 0.1
    property real bottomInset: topInset
    // Items declared inside a form go below the title bar.
    default property alias content: body.data
    // Dialogs that belong to a form and cover all of it.
    property alias overlays: overlayLayer.data
    property alias panel: panel
    property alias body: body
    readonly property bool shown: opacity === 1
    // The height the body's rows and buttons need; a shorter panel scrolls
    // the body instead of laying rows under the buttons.
    property real bodyHeight: 0
    readonly property Item focusedItem: Window.activeFocusItem

    signal closeClicked()

    function open() { opacity = 1 }
    function close() { opacity = 0 }

    // Tabbing to a field below the fold must bring it into view.
    function showFocused() {
        var inBody = false
        for (var i = focusedItem; i && !inBody; i = i.parent)
            inBody = i === body
        if (!inBody || !scroller.interactive)
            return
        var r = body.mapFromItem(focusedItem, 0, 0, focusedItem.width, focusedItem.height)
        var top = scroller.contentY
        if (r.y < top)
            top = r.y
        else if (r.y + r.height > top + scroller.height)
            top = r.y + r.height - scroller.height
        scroller.contentY = Math.max(0, Math.min(top, body.height - scroller.height))
    }

    onFocusedItemChanged: showFocused()

    FormPanel {
        id: panel
        anchors.fill: parent
        anchors.leftMargin: form.width * form.leftInset
        anchors.rightMargin: form.width * form.rightInset
        anchors.topMargin: form.height * form.topInset
        anchors.bottomMargin: form.height * form.bottomInset
        clip: true

        Flickable {
            id: scroller
            objectName: "formScroller"
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            contentWidth: width
            contentHeight: body.height
            interactive: contentHeight > height
            boundsBehavior: Flickable.StopAtBounds
            clip: true

            Item {
                id: body
                width: scroller.width
                height: Math.max(scroller.height, form.bodyHeight)
            }
        }

        Rectangle {
            objectName: "formScrollIndicator"
            visible: scroller.interactive
            anchors.right: parent.right
            anchors.rightMargin: 2 * dpiRatio
            y: scroller.y + scroller.visibleArea.yPosition * scroller.height
            width: 4 * dpiRatio
            height: scroller.visibleArea.heightRatio * scroller.height
            radius: width / 2
            color: "#999999"
        }

        Shadow { target: titleBar }

        Rectangle {
            id: titleBar
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            height: itemHeight
            color: styles.headerColor

            ColoredImage {
                id: titleIcon
                visible: form.iconPath !== ""
                anchors.left: parent.left
                anchors.leftMargin: parent.height * 0.2
                anchors.verticalCenter: parent.verticalCenter
                width: parent.height * 0.7
                height: width
                imagePath: form.iconPath
                subImagePath: form.subIconPath
                colorOverlay: form.iconColorOverlay
                shadow: form.iconShadow
            }

            Text {
                objectName: "formTitle"
                anchors.left: titleIcon.visible ? titleIcon.right : parent.left
                anchors.leftMargin: parent.height * 0.5
                anchors.right: closeButton.left
                anchors.rightMargin: parent.height * 0.5
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                verticalAlignment: Text.AlignVCenter
                text: form.title
                textFormat: Text.PlainText
                color: "#444444"
                font.pointSize: 16
                font.bold: true
                fontSizeMode: Text.VerticalFit
                elide: Text.ElideRight
            }

            MenuButton {
                id: closeButton
                objectName: "formCloseButton"
                accessibleName: qsTr("Close")
                anchors.right: parent.right
                imagePath: "images/remove.png"
                onClicked: form.closeClicked()
            }
        }
    }

    Item {
        id: overlayLayer
        anchors.fill: parent
    }
}
