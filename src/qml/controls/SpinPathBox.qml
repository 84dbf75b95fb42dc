import QtQuick 2.3

// A vertical number wheel over [minValue, maxValue) with a slider track at its right.
FocusScope {
    id: spinPathBox

    property int minValue: 0
    property int maxValue: 0
    readonly property int count: Math.max(0, maxValue - minValue)
    readonly property int currentValue: pathView.currentIndex + minValue
    property color mainColor: styles.foreground.textColor
    readonly property alias moving: pathView.moving

    function init(curVal) {
        var index = Math.max(0, Math.min(count - 1, Math.round(curVal) - minValue))
        snapTo(index)
        placeHandle(index)
    }
    function snapTo(index) {
        if (count <= 0)
            return
        pathView.currentIndex = Math.max(0, Math.min(count - 1, index))
    }
    // The handle is moved here without steering the wheel back.
    function placeHandle(index) {
        track.followingWheel = true
        handle.y = count > 0 ? index / count * track.range : 0
        track.followingWheel = false
    }
    function handleValue() {
        // A hair over the product, so that a handle placed from an entry maps back onto it.
        return track.range > 0 ? Math.floor(count / track.range * handle.y + 1e-6) : 0
    }

    PathView {
        id: pathView
        objectName: "pathView"
        anchors.fill: parent
        model: spinPathBox.count
        pathItemCount: Math.max(1, Math.floor(height / itemHeight))
        preferredHighlightBegin: 0.5
        preferredHighlightEnd: 0.5
        highlightRangeMode: PathView.StrictlyEnforceRange
        highlightMoveDuration: 0
        flickDeceleration: 200
        dragMargin: width
        focus: true

        path: Path {
            startX: pathView.width / 2
            startY: 0
            PathAttribute { name: "itemOpacity"; value: 0.1 }
            PathAttribute { name: "itemScale"; value: 0.7 }
            PathLine { x: pathView.width / 2; y: pathView.height / 2 }
            PathAttribute { name: "itemOpacity"; value: 1.0 }
            PathAttribute { name: "itemScale"; value: 1.3 }
            PathLine { x: pathView.width / 2; y: pathView.height }
            PathAttribute { name: "itemOpacity"; value: 0.1 }
            PathAttribute { name: "itemScale"; value: 0.7 }
        }

        delegate: Item {
            width: pathView.width
            height: itemHeight
            opacity: PathView.itemOpacity !== undefined ? PathView.itemOpacity : 1
            scale: PathView.itemScale !== undefined ? PathView.itemScale : 1
            Text {
                anchors.centerIn: parent
                text: index + spinPathBox.minValue
                font.pixelSize: itemHeight / 2
                color: spinPathBox.mainColor
            }
        }

        Keys.onDownPressed: incrementCurrentIndex()
        Keys.onUpPressed: decrementCurrentIndex()

        onCurrentIndexChanged: if (!handleMouse.drag.active) spinPathBox.placeHandle(currentIndex)
    }

    Item {
        id: track
        objectName: "track"
        property bool followingWheel: false
        readonly property real range: height - handle.height

        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 0.05 * spinPathBox.width

        MouseArea {
            anchors.fill: parent
            onPressed: {
                if (pathView.moving)
                    spinPathBox.snapTo(pathView.currentIndex)
                handle.y = Math.max(0, Math.min(track.range, mouse.y - handle.height / 2))
            }
        }
        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            y: handle.height / 2
            width: 0.2 * track.width
            height: track.range
            radius: 1 * dpiRatio
            color: "#777777"
        }
        Rectangle {
            id: handle
            objectName: "handle"
            width: track.width
            height: width
            radius: width / 2
            color: "white"
            border.width: 1
            border.color: "#777777"

            onYChanged: {
                if (!track.followingWheel && !pathView.moving)
                    spinPathBox.snapTo(Math.min(spinPathBox.handleValue(), spinPathBox.count - 1))
            }

            MouseArea {
                id: handleMouse
                anchors.fill: parent
                drag.target: handle
                drag.axis: Drag.YAxis
                drag.minimumY: 0
                drag.maximumY: Math.max(0, track.range)
            }
        }
    }
}
