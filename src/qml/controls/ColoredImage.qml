import QtQuick 2.3
import "../scripts/effects.js" as Effects

// An icon drawn as a flat tinted silhouette with a small shadow, optionally
// with a second icon over its lower right quarter and a periodic turn.
Item {
    id: coloredImage

    // Relative paths ("images/add.png", "../images/add.png") name the
    // program's own pictures, wherever the calling screen lives.
    property string imagePath: ""
    property var imageColor
    property string subImagePath: ""
    property bool rotate: false
    property bool pressed: false
    property bool colorOverlay: true
    property bool shadow: true
    readonly property bool rotationAnimationRunning: rotationAnimation.running
    // Left undefined, the tint is white, or light grey while pressed or disabled.
    readonly property color tint: imageColor !== undefined ? imageColor
                                                           : (pressed || !enabled ? "#eeeeee" : "#ffffff")
    readonly property int shadowRadius: 2

    function resolvePath(path) {
        var s = String(path === undefined || path === null ? "" : path)
        if (s === "" || /^[a-zA-Z][a-zA-Z0-9+.-]*:/.test(s))
            return s
        if (s.charAt(0) === "/")
            return "file://" + s
        while (s.indexOf("../") === 0 || s.indexOf("./") === 0)
            s = s.substring(s.indexOf("/") + 1)
        return Qt.resolvedUrl("../" + s)
    }

    Item {
        id: turner
        objectName: "turner"
        anchors.fill: parent
        transform: [
            Rotation {
                id: turn
                origin.x: turner.width / 2
                origin.y: turner.height / 2
                angle: 0
            },
            Scale {
                origin.x: turner.width
                origin.y: turner.height
                xScale: coloredImage.pressed ? 0.95 : 1
                yScale: xScale
            }
        ]

        Image {
            id: image
            objectName: "image"
            anchors.fill: parent
            anchors.margins: coloredImage.shadow ? -Effects.margin(coloredImage.shadowRadius) : 0
            source: Effects.icon(coloredImage.resolvePath(coloredImage.imagePath),
                                 coloredImage.colorOverlay && !lowEffects ? coloredImage.tint : undefined,
                                 coloredImage.shadow ? coloredImage.shadowRadius : 0,
                                 coloredImage.pressed ? 0 : -1, coloredImage.pressed ? 0 : 1)
            sourceSize.width: coloredImage.width
            sourceSize.height: coloredImage.height
            fillMode: Image.PreserveAspectFit
            smooth: true
            mipmap: styles.image.mipmap
        }

        Item {
            id: subItem
            x: parent.width / 2
            y: parent.height / 2
            width: parent.width / 2
            height: parent.height / 2
            visible: coloredImage.subImagePath !== ""
            scale: coloredImage.pressed ? 0.9 : 1

            Image {
                id: subImage
                objectName: "subImage"
                anchors.fill: parent
                anchors.margins: -Effects.margin(coloredImage.shadowRadius)
                source: subItem.visible
                        ? Effects.icon(coloredImage.resolvePath(coloredImage.subImagePath),
                                       lowEffects ? undefined : (coloredImage.pressed ? "#aacccccc" : "#55ffffff"),
                                       coloredImage.shadowRadius, coloredImage.pressed ? 0 : -1,
                                       coloredImage.pressed ? 0 : 1)
                        : ""
                sourceSize.width: subItem.width
                sourceSize.height: subItem.height
                fillMode: Image.PreserveAspectFit
                smooth: true
                mipmap: styles.image.mipmap
            }
        }
    }

    // Turns once every two seconds while asked to; a turn in progress
    // always completes, so the icon never stops askew.
    Timer {
        interval: 2000
        repeat: true
        triggeredOnStart: true
        running: coloredImage.rotate
        onTriggered: if (!rotationAnimation.running) rotationAnimation.start()
    }
    NumberAnimation {
        id: rotationAnimation
        target: turn
        property: "angle"
        from: 0
        to: 360
        duration: 2150
    }
}
