import QtQuick 2.3
import "../scripts/effects.js" as Effects

// A drop shadow under a sibling rectangle; it follows the item's opacity,
// visibility and transformation so that it never lingers on its own. Drawn
// from one prepared blurred rectangle stretched over the item, not by a
// blur effect on every frame.
BorderImage {
    id: shadow
    property Item target: null
    property real horizontalOffset: 0
    property real verticalOffset: 5
    property int radius: 4
    property color color: "#66000000"
    readonly property int margin: Effects.margin(radius)
    readonly property int corner: target && target.radius !== undefined ? Math.ceil(target.radius) : 0

    anchors.fill: target
    anchors.leftMargin: horizontalOffset - margin
    anchors.rightMargin: -horizontalOffset - margin
    anchors.topMargin: verticalOffset - margin
    anchors.bottomMargin: -verticalOffset - margin
    opacity: target ? target.opacity : 1
    visible: target ? target.visible : false
    transformOrigin: target ? target.transformOrigin : Item.Center
    scale: target ? target.scale : 1
    rotation: target ? target.rotation : 0
    source: "image://effects/shadow/" + radius + "/" + corner + "/" + Effects.hex(color)
    border.left: 2 * radius + corner + 2
    border.right: border.left
    border.top: border.left
    border.bottom: border.left
    smooth: true
}
