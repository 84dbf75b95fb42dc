import QtQuick 2.3
import QtTest 1.0
import "qrc:/qml/controls"
import "qrc:/qml"

// Stands in for the root scene: its style, its one drop-down list and its
// keys, with the combo box on the main screen.
Item {
    id: root
    width: 800
    height: 600

    Style { id: styles }

    Item {
        id: comboHost
        height: 40
        readonly property bool drawerEnabled: false
        function takeFocus() { forceActiveFocus() }
        CustomComboBox {
            id: combo
            width: comboHost.width
            dropDownList: comboBoxList
        }
    }
    SignalSpy { id: comboClicked; target: combo; signalName: "clicked" }

    Flickable {
        id: flick
        width: 200
        height: 200
        y: 300
        contentHeight: 1000
    }
    ScrollBar { id: scrollBar; flickable: flick }

    MessageForm { id: messageForm }
    LineEditForm { id: lineEditForm }
    SpinPathBoxForm { id: spinPathBoxForm }
    ComboBoxList { id: comboBoxList }
    KeyboardShortcuts {
        mailList: comboHost
        header: comboHost
        mail: comboHost
        folderList: comboHost
        comboBoxList: comboBoxList
        lineEditForm: lineEditForm
        messageForm: messageForm
        spinPathBoxForm: spinPathBoxForm
    }

    function names(n) {
        var list = []
        for (var i = 0; i < n; ++i)
            list.push("entry " + i)
        return list
    }
    // The box with three entries, the first current, where the list has room.
    function placeCombo() {
        comboHost.x = 20
        comboHost.y = 60
        comboHost.width = 200
        combo.model = ["a", "b", "c"]
        combo.currentIndex = 0
    }

    TestCase {
        name: "ComboBoxList"
        when: windowShown

        function init() {
            comboBoxList.close()
            comboClicked.clear()
            combo.disableMap = []
            combo.buttonText = ""
        }

        // The face is inset by 5 px: a host at (x, y), w wide has it at (x + 5, y + 5), w - 10 wide, 30 high.
        function test_placement_data() {
            return [
                { tag: "room enough: under the face, as wide as it",
                  x: 20, y: 60, width: 100, entries: 3, button: "",
                  listX: 25, listY: 96, listWidth: 90, listHeight: 150 },
                { tag: "right edge: ends 2 px before the window's edge; bottom cuts a long list",
                  x: 750, y: 400, width: 100, entries: 20, button: "More",
                  listX: 708, listY: 436, listWidth: 90, listHeight: 164 },
                { tag: "bottom edge: no row fits below, opens above the face",
                  x: 20, y: 560, width: 100, entries: 3, button: "",
                  listX: 25, listY: 415, listWidth: 90, listHeight: 150 }
            ]
        }
        function test_placement(data) {
            comboHost.x = data.x
            comboHost.y = data.y
            comboHost.width = data.width
            combo.model = names(data.entries)
            combo.buttonText = data.button
            mouseClick(combo)
            verify(comboBoxList.visible && combo.opened)
            compare([comboBoxList.listX, comboBoxList.listY, comboBoxList.listWidth, comboBoxList.listHeight],
                    [data.listX, data.listY, data.listWidth, data.listHeight])
            var listView = findChild(comboBoxList, "listView")
            compare(listView.count, data.entries)
            // The whole list can be reached by scrolling.
            verify(listView.contentHeight >= data.entries * itemHeight)
            mouseClick(root, 400, 5)
            verify(!comboBoxList.visible && !combo.opened)
        }

        function test_choice_data() {
            return [
                { tag: "disabled entry cannot be chosen", row: 1, index: 0, emitted: 0 },
                { tag: "current entry closes without a signal", row: 0, index: 0, emitted: 0 },
                { tag: "other entry is chosen", row: 2, index: 2, emitted: 1 }
            ]
        }
        function test_choice(data) {
            placeCombo()
            combo.disableMap = [[1, function () { return true }], [2, function () { return false }]]
            mouseClick(combo)
            var row = findChild(comboBoxList, "row" + data.row)
            if (data.row === 1)
                compare(String(findChild(row, "rowLabel").color), "#808080")
            mouseClick(row)
            // A click on a disabled entry does nothing; the list stays open.
            compare(comboBoxList.visible, data.row === 1)
            compare(combo.currentIndex, data.index)
            compare(comboClicked.count, data.emitted)
            if (data.emitted) {
                compare(comboClicked.signalArguments[0][0], "c")
                compare(comboClicked.signalArguments[0][1], 2)
            }
        }
    }

    TestCase {
        name: "ComboBoxKeys"
        when: windowShown

        function cleanup() {
            comboBoxList.close()
            comboClicked.clear()
        }

        // Opened, moved through and chosen with the keys; the keys come back
        // to the box.
        function test_keys_data() {
            return [
                { tag: "Space opens, Return chooses", open: Qt.Key_Space, index: 1, emitted: 1 },
                { tag: "Return opens", open: Qt.Key_Return, index: 1, emitted: 1 },
                { tag: "Alt+Down opens", open: Qt.Key_Down, modifiers: Qt.AltModifier, index: 1, emitted: 1 },
                { tag: "Escape closes without a choice", open: Qt.Key_Space, close: Qt.Key_Escape, index: 0,
                  emitted: 0 }
            ]
        }
        function test_keys(data) {
            placeCombo()
            combo.forceActiveFocus()
            verify(findChild(combo, "focusFrame").visible)
            keyClick(data.open, data.modifiers || Qt.NoModifier)
            verify(comboBoxList.visible)
            keyClick(Qt.Key_Down)
            keyClick(data.close || Qt.Key_Return)
            verify(!comboBoxList.visible)
            compare(combo.currentIndex, data.index)
            compare(comboClicked.count, data.emitted)
            verify(combo.activeFocus)
        }
    }

    TestCase {
        name: "MessageForm"
        when: windowShown

        function cleanup() {
            messageForm.hide()
            tryCompare(messageForm, "visible", false)
        }

        // Messages queue: each question gets its own answer in turn, and an
        // error that comes while one is open waits behind it.
        function test_messagesQueue_data() {
            return [
                { tag: "OK answers the first, then the second", buttons: ["okButton", "okButton"],
                  expected: "select1,select2" },
                { tag: "Cancel refuses the first only", buttons: ["cancelButton", "okButton"],
                  expected: "cancel1,select2" },
                { tag: "close refuses the first only", buttons: ["closeButton", "cancelButton"],
                  expected: "cancel1,cancel2" },
                { tag: "an error waits its turn", error: true,
                  buttons: ["okButton", "okButton", "cancelButton"], expected: "select1,cancel2" },
                { tag: "the same error again waits once", error: true, repeated: true,
                  buttons: ["okButton", "okButton", "okButton"], expected: "select1,select2" }
            ]
        }
        function test_messagesQueue(data) {
            var log = []
            messageForm.show("first", true, function () { log.push("select1") },
                             function () { log.push("cancel1") },
                             { title: "Certificate verification", okText: "Yes" })
            var shown = [["first", "Certificate verification", "Yes"]]
            if (data.error) {
                for (var n = data.repeated ? 2 : 1; n > 0; --n)
                    messageForm.show("error", false, null, null, { title: "Error" })
                shown.push(["error", "Error", "OK"])
            }
            messageForm.show("second", true, function () { log.push("select2") },
                             function () { log.push("cancel2") })
            shown.push(["second", "Warning", "OK"])
            for (var i = 0; i < shown.length; ++i) {
                compare([findChild(messageForm, "message").text, messageForm.title, messageForm.okText],
                        shown[i])
                tryCompare(messageForm, "enabled", true)
                mouseClick(findChild(messageForm, data.buttons[i]))
            }
            compare(log.join(), data.expected)
            tryCompare(messageForm, "visible", false)
        }

        // A form on its way out must not take the click meant for what lies
        // below it; opened again before the fade took a step, as a quick user
        // does from the form below, it must take input again.
        function test_hidingTakesNoInputUntilReopened() {
            messageForm.show("first", true)
            tryCompare(messageForm, "enabled", true)
            messageForm.hide()
            verify(!messageForm.enabled)
            messageForm.show("again", true)
            tryCompare(messageForm, "enabled", true)
        }

        // A reaction that asks the next question must leave that question shown.
        function test_reactionShowsNextQuestion() {
            var log = []
            messageForm.show("first", true, function () {
                messageForm.show("next", true, function () { log.push("next") })
            })
            tryCompare(messageForm, "enabled", true)
            mouseClick(findChild(messageForm, "okButton"))
            wait(400) // longer than a fade
            compare(messageForm.opacity, 1)
            compare(findChild(messageForm, "message").text, "next")
            mouseClick(findChild(messageForm, "okButton"))
            compare(log.join(), "next")
        }
    }

    TestCase {
        name: "LineEditForm"
        when: windowShown

        function test_answer_data() {
            return [
                { tag: "close without cancel delivers the typed text", button: "closeButton",
                  expected: "ok:secret" },
                { tag: "close with cancel runs only the cancel", button: "closeButton", cancel: true,
                  expected: "cancel" },
                { tag: "OK delivers the typed text", button: "okButton", cancel: true,
                  expected: "ok:secret" },
                { tag: "Return delivers the typed text", cancel: true, expected: "ok:secret" }
            ]
        }
        function test_answer(data) {
            var log = []
            lineEditForm.show("Input password", "", function (text) { log.push("ok:" + text) },
                              data.cancel ? function () { log.push("cancel") } : undefined)
            lineEditForm.echoMode = TextInput.Password
            compare(lineEditForm.checkBoxOn, true)
            // Typing right after the fade-in must reach the field.
            tryCompare(lineEditForm, "enabled", true)
            var text = "secret"
            for (var i = 0; i < text.length; ++i)
                keyClick(text.charAt(i))
            if (data.button)
                mouseClick(findChild(lineEditForm, data.button))
            else
                keyClick(Qt.Key_Return)
            compare(log.join(), data.expected)
            tryCompare(lineEditForm, "visible", false)
        }
    }

    TestCase {
        name: "SpinPathBoxForm"
        when: windowShown

        function test_bounds_data() {
            return [
                { tag: "10 to 9999", min: 10, max: 10000, current: 300, count: 9990, value: 300 },
                { tag: "1 to 100", min: 1, max: 101, current: 100, count: 100, value: 100 },
                { tag: "below the range", min: 10, max: 10000, current: 5, count: 9990, value: 10 },
                { tag: "above the range", min: 10, max: 10000, current: 20000, count: 9990, value: 9999 },
                { tag: "Cancel keeps the value", min: 1, max: 101, current: 100, count: 100, value: 100,
                  cancel: true }
            ]
        }
        function test_bounds(data) {
            var chosen = []
            spinPathBoxForm.show(data.min, data.max, data.current, function (v) { chosen.push(v) })
            var spin = findChild(spinPathBoxForm, "spinPathBox")
            compare(findChild(spin, "pathView").count, data.count)
            compare(spin.currentValue, data.value)
            tryCompare(spinPathBoxForm, "enabled", true)

            // The track's ends reach the first and the last value.
            var track = findChild(spin, "track")
            mouseClick(track, track.width / 2, track.height - 1)
            compare(spin.currentValue, data.max - 1)
            mouseClick(track, track.width / 2, 1)
            compare(spin.currentValue, data.min)
            keyClick(Qt.Key_Down)
            compare(spin.currentValue, data.min + 1)

            mouseClick(findChild(spinPathBoxForm, data.cancel ? "cancelButton" : "okButton"))
            compare(chosen, data.cancel ? [] : [data.min + 1])
            tryCompare(spinPathBoxForm, "visible", false)
        }
    }

    TestCase {
        name: "ScrollBar"
        when: windowShown

        // Track 198 px (1 px margins), handle 39.6 px (a fifth), so 158.4 px of travel for 800 px of content.
        function test_followsContent_data() {
            return [
                { tag: "middle", contentY: 400, handleY: 79.2 },
                { tag: "bottom", contentY: 800, handleY: 158.4 }
            ]
        }
        function test_followsContent(data) {
            flick.contentY = data.contentY
            fuzzyCompare(findChild(scrollBar, "handle").y, data.handleY, 0.01)
        }

        function test_dragMovesContent() {
            flick.contentY = 0
            var handle = findChild(scrollBar, "handle")
            mousePress(handle, 5, 5)
            for (var dy = 5; dy <= 60; dy += 5)
                mouseMove(handle, 5, 5 + dy)
            mouseRelease(handle, 5, 5 + 60)
            verify(handle.y > 0)
            fuzzyCompare(flick.contentY, handle.y * 800 / 158.4, 0.5)
        }
    }
}
