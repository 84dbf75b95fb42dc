// Server flows of the settings forms, and attaching the stored servers to
// the accounts. Runs in the context of the component that imports it: the
// names it uses (mailServerManager, serverForm, messageForm, ...) are that
// component's properties or ids.

// The server manager's enum values (stored in the settings: they do not move).
var INCOMING_TYPE = 0
var OUTGOING_TYPE = 1
var POP3 = 0
var IMAP = 1
var SMTP = 2
var AUTO_SSL = 0
var AUTO_AUTH = 0
var NO_AUTH = 1

function getServerAddressesByType(type) {
    var addresses = []
    var servers = mailServerManager.servers
    for (var i = 0; i < servers.length; ++i) {
        if (servers[i].type === type)
            addresses.push(servers[i].address)
    }
    return addresses
}

function getServerByAddress(address) {
    var servers = mailServerManager.servers
    for (var i = 0; i < servers.length; ++i) {
        if (servers[i].address === address)
            return servers[i]
    }
    return null
}

function initProfilesWithServers() {
    var profiles = mailProfileManager.profiles
    for (var i = 0; i < profiles.length; ++i) {
        var profile = profiles[i]
        if (profile.incomingServerStr !== "") {
            profile.setIncomingServer(getServerByAddress(profile.incomingServerStr))
            if (i === mailProfileManager.currentProfile)
                profile.queryIncomingMail()
        }
        if (profile.outgoingServerStr !== "")
            profile.setOutgoingServer(getServerByAddress(profile.outgoingServerStr))
    }
}

// Refuses an empty value, or one that an item other than the one at
// ignoreIndex has under that key, with a message, and brings the form back
// with what the user typed. The server and the account forms share it.
function checkUniqueField(form, value, items, key, ignoreIndex, emptyText, takenText) {
    var problem = value === "" ? emptyText : ""
    for (var i = 0; problem === "" && i < items.length; ++i) {
        if (i !== ignoreIndex && items[i][key] === value)
            problem = takenText
    }
    if (problem === "")
        return true
    form.reopen()
    messageForm.show(problem, false)
    return false
}

function checkServerForm(ignoreIndex) {
    return checkUniqueField(serverForm, serverForm.address.trim(), mailServerManager.servers, "address",
                            ignoreIndex, qsTr("Address cannot be empty!"),
                            qsTr("Server with this address already exist!"))
}

function onAddServer() {
    serverForm.currentTypeIndex = INCOMING_TYPE
    serverForm.currentProtocolIndex = POP3
    serverForm.currentAuthIndex = AUTO_AUTH
    serverForm.currentConnIndex = AUTO_SSL
    serverForm.show(qsTr("Add server"), "", onAddServerConfirm)
}

function onAddServerConfirm() {
    if (!checkServerForm(-1))
        return
    var address = serverForm.address.trim()
    var type = serverForm.currentTypeIndex
    mailServerManager.addServer(type, serverForm.currentProtocolIndex, serverForm.currentConnIndex,
                                serverForm.currentAuthIndex, address)
    if (profileForm.shown)
        profileForm.addServerAddress(type === INCOMING_TYPE, address)
}

function onEditServer(index) {
    var server = mailServerManager.servers[index]
    if (!server)
        return
    serverForm.currentTypeIndex = server.type
    serverForm.currentProtocolIndex = server.protocol
    serverForm.currentConnIndex = server.ssl
    serverForm.currentAuthIndex = server.auth
    serverForm.show(qsTr("Edit server"), server.address, function() { onEditServerConfirm(index) })
}

function onEditServerConfirm(index) {
    if (!checkServerForm(index))
        return
    mailServerManager.changeServer(index, serverForm.currentTypeIndex, serverForm.currentProtocolIndex,
                                   serverForm.currentConnIndex, serverForm.currentAuthIndex,
                                   serverForm.address.trim())
    managementForm.updateModel()
}

// Removing asks first; after a yes the item goes, and the list's selection
// with it. The server and the account lists share it.
function confirmRemoval(question, remove) {
    messageForm.show(question, true, function() {
        remove()
        managementForm.clearSelection()
    })
}

function onRemoveServer(index) {
    var server = mailServerManager.servers[index]
    if (server)
        confirmRemoval(qsTr("Are you really want to delete server ") + server.address + "?",
                       function() { mailServerManager.removeServer(index) })
}
