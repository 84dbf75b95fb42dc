import QtQuick 2.3

// A soft line between the parts of the compose form.
Column {
    anchors.left: parent.left
    anchors.right: parent.right
    Rectangle { width: parent.width; height: 1; color: "#33000000" }
    Rectangle { width: parent.width; height: 1; color: "#07000000" }
}
