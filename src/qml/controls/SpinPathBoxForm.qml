import QtQuick 2.15

// The number picker: OK takes the number, Cancel and Escape keep the one
// there was.
ModalForm {
    id: spinPathBoxForm

    property var selectFunction: null
    property bool processValueOnChange: false
    readonly property alias currentValue: spinPathBox.currentValue
    property int initialValue: 0

    function show(minValue, maxValue, curVal, _selectFunction) {
        spinPathBox.minValue = minValue
        spinPathBox.maxValue = maxValue
        initialValue = curVal
        spinPathBox.init(curVal)
        selectFunction = typeof _selectFunction === "function" ? _selectFunction : null
        processValueOnChange = false
        spinPathBox.forceActiveFocus()
        opacity = 1
    }
    function accept() {
        var f = selectFunction
        var value = spinPathBox.currentValue
        hide()
        if (f)
            f(value)
    }
    // A picker that applied each change as it came puts the first value back.
    function cancel() {
        var f = processValueOnChange ? selectFunction : null
        hide()
        if (f && spinPathBox.currentValue !== initialValue)
            f(initialValue)
    }

    FormPanel {
        id: panel
        objectName: "panel"
        anchors.fill: parent
        anchors.leftMargin: 0.25 * spinPathBoxForm.width
        anchors.rightMargin: 0.25 * spinPathBoxForm.width
        anchors.topMargin: 0.15 * spinPathBoxForm.height
        anchors.bottomMargin: 0.15 * spinPathBoxForm.height

        SpinPathBox {
            id: spinPathBox
            objectName: "spinPathBox"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: okButton.top
            anchors.margins: 10
            focus: true
            onCurrentValueChanged: {
                if (spinPathBoxForm.processValueOnChange && spinPathBoxForm.selectFunction)
                    spinPathBoxForm.selectFunction(currentValue)
            }
        }

        Row {
            id: okButton
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 10
            spacing: 10
            height: 0.8 * itemHeight

            CustomButton {
                objectName: "okButton"
                width: Math.min(panel.width / 2 - 15, 200 * dpiRatio)
                height: parent.height
                buttonText: qsTr("OK")
                activeFocusOnTab: true
                Keys.onReturnPressed: clicked()
                Keys.onSpacePressed: clicked()
                onClicked: spinPathBoxForm.accept()
            }
            CustomButton {
                objectName: "cancelButton"
                width: Math.min(panel.width / 2 - 15, 200 * dpiRatio)
                height: parent.height
                buttonText: qsTr("Cancel")
                activeFocusOnTab: true
                Keys.onReturnPressed: clicked()
                Keys.onSpacePressed: clicked()
                onClicked: spinPathBoxForm.cancel()
            }
        }
    }
}
