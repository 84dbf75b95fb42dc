import QtQuick 2.3

// The number picker; it is left only through OK.
ModalForm {
    id: spinPathBoxForm

    property var selectFunction: null
    property bool processValueOnChange: false
    readonly property alias currentValue: spinPathBox.currentValue

    function show(minValue, maxValue, curVal, _selectFunction) {
        spinPathBox.minValue = minValue
        spinPathBox.maxValue = maxValue
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

        CustomButton {
            id: okButton
            objectName: "okButton"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 10
            width: Math.min(panel.width / 2, 200 * dpiRatio)
            height: 0.8 * root.itemHeight
            buttonText: qsTr("OK")
            onClicked: spinPathBoxForm.accept()
        }
    }
}
