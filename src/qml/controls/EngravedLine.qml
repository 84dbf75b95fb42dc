import QtQuick 2.3

// An upright line cut into the surface: a dark pixel with a light one beside it.
Item {
    width: 2
    Rectangle {
        width: 1
        height: parent.height
        color: "#22000000"
    }
    Rectangle {
        x: 1
        width: 1
        height: parent.height
        color: "#33ffffff"
    }
}
