import QtQuick 2.15
import DocumentHandlerBackend 1.0
import "../controls"

// The formatting buttons of the compose form, acting through the document
// handler on the text area.
Item {
    id: toolbar

    property var document
    property var textArea
    readonly property var fontFamilies: Qt.fontFamilies()
    // The window's one drop-down list, for the font and alignment boxes.
    property Item dropDownList: null

    signal linkRequested()
    // Asks for a number in [min, max) starting at current; set(value) takes
    // each one picked while the picker is open.
    signal numberAsked(int min, int max, int current, var set)
    // Asks for a colour in a picker placed at the point (window coordinates).
    signal colorAsked(color current, point at, var set)

    function alignmentEntry(alignment) {
        if (alignment & Qt.AlignLeft)
            return 0
        if (alignment & Qt.AlignHCenter)
            return 1
        if (alignment & Qt.AlignRight)
            return 2
        return 3
    }

    clip: true

    Flickable {
        id: strip
        anchors.fill: parent
        contentWidth: buttons.width
        contentHeight: height
        flickableDirection: Flickable.HorizontalFlick
        boundsBehavior: Flickable.StopAtBounds

        Row {
            id: buttons
            height: strip.height

            ToolButton {
                objectName: "copyButton"
                accessibleName: qsTr("Copy")
                textLeftMargin: 15 * dpiRatio
                imagePath: "images/text_copy.png"
                onClicked: textArea.copy()
            }
            ToolButton {
                objectName: "cutButton"
                accessibleName: qsTr("Cut")
                imagePath: "images/text_cut.png"
                onClicked: textArea.cut()
            }
            ToolButton {
                objectName: "pasteButton"
                accessibleName: qsTr("Paste")
                imagePath: "images/text_paste.png"
                onClicked: textArea.paste()
            }
            ToolSeparator {}
            ToolButton {
                objectName: "boldButton"
                accessibleName: qsTr("Bold")
                textLeftMargin: 9 * dpiRatio
                imagePath: "images/text_bold.png"
                checked: document.bold
                onClicked: document.bold = !document.bold
            }
            ToolButton {
                objectName: "italicButton"
                accessibleName: qsTr("Italic")
                imagePath: "images/text_italic.png"
                checked: document.italic
                onClicked: document.italic = !document.italic
            }
            ToolButton {
                objectName: "underlineButton"
                accessibleName: qsTr("Underline")
                imagePath: "images/text_underline.png"
                checked: document.underline
                onClicked: document.underline = !document.underline
            }
            ToolButton {
                objectName: "strikeoutButton"
                accessibleName: qsTr("Strikeout")
                imagePath: "images/text_strikeout.png"
                checked: document.strikeout
                onClicked: document.strikeout = !document.strikeout
            }
            ToolSeparator {}
            CustomComboBox {
                id: fontChooser
                objectName: "fontFamilyChooser"
                accessibleName: qsTr("Font")
                dropDownList: toolbar.dropDownList
                width: 200 * dpiRatio
                fontsMode: true
                model: toolbar.fontFamilies
                colorLight: "#f9f9f9"
                colorDark: "#eeeeee"
                Binding on currentIndex { value: toolbar.fontFamilies.indexOf(document.fontFamily) }
                onClicked: document.fontFamily = text
            }
            Item { width: 5 * dpiRatio; height: 1 }
            CustomButton {
                objectName: "fontSizeButton"
                Accessible.name: qsTr("Font size")
                anchors.verticalCenter: parent.verticalCenter
                width: 50 * dpiRatio
                height: buttons.height - 10
                borderWidth: 0
                buttonText: document.fontSize
                Component.onCompleted: {
                    shadow.horizontalOffset = 0
                    shadow.verticalOffset = 0
                }
                onClicked: toolbar.numberAsked(1, 101, document.fontSize, function(value) { document.fontSize = value })
            }
            Item { width: 10 * dpiRatio; height: 1 }
            CustomButton {
                id: colorButton
                objectName: "colorButton"
                Accessible.name: qsTr("Text colour")
                anchors.verticalCenter: parent.verticalCenter
                width: height
                height: buttons.height - 10
                borderWidth: 0
                Component.onCompleted: {
                    shadow.horizontalOffset = 0
                    shadow.verticalOffset = 0
                }
                Rectangle {
                    anchors.fill: parent
                    anchors.margins: parent.width * 0.2
                    radius: 2 * dpiRatio
                    color: document.textColor
                }
                onClicked: {
                    var p = colorButton.mapToItem(null, 0, colorButton.height + 2)
                    toolbar.colorAsked(document.textColor, p, function(color) { document.textColor = color })
                }
            }
            Item { width: 10 * dpiRatio; height: 1 }
            ToolSeparator {}
            CustomComboBox {
                objectName: "alignmentChooser"
                accessibleName: qsTr("Alignment")
                dropDownList: toolbar.dropDownList
                buttonMode: true
                model: [["images/text_left.png", qsTr("Left")], ["images/text_center.png", qsTr("Center")],
                    ["images/text_right.png", qsTr("Right")], ["images/text_fill.png", qsTr("Justify")]]
                colorLight: "white"
                colorDark: "#dddddd"
                Binding on currentIndex { value: toolbar.alignmentEntry(document.alignment) }
                onClicked: document.alignment = [Qt.AlignLeft, Qt.AlignHCenter, Qt.AlignRight, Qt.AlignJustify][index]
            }
            ToolButton {
                objectName: "markedListButton"
                accessibleName: qsTr("Bulleted list")
                imagePath: "images/list_marked.png"
                checked: document.list === DocumentHandler.MarkedList
                onClicked: document.list = checked ? DocumentHandler.NoList : DocumentHandler.MarkedList
            }
            ToolButton {
                objectName: "numericListButton"
                accessibleName: qsTr("Numbered list")
                imagePath: "images/list_numeric.png"
                checked: document.list === DocumentHandler.NumericList
                onClicked: document.list = checked ? DocumentHandler.NoList : DocumentHandler.NumericList
            }
            ToolSeparator {}
            ToolButton {
                objectName: "linkButton"
                accessibleName: qsTr("Link")
                imagePath: "images/www.png"
                onClicked: toolbar.linkRequested()
            }
            Item { width: 10 * dpiRatio; height: 1 }
        }
    }

    // Fades at the ends tell that the row scrolls.
    Rectangle {
        width: 10 * dpiRatio
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        opacity: strip.contentWidth > strip.width || strip.moving ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 100 } }
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: "#55888888" }
            GradientStop { position: 1; color: "transparent" }
        }
    }
    Rectangle {
        width: 10 * dpiRatio
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        opacity: strip.contentWidth > strip.width || strip.moving ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 100 } }
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 1; color: "#55888888" }
        }
    }
}
