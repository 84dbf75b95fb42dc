#pragma once

#include "model/messagefiles.h"
#include "model/storelayout.h"

#include <QByteArray>
#include <QDir>
#include <QFuture>
#include <QObject>
#include <QMap>
#include <QSet>
#include <QVector>
#include <QString>

#include <array>

#include <vmime/vmime.hpp>

class Letter;

// Thread: main.
// The account's local mail store: one message file per letter in five folder
// directories under ~/.drel-mail/<account address>/, filing, moving and
// removing letters, and parsing a message file into a full letter. Every
// change is announced to the folder models through the signals below. What a
// mail check fetches is MailCheck's to decide; the worker writes the files,
// and the check hands each stored letter here to be listed.
class Cache : public QObject
{
    Q_OBJECT

public:
    Cache(QString accountAddress, QString incomingServerText, QObject *parent = nullptr);
    // Waits for the scan of the folders: it removes the leftovers of cut-short
    // writes, and must not outlive this store to meet the next one's writes.
    ~Cache() override;

    // Files a letter that the client made (a draft, a sent copy) in a folder,
    // as the message MessageBuilder::toVmimeMessage() builds from it. False when
    // nothing was filed (building or writing failed; writeFailed() is emitted
    // for a write failure).
    bool saveLetterToFolder(Letter *letter, int folder);
    // Files a generated message (a letter as it was sent) in a folder, under
    // its Message-ID; letter gives what the list shows beyond the header.
    bool fileMessage(const QByteArray &content, Letter *letter, int folder);
    // Removes a message file of the client's own (a draft that has been
    // sent or saved again elsewhere) without a copy in Trash.
    void discardMessage(const QString &id, int folder);

    // The parsed content of a message file; an empty message when the file
    // is missing or unreadable.
    vmime::shared_ptr<vmime::message> readMessageFile(int folder, const QString &id) const;
    // Any thread: reads and parses a message file; an empty message when
    // the file is missing or cannot be parsed.
    static vmime::shared_ptr<vmime::message> parseMessageFile(const QString &path);

    // File names (message file base name followed by ".eml") that count as
    // already received: those in Incoming, Archive and Trash at start-up,
    // those listed in "fully-removed", and every message received since.
    bool isKnownMessageFile(const QString &fileName) const;
    // The message's file is in place in Incoming, Archive or Trash, whole
    // and durable: the store holds it, whatever the server does with it.
    bool holdsMessageFile(const QString &fileName) const;
    // A received message whose file the worker has made durable in Incoming:
    // from now on it is known, and it is listed.
    void listReceived(const ListFields &fields, const QString &id);

    // This account's places as StoreLayout names them.
    QString accountPath() const { return StoreLayout::accountPath(m_accountAddress); }
    QString folderPath(int folder) const { return StoreLayout::folderPath(m_accountAddress, folder); }
    QString indexPath(int folder) const { return StoreLayout::indexPath(m_accountAddress, folder); }
    QString messageFilePath(int folder, const QString &id) const;

    QString accountAddress() const { return m_accountAddress; }
    QString incomingServerText() const { return m_incomingServerText; }
    // The id of a letter made here: the time in milliseconds, unique within the program.
    static QString newClientId();

signals:
    void seenLetter(Letter *letter);

    // A letter's file is in place in folder (a Letter::FolderType); the
    // letter is the store's child.
    void letterFiled(int folder, Letter *letter);
    // The file of that id has left folder (moved, removed, discarded).
    void letterRemoved(int folder, const QString &id);

    // A file could not be written (disk full, no permission). The text is
    // meant for the user. Nothing was announced for it.
    void writeFailed(const QString &message);
    // The letter's message file is missing or cannot be parsed; path names it.
    void letterUnreadable(Letter *letter, const QString &path);

public slots:
    // Reads and parses the letter's message on a worker thread, so a large
    // letter or a slow disk never holds up the window, then fills the letter
    // here and announces its fields; parsed() turns true then.
    // markSeen false shows a letter of Incoming without taking its unseen
    // mark: the one that takes the place of a deleted letter is not read yet.
    void loadLetter(Letter *letter, int folder, bool markSeen = true);
    // Marks a letter of Incoming seen or unseen.
    void setLetterSeen(Letter *letter, bool seen);
    // The moves are false when the letter stayed where it was. id names
    // the letter's file in folder; letter null removes it for good.
    bool archiveMessage(const QString &id, int folder, Letter *letter);
    bool deleteMessage(const QString &id, int folder, Letter *letter);
    bool restoreMessage(const QString &id, Letter *letter);
    // Takes back an archive or delete: moves the letter of that id from
    // folder to target.
    bool returnMessage(const QString &id, int folder, int target, Letter *letter);

private:
    void initFolders();
    // Writes a message file completely and durably under a temporary name
    // and renames it into place, so a file under a message name is always
    // whole. Emits writeFailed() and returns false on failure.
    bool writeMessageFile(int folder, const QString &id, const QByteArray &content,
                          const char *operation);
    // Files a letter in a folder: copies its existing message file from
    // sourceFolder when there is one (so nothing of the original is lost),
    // otherwise builds the message from the letter.
    bool fileLetter(Letter *letter, int sourceFolder, const QString &sourceId, int folder);
    // Lists a letter whose file is now in place in folder; in Trash it
    // remembers origin, the folder it came from.
    void announceFiledLetter(const QByteArray &content, const QString &id, bool withAttachment,
                             int origin, int folder);
    void removeMessageFile(const QString &id, int folder, bool forget);
    void appendFullyRemoved(const QString &fileName);
    void showLetter(Letter *letter, int folder, const vmime::shared_ptr<vmime::message> &message,
                    bool markSeen);
    Letter *listLetter(const ListFields &fields, const QString &id);

    QString m_accountAddress;
    QString m_incomingServerText;
    std::array<QDir, 5> m_folders;
    // The folders are scanned on a worker thread, so that a store of many
    // thousand letters does not hold up the window; whatever needs the
    // names or writes a message file waits for the scan first.
    static QSet<QString> scanFolders(const QString &accountPath, const QStringList &folderPaths);
    void settleScan() const;
    mutable QFuture<QSet<QString>> m_scan;
    mutable bool m_scanning = false;
    mutable QSet<QString> m_knownMessageFiles;
};
