.pragma library
// Text rules shared by the compose form and the account wizard.

// One address as the recipient field and the wizard accept it.
function isValidAddress(text) {
    return /^\S+@\S+\.\S+$/.test(text)
}

// Text as it arrived, made safe to put into rich text: it shows exactly as
// written and can carry no markup of its own.
function escapeHtml(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
                       .replace(/"/g, "&quot;").replace(/'/g, "&#39;")
}

// "Name <address>" -> {name, email}; a bare address has no name. The last
// " <" starts the address: a name may hold one, an address cannot.
function splitSender(text) {
    var at = text.lastIndexOf(" <")
    if (at < 0)
        return { name: "", email: text }
    var rest = text.substring(at + 2)
    return { name: text.substring(0, at), email: rest.substring(0, rest.length - 1) }
}

// "address:::name" -> {name, email}
function splitRecipient(entry) {
    var parts = String(entry).split(":::")
    return { email: parts[0], name: parts.length > 1 ? parts[1] : "" }
}

// A letter's To list for the forward header, as escaped rich text.
function formatToList(toList) {
    var out = []
    for (var i = 0; i < toList.length; ++i) {
        var r = splitRecipient(toList[i])
        out.push(r.name !== "" ? escapeHtml(r.name) + " &lt;" + escapeHtml(r.email) + "&gt;"
                               : escapeHtml(r.email))
    }
    return out.join(", ")
}

// The text typed into a chip editor: "Name <address>" or a bare address.
function parseEditedRecipient(text) {
    var parts = text.split("<")
    if (parts.length === 2) {
        var address = parts[1]
        return { name: parts[0].trim(), email: address.substring(0, address.length - 1).trim() }
    }
    return { name: "", email: text }
}
