import QtQuick 2.3
import QtQuick.Window 2.2
import "../controls"

// The text colour picker: a grid of named colours at a given point. It stays
// open while colours are tried; a press outside or Escape closes it.
Item {
    id: picker
    objectName: "colorFontPicker"

    property color currentColor: "black"
    property var selectFunction
    // Where the keys went before: writing goes on there once the picker closes.
    property Item previousFocus: null
    readonly property var colors: ["white", "black", "aqua", "beige", "bisque", "blue", "burlywood",
        "cadetblue", "chocolate", "coral", "cornflowerblue", "crimson", "darkcyan", "darkgray",
        "darkgreen", "darkkhaki", "darkmagenta", "darkolivegreen", "darkorange", "darkred",
        "darksalmon", "darkseagreen", "darkslateblue", "darkslategray", "darkturquoise", "darkviolet",
        "deeppink", "deepskyblue", "dimgrey", "dodgerblue", "firebrick", "forestgreen", "gold",
        "goldenrod", "gray", "greenyellow", "hotpink", "indianred", "indigo", "khaki", "lightblue",
        "lightcoral", "lightcyan", "lightgray", "lightgreen", "lightpink", "lightsalmon",
        "lightseagreen", "lime", "limegreen", "magenta", "midnightblue", "olivedrab", "orange",
        "orangered", "palegoldenrod", "palegreen", "paleturquoise", "palevioletred", "peru", "pink",
        "plum", "powderblue", "purple", "red", "rosybrown", "royalblue", "saddlebrown", "seagreen",
        "sienna", "slateblue", "slategrey", "springgreen", "steelblue", "tan", "teal", "thistle",
        "tomato", "turquoise", "violet", "yellow"]
    readonly property int columns: Math.floor(Math.sqrt(colors.length))

    function show(color, p, _selectFunction) {
        currentColor = color
        selectFunction = _selectFunction
        panel.x = Math.max(0, Math.min(p.x, width - panel.width - 2))
        panel.y = Math.max(0, Math.min(p.y, height - panel.height - 2))
        previousFocus = Window.activeFocusItem
        opacity = 1
        forceActiveFocus()
    }
    function hide() {
        opacity = 0
        if (previousFocus)
            previousFocus.forceActiveFocus()
        previousFocus = null
    }

    anchors.fill: parent
    z: 999
    opacity: 0
    visible: opacity > 0
    enabled: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 250 } }

    Keys.onEscapePressed: hide()

    // A press outside the panel closes the picker and still reaches what
    // lies below.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onPressed: {
            picker.hide()
            mouse.accepted = false
        }
    }

    Shadow { target: panel }

    Rectangle {
        id: panel
        width: 250 * dpiRatio
        height: width
        color: "white"
        border.color: "#dddddd"
        radius: 2 * dpiRatio

        MouseArea { anchors.fill: parent; acceptedButtons: Qt.LeftButton | Qt.RightButton }

        Grid {
            id: grid
            anchors.fill: parent
            anchors.margins: 10
            spacing: 2
            columns: picker.columns
            readonly property real cell: (width - spacing * (columns - 1)) / columns

            Repeater {
                model: picker.colors
                delegate: Rectangle {
                    objectName: "colorCell_" + modelData
                    Accessible.role: Accessible.Button
                    Accessible.name: modelData
                    width: grid.cell
                    height: grid.cell
                    radius: 2
                    color: modelData
                    border.color: myPalette.dark
                    border.width: Qt.colorEqual(picker.currentColor, modelData) ? 3 : 1
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            picker.currentColor = modelData
                            if (picker.selectFunction)
                                picker.selectFunction(modelData)
                        }
                    }
                }
            }
        }
    }

    SystemPalette { id: myPalette; colorGroup: SystemPalette.Active }
}
