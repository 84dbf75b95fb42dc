import QtQuick 2.15

// A combo box whose entries open in the window's one shared drop-down list.
// Entries are texts, or in button mode [icon path, label] pairs.
Item {
    id: comboBox

    property var model: []
    // [[index, function () { return disabled }], ...]
    property var disableMap: []
    property int currentIndex: -1
    property string buttonText: ""
    property bool opened: false
    property bool buttonMode: false
    property bool fontsMode: false
    property color colorLight: "#ffffff"
    property color colorDark: "#eeeeee"
    readonly property bool pressed: mouseArea.pressed
    readonly property int count: model && model.length !== undefined ? model.length : 0
    readonly property bool shownPressed: mouseArea.pressed || opened
    // What a screen reader calls the box: its label.
    property string accessibleName: ""
    // The window's one drop-down list (a ComboBoxList), which shows the entries.
    property Item dropDownList: null

    signal clicked(string text, int index)
    signal buttonClicked

    function isDisabled(index) {
        if (!disableMap || disableMap.length === 0)
            return false
        for (var i = 0; i < disableMap.length; ++i) {
            var entry = disableMap[i]
            if (entry && entry[0] === index)
                return !!entry[1]()
        }
        return false
    }
    function entryAt(index) {
        return index >= 0 && index < count ? model[index] : undefined
    }
    function labelAt(index) {
        var entry = entryAt(index)
        if (entry === undefined)
            return ""
        return String(buttonMode ? entry[1] : entry)
    }
    function iconAt(index) {
        var entry = entryAt(index)
        return buttonMode && entry !== undefined ? String(entry[0]) : "images/unknown.png"
    }
    function open() {
        var r = face.mapToItem(null, 0, face.height + 1, face.width, face.height)
        dropDownList.show(comboBox, Qt.rect(r.x, r.y, r.width, r.height))
    }

    height: parent ? parent.height : 0
    width: 1.5 * height
    activeFocusOnTab: true
    Accessible.role: buttonMode ? Accessible.ButtonMenu : Accessible.ComboBox
    Accessible.name: accessibleName
    Accessible.description: labelAt(currentIndex)
    Accessible.onPressAction: open()
    Keys.onPressed: {
        var opening = event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter
                || (event.key === Qt.Key_Down && (event.modifiers & Qt.AltModifier))
        if (opening && enabled) {
            open()
            event.accepted = true
        }
    }

    Rectangle {
        objectName: "focusFrame"
        anchors.fill: face
        anchors.margins: -2
        z: 1
        radius: 3
        color: "transparent"
        border.width: 2
        border.color: styles.focusColor
        visible: comboBox.activeFocus
    }

    Shadow {
        target: face
        visible: !comboBox.buttonMode
        horizontalOffset: 0
        verticalOffset: 0
        radius: 2
    }
    Rectangle {
        id: face
        objectName: "face"
        anchors.fill: parent
        anchors.margins: comboBox.buttonMode ? 0 : 5
        radius: 2
        color: comboBox.buttonMode ? "transparent"
               : (comboBox.shownPressed || !comboBox.enabled ? comboBox.colorDark : comboBox.colorLight)

        ButtonGradient {
            anchors.fill: parent
            visible: !comboBox.buttonMode
            color: comboBox.colorDark
        }

        Text {
            id: label
            objectName: "label"
            visible: !comboBox.buttonMode
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: arrowArea.left
            anchors.verticalCenter: parent.verticalCenter
            height: parent.height
            text: comboBox.buttonMode ? "" : comboBox.labelAt(comboBox.currentIndex)
            textFormat: Text.PlainText
            font.pointSize: 14
            fontSizeMode: Text.VerticalFit
            minimumPointSize: 6
            font.family: comboBox.fontsMode && text !== "" ? text : "Verdana"
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            color: !comboBox.enabled ? "grey" : (comboBox.shownPressed ? "#222222" : "#444444")
        }

        Rectangle {
            id: buttonFrame
            visible: comboBox.buttonMode && comboBox.shownPressed
            anchors.left: icon.left
            anchors.leftMargin: -0.1 * comboBox.height
            anchors.right: arrowArea.right
            anchors.verticalCenter: parent.verticalCenter
            height: 0.9 * comboBox.height
            radius: 4 * dpiRatio
            color: "#33999999"
            border.width: 1
            border.color: "#55999999"
        }
        ColoredImage {
            id: icon
            objectName: "icon"
            visible: comboBox.buttonMode
            anchors.right: arrowArea.left
            anchors.verticalCenter: parent.verticalCenter
            width: 0.7 * comboBox.height
            height: width
            imagePath: comboBox.buttonMode ? comboBox.iconAt(comboBox.currentIndex) : ""
            pressed: comboBox.shownPressed
            // Drawn as it is: tinted white it vanishes on a light bar.
            colorOverlay: false
            shadow: false
        }

        Item {
            id: arrowArea
            anchors.right: parent.right
            anchors.rightMargin: comboBox.buttonMode ? 0.15 * comboBox.height : 0
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            width: comboBox.buttonMode ? 0.5 * comboBox.height : height

            EngravedLine {
                visible: !comboBox.buttonMode
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                height: 0.8 * parent.height
            }
            Text {
                anchors.centerIn: parent
                text: "\u25BC"
                font.pixelSize: (comboBox.buttonMode ? 0.3 : 0.4) * comboBox.height
                color: label.color
                scale: comboBox.shownPressed ? 0.95 : 1
            }
        }
    }

    MouseArea {
        id: mouseArea
        objectName: "mouseArea"
        anchors.fill: parent
        onClicked: comboBox.open()
    }
}
