// Account flows of the settings forms. Runs in the context of the form that
// imports it; the server flows come along, since the profile form creates
// servers too.
Qt.include("server.js")

function checkProfileForm(ignoreIndex) {
    return checkUniqueField(profileForm, profileForm.email.trim(), mailProfileManager.profiles, "email",
                            ignoreIndex, qsTr("Email cannot be empty!"),
                            qsTr("Profile with this email already exist!"))
}

function chosenServer(addresses, index) {
    if (index < 0 || index >= addresses.length)
        return null
    return getServerByAddress(addresses[index])
}

function onAddProfile() {
    profileForm.currentInServerIndex = 0
    profileForm.currentOutServerIndex = 0
    profileForm.show(qsTr("Add profile"), "", "", getServerAddressesByType(INCOMING_TYPE),
                     getServerAddressesByType(OUTGOING_TYPE), onAddProfileConfirm)
}

function onAddProfileConfirm() {
    if (!checkProfileForm(-1))
        return
    mailProfileManager.addProfile(profileForm.name, profileForm.email.trim(),
                                  chosenServer(profileForm.inServersModel, profileForm.currentInServerIndex),
                                  chosenServer(profileForm.outServersModel, profileForm.currentOutServerIndex))
}

function onEditProfile(index) {
    var profile = mailProfileManager.profiles[index]
    if (!profile)
        return
    var incoming = getServerAddressesByType(INCOMING_TYPE)
    var outgoing = getServerAddressesByType(OUTGOING_TYPE)
    profileForm.currentInServerIndex = profile.incomingServerStr === "" ? -1 : incoming.indexOf(profile.incomingServerStr)
    profileForm.currentOutServerIndex = profile.outgoingServerStr === "" ? -1 : outgoing.indexOf(profile.outgoingServerStr)
    profileForm.show(qsTr("Edit profile"), profile.name, profile.email, incoming, outgoing,
                     function() { onEditProfileConfirm(index) })
}

function onEditProfileConfirm(index) {
    if (!checkProfileForm(index))
        return
    mailProfileManager.changeProfile(index, profileForm.name, profileForm.email.trim(),
                                     chosenServer(profileForm.inServersModel, profileForm.currentInServerIndex),
                                     chosenServer(profileForm.outServersModel, profileForm.currentOutServerIndex))
    // The list reads its row texts only when its model is set.
    managementForm.updateModel()
}

function onRemoveProfile(index) {
    var profile = mailProfileManager.profiles[index]
    if (profile)
        confirmRemoval(qsTr("Are you really want to delete profile ") + profile.email + "?",
                       function() { mailProfileManager.removeProfile(index) })
}
