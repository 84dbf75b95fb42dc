import QtQuick 2.3

// The choice list: one row per text; a click on a row chooses it.
ModalForm {
    id: listViewForm

    property var model: []
    property var selectFunction: null
    property real rectLeftMargin: 0

    function show(_model, _selectFunction) {
        var entries = []
        if (_model)
            for (var i = 0; i < _model.length; ++i)
                entries.push(String(_model[i]))
        model = entries
        selectFunction = typeof _selectFunction === "function" ? _selectFunction : null
        rectLeftMargin = 0.25 * width
        listView.contentY = 0
        opacity = 1
    }
    function choose(index) {
        var f = selectFunction
        var entry = model[index]
        hide()
        if (f)
            f(entry)
    }

    FormPanel {
        id: panel
        objectName: "panel"
        anchors.fill: parent
        anchors.leftMargin: listViewForm.rectLeftMargin
        anchors.rightMargin: listViewForm.rectLeftMargin
        anchors.topMargin: 0.25 * listViewForm.height
        anchors.bottomMargin: 0.25 * listViewForm.height
        clip: true

        ListView {
            id: listView
            objectName: "listView"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: cancelButton.top
            anchors.margins: 1
            anchors.bottomMargin: 10
            clip: true
            flickableDirection: Flickable.VerticalFlick
            boundsBehavior: Flickable.StopAtBounds
            model: listViewForm.model

            delegate: Rectangle {
                id: row
                objectName: "row" + index
                width: listView.width
                height: itemHeight
                color: rowMouse.pressed ? "#bbbbbb" : "white"

                Text {
                    anchors.fill: parent
                    anchors.leftMargin: 0.05 * row.width
                    anchors.rightMargin: 0.05 * row.width
                    text: modelData
                    textFormat: Text.PlainText
                    font.pointSize: 14
                    fontSizeMode: Text.VerticalFit
                    minimumPointSize: 6
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    color: rowMouse.pressed ? "white" : "#555555"
                }
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: 1
                    color: "#bbbbbb"
                }
                MouseArea {
                    id: rowMouse
                    anchors.fill: parent
                    onClicked: listViewForm.choose(index)
                }
            }
        }
        ScrollBar {
            flickable: listView
        }

        CustomButton {
            id: cancelButton
            objectName: "cancelButton"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 10
            width: Math.min(panel.width / 2, 200 * dpiRatio)
            height: 0.8 * itemHeight
            buttonText: qsTr("Cancel")
            onClicked: listViewForm.hide()
        }
    }
}
