#pragma once

#include <QByteArray>

// Letters a stranger can send to exhaust a mail reader. Each has the subject
// "hostile", one text part saying "first part", and what makes it hostile
// after it.
namespace HostileMail {
// Multiparts inside one another, each with a text part "level <n>"; the
// delimiter line that opens each ends in the tail (the parser takes "--b-x"
// as a delimiter of "b").
QByteArray nested(int levels, const QByteArray &delimiterTail = QByteArray());
// As many parts after the text part, attachments "p<n>.bin".
QByteArray manyParts(int parts);
// Header fields of about this many bytes after the Subject.
QByteArray hugeHeader(int bytes);
// One body line of this many bytes after the text.
QByteArray hugeLine(int bytes);
// An HTML part showing one inline picture this many times by "cid:".
QByteArray cidAmplified(int references);
// A letter of about this many bytes, most of them one attachment "big.bin".
QByteArray large(int bytes);
}
