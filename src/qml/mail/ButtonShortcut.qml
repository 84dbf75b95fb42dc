import QtQuick 2.15
import "../controls"

// A key for the button it sits in, named in the button's tool tip. It
// presses the button only while the button can be pressed and no form
// covers the main screen.
Item {
    id: buttonShortcut

    property string text: ""
    property string sequence: ""
    property bool showTip: true
    // Said after the key in the tool tip, such as a second key of the button.
    property string moreTip: ""
    readonly property alias nativeText: shortcut.nativeText
    // What the key does; pressing the button by default.
    property var action: function() { buttonShortcut.parent.clicked() }
    // Off while a form covers the screen the button is on.
    property bool active: true

    anchors.fill: parent

    // The button is named after what it does.
    Binding {
        target: buttonShortcut.parent
        property: "accessibleName"
        value: buttonShortcut.text
        when: buttonShortcut.showTip && buttonShortcut.text !== ""
    }

    ToolTipArea {
        enabled: buttonShortcut.showTip
        // The key as the user's language writes it ("Strg+N" in German).
        text: (shortcut.nativeText !== "" ? buttonShortcut.text + " (" + shortcut.nativeText + ")"
                                          : buttonShortcut.text)
              + (buttonShortcut.moreTip !== "" ? ", " + buttonShortcut.moreTip : "")
    }
    Shortcut {
        id: shortcut
        sequence: buttonShortcut.sequence
        enabled: buttonShortcut.sequence !== "" && buttonShortcut.parent.visible
                 && buttonShortcut.parent.enabled && buttonShortcut.active
        onActivated: buttonShortcut.action()
    }
}
