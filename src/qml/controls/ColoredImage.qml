import QtQuick 2.3
import QtGraphicalEffects 1.0

// An icon drawn as a flat tinted silhouette with a small shadow, optionally
// with a second icon over its lower right quarter and a periodic turn.
Item {
    id: coloredImage

    // Relative paths ("images/add.png", "../images/add.png") name the
    // program's own pictures, wherever the calling screen lives.
    property string imagePath: ""
    // Left undefined, the tint is white, or light grey while pressed or disabled.
    property var imageColor
    property string subImagePath: ""
    property bool rotate: false
    property bool pressed: false
    property bool colorOverlay: true
    property bool shadow: true
    readonly property bool rotationAnimationRunning: rotationAnimation.running

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

        Item {
            id: picture
            anchors.fill: parent
            visible: !coloredImage.shadow

            Image {
                id: image
                objectName: "image"
                anchors.fill: parent
                source: coloredImage.resolvePath(coloredImage.imagePath)
                sourceSize.width: width
                sourceSize.height: height
                fillMode: Image.PreserveAspectFit
                smooth: true
                mipmap: styles.image.mipmap
                visible: !tint.visible
            }
            ColorOverlay {
                id: tint
                objectName: "tint"
                anchors.fill: image
                source: image
                visible: coloredImage.colorOverlay && !lowEffects
                color: coloredImage.imageColor !== undefined
                       ? coloredImage.imageColor
                       : (coloredImage.pressed || !coloredImage.enabled ? "#eeeeee" : "#ffffff")
            }
        }
        DropShadow {
            anchors.fill: picture
            source: picture
            visible: coloredImage.shadow
            horizontalOffset: coloredImage.pressed ? 0 : -1
            verticalOffset: coloredImage.pressed ? 0 : 1
            radius: 2
            samples: 4
            color: "#66000000"
            transparentBorder: true
        }

        Item {
            id: subItem
            x: parent.width / 2
            y: parent.height / 2
            width: parent.width / 2
            height: parent.height / 2
            visible: coloredImage.subImagePath !== ""
            scale: coloredImage.pressed ? 0.9 : 1

            Item {
                id: subPicture
                anchors.fill: parent
                visible: false

                Image {
                    id: subImage
                    objectName: "subImage"
                    anchors.fill: parent
                    source: coloredImage.resolvePath(coloredImage.subImagePath)
                    sourceSize.width: width
                    sourceSize.height: height
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: styles.image.mipmap
                    visible: !subTint.visible
                }
                ColorOverlay {
                    id: subTint
                    anchors.fill: subImage
                    source: subImage
                    visible: !lowEffects && coloredImage.subImagePath !== ""
                    color: coloredImage.pressed ? "#aacccccc" : "#55ffffff"
                }
            }
            DropShadow {
                anchors.fill: subPicture
                source: subPicture
                horizontalOffset: coloredImage.pressed ? 0 : -1
                verticalOffset: coloredImage.pressed ? 0 : 1
                radius: 2
                samples: 4
                color: "#66000000"
                transparentBorder: true
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
