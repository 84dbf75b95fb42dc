#pragma once

#include "model/folderindexcache.h"
#include "model/folderrows.h"
#include "model/inireader.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <utility>

// Thread: main (read() on any).
// The index file of one folder: an INI file as QSettings writes it, with
// group "mail" and one sub-group per letter ("from", "subject", "date",
// "letterType", "folderType"; entries with "removed" or "archived" true are
// skipped). Any QSettings reader sees the index exactly as it stands after
// every change, and every change is in the file at once.
//
// Rewriting the whole file on each change would make a change cost time in
// proportion to the folder's size. Instead a change is appended as a short
// "[mail]" section of its own, encoded exactly as QSettings encodes it: QSettings reads
// repeated sections as one group and takes the last value of a repeated
// key. A removal appends "removed=true". Once the appended sections outgrow
// the entries, the file is rewritten compactly and atomically, so a change
// costs amortised constant time.
class FolderIndex
{
public:
    using Entry = FolderEntry;

    // What reading the file found: the entries that are shown, and what the
    // object needs to know of the rest to append and compact later.
    struct Contents {
        FolderRows rows;
        QSet<QString> removed;
        int appended = 0;
        int groups = 0;
        // Set when the file's cache covered too little of it: what to keep
        // in a new one (writeCache()).
        QByteArray cacheData;
        FolderIndexCache::Stamp cacheStamp;
        QVector<FolderIndexCache::Group> cacheGroups;
        int cacheSections = 0;
    };

    explicit FolderIndex(QString path);

    // The entries that are shown: all but those marked removed or archived.
    QVector<Entry> load();
    // The same, read through QSettings itself (load() falls back to it for
    // files that its own reader does not cover).
    QVector<Entry> loadWithSettings();

    // load() in two steps: read() touches nothing but the file and may run
    // on any thread, as long as no change is appended meanwhile; take()
    // makes what it found this object's state.
    static Contents read(const QString &path);
    void take(const Contents &contents);
    // Keeps what read() found in the file's cache when it asked for that;
    // any thread, best after the entries are shown.
    static void writeCache(const QString &path, const Contents &contents);

    bool addEntry(const Entry &entry);
    bool setLetterType(const QString &id, int letterType);
    bool removeEntry(const QString &id);

    // Rewrites the file without the appended sections and without the
    // entries removed through this object. Entries that were already marked
    // removed or archived by someone else stay as they are.
    bool compact();

    QString path() const { return m_path; }
    int appendedSections() const { return m_appended; }

    // The sub-group name of a letter id: the id itself, or, for an id that
    // QSettings cannot keep as one group name (empty, or with "/" or "\"),
    // the name of its message file, with the id kept under the key "id".
    static QString groupName(const QString &id);

private:
    using Values = QVector<std::pair<QString, QVariant>>;
    // Added and removed entries need no flush to the disk: after a power
    // cut the folder's load puts them right from the message files.
    bool append(const QString &id, const Values &values, bool durable = false);
    static Contents readWithSettings(const QString &path);
    // read() through a copy that covers most of the file: its rows show
    // the copy's texts in place. False when the copy turns out damaged.
    static bool readThroughCopy(FolderIndexCache::Copy *copy, const IniReader::Groups &appended,
                                Contents *contents);
    // Takes a group whose values are the plain ones this program writes
    // as a row in the copy; false, with nothing taken, for any other.
    static bool takeInCopy(const FolderIndexCache::Copy &copy, Contents *contents);
    // Takes one sub-group's values into the list (or notes it as dropped).
    static void takeEntry(const QString &group, const QVector<QVariant> &values, Contents *contents);
    void compactWhenDue();

    static QByteArray encodedSection(const QString &group, const Values &values);

    QString m_path;
    int m_appended = 0;
    int m_groups = 0;
    // Ids removed by appending "removed=true"; gone for good at compaction.
    QSet<QString> m_removed;
    // Ids added again after such a removal; they carry "removed=false".
    QSet<QString> m_readded;
};
