#include "model/folderrows.h"

#include <algorithm>
#include <numeric>

void FolderRows::appendInCopy(Text id, Text from, Text subject, Text recipients, Date date, int letterType,
                              int folderType)
{
    Row row;
    row.id = id;
    row.from = from;
    row.subject = subject;
    row.recipients = recipients;
    row.date = date;
    row.letterType = letterType;
    row.folderType = folderType;
    m_rows.append(row);
    m_times.append(timeOf(date));
}

void FolderRows::append(const FolderEntry &entry)
{
    m_rows.append(rowOf(entry));
    m_times.append(timeOf(m_rows.constLast().date));
}

void FolderRows::replace(int row, const FolderEntry &entry)
{
    // The texts it had stay behind in their block until the folder is read again.
    m_rows[row] = rowOf(entry);
    m_times[row] = timeOf(m_rows.at(row).date);
}

void FolderRows::sortNewestFirst()
{
    QVector<int> order(size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return m_times.at(a) > m_times.at(b); });
    QVector<Row> rows;
    QVector<qint64> times;
    rows.reserve(size());
    times.reserve(size());
    for (const int row : qAsConst(order)) {
        rows.append(m_rows.at(row));
        times.append(m_times.at(row));
    }
    m_rows = std::move(rows);
    m_times = std::move(times);
}

FolderRows::Row FolderRows::rowOf(const FolderEntry &entry)
{
    Row row;
    row.id = added(entry.id);
    row.from = added(entry.from);
    row.subject = added(entry.subject);
    row.recipients = added(entry.recipients);
    if (entry.date.isValid()) {
        row.date.msecs = entry.date.toMSecsSinceEpoch();
        row.date.offsetFromUtc = entry.date.offsetFromUtc();
        row.date.spec = qint8(entry.date.timeSpec());
    }
    row.letterType = entry.letterType;
    row.folderType = entry.folderType;
    return row;
}

FolderRows::Text FolderRows::added(const QString &text)
{
    Text added;
    added.offset = quint32(m_added.size()) | addedBit;
    added.size = quint32(text.size());
    m_added.append(text);
    return added;
}

QStringView FolderRows::text(Text text) const
{
    if (text.offset & addedBit)
        return QStringView(m_added.constData() + (text.offset & ~addedBit), qsizetype(text.size));
    return QStringView(reinterpret_cast<const QChar *>(m_copy.constData() + text.offset), qsizetype(text.size));
}

QDateTime FolderRows::date(int row) const
{
    const Date &date = m_rows.at(row).date;
    if (date.spec < 0)
        return QDateTime();
    if (date.spec == Qt::TimeZone) // not kept in rows; rowOf() keeps its instant as an offset
        return QDateTime::fromMSecsSinceEpoch(date.msecs, Qt::OffsetFromUTC, date.offsetFromUtc);
    return QDateTime::fromMSecsSinceEpoch(date.msecs, Qt::TimeSpec(date.spec), date.offsetFromUtc);
}

FolderEntry FolderRows::entry(int row) const
{
    FolderEntry entry;
    entry.id = id(row);
    entry.from = fromView(row).toString();
    entry.subject = subjectView(row).toString();
    entry.recipients = recipientsView(row).toString();
    entry.date = date(row);
    entry.letterType = letterType(row);
    entry.folderType = folderType(row);
    return entry;
}

QVector<FolderEntry> FolderRows::entries() const
{
    QVector<FolderEntry> entries;
    entries.reserve(size());
    for (int row = 0; row < size(); ++row)
        entries.append(entry(row));
    return entries;
}
