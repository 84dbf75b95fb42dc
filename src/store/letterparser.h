#pragma once

#include <QString>

#include <vmime/vmime.hpp>

class Letter;
class QObject;

// Thread: parse() any, the rest main (used by Cache::loadLetter).
// Turns a parsed message into the recipients, attachments and body texts of
// a letter.
class LetterParser
{
public:
    // The message in a file's content, bounded by MessageBounds first; an
    // empty message when the library refuses it.
    static vmime::shared_ptr<vmime::message> parse(const QByteArray &content);

    // Appends the message's To recipients (groups opened), its attachments
    // (new Attachment objects with attachmentParent as parent) and one body
    // per kept text part to the letter. A plain part directly followed by its
    // HTML version is replaced by the HTML version.
    static void fill(Letter *letter, const vmime::shared_ptr<const vmime::message> &message,
                     QObject *attachmentParent);

    // Makes the web, mail and file addresses of a plain text clickable. When
    // at least one link is made the text becomes rich text: line feeds turn
    // into "<br>" and the rest of the text is escaped so that it shows as
    // written. A text without links is returned unchanged.
    static QString makeLinks(const QString &text);

    // The message with a blank line put where its header runs into the
    // body without one.
    static QByteArray withHeaderEnd(const QByteArray &content);

    // A text part's content, decoded and converted to Unicode. A charset that
    // cannot be converted leaves the bytes as UTF-8 when they are valid
    // UTF-8, else as Latin-1, so the text still shows.
    static QString partText(const vmime::textPart &part);
};
