import QtQuick 2.15

// The window's one drop-down list, shown under the combo box that opened it.
// It covers the whole window so that a click outside the list closes it.
Item {
    id: comboBoxList

    property Item comboBox: null
    readonly property bool buttonMode: comboBox !== null && comboBox.buttonMode
    readonly property bool fontsMode: comboBox !== null && comboBox.fontsMode
    property color listColor: "#eeeeee"
    property color rowColor: comboBox !== null ? comboBox.colorLight : "#ffffff"
    property string extraButtonText: ""
    // Set by show(); a caller may lower it afterwards.
    property alias listHeight: list.height
    readonly property alias listX: list.x
    readonly property alias listY: list.y
    readonly property alias listWidth: list.width
    property bool returnFocus: false

    function show(item, xywh) {
        if (comboBox !== null && comboBox !== item)
            comboBox.opened = false
        listView.model = []
        comboBox = item

        var width = xywh.width
        if (item.buttonMode) {
            var longest = 0
            for (var i = 0; i < item.count; ++i) {
                measure.text = item.labelAt(i)
                longest = Math.max(longest, measure.implicitWidth)
            }
            width = longest + 1.5 * itemHeight
        }
        list.width = width

        var x = xywh.x
        if (x + width > comboBoxList.width)
            x = comboBoxList.width - width - 2
        list.x = Math.max(0, x)

        listColor = item.colorDark
        listView.model = Qt.binding(function () { return comboBox ? comboBox.model : [] })
        extraButtonText = item.buttonText

        var wanted = item.count * itemHeight
                + (extraButtonText !== "" ? itemHeight + 12 : 0)
        var y = xywh.y
        // A combo box at the very bottom of the window would leave no room
        // for a single row; open upwards over it instead.
        var above = xywh.y - 1 - xywh.height
        if (comboBoxList.height - y < Math.min(wanted, itemHeight) && above > comboBoxList.height - y)
            y = Math.max(0, above - wanted)
        list.y = y
        list.height = Math.min(comboBoxList.height - y, wanted)
        listView.forceLayout()
        listView.currentIndex = item.currentIndex
        if (item.currentIndex >= 0)
            listView.positionViewAtIndex(item.currentIndex, ListView.Contain)
        else
            listView.positionViewAtBeginning()

        item.opened = true
        returnFocus = item.activeFocus
        listView.forceActiveFocus()
    }
    function close() {
        if (comboBox === null)
            return
        comboBox.opened = false
        // The keys go back to the box that opened the list with them.
        if (returnFocus)
            comboBox.forceActiveFocus()
        returnFocus = false
    }
    function choose(index) {
        var box = comboBox
        close()
        if (box === null || box.isDisabled(index))
            return
        if (index !== box.currentIndex) {
            box.currentIndex = index
            box.clicked(box.labelAt(index), index)
        }
    }

    anchors.fill: parent
    z: 1000
    visible: comboBox !== null && comboBox.opened

    Text {
        id: measure
        visible: false
        font.pointSize: 14
        font.family: comboBoxList.fontsMode ? text : "Verdana"
    }

    MouseArea {
        objectName: "outside"
        anchors.fill: parent
        onPressed: comboBoxList.close()
        onWheel: wheel.accepted = true
    }

    Rectangle {
        id: list
        objectName: "list"
        radius: 2 * dpiRatio
        color: comboBoxList.listColor
        border.width: 1
        border.color: Qt.darker(comboBoxList.listColor, 2)
        clip: true

        MouseArea {
            anchors.fill: parent
            onWheel: wheel.accepted = true
        }

        ListView {
            id: listView
            objectName: "listView"
            anchors.fill: parent
            anchors.margins: 1
            anchors.bottomMargin: extraButton.visible ? itemHeight + 12 : 1
            clip: true
            flickableDirection: Flickable.VerticalFlick
            boundsBehavior: Flickable.StopAtBounds
            keyNavigationWraps: false
            Accessible.role: Accessible.List
            Keys.onPressed: {
                if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_Space) {
                    if (currentIndex >= 0)
                        comboBoxList.choose(currentIndex)
                    event.accepted = true
                } else if (event.key === Qt.Key_Escape) {
                    comboBoxList.close()
                    event.accepted = true
                }
            }

            delegate: Rectangle {
                id: row
                objectName: "row" + index
                readonly property bool disabled: comboBoxList.comboBox !== null
                                                 && comboBoxList.comboBox.isDisabled(index)
                readonly property string label: comboBoxList.comboBox !== null
                                                ? comboBoxList.comboBox.labelAt(index) : ""
                width: listView.width
                height: itemHeight
                enabled: !disabled
                readonly property bool marked: rowMouse.pressed || ListView.isCurrentItem
                color: marked ? styles.highlightColor : comboBoxList.rowColor
                Accessible.role: Accessible.ListItem
                Accessible.name: label
                Accessible.selected: ListView.isCurrentItem

                ColoredImage {
                    id: rowIcon
                    visible: comboBoxList.buttonMode
                    x: 0.15 * row.height
                    anchors.verticalCenter: parent.verticalCenter
                    width: 0.7 * row.height
                    height: width
                    imagePath: comboBoxList.buttonMode && comboBoxList.comboBox !== null
                               ? comboBoxList.comboBox.iconAt(index) : ""
                    colorOverlay: false
                    shadow: false
                }
                Text {
                    objectName: "rowLabel"
                    anchors.left: parent.left
                    anchors.leftMargin: 10 + (comboBoxList.buttonMode ? rowIcon.x + rowIcon.width : 0)
                    anchors.right: parent.right
                    anchors.rightMargin: 5
                    height: parent.height
                    text: row.label
                    textFormat: Text.PlainText
                    font.pointSize: 14
                    fontSizeMode: Text.VerticalFit
                    minimumPointSize: 6
                    font.family: comboBoxList.fontsMode ? row.label : "Verdana"
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    color: row.disabled ? "grey" : (row.marked ? "white" : "#444444")
                }
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: 1
                    color: Qt.darker(row.color, 1.1)
                }
                MouseArea {
                    id: rowMouse
                    anchors.fill: parent
                    onClicked: comboBoxList.choose(index)
                }
            }
        }

        Rectangle {
            anchors.bottom: extraButton.top
            anchors.bottomMargin: 5
            anchors.left: parent.left
            anchors.right: parent.right
            height: 1
            visible: extraButton.visible
            color: Qt.darker(comboBoxList.listColor, 1.2)
        }
        CustomButton {
            id: extraButton
            objectName: "extraButton"
            visible: comboBoxList.extraButtonText !== ""
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 5
            height: itemHeight
            buttonText: comboBoxList.extraButtonText
            onClicked: {
                var box = comboBoxList.comboBox
                comboBoxList.close()
                if (box !== null)
                    box.buttonClicked()
            }
        }
    }
}
