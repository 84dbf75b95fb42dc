import QtQuick 2.3
import "../scripts/effects.js" as Effects

// The sheen over raised faces: dark bands at a quarter and three quarters of
// a turn, drawn once as an image of the face's size.
Image {
    id: sheen
    property color color: "#eeeeee"
    source: "image://effects/sheen/" + Effects.hex(color)
    sourceSize.width: width
    sourceSize.height: height
}
