import QtQuick 2.15

// Opens the compose form for "mailto:" links handed to the program, once
// the window is up and whenever another one arrives.
Item {
    id: requests

    // The handler comes from the desktop integration; the window works
    // without it.
    readonly property var handler: typeof mailtoHandler !== "undefined" ? mailtoHandler : null
    // A letter needs an account to go from.
    property bool hasAccount: false
    property Item messageForm: null
    // Gives the compose form, made now if it was not yet.
    property var composeForm: null

    function take() {
        if (!handler)
            return
        var request = handler.takeRequest()
        if (!request || request.recipients === undefined)
            return
        if (!hasAccount) {
            messageForm.show(qsTr("Create an account first: the letter can be written once you have one."), false)
            return
        }
        var compose = composeForm()
        // An unfinished letter is never replaced without the user's word.
        if (compose.changed) {
            messageForm.show(qsTr("A mail link asks for a new letter. Save the unfinished letter into drafts and start the new one?"),
                             true, function() {
                                 compose.saveToDrafts()
                                 requests.fill(compose, request)
                             }, null,
                             { okText: qsTr("Save and start"), cancelText: qsTr("Keep writing") })
            return
        }
        fill(compose, request)
    }

    function fill(compose, request) {
        compose.showNew()
        var recipients = request.recipients || []
        for (var i = 0; i < recipients.length; ++i)
            compose.addRecipient("", recipients[i])
        compose.setSubjectAndBody(request.subject || "", request.body || "")
    }

    Connections {
        target: requests.handler
        ignoreUnknownSignals: true
        function onComposeRequested() { requests.take() }
    }

    // After the scene and its forms are complete.
    Timer {
        interval: 0
        running: true
        onTriggered: requests.take()
    }
}
