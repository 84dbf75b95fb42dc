#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Any thread.
// The words of a message file that a search finds it by: the list fields,
// the names of its attachments and the text of every body, as far as the
// parser reads the message (a message beyond the parser's limits gives what
// it gives within them).
struct LetterWords {
    QString subject;
    QString sender;
    QString recipients;
    QString attachments;
    QString body;
    QDateTime date; // invalid when the message has none

    static LetterWords fromMessage(const QByteArray &content);
};
