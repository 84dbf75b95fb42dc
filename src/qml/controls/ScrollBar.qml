import QtQuick 2.3

// A scroll indicator with a draggable handle, placed as a sibling of its flickable.
Item {
    id: scrollBar

    property Flickable flickable: null
    property real handleSize: 10 * dpiRatio

    readonly property real scrollRange: flickable ? flickable.contentHeight - flickable.height : 0
    readonly property real maxY: height - handle.height
    readonly property bool dragging: handleMouse.pressed || handleMouse.drag.active
    // Where the content puts the handle; applied whenever the user is not holding it.
    readonly property real contentHandleY: handleYForContent()

    function handleYForContent() {
        if (!flickable || scrollRange <= 0 || maxY <= 0)
            return 0
        var y = (flickable.contentY - flickable.originY) * maxY / scrollRange
        return Math.max(0, Math.min(maxY, y))
    }

    function followContent() {
        if (!dragging)
            handle.y = handleYForContent()
    }

    anchors.right: flickable ? flickable.right : undefined
    anchors.top: flickable ? flickable.top : undefined
    anchors.bottom: flickable ? flickable.bottom : undefined
    anchors.margins: 1
    width: handleSize
    visible: flickable !== null && flickable.contentHeight > flickable.height
    opacity: tabletMode ? 0 : 1
    enabled: !tabletMode

    Rectangle {
        id: handle
        objectName: "handle"
        width: parent.width
        height: Math.max(20, (flickable && flickable.contentHeight > 0
                              ? flickable.height / flickable.contentHeight : 1) * scrollBar.height)
        radius: 2 * dpiRatio
        color: styles.highlightColor
        opacity: (flickable && flickable.moving) || handleMouse.pressed ? 0.65 : 0.35
        Behavior on opacity { NumberAnimation { duration: 150 } }

        onYChanged: {
            if (scrollBar.dragging && scrollBar.maxY > 0)
                flickable.contentY = flickable.originY + y * scrollBar.scrollRange / scrollBar.maxY
        }

        MouseArea {
            id: handleMouse
            objectName: "handleMouse"
            anchors.fill: parent
            drag.target: handle
            drag.axis: Drag.YAxis
            drag.minimumY: 0
            drag.maximumY: Math.max(0, scrollBar.maxY)
        }
    }
    onContentHandleYChanged: followContent()
    onDraggingChanged: followContent()
}
