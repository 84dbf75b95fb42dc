import QtQuick 2.15

// A single-line input on an underline, with a placeholder and a clear button.
Item {
    id: lineEdit

    property alias text: input.text
    property alias inputMethodHints: input.inputMethodHints
    // A RegExp or its source text; empty accepts everything.
    property var regExp: ""
    property alias echoMode: input.echoMode
    readonly property alias inputFocus: input.activeFocus
    readonly property alias contentWidth: input.contentWidth
    property string placeholderText: ""
    property color textColor: styles.lineedit.textColor
    property color placeholderTextColor: styles.lineedit.placeholderColor
    property int fontSize: 14
    property bool showClearButton: true
    property bool showRectangles: true

    // What a screen reader calls the field: its label.
    property string accessibleName: placeholderText
    // Called with each key press before the field; true when it took the key.
    property var keyFilter: null

    signal backspaceClickedOnEmptyText
    // Return or Enter in the field.
    signal accepted

    function setFocus() {
        input.cursorPosition = 0
        input.forceActiveFocus()
    }

    width: 500
    height: itemHeight
    clip: true

    TextInput {
        id: input
        objectName: "input"
        anchors.left: parent.left
        anchors.leftMargin: 15 * dpiRatio
        anchors.top: parent.top
        anchors.right: clearButton.left
        height: 0.9 * lineEdit.height
        verticalAlignment: TextInput.AlignBottom
        font.pointSize: lineEdit.fontSize
        color: lineEdit.textColor
        selectByMouse: !tabletMode
        selectionColor: styles.highlightColor
        focus: true
        activeFocusOnTab: true
        clip: true
        validator: regExpValidator.active ? regExpValidator : null

        Accessible.role: Accessible.EditableText
        Accessible.name: lineEdit.accessibleName

        Keys.onPressed: {
            if (lineEdit.keyFilter && lineEdit.keyFilter(event)) {
                event.accepted = true
                return
            }
            if (event.key === Qt.Key_Backspace && input.text === "")
                lineEdit.backspaceClickedOnEmptyText()
        }
        onAccepted: lineEdit.accepted()
    }
    RegExpValidator {
        id: regExpValidator
        readonly property bool active: !(lineEdit.regExp === "" || lineEdit.regExp === undefined
                                         || lineEdit.regExp === null)
        regExp: !active ? /.*/
                        : (lineEdit.regExp instanceof RegExp ? lineEdit.regExp
                                                             : new RegExp(String(lineEdit.regExp)))
    }

    Text {
        id: placeholder
        objectName: "placeholder"
        anchors.fill: input
        text: lineEdit.placeholderText
        textFormat: Text.PlainText
        font.italic: true
        font.pointSize: lineEdit.fontSize
        fontSizeMode: Text.VerticalFit
        minimumPointSize: 6
        verticalAlignment: Text.AlignBottom
        elide: Text.ElideRight
        color: lineEdit.placeholderTextColor
        visible: input.displayText === "" && !input.inputMethodComposing
    }

    Item {
        id: clearButton
        objectName: "clearButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 0.1 * lineEdit.height
        width: lineEdit.showClearButton ? 0.8 * lineEdit.height : 15
        height: 0.8 * lineEdit.height
        visible: lineEdit.showClearButton
        opacity: input.text === "" ? 0 : 1
        Behavior on opacity { NumberAnimation { duration: 250 } }

        Text {
            anchors.centerIn: parent
            text: "\u2717"
            color: lineEdit.placeholderTextColor
            font.pixelSize: 0.9 * input.height
        }
        MouseArea {
            anchors.fill: parent
            enabled: clearButton.opacity > 0
            onClicked: input.text = ""
        }
    }

    Item {
        id: underline
        anchors.fill: parent
        visible: lineEdit.showRectangles
        readonly property int thickness: tabletMode ? 2 : 1
        readonly property int tick: tabletMode ? 10 : 7

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: underline.thickness
            color: styles.lineedit.borderColor
        }
        Rectangle {
            x: 1
            anchors.bottom: parent.bottom
            width: underline.thickness
            height: underline.tick
            color: styles.lineedit.borderColor
        }
        Rectangle {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            width: underline.thickness
            height: underline.tick
            color: styles.lineedit.borderColor
        }
    }
}
