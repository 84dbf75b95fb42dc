#pragma once

#include "net/messagehandle.h"

#include <QByteArray>
#include <QDir>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>

#include <vmime/vmime.hpp>

class Letter;

// Thread: main.
// The account's local mail store: one message file per letter in five folder
// directories under ~/.drel-mail/<account address>/, the decision which
// server messages are new, filing, moving and removing letters, and parsing a
// message file into a full letter. Every change is announced to the folder
// models through the signals below.
class Cache : public QObject
{
    Q_OBJECT

public:
    Cache(QString accountAddress, QString incomingServerText, QObject *parent = nullptr);

    // Files a letter that the client made (a draft, a sent copy) in a folder,
    // as the message Connection::toVmimeMessage() builds from it. False when
    // nothing was filed (building or writing failed; writeFailed() is emitted
    // for a write failure).
    bool saveLetterToFolder(Letter *letter, int folder);

    // The parsed content of a message file; an empty message when the file
    // is missing or unreadable.
    vmime::shared_ptr<vmime::message> readMessageFile(int folder, const QString &id) const;

    // File names (message file base name followed by ".eml") that count as
    // already received: those in Incoming, Archive and Trash at start-up,
    // those listed in "fully-removed", and every message received since.
    bool isKnownMessageFile(const QString &fileName) const;
    const QSet<QString> &knownMessageFiles() const { return m_knownMessageFiles; }

    // "Incoming", "Drafts", "Sent", "Archive", "Trash"; anything else is Incoming.
    static QString folderName(int folder);
    // The account's directory: ~/.drel-mail/<account address>.
    QString accountPath() const;
    // The absolute path of a folder's directory; anything but 1 to 4 is Incoming.
    QString folderPath(int folder) const;
    // Where the folder's index file lives: <account directory>/<folder name
    // in lower case>.conf.
    QString indexPath(int folder) const;
    QString messageFilePath(int folder, const QString &id) const;

    QString accountAddress() const { return m_accountAddress; }
    QString incomingServerText() const { return m_incomingServerText; }

signals:
    void getNewMail(int index);
    void seenLetter(Letter *letter);
    void lettersRecieved();
    void deleteMessageFromServer(int number);

    void newIncomingLetter(Letter *letter);
    void newDraftLetter(Letter *letter);
    void newSentLetter(Letter *letter);
    void newArchiveLetter(Letter *letter);
    void newTrashLetter(Letter *letter);

    void removeIncomingLetter(int index);
    void removeDraftLetter(int index);
    void removeSentLetter(int index);
    void removeArchiveLetter(int index);
    void removeTrashLetter(int index);

    // A message could not be stored: its file could not be written (disk
    // full, no permission), or a server message could not be read through
    // its handle. The text is meant for the user. Nothing was announced for
    // that message, and it does not count as received. When it happens in
    // onNewMessage() the mail check stops here: neither getNewMail() nor
    // lettersRecieved() follows, so the connection side must end the check
    // and show the text; the next check fetches the message again.
    void writeFailed(const QString &message);

public slots:
    void loadLetter(Letter *letter, int folder);
    void onNewMessageId(int index, QString id);
    void onNewMessage(vmime::shared_ptr<vmime::net::message> msg);
    void archiveMessage(QString id, int index, int folder, Letter *letter);
    void deleteMessage(QString id, int index, int folder, Letter *letter);
    void restoreMessage(QString id, int index, Letter *letter);

private:
    void initFolders();
    // Writes a message file completely under a temporary name and renames it
    // into place, so a crash never leaves a truncated file that counts as
    // received. Emits writeFailed() and returns false on failure.
    bool writeMessageFile(int folder, const QString &id, const QByteArray &content,
                          const char *operation);
    // Files a letter in a folder: copies its existing message file from
    // sourceFolder when there is one (so nothing of the original is lost),
    // otherwise builds the message from the letter.
    bool fileLetter(Letter *letter, int sourceFolder, const QString &sourceId, int folder);
    bool announceFiledLetter(const vmime::shared_ptr<vmime::message> &message, Letter *source,
                             int folder);
    void removeMessageFile(const QString &id, int folder, bool forget);
    void appendFullyRemoved(const QString &fileName);
    void emitNewLetter(int folder, Letter *letter);
    void emitRemoveLetter(int folder, int index);
    Letter *letterFromHeader(const vmime::shared_ptr<const vmime::header> &header);
    static QString newClientId();

    QString m_accountAddress;
    QString m_incomingServerText;
    std::array<QDir, 5> m_folders;
    QSet<QString> m_knownMessageFiles;
    // The last message announced by the server side: its number and id, so
    // that a message without a Message-ID is stored under the id that the
    // next check will compare with.
    int m_announcedNumber = -1;
    QString m_announcedId;

    // A check that ends early (connection lost, error, the program killed)
    // has stored the newest messages; the next check would meet them first
    // and stop, never reaching the older new ones. The file
    // "interrupted-check" in the account directory names the oldest message
    // that the unfinished check stored; the next check walks past held
    // messages until it has passed that one, and only then stops at the
    // first held message again.
    QString interruptedCheckPath() const;
    void loadInterruptedCheck();
    void rememberStoredInCheck(const QString &fileName);
    void finishCheck();
    QString m_resumeAfter;        // file name from "interrupted-check"; empty when none
    bool m_resumePassed = false;  // this check has walked past m_resumeAfter
    int m_expectedNumber = -1;    // the number this store asked for last; -1 none
};
