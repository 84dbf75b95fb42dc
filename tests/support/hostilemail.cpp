#include "hostilemail.h"

namespace {

QByteArray head(const QByteArray &boundary)
{
    return "From: stranger@hostile.test\r\nTo: reader@corpus.test\r\nMessage-ID: <"
            + boundary + "@hostile.test>\r\nMIME-Version: 1.0\r\n"
                         "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
}

QByteArray textPart(const QByteArray &boundary, const QByteArray &text)
{
    return "--" + boundary + "\r\nContent-Type: text/plain\r\n\r\n" + text + "\r\n";
}

// The shape of every case: a header, the text part, then the hostile parts.
QByteArray letter(const QByteArray &boundary, const QByteArray &fields, const QByteArray &parts)
{
    return head(boundary) + "Subject: hostile\r\n" + fields + "\r\n" + textPart(boundary, "first part")
            + parts + "--" + boundary + "--\r\n";
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / 38 + 2);
    for (int i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + "\r\n";
    return lines;
}

} // namespace

namespace HostileMail {

QByteArray nested(int levels, const QByteArray &delimiterTail)
{
    QByteArray opening;
    QByteArray closing;
    for (int level = 1; level < levels; ++level) {
        const QByteArray boundary = "n" + QByteArray::number(level);
        opening += "--n" + QByteArray::number(level - 1) + delimiterTail
                + "\r\nContent-Type: multipart/mixed; boundary=\""
                + boundary + "\"\r\n\r\n" + textPart(boundary, "level " + QByteArray::number(level));
        closing.prepend("--" + boundary + "--\r\n");
    }
    return letter("n0", QByteArray(), opening + closing);
}

QByteArray manyParts(int parts)
{
    QByteArray body;
    for (int n = 1; n < parts; ++n)
        body += "--m\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
                "filename=\"p" + QByteArray::number(n) + ".bin\"\r\n\r\nxx\r\n";
    return letter("m", QByteArray(), body);
}

QByteArray hugeHeader(int bytes)
{
    QByteArray fields;
    fields.reserve(bytes + 100);
    for (int n = 0; fields.size() < bytes; ++n)
        fields += "X-Filler-" + QByteArray::number(n) + ": " + QByteArray(60, 'h') + "\r\n";
    return letter("h", fields, QByteArray());
}

QByteArray hugeLine(int bytes)
{
    // Ending in a colon: a link search that starts over at every letter of
    // a word takes quadratic time on it.
    return letter("l", QByteArray(), textPart("l", QByteArray(bytes, 'l') + ":"));
}

QByteArray cidAmplified(int references)
{
    QByteArray html = "<p>picture:";
    for (int n = 0; n < references; ++n)
        html += "<img src=\"cid:pic@hostile.test\">";
    html += "</p>";
    // 64 KB of picture bytes: enough that copies per use would show.
    QByteArray picture(64 * 1024, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char((i * 2654435761u) >> 11);
    picture.replace(0, 8, QByteArray::fromHex("89504e470d0a1a0a"));
    return letter("c", QByteArray(),
                  "--c\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
                  "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n"
                  "--r\r\nContent-Type: image/png\r\nContent-ID: <pic@hostile.test>\r\n"
                  "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(picture) + "--r--\r\n");
}

QByteArray large(int bytes)
{
    QByteArray data(bytes / 4 * 3, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 2654435761u) >> 13);
    return letter("g", QByteArray(),
                  "--g\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
                  "filename=\"big.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(data));
}

} // namespace HostileMail
