#include "model/folderindex.h"

#include "base/crashpoint.h"
#include "model/inireader.h"
#include "model/storelayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDataStream>
#include <QSettings>

#include <algorithm>
#include <unistd.h>
#include <memory>
#include <QtDebug>

namespace {

const QString mailGroup = QStringLiteral("mail");
// The keys of a letter's sub-group, in the order takeEntry() reads them.
// "to" came later: older files lack it, and older readers pass over it.
enum Key { From, Subject, Date, LetterType, FolderType, Archived, Removed, Dropped, Id, To, KeyCount };
const QList<QByteArray> keyNames{"from", "subject", "date", "letterType", "folderType",
                                 "archived", "removed", "dropped", "id", "to"};
const QString idKey = QStringLiteral("id");
const QString removedKey = QStringLiteral("removed");
// Marks the "removed" entries that this program wrote itself, so that a
// later compaction, also in a later run, drops them for good. Entries that
// something else marked removed stay in the file.
const QString droppedKey = QStringLiteral("dropped");

// Compaction waits for at least this many appended sections, so that small
// folders are not rewritten all the time.
const int minimumSectionsBeforeCompaction = 64;

// QSettings' INI encoding of a key: letters, digits, "_", "-" and "." as
// they are, "/" as "\", everything else as a %-escape.
QByteArray escapedKey(const QString &key)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray result;
    result.reserve(key.size());
    for (const QChar c : key) {
        ushort ch = c.unicode();
        if (ch == '/') {
            result += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')
                   || ch == '_' || ch == '-' || ch == '.') {
            result += char(ch);
        } else if (ch <= 0xFF) {
            result += '%';
            result += hex[ch / 16];
            result += hex[ch % 16];
        } else {
            result += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                result += hex[(ch >> shift) & 0xF];
        }
    }
    return result;
}

// QSettings' INI encoding of a string value (without a text codec).
QByteArray escapedString(const QString &text)
{
    QByteArray result;
    result.reserve(text.size() + 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const QChar c : text) {
        const ushort ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && ch < 0x80 && isxdigit(ch)) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0': result += "\\0"; escapeNextIfDigit = true; break;
        case '\a': result += "\\a"; break;
        case '\b': result += "\\b"; break;
        case '\f': result += "\\f"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\v': result += "\\v"; break;
        case '"':
        case '\\': result += '\\'; result += char(ch); break;
        default:
            if (ch <= 0x1F || ch >= 0x7F) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                result += char(ch);
            }
        }
    }
    if (needsQuotes || result.startsWith(' ') || result.endsWith(' '))
        result = '"' + result + '"';
    return result;
}

QString variantText(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
        return QString::number(value.toInt());
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.contains(QChar::Null))
            return QStringLiteral("@String(") + text + QLatin1Char(')');
        return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    }
    case QMetaType::QDateTime: {
        QByteArray bytes;
        {
            QDataStream stream(&bytes, QIODevice::WriteOnly);
            stream.setVersion(QDataStream::Qt_5_6);
            stream << value;
        }
        return QStringLiteral("@DateTime(") + QString::fromLatin1(bytes.constData(), bytes.size())
                + QLatin1Char(')');
    }
    default:
        return value.toString();
    }
}

} // namespace

FolderIndex::FolderIndex(QString path)
    : m_path(std::move(path))
{
}

QByteArray FolderIndex::encodedSection(const QString &group, const Values &values)
{
    // Exactly what QSettings writes for these values in a file of its own,
    // made here: going through QSettings costs a file per change.
    Values sorted = values;
    std::sort(sorted.begin(), sorted.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QByteArray section;
    section.reserve(512);
    section += "[" + mailGroup.toLatin1() + "]\n";
    const QByteArray prefix = escapedKey(group) + '\\';
    for (const auto &value : qAsConst(sorted))
        section += prefix + escapedKey(value.first) + '=' + escapedString(variantText(value.second)) + '\n';
    return section;
}

QString FolderIndex::groupName(const QString &id)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || id.contains(QLatin1Char('\\')))
        return StoreLayout::fileBaseName(id);
    return id;
}

QVector<FolderIndex::Entry> FolderIndex::load()
{
    const Contents contents = read(m_path);
    take(contents);
    return contents.rows.entries();
}

QVector<FolderIndex::Entry> FolderIndex::loadWithSettings()
{
    const Contents contents = readWithSettings(m_path);
    take(contents);
    return contents.rows.entries();
}

void FolderIndex::take(const Contents &contents)
{
    m_removed = contents.removed;
    m_readded.clear();
    m_appended = contents.appended;
    m_groups = contents.groups;
}

FolderIndex::Contents FolderIndex::read(const QString &path)
{
    // Only what was appended since the cache was made is parsed.
    QByteArray data;
    QByteArray tail;
    FolderIndexCache::Stamp stamp;
    FolderIndexCache::Copy copy;
    const bool cached = copy.open(path, KeyCount, &data, &stamp, &tail);
    if (!cached) {
        if (data.isNull())
            data = FolderIndexCache::readIndex(path, &stamp);
        tail = data;
    }
    IniReader::Groups appended;
    if (!IniReader::read(tail, mailGroup, keyNames, &appended)) {
        Contents contents = readWithSettings(path);
        contents.appended = qMax(0, data.count("[mail]") - 1);
        return contents;
    }
    const int sections = (cached ? copy.sections() : 0) + tail.count("[mail]");
    // A cache that leaves much to parse is made again.
    if (cached && tail.size() <= data.size() / 8) {
        Contents contents;
        if (readThroughCopy(&copy, appended, &contents)) {
            contents.appended = qMax(0, sections - 1);
            return contents;
        }
        return readWithSettings(path);
    }

    const auto byName = [](const FolderIndexCache::Group &a, const FolderIndexCache::Group &b) {
        return a.first < b.first;
    };
    QVector<FolderIndexCache::Group> groups;
    if (cached) {
        groups.reserve(copy.groupCount());
        while (copy.next())
            groups.append(copy.group());
        if (!copy.ok())
            return readWithSettings(path);
    }
    QVector<FolderIndexCache::Group> added;
    for (auto it = appended.cbegin(); it != appended.cend(); ++it) {
        const FolderIndexCache::Group group(it.key(), it.value());
        const auto known = std::lower_bound(groups.begin(), groups.end(), group, byName);
        if (known == groups.end() || known->first != group.first) {
            added.append(group);
            continue;
        }
        // The last value of a key wins.
        for (int k = 0; k < KeyCount; ++k) {
            if (group.second.at(k).isValid())
                known->second[k] = group.second.at(k);
        }
    }
    std::sort(added.begin(), added.end(), byName);
    const int before = groups.size();
    groups.append(added);
    std::inplace_merge(groups.begin(), groups.begin() + before, groups.end(), byName);

    Contents contents;
    contents.appended = qMax(0, sections - 1);
    contents.groups = groups.size();
    contents.rows.reserve(groups.size());
    for (const FolderIndexCache::Group &group : qAsConst(groups))
        takeEntry(group.first, group.second, &contents);
    contents.cacheData = data;
    contents.cacheStamp = stamp;
    contents.cacheGroups = std::move(groups);
    contents.cacheSections = sections;
    return contents;
}

bool FolderIndex::readThroughCopy(FolderIndexCache::Copy *copy, const IniReader::Groups &appended,
                                  Contents *contents)
{
    // The groups appended since, met in the copy's order (by name).
    QVector<FolderIndexCache::Group> added;
    added.reserve(appended.size());
    for (auto it = appended.cbegin(); it != appended.cend(); ++it)
        added.append({it.key(), it.value()});
    std::sort(added.begin(), added.end(),
              [](const FolderIndexCache::Group &a, const FolderIndexCache::Group &b) { return a.first < b.first; });
    auto next = added.cbegin();
    contents->rows.setCopy(copy->content());
    contents->rows.reserve(copy->groupCount() + added.size());
    int groups = 0;
    while (copy->next()) {
        const QStringView name = copy->name();
        for (; next != added.cend() && QStringView(next->first).compare(name) < 0; ++next, ++groups)
            takeEntry(next->first, next->second, contents);
        ++groups;
        if (next != added.cend() && QStringView(next->first).compare(name) == 0) {
            // The last value of a key wins.
            FolderIndexCache::Group group = copy->group();
            for (int k = 0; k < KeyCount; ++k) {
                if (next->second.at(k).isValid())
                    group.second[k] = next->second.at(k);
            }
            takeEntry(group.first, group.second, contents);
            ++next;
        } else if (!takeInCopy(*copy, contents)) {
            const FolderIndexCache::Group group = copy->group();
            takeEntry(group.first, group.second, contents);
        }
    }
    if (!copy->ok())
        return false;
    for (; next != added.cend(); ++next, ++groups)
        takeEntry(next->first, next->second, contents);
    contents->groups = groups;
    return true;
}

bool FolderIndex::takeInCopy(const FolderIndexCache::Copy &copy, Contents *contents)
{
    using Value = FolderIndexCache::Copy::Value;
    // Hidden entries, and values that QVariant would convert, go the
    // general way.
    if (copy.value(Archived).kind != Value::Invalid || copy.value(Removed).kind != Value::Invalid)
        return false;
    const auto text = [&copy](int key, FolderRows::Text *text) {
        const Value &value = copy.value(key);
        *text = value.kind == Value::Text ? value.text : FolderRows::Text();
        return value.kind == Value::Text || value.kind == Value::Invalid;
    };
    const auto number = [&copy](int key, int *number) {
        const Value &value = copy.value(key);
        *number = 0;
        if (value.kind == Value::Invalid)
            return true;
        const QStringView digits(reinterpret_cast<const QChar *>(copy.content().constData() + value.text.offset),
                                 qsizetype(value.text.size));
        if (value.kind != Value::Text || digits.isEmpty() || digits.size() > 9)
            return false;
        for (const QChar c : digits) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            *number = *number * 10 + (c.unicode() - '0');
        }
        return true;
    };
    FolderRows::Text id, from, subject, recipients;
    int letterType = 0, folderType = 0;
    if (!text(From, &from) || !text(Subject, &subject) || !text(To, &recipients) || !text(Id, &id)
            || !number(LetterType, &letterType) || !number(FolderType, &folderType))
        return false;
    if (copy.value(Id).kind == Value::Invalid)
        id = copy.nameText();
    FolderRows::Date date;
    const Value &dateValue = copy.value(Date);
    if (dateValue.kind == Value::DateTime)
        date = dateValue.date;
    else if (dateValue.kind != Value::Invalid)
        return false;
    contents->rows.appendInCopy(id, from, subject, recipients, date, letterType, folderType);
    return true;
}

void FolderIndex::writeCache(const QString &path, const Contents &contents)
{
    if (!contents.cacheData.isNull() || !contents.cacheGroups.isEmpty())
        FolderIndexCache::write(path, contents.cacheData, contents.cacheStamp, contents.cacheGroups,
                                contents.cacheSections);
}

FolderIndex::Contents FolderIndex::readWithSettings(const QString &path)
{
    Contents contents;
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(mailGroup);
    const QStringList groups = settings.childGroups();
    contents.groups = groups.size();
    contents.rows.reserve(groups.size());
    for (const QString &group : groups) {
        settings.beginGroup(group);
        QVector<QVariant> values(KeyCount);
        for (int k = 0; k < KeyCount; ++k)
            values[k] = settings.value(QString::fromLatin1(keyNames.at(k)));
        settings.endGroup();
        takeEntry(group, values, &contents);
    }
    return contents;
}

void FolderIndex::takeEntry(const QString &group, const QVector<QVariant> &values, Contents *contents)
{
    const auto id = [&] {
        return values.at(Id).isValid() ? values.at(Id).toString() : group;
    };
    if (values.at(Archived).toBool() || values.at(Removed).toBool()) {
        if (values.at(Dropped).toBool())
            contents->removed.insert(id());
        return;
    }
    Entry entry;
    entry.id = id();
    entry.from = values.at(From).toString();
    entry.subject = values.at(Subject).toString();
    entry.recipients = values.at(To).toString();
    entry.letterType = values.at(LetterType).toInt();
    entry.folderType = values.at(FolderType).toInt();
    entry.date = values.at(Date).toDateTime();
    contents->rows.append(entry);
}

bool FolderIndex::addEntry(const Entry &entry)
{
    Values values{{QStringLiteral("from"), entry.from},
                  {QStringLiteral("subject"), entry.subject},
                  {QStringLiteral("date"), entry.date},
                  {QStringLiteral("letterType"), entry.letterType},
                  {QStringLiteral("folderType"), entry.folderType}};
    if (!entry.recipients.isEmpty())
        values.append({QStringLiteral("to"), entry.recipients});
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
    // The seen state is the one change that the message files cannot give
    // back after a power cut; it is rare, so it goes to the disk at once.
    return append(id, {{QStringLiteral("letterType"), letterType}}, true);
}

bool FolderIndex::removeEntry(const QString &id)
{
    m_readded.remove(id);
    m_removed.insert(id);
    return append(id, {{removedKey, true}, {droppedKey, true}});
}

bool FolderIndex::append(const QString &id, const Values &values, bool durable)
{
    const QByteArray encoded = encodedSection(groupName(id), values);
    QFile index(m_path);
    if (!index.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCritical() << "FolderIndex::append(): cannot open" << m_path << index.errorString();
        return false;
    }
    // The blank line keeps the section header on a line of its own even
    // after a line that was cut short.
    const QByteArray section = '\n' + encoded;
    if (index.write(section) != section.size() || !index.flush()
            || (durable && ::fdatasync(index.handle()) != 0)) {
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
