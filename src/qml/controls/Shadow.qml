import QtQuick 2.3
import QtGraphicalEffects 1.0

// A drop shadow under a sibling item; it follows the item's opacity,
// visibility and transformation so that it never lingers on its own.
DropShadow {
    id: shadow
    property Item target: null

    anchors.fill: target
    source: target
    opacity: target ? target.opacity : 1
    visible: target ? target.visible : false
    transformOrigin: target ? target.transformOrigin : Item.Center
    scale: target ? target.scale : 1
    rotation: target ? target.rotation : 0
    horizontalOffset: 0
    verticalOffset: 5
    radius: 4
    samples: 8
    color: "#66000000"
    transparentBorder: true
    fast: true
}
