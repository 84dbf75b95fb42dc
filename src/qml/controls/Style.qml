import QtQuick 2.15

// The program's look: the desktop's active palette plus the few colours of
// its own. The root scene holds the one instance as "styles".
SystemPalette {
    id: style
    colorGroup: SystemPalette.Active

    property color headerColor: "#C3CEF0"
    property color listColor: "white"
    property color highlightColor: "#94A7E2"
    property color lineColor: Qt.darker(mid, 1.5)
    property color borderColor: Qt.darker(mid, 1.5)
    // The frame of the item that takes the keys.
    property color focusColor: "#3050c0"

    property QtObject image: QtObject {
        property bool mipmap: false
    }
    property QtObject foreground: QtObject {
        property color textColor: "#333333"
    }
    property QtObject buttons: QtObject {
        property color textColor: "#222222"
        property color colorLight: "#f9f9f9"
        property color colorDark: "#eeeeee"
    }
    property QtObject lineedit: QtObject {
        property color placeholderColor: "#888888"
        property color borderColor: placeholderColor
        property color textColor: style.foreground.textColor
    }
}
