#pragma once

#include "model/folderrows.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVector>

#include <utility>

// Thread: any.
// A binary copy of what the first bytes of a folder index file say, beside
// the index ("<index>.cache"), so that a folder of a hundred thousand
// letters starts without parsing the text: only what was appended to the
// index since the copy was made is parsed, and the copy's texts are shown
// in place (FolderRows). The index stays the file that counts; the copy is
// used only while those bytes are unchanged and its own checksum holds, and
// is made again otherwise. The index is not even read while it is the very
// file the copy was made of (same size, modification time and inode): the
// index is only ever appended to or replaced as a whole.
namespace FolderIndexCache {

// A sub-group of "mail": its name and the values of the index's keys, in
// the order the index reads them (invalid where the group lacks a key).
using Group = std::pair<QString, QVector<QVariant>>;

// Which file an index was when it was read.
struct Stamp {
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds
    quint64 inode = 0;
    bool operator==(const Stamp &other) const
    {
        return size == other.size && modified == other.modified && inode == other.inode;
    }
    // The file open as fd, or at path; an invalid stamp (size -1) when it
    // cannot be told.
    static Stamp of(int fd);
    static Stamp of(const QString &path);
};

// The whole index file, and its stamp after the read (null when missing).
QByteArray readIndex(const QString &indexPath, Stamp *stamp);

QString pathFor(const QString &indexPath);

// A copy that matches its index: the index's bytes beyond what it covers,
// and its groups, walked in name order.
class Copy
{
public:
    // A value of a group as the copy keeps it.
    struct Value {
        enum Kind : quint8 { Invalid, Text, DateTime, Other } kind = Invalid;
        FolderRows::Text text;
        FolderRows::Date date;
    };

    // Opens the copy of the index at indexPath: false when it is missing,
    // damaged or made of other bytes. Reads the index as far as needed: all
    // of it goes to *index (and its stamp to *indexStamp) unless its stamp
    // shows it unchanged; *tail gets what the copy does not cover.
    bool open(const QString &indexPath, int keyCount, QByteArray *index, Stamp *indexStamp, QByteArray *tail);
    const QByteArray &content() const { return m_content; }
    int sections() const { return m_sections; }
    int groupCount() const { return m_count; }

    // Steps to the next group; false after the last one or on damage.
    bool next();
    bool ok() const { return m_ok; }
    QStringView name() const;
    FolderRows::Text nameText() const { return m_name; }
    const Value &value(int key) const { return m_values.at(key); }
    // The group with every value made; for the few that need it.
    Group group() const;

private:
    QByteArray m_content;
    int m_keyCount = 0;
    int m_sections = 0;
    int m_count = 0;
    int m_read = 0;
    int m_at = 0;
    bool m_ok = false;
    FolderRows::Text m_name;
    QVector<Value> m_values;
    QVector<std::pair<int, int>> m_other; // where each Other value's bytes are
};

// Keeps `groups` (sorted by name) as what the whole of `data` says, the
// index as `stamp` found it. Replaces the copy atomically; a failure is
// logged and changes nothing.
bool write(const QString &indexPath, const QByteArray &data, const Stamp &stamp, const QVector<Group> &groups,
           int sections);

} // namespace FolderIndexCache
