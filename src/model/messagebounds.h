#pragma once

#include <QByteArray>

class QFile;

// Any thread.
// Keeps what a sender controls in a message within what the mail library can
// parse in bounded stack, time and memory. The library's MIME parser recurses
// once per multipart level on the caller's stack and takes time and memory in
// proportion to parts and header bytes, so a message is bounded here, before
// the library sees it; the stored file itself is never changed.
class MessageBounds
{
public:
    // The mail stores larger letters no further than this; also the largest
    // message a server may send us. Generous for real mail (providers refuse
    // 25-50 MB), and a parse of it stays within seconds and a few hundred MB.
    static constexpr int MaxSize = 50 * 1024 * 1024;
    // Real letters nest a few levels (a forwarded letter with alternative and
    // related parts is about 5). 5,000 levels overflowed a thread's 8 MB of
    // stack (so 64 take a few hundred KB, also under the sanitizers), and
    // each level makes the parser search the rest of the message again.
    static constexpr int MaxDepth = 64;
    // The parser takes about 0.2 ms per part, the window one row per
    // attachment; letters with more than a few hundred parts are not written
    // by people.
    static constexpr int MaxParts = 1000;
    // One header block (the message's or a part's). Long Received chains and
    // signatures stay below 100 KB; the parser takes about 0.6 s per MB of
    // header fields, so 256 KB keeps even the list reading a new letter quick.
    static constexpr int MaxHeaderSize = 256 * 1024;

    // A message file's content up to MaxSize. QIODevice::read() would set
    // MaxSize aside for every letter first.
    static QByteArray readFile(QFile &file);

    // The message's own header block, up to MaxHeaderSize (ending at a line
    // end), for listing a letter without parsing its body.
    static QByteArray headerBlock(const QByteArray &content);

    // The message as the parser may see it: at most MaxSize bytes; header
    // fields past MaxHeaderSize left out; multiparts nested deeper than
    // MaxDepth, or whose boundary cannot be read unambiguously, turned into
    // one opaque part each (offered as an attachment holding their raw
    // parts); parts past MaxParts, or past a part header larger than
    // MaxHeaderSize, given together as one raw attachment.
    static QByteArray forParser(const QByteArray &content);

    // The name of the attachment that holds the parts left out.
    static const char *remainingPartsName() { return "remaining-parts"; }
};
