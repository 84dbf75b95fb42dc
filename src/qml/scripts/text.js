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

// A letter's To list (Recipient values) for the forward header, as
// escaped rich text.
function formatToList(toList) {
    var out = []
    for (var i = 0; i < toList.length; ++i)
        out.push(escapeHtml(toList[i].text))
    return out.join(", ")
}

// One recipient as typed: "Name <address>", "\"Name\" <address>",
// "<address>" or a bare address; null when it is not well formed. Nothing is
// guessed or repaired: "Ann <ann@x.com" is refused, not read as ann@x.co.
function parseRecipient(entry) {
    var text = String(entry).trim()
    var name = ""
    var email = text
    var angled = /^(.*?)\s*<([^<>\s]+)>$/.exec(text)
    if (angled) {
        name = angled[1].trim()
        email = angled[2]
        var quoted = /^"(.*)"$/.exec(name)
        if (quoted)
            name = quoted[1].replace(/\\(.)/g, "$1")
        else if (/["<>]/.test(name))
            return null
    } else if (/["<>]/.test(text)) {
        return null
    }
    return isValidAddress(email) ? { name: name, email: email } : null
}

// A typed or pasted list: entries separated by commas, semicolons or line
// breaks (not inside quotes or angle brackets), with or without names.
// {recipients: [{name, email}], invalid: [entry text]}, in order.
function parseRecipients(text) {
    var entries = []
    var current = ""
    var quoted = false
    var angled = false
    text = String(text)
    for (var i = 0; i < text.length; ++i) {
        var c = text.charAt(i)
        if (c === '"' && !angled)
            quoted = !quoted
        else if (c === "<" && !quoted)
            angled = true
        else if (c === ">" && !quoted)
            angled = false
        if (!quoted && !angled && /[,;\r\n]/.test(c)) {
            entries.push(current)
            current = ""
        } else {
            current += c
        }
    }
    entries.push(current)
    var result = { recipients: [], invalid: [] }
    for (var j = 0; j < entries.length; ++j) {
        if (entries[j].trim() === "")
            continue
        var r = parseRecipient(entries[j])
        if (r)
            result.recipients.push(r)
        else
            result.invalid.push(entries[j].trim())
    }
    return result
}

// The subject of a reply ("Re: ") or forward ("Fwd: "): one prefix, however
// many of the same kind the subject had ("Re:", "RE:", "Aw:"; "Fwd:", "Fw:").
function prefixedSubject(prefix, subject) {
    var same = prefix === "Re: " ? /^\s*(re|aw)\s*(\[\d+\])?\s*:\s*/i : /^\s*(fwd?)\s*(\[\d+\])?\s*:\s*/i
    var text = String(subject)
    while (same.test(text))
        text = text.replace(same, "")
    return prefix + text
}
