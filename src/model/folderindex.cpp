#include "model/folderindex.h"

#include "base/crashpoint.h"
#include "model/inireader.h"
#include "model/storelayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>
#include <memory>
#include <QtDebug>

namespace {

const QString mailGroup = QStringLiteral("mail");
// The keys of a letter's sub-group, in the order takeEntry() reads them.
enum Key { From, Subject, Date, LetterType, FolderType, Archived, Removed, Dropped, Id, KeyCount };
const QList<QByteArray> keyNames{"from", "subject", "date", "letterType", "folderType",
                                 "archived", "removed", "dropped", "id"};
const QString idKey = QStringLiteral("id");
const QString removedKey = QStringLiteral("removed");
// Marks the "removed" entries that this program wrote itself, so that a
// later compaction, also in a later run, drops them for good. Entries that
// something else marked removed stay in the file.
const QString droppedKey = QStringLiteral("dropped");

// Compaction waits for at least this many appended sections, so that small
// folders are not rewritten all the time.
const int minimumSectionsBeforeCompaction = 64;

// A private directory for the scratch files, on a memory file system where
// there is one: a scratch file only carries the encoded text of one change
// from QSettings to the index, and must not cost a disk flush. It is named
// after the process, so that a later run removes what a killed one left.
QString scratchDirectory()
{
    static QString path;
    static std::unique_ptr<QTemporaryDir> dir;
    if (!dir) {
        const QString prefix = QStringLiteral("drel-mail-index-%1-").arg(::getuid());
        QStringList bases{QStringLiteral("/dev/shm"),
                          QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")), QDir::tempPath()};
        for (const QString &base : bases) {
            if (base.isEmpty() || !QFileInfo(base).isDir() || !QFileInfo(base).isWritable())
                continue;
            const QStringList old = QDir(base).entryList({prefix + QLatin1Char('*')}, QDir::Dirs);
            for (const QString &name : old) {
                const pid_t pid = name.mid(prefix.size()).section(QLatin1Char('.'), 0, 0).toInt();
                if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
                    QDir(base + QLatin1Char('/') + name).removeRecursively();
            }
            dir = std::make_unique<QTemporaryDir>(
                    base + QLatin1Char('/') + prefix
                    + QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".XXXXXX"));
            if (dir->isValid())
                break;
            dir.reset();
        }
        path = dir ? dir->path() : QDir::tempPath();
    }
    return path;
}

} // namespace

FolderIndex::FolderIndex(QString path)
    : m_path(std::move(path))
{
    static int counter = 0;
    m_scratchPath = scratchDirectory() + QStringLiteral("/drel-mail-index-%1-%2.ini")
                            .arg(QCoreApplication::applicationPid())
                            .arg(++counter);
}

QString FolderIndex::groupName(const QString &id)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || id.contains(QLatin1Char('\\')))
        return StoreLayout::fileBaseName(id);
    return id;
}

QVector<FolderIndex::Entry> FolderIndex::load()
{
    m_removed.clear();
    m_readded.clear();
    QByteArray data;
    {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
    }
    m_appended = qMax(0, data.count("[mail]") - 1);
    IniReader::Groups groups;
    if (!IniReader::read(data, mailGroup, keyNames, &groups))
        return loadWithSettings();
    m_groups = groups.size();
    QStringList names = groups.keys();
    std::sort(names.begin(), names.end());
    QVector<Entry> entries;
    entries.reserve(names.size());
    for (const QString &name : qAsConst(names))
        takeEntry(name, groups.value(name), &entries);
    return entries;
}

QVector<FolderIndex::Entry> FolderIndex::loadWithSettings()
{
    m_removed.clear();
    m_readded.clear();
    QVector<Entry> entries;
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(mailGroup);
    const QStringList groups = settings.childGroups();
    m_groups = groups.size();
    entries.reserve(groups.size());
    for (const QString &group : groups) {
        settings.beginGroup(group);
        QVector<QVariant> values(KeyCount);
        for (int k = 0; k < KeyCount; ++k)
            values[k] = settings.value(QString::fromLatin1(keyNames.at(k)));
        settings.endGroup();
        takeEntry(group, values, &entries);
    }
    return entries;
}

void FolderIndex::takeEntry(const QString &group, const QVector<QVariant> &values,
                            QVector<Entry> *entries)
{
    const auto id = [&] {
        return values.at(Id).isValid() ? values.at(Id).toString() : group;
    };
    if (values.at(Archived).toBool() || values.at(Removed).toBool()) {
        if (values.at(Dropped).toBool())
            m_removed.insert(id());
        return;
    }
    Entry entry;
    entry.id = id();
    entry.from = values.at(From).toString();
    entry.subject = values.at(Subject).toString();
    entry.letterType = values.at(LetterType).toInt();
    entry.folderType = values.at(FolderType).toInt();
    entry.date = values.at(Date).toDateTime();
    entries->append(entry);
}

bool FolderIndex::addEntry(const Entry &entry)
{
    Values values{{QStringLiteral("from"), entry.from},
                  {QStringLiteral("subject"), entry.subject},
                  {QStringLiteral("date"), entry.date},
                  {QStringLiteral("letterType"), entry.letterType},
                  {QStringLiteral("folderType"), entry.folderType}};
    if (groupName(entry.id) != entry.id)
        values.append({idKey, entry.id});
    if (m_removed.remove(entry.id)) {
        // Its earlier "removed=true" is still in the file.
        values.append({removedKey, false});
        values.append({droppedKey, false});
        m_readded.insert(entry.id);
    } else {
        ++m_groups;
    }
    return append(entry.id, values);
}

bool FolderIndex::setLetterType(const QString &id, int letterType)
{
    return append(id, {{QStringLiteral("letterType"), letterType}});
}

bool FolderIndex::removeEntry(const QString &id)
{
    m_readded.remove(id);
    m_removed.insert(id);
    return append(id, {{removedKey, true}, {droppedKey, true}});
}

bool FolderIndex::append(const QString &id, const Values &values)
{
    QByteArray encoded;
    {
        QFile::remove(m_scratchPath);
        QSettings scratch(m_scratchPath, QSettings::IniFormat);
        scratch.beginGroup(mailGroup);
        scratch.beginGroup(groupName(id));
        for (const auto &value : values)
            scratch.setValue(value.first, value.second);
        scratch.endGroup();
        scratch.endGroup();
        scratch.sync();
        QFile file(m_scratchPath);
        if (scratch.status() != QSettings::NoError || !file.open(QIODevice::ReadOnly)) {
            qCritical() << "FolderIndex::append(): cannot encode a change in" << m_scratchPath;
            return false;
        }
        encoded = file.readAll();
    }
    QFile::remove(m_scratchPath);

    QFile index(m_path);
    if (!index.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCritical() << "FolderIndex::append(): cannot open" << m_path << index.errorString();
        return false;
    }
    // The blank line keeps the section header on a line of its own even
    // after a line that was cut short.
    const QByteArray section = '\n' + encoded;
    if (index.write(section) != section.size() || !index.flush()) {
        qCritical() << "FolderIndex::append(): cannot write" << m_path << index.errorString();
        return false;
    }
    index.close();
    crashPoint("index-appended");
    ++m_appended;
    compactWhenDue();
    return true;
}

void FolderIndex::compactWhenDue()
{
    if (m_appended >= minimumSectionsBeforeCompaction && m_appended >= m_groups)
        compact();
}

bool FolderIndex::compact()
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(mailGroup);
    for (const QString &id : qAsConst(m_removed))
        settings.remove(groupName(id));
    for (const QString &id : qAsConst(m_readded)) {
        settings.remove(groupName(id) + QLatin1Char('/') + removedKey);
        settings.remove(groupName(id) + QLatin1Char('/') + droppedKey);
    }
    const int groups = settings.childGroups().size();
    settings.endGroup();
    // QSettings only rewrites a file that it has changes for; setting a
    // value that it holds already is such a change, and the rewrite merges
    // the appended sections into one.
    const QStringList keys = settings.allKeys();
    if (!keys.isEmpty())
        settings.setValue(keys.first(), settings.value(keys.first()));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCritical() << "FolderIndex::compact(): cannot rewrite" << m_path;
        return false;
    }
    if (keys.isEmpty()) {
        // Nothing left that QSettings would write; an empty file reads the same.
        QFile index(m_path);
        if (index.open(QIODevice::WriteOnly | QIODevice::Truncate))
            index.close();
    }
    m_groups = groups;
    m_appended = 0;
    m_removed.clear();
    m_readded.clear();
    return true;
}
