import QtQuick 2.15
import "../controls"
import "../scripts/text.js" as TextRules

// The recipient field: one chip per recipient, a chip's text editable in
// place, and a free-text field for the address being typed.
Item {
    id: field

    // The text of the editor in use: a chip's editor or the free text.
    readonly property string currentText: editingIndex >= 0 && editorFocus ? editText
                                          : freeField.inputFocus ? freeField.text : ""
    readonly property real currentTextX: editingIndex >= 0 && editorFocus ? editorX : freeField.x + flow.x
    readonly property real contentHeight: flow.height
    readonly property alias count: recipients.count
    readonly property alias freeText: freeField.text
    property bool replyToAllVisible: false
    property int editingIndex: -1
    property string editText: ""
    property bool editorFocus: false
    property real editorX: 0
    // The suggestion list that Down, Up, Return and Tab work while it shows.
    property Item suggestions: null
    readonly property real spacing: 10 * dpiRatio
    readonly property real inset: recipients.count > 0 ? 10 * dpiRatio : 0

    signal replyButtonClicked()
    signal edited()

    function clear() {
        editingIndex = -1
        recipients.clear()
        freeField.text = ""
        replyToAllVisible = false
    }

    // The row of a chip with that address (case does not matter), or -1.
    function chipOf(email) {
        for (var i = 0; i < recipients.count; ++i) {
            if (recipients.get(i).email.toLowerCase() === String(email).toLowerCase())
                return i
        }
        return -1
    }

    // A recipient named twice is kept once. cc: the chip goes to Cc.
    function addChip(name, email, cc) {
        if (chipOf(email) >= 0)
            return
        recipients.append({ "name": name, "email": email, "cc": cc === true })
        edited()
    }

    function contactChosen(name, email) {
        if (editingIndex >= 0) {
            var index = editingIndex
            editingIndex = -1
            recipients.setProperty(index, "email", "")
            if (chipOf(email) < 0)
                recipients.set(index, { "name": name, "email": email, "cc": recipients.get(index).cc })
            else
                recipients.remove(index)
            freeField.setFocus()
        } else {
            freeField.text = ""
            addChip(name, email)
        }
        edited()
    }

    function entries(cc) {
        var list = []
        for (var i = 0; i < recipients.count; ++i) {
            var r = recipients.get(i)
            if (r.cc === cc)
                list.push({ address: r.email, name: r.name ? r.name : "" })
        }
        return list
    }

    // {address, name} per To chip, then what is typed.
    function addresses() {
        var list = entries(false)
        var typed = TextRules.parseRecipients(freeField.text).recipients
        for (var i = 0; i < typed.length; ++i) {
            if (chipOf(typed[i].email) < 0)
                list.push({ address: typed[i].email, name: typed[i].name })
        }
        return list
    }

    function copyAddresses() { return entries(true) }

    // What cannot be sent as it stands, as the user wrote it.
    function invalidEntries() {
        var list = []
        for (var i = 0; i < recipients.count; ++i) {
            if (!TextRules.isValidAddress(recipients.get(i).email))
                list.push(recipients.get(i).email)
        }
        return list.concat(TextRules.parseRecipients(freeField.text).invalid)
    }

    function isValid() {
        return invalidEntries().length === 0
                && recipients.count + TextRules.parseRecipients(freeField.text).recipients.length > 0
    }

    function setFocus() { freeField.setFocus() }

    function suggestionKey(event) {
        if (!suggestions || !suggestions.visible || event.modifiers & (Qt.ControlModifier | Qt.AltModifier))
            return false
        switch (event.key) {
        case Qt.Key_Down: suggestions.move(1); return true
        case Qt.Key_Up: suggestions.move(-1); return true
        case Qt.Key_Return:
        case Qt.Key_Enter:
        case Qt.Key_Tab: return suggestions.chooseCurrent()
        }
        return false
    }

    // An edit in progress counts: Send and Save read the chips right after.
    function commit() {
        if (editingIndex >= 0)
            finishEdit(editingIndex, editText)
    }

    // A malformed edit stays as written, so that sending refuses it.
    function finishEdit(index, text) {
        editingIndex = -1
        var cc = recipients.get(index).cc
        var parsed = TextRules.parseRecipients(text)
        if (parsed.invalid.length > 0) {
            recipients.set(index, { "name": "", "email": text.trim(), "cc": cc })
        } else {
            // Set in place first: the edited chip's own editor reports this.
            recipients.setProperty(index, "email", "")
            var kept = false
            for (var i = 0; i < parsed.recipients.length; ++i) {
                var r = parsed.recipients[i]
                if (chipOf(r.email) >= 0)
                    continue
                var chip = { "name": r.name, "email": r.email, "cc": cc }
                if (kept)
                    recipients.insert(++index, chip)
                else
                    recipients.set(index, chip)
                kept = true
            }
            if (!kept)
                recipients.remove(index)
        }
        edited()
    }

    // Whole entries before the last separator become chips once all of
    // them are well formed (all of a pasted list); the rest stays to be
    // typed on.
    function takeTyped(text, pasted) {
        var last = pasted ? text.length
                          : Math.max(text.lastIndexOf(","), text.lastIndexOf(";"), text.lastIndexOf("\n"))
        var parsed = last >= 0 ? TextRules.parseRecipients(text.substring(0, last)) : null
        if (parsed && parsed.invalid.length === 0 && parsed.recipients.length > 0) {
            for (var i = 0; i < parsed.recipients.length; ++i)
                addChip(parsed.recipients[i].name, parsed.recipients[i].email)
            return text.substring(last + 1).trim()
        }
        // A bare address followed by a blank is one too.
        var candidate = text.substring(0, text.length - 1).trim()
        if (text.charAt(text.length - 1) === " " && TextRules.isValidAddress(candidate)) {
            addChip("", candidate)
            return ""
        }
        return text
    }

    function updateFreeWidth() {
        if (recipients.count === 0) {
            freeField.width = flickable.width
            return
        }
        var last = chipRepeater.itemAt(recipients.count - 1)
        if (!last)
            return
        var room = flickable.width - last.x - last.width - spacing - inset
        var wasAtRowStart = freeField.x <= inset + 1
        freeField.width = room > 200 * dpiRatio ? room : flickable.width - inset
        if (!wasAtRowStart && freeField.width !== room)
            scrollToEnd.start()
    }

    ListModel { id: recipients }

    Timer {
        id: scrollToEnd
        interval: 0
        onTriggered: flickable.contentY = Math.max(0, flickable.contentHeight - flickable.height)
    }

    Flickable {
        id: flickable
        anchors.fill: parent
        contentWidth: width
        contentHeight: flow.height
        flickableDirection: Flickable.VerticalFlick
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        onWidthChanged: field.updateFreeWidth()

        Flow {
            id: flow
            x: field.inset
            width: flickable.width - field.inset
            spacing: field.spacing
            topPadding: itemHeight * 0.1
            bottomPadding: itemHeight * 0.1
            onPositioningComplete: field.updateFreeWidth()

            Repeater {
                id: chipRepeater
                model: recipients
                delegate: Item {
                    id: chip
                    objectName: "recipientChip" + index
                    readonly property bool editing: field.editingIndex === index
                    readonly property string label: (model.cc ? qsTr("Cc: ") : "")
                                                    + (model.name ? model.name : model.email)
                    width: editing ? Math.min(Math.max(face.width, editor.contentWidth + 40 * dpiRatio), flow.width)
                                   : face.width
                    height: 0.8 * itemHeight

                    Rectangle {
                        id: face
                        visible: !chip.editing
                        width: remove.x + remove.width + 10
                        height: parent.height
                        color: "#eeeeee"
                        border.color: Qt.darker(color, 1.1)
                        radius: 2 * dpiRatio

                        Text {
                            id: chipLabel
                            objectName: "chipLabel"
                            x: 5
                            anchors.top: parent.top
                            anchors.bottom: parent.bottom
                            anchors.margins: parent.height * 0.1
                            verticalAlignment: Text.AlignVCenter
                            textFormat: Text.PlainText
                            text: chip.label
                            font.pointSize: 13
                            fontSizeMode: Text.VerticalFit
                            color: "#333333"
                            MouseArea {
                                anchors.fill: parent
                                onDoubleClicked: chip.startEdit()
                            }
                        }
                        Text {
                            id: remove
                            objectName: "chipRemove"
                            x: chipLabel.x + chipLabel.contentWidth + 5
                            anchors.verticalCenter: parent.verticalCenter
                            text: "\u2716"
                            font.pixelSize: parent.height * 0.4
                            color: removeArea.pressed ? "grey" : "#333333"
                            MouseArea {
                                id: removeArea
                                anchors.fill: parent
                                anchors.margins: -5
                                onClicked: {
                                    recipients.remove(index)
                                    field.edited()
                                }
                            }
                        }
                    }

                    LineEdit {
                        id: editor
                        objectName: "chipEditor"
                        visible: chip.editing
                        anchors.fill: parent
                        showClearButton: false
                        fontSize: 13
                        accessibleName: qsTr("Recipient")
                        keyFilter: field.suggestionKey
                        onTextChanged: if (chip.editing) field.editText = text
                        onInputFocusChanged: {
                            if (chip.editing)
                                field.editorFocus = inputFocus
                            if (!inputFocus && chip.editing)
                                field.finishEdit(index, text)
                        }
                        onBackspaceClickedOnEmptyText: freeField.setFocus()
                    }

                    function startEdit() {
                        editor.text = model.name ? model.name + " <" + model.email + ">" : model.email
                        field.editText = editor.text
                        field.editingIndex = index
                        field.editorX = chip.x + flow.x
                        editor.setFocus()
                        field.editorFocus = true
                    }
                }
            }

            LineEdit {
                id: freeField
                objectName: "recipientFreeField"
                height: 0.8 * itemHeight
                showRectangles: false
                placeholderText: qsTr("To")
                keyFilter: field.suggestionKey
                inputMethodHints: Qt.ImhEmailCharactersOnly
                property int lastLength: 0
                onTextChanged: {
                    field.edited()
                    var pasted = text.length > lastLength + 1
                    var rest = field.takeTyped(text, pasted)
                    lastLength = rest.length
                    if (rest !== text)
                        text = rest
                }
                onBackspaceClickedOnEmptyText: {
                    if (recipients.count > 0) {
                        recipients.remove(recipients.count - 1)
                        field.edited()
                    }
                }

                Text {
                    id: replyAll
                    objectName: "replyToAllLink"
                    visible: field.replyToAllVisible
                    opacity: freeField.text === "" ? 1 : 0
                    anchors.right: parent.right
                    anchors.rightMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Reply to all")
                    font.pointSize: 13
                    font.underline: true
                    color: replyAllArea.pressed ? "lightgrey" : "grey"
                    MouseArea {
                        id: replyAllArea
                        anchors.fill: parent
                        enabled: replyAll.opacity === 1
                        cursorShape: Qt.PointingHandCursor
                        onClicked: {
                            field.replyToAllVisible = false
                            field.replyButtonClicked()
                        }
                    }
                }
            }
        }
    }
}
