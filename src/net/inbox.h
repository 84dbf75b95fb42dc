#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

// Worker thread of the Connection that holds it.
// The receiving side of an Endpoint, as a mail check walks it.
class Inbox
{
public:
    virtual ~Inbox() = default;

    // Starts a check: carries out the deletions of the last one, reconnects
    // and opens the inbox. The message count, or -1 when no connection
    // could be made.
    virtual int startCheck() = 0;
    // The Message-IDs of messages low..high, newest first.
    virtual QVector<QPair<int, QString>> messageIds(int low, int high) = 0;
    // Whole messages as the server holds them, every line ended by CR LF.
    virtual QMap<int, QByteArray> contents(const QList<int> &numbers) = 0;
    // Ends the check's session: deletions are carried out, and the server
    // is not held open until the next check.
    virtual void endCheck() = 0;
};
