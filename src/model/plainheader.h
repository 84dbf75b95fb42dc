#pragma once

#include <QByteArray>

struct ListFields;

// Any thread.
// Reads the list fields of a header in the plain form that nearly all mail
// has (ASCII, no encoded words, comments, groups or escapes) directly, in a
// few microseconds and a few allocations; the mail library takes tens of
// microseconds for the same six fields, and every received, indexed or
// rescanned letter pays it. Whatever it cannot read exactly as the library
// does, it refuses, and the library reads that header.
class PlainHeader
{
public:
    // fields: a block that MessageFiles::headerFields() gave. False, with
    // *listed unchanged, when the header is not plain.
    static bool read(const QByteArray &fields, ListFields *listed);
};
