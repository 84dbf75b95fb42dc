#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// Any thread.
// Writes the header fields that carry what the user typed (subject and
// display names) as 7-bit lines folded within 78 characters. Text beyond
// ASCII, or text that would read as an encoded word, goes into RFC 2047
// encoded words in UTF-8 that hold the blanks too, so that every reader
// gives back the text as typed. The mail library's own writer loses or
// doubles blanks next to encoded words and at folds, and writes encoded
// words longer than the 75 characters that RFC 2047 allows.
class HeaderWriter
{
public:
    using Mailbox = QPair<QString, QString>; // display name, address

    // "Name: text" with its CRLF.
    static QByteArray unstructured(const QByteArray &name, const QString &text);
    // "Name: mailbox, mailbox" with its CRLF; display names quoted or
    // encoded as RFC 5322 and RFC 2047 want them.
    static QByteArray mailboxes(const QByteArray &name, const QList<Mailbox> &list);
    // A generated message with those fields of its header (keyed by their
    // lower-case names) replaced by the given lines, in their places.
    static QByteArray replaceFields(const QByteArray &message, const QMap<QByteArray, QByteArray> &fields);
};
