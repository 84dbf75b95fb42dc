import QtQuick 2.3
import "../controls"

// A list of accounts or of servers with add, edit and remove.
FormFrame {
    id: managementForm
    objectName: "managementForm"

    property int currentIndex: -1
    property var model: []
    property var addFunction
    property var editFunction
    property var removeFunction
    property bool profiles: false
    // Row texts, read from the entries whenever the model is set.
    property var rowTexts: []
    // The Wizard button of the account list opens it.
    property Item wizardForm: null

    function show(_title, _model, _addFunction, _editFunction, _removeFunction) {
        clearSelection()
        title = _title
        model = _model
        addFunction = _addFunction
        editFunction = _editFunction
        removeFunction = _removeFunction
        profiles = _title === qsTr("Profile management")
        open()
        addButton.forceActiveFocus()
    }
    function hide() { close() }
    function clearSelection() { currentIndex = -1 }
    function updateModel() {
        var texts = []
        for (var i = 0; i < model.length; ++i)
            texts.push(model[i] ? model[i].text : "")
        rowTexts = texts
    }

    onModelChanged: updateModel()

    iconPath: profiles ? "images/users.png" : "images/servers.png"
    onCloseClicked: hide()

    Rectangle {
        id: listFrame
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.margins: itemHeight / 2
        width: managementForm.panel.width * 0.7 - anchors.margins
        color: "#eeeeee"
        border.color: "#dddddd"
        radius: 2 * dpiRatio
        clip: true

        Flickable {
            id: listView
            anchors.fill: parent
            anchors.margins: 1
            contentHeight: rows.height
            flickableDirection: Flickable.VerticalFlick
            boundsBehavior: Flickable.StopAtBounds

            Column {
                id: rows
                width: parent.width
                Repeater {
                    model: managementForm.rowTexts
                    delegate: Rectangle {
                        objectName: "managementRow" + index
                        property bool selected: index === managementForm.currentIndex
                        width: rows.width
                        height: itemHeight
                        color: selected || rowArea.pressed ? styles.highlightColor : "white"

                        ColoredImage {
                            id: rowIcon
                            anchors.left: parent.left
                            anchors.leftMargin: parent.height * 0.15
                            anchors.verticalCenter: parent.verticalCenter
                            width: parent.height * 0.7
                            height: width
                            imagePath: managementForm.profiles ? "images/user.png" : "images/server.png"
                            // Drawn as it is: tinted white it vanishes on the white row.
                            colorOverlay: false
                            shadow: false
                        }
                        Text {
                            anchors.left: rowIcon.right
                            anchors.leftMargin: parent.height * 0.2
                            anchors.right: parent.right
                            anchors.rightMargin: parent.height * 0.2
                            anchors.top: parent.top
                            anchors.bottom: parent.bottom
                            anchors.margins: parent.height * 0.15
                            verticalAlignment: Text.AlignVCenter
                            text: modelData
                            textFormat: Text.PlainText
                            font.pointSize: 14
                            fontSizeMode: Text.VerticalFit
                            elide: Text.ElideRight
                            color: parent.selected || rowArea.pressed ? "white" : "#555555"
                        }
                        MouseArea {
                            id: rowArea
                            anchors.fill: parent
                            onClicked: managementForm.currentIndex = index
                            onDoubleClicked: managementForm.editFunction(index)
                        }
                    }
                }
            }
        }
        ScrollBar { flickable: listView }
    }

    Column {
        id: buttons
        anchors.left: listFrame.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: itemHeight / 2
        spacing: itemHeight / 2 * 0.3

        CustomButton {
            id: addButton
            objectName: "managementAddButton"
            width: parent.width
            height: 0.8 * itemHeight
            buttonText: qsTr("Add")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.addFunction()
        }
        CustomButton {
            objectName: "managementEditButton"
            width: parent.width
            height: 0.8 * itemHeight
            buttonText: qsTr("Edit")
            enabled: managementForm.currentIndex >= 0
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.editFunction(managementForm.currentIndex)
        }
        CustomButton {
            objectName: "managementRemoveButton"
            width: parent.width
            height: 0.8 * itemHeight
            buttonText: qsTr("Remove")
            enabled: managementForm.currentIndex >= 0
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.removeFunction(managementForm.currentIndex)
        }
    }

    Column {
        anchors.left: listFrame.right
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: itemHeight / 2
        spacing: itemHeight / 2 * 0.3

        CustomButton {
            objectName: "managementWizardButton"
            visible: managementForm.profiles
            width: parent.width
            height: 0.8 * itemHeight
            buttonText: qsTr("Wizard")
            activeFocusOnTab: visible
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: {
                managementForm.hide()
                wizardForm.show()
            }
        }
        CustomButton {
            objectName: "managementCloseButton"
            width: parent.width
            height: 0.8 * itemHeight
            buttonText: qsTr("Close")
            activeFocusOnTab: true
            Keys.onReturnPressed: clicked()
            Keys.onSpacePressed: clicked()
            onClicked: managementForm.hide()
        }
    }
}
