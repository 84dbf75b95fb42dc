.pragma library

// The parts of an "image://effects/..." name (see the effects image provider).

// How far a blur of the radius reaches beyond its shape.
function margin(radius) {
    return radius > 0 ? radius + 1 : 0
}

// A colour as "aarrggbb", which a URL can carry.
function hex(color) {
    var c = Qt.lighter(color, 1.0)
    function two(v) {
        var s = Math.round(v * 255).toString(16)
        return s.length < 2 ? "0" + s : s
    }
    return two(c.a) + two(c.r) + two(c.g) + two(c.b)
}

// The file behind a picture's URL, or "" when no file can be read for it.
function file(url) {
    var s = String(url)
    if (s.indexOf("qrc:") === 0)
        return ":/" + s.substring(4).replace(/^\/+/, "")
    if (s.indexOf("file://") === 0)
        return s.substring(7)
    return ""
}

// The picture tinted with the colour (none when undefined) over a shadow of
// the radius at the offset.
function icon(url, tint, radius, dx, dy) {
    var path = file(url)
    if (path === "")
        return url
    return "image://effects/icon/" + (tint === undefined ? "none" : hex(tint)) + "/" + radius + "/" + dx + "/" + dy
            + "/" + encodeURIComponent(path).replace(/%2F/g, "/")
}
