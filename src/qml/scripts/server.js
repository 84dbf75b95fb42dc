// Server records as the forms and the start-up use them. Runs in the scope of
// the root scene: mailServerManager and mailProfileManager are its objects.

// The addresses of all servers of one type (MailServerManager.Type), in list order.
function getServerAddressesByType(type) {
    var addresses = []
    var servers = mailServerManager.servers
    for (var i = 0; i < servers.length; ++i) {
        if (servers[i].type === type)
            addresses.push(servers[i].address)
    }
    return addresses
}

// The first server with exactly that address, or null.
function getServerByAddress(address) {
    var servers = mailServerManager.servers
    for (var i = 0; i < servers.length; ++i) {
        if (servers[i].address === address)
            return servers[i]
    }
    return null
}

// Hands every account its stored servers and fetches mail for the current one.
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
