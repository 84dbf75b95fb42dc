import QtQuick 2.3

// An upright engraved line between groups of the compose toolbar.
Row {
    anchors.verticalCenter: parent ? parent.verticalCenter : undefined
    height: parent ? parent.height * 0.7 : 0
    Rectangle { width: 1; height: parent.height; color: "#22000000" }
    Rectangle { width: 1; height: parent.height; color: "#07000000" }
}
