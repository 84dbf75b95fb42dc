#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include <initializer_list>

// Any thread. Writing message files so that a file is either absent or
// complete and on disk under its final name, and the list fields of a stored
// message read from its header alone.
namespace MessageFiles {

struct Pending {
    QString fileName;   // "<base name>.eml" in the target directory
    QByteArray content;
};

// Files written in two steps, so that one batch can be made durable while
// the next is written: first every file under a temporary name, then, in
// commit(), all of them made durable together, renamed into place and the
// directory made durable. Files written before a failure are removed again,
// as is a batch never committed, so a failure leaves nothing that looks
// received.
class DurableBatch
{
public:
    DurableBatch(const QString &directory, const QVector<Pending> &files);
    ~DurableBatch();
    DurableBatch(const DurableBatch &) = delete;
    DurableBatch &operator=(const DurableBatch &) = delete;

    // False, with the reason in error(), when the batch is not in place.
    bool commit();
    // Removes what the batch wrote.
    void discard();
    QString error() const { return m_error; }

private:
    QString m_directory;
    QVector<QByteArray> m_names;
    QString m_error;
    int m_dir = -1;
    int m_renamed = 0;
};

// Both steps at once. Returns false with the reason in *error.
bool writeDurably(const QString &directory, const QVector<Pending> &files, QString *error);
bool writeDurably(const QString &directory, const Pending &file, QString *error);

// Makes the directory's entries (renames, removals) durable.
bool syncDirectory(const QString &directory);

// Writes small state (a progress mark) atomically and durably: the old
// content or the new one survives any crash, never a mix.
bool replaceDurably(const QString &path, const QByteArray &content);
bool removeDurably(const QString &path);

// Name suffix of the temporary files; what a crash leaves under such a name
// is removed when the store starts.
inline const char *temporarySuffix() { return ".part"; }

// The names of the regular files in the directory that end with the
// suffix, in no order; empty when it cannot be read. One pass over the
// entries without a status call per file, which a folder of many thousand
// letters would feel at every start.
QStringList fileNames(const QString &directory, const QString &suffix);

// The same names as the file system holds them, in one block, each ended by
// a null byte: a folder of a hundred thousand files in two allocations.
struct NameBlock {
    QByteArray bytes;
    QVector<int> starts;
    int size() const { return starts.size(); }
    const char *name(int i) const { return bytes.constData() + starts.at(i); }
};
NameBlock encodedFileNames(const QString &directory, const QString &suffix);

// The fields of a header named by one of names (lower case), with their
// continuation lines, in their order, up to the blank line that ends it.
QByteArray headerFields(const QByteArray &header, std::initializer_list<const char *> names);

// The received message as the server holds it: transport framing undone
// (POP3 byte-stuffing), every line ended by CR LF.
QByteArray withCrlf(const QByteArray &content);

} // namespace MessageFiles

// What the folder list shows of a message, read from its header only.
struct ListFields {
    QString id;         // Message-ID without angle brackets; empty when absent
    QString from;
    QString subject;
    QDateTime date;     // UTC; invalid when absent or unreadable
    QString recipients; // To and Cc as "Name <address>", comma-separated

    // Plain headers, which nearly all mail has, are read directly; anything
    // else by the mail library.
    static ListFields fromMessage(const QByteArray &content);
    // The fields as the mail library reads them from a block that
    // MessageFiles::headerFields() gave; what the direct reading must match.
    static ListFields fromHeaderFields(const QByteArray &fields);
    // The few rules both readings share.
    static QString mailboxText(const QString &name, const QString &address);
    static QDateTime utcDate(int year, int month, int day, int hour, int minute, int second,
                             int zoneMinutes);
};

// A message that the worker thread has written to the Incoming folder.
struct StoredMessage {
    int number = 0;     // its number on the server in this check
    QString id;
    ListFields fields;
};
using StoredMessages = QVector<StoredMessage>;
Q_DECLARE_METATYPE(StoredMessages)
