.pragma library
.import "text.js" as TextRules
// Small rules of the main window and the reading pane, kept apart from the
// items that use them.

// The folder model of a profile for a folder number (Letter.FolderType);
// null without a profile or before its folders are built.
function folderModel(profile, folder) {
    var folders = profile ? profile.folders : []
    return folders[folder] ? folders[folder] : null
}

// The letter of a row of a folder model (its "letter" role), or null.
function letterAt(model, row) {
    if (!model || row < 0 || row >= model.rowCount())
        return null
    return model.data(model.index(row, 0), 257)
}

// The profile at an index of the manager's list, or null.
function profileAt(profiles, index) {
    return index >= 0 && index < profiles.length ? profiles[index] : null
}

// The part of an e-mail address before the first at sign.
function userPart(email) {
    var at = email.indexOf("@")
    return at < 0 ? email : email.substring(0, at)
}

// Only web and mail links leave the program; file, network-share, script
// and custom links in a letter could open or run anything on this machine.
function isOpenableLink(link) {
    return /^(https?|mailto):/i.test(link)
}

function isMailtoLink(link) {
    return /^mailto:/i.test(link)
}

// One body as HTML for printing and for the compose form: a plain body is
// escaped first, so that it keeps every character and carries no markup;
// of a whole HTML document only its body goes in, and never a fragment
// mark: with one the rich-text engine keeps only the marked part of the
// reply, dropping the lines written around the quote.
function bodyAsHtml(text, html) {
    if (!html)
        return TextRules.escapeHtml(text).replace(/\r?\n/g, "<br>")
    var body = /<body[^>]*>([\s\S]*?)(<\/body>|$)/i.exec(text)
    return (body ? body[1] : text).replace(/<!--\s*(Start|End)Fragment\s*-->/gi, "")
}

// Which action of the reading pane is offered in which folder.
// Folders: 0 Incoming, 1 Drafts, 2 Sent, 3 Archive, 4 Trash.
function actionShown(action, folder) {
    switch (action) {
    case "edit": return folder === 1
    case "reply":
    case "forward":
    case "print": return folder !== 1 && folder !== 4
    case "archive": return folder === 0 || folder === 2
    case "restore": return folder === 4
    case "delete": return true
    }
    return false
}
