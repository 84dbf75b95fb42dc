#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVector>

#include <limits>

// What a folder's list shows of one letter.
struct FolderEntry {
    QString id;
    QString from;
    QString subject;
    QString recipients;
    QDateTime date;
    int letterType = 0;
    int folderType = 0;
};

// Thread: any; a copy shares the texts and may go to another thread.
// The list fields of a folder's letters, with their texts in two blocks
// rather than in strings of their own: the copy of the folder's index that
// was read at start (its texts used in place), and the texts of the rows
// added since. A folder of a hundred thousand letters then starts without
// making half a million strings, and hands its rows between threads in one
// piece. Strings are made as a row is used.
class FolderRows
{
public:
    // A text in the copy: where its UTF-16 characters (little-endian, at an
    // even byte offset) start, and how many there are.
    struct Text {
        quint32 offset = 0;
        quint32 size = 0;
    };
    // A date as the copy keeps it.
    struct Date {
        qint64 msecs = 0;
        qint32 offsetFromUtc = 0;
        qint8 spec = -1; // a Qt::TimeSpec; -1 for an invalid date
    };

    int size() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    void reserve(int rows)
    {
        m_rows.reserve(rows);
        m_times.reserve(rows);
    }

    // The copy whose texts the rows from appendInCopy() point into.
    void setCopy(const QByteArray &copy) { m_copy = copy; }
    void appendInCopy(Text id, Text from, Text subject, Text recipients, Date date, int letterType,
                      int folderType);
    void append(const FolderEntry &entry);
    void replace(int row, const FolderEntry &entry);
    void remove(int row)
    {
        m_rows.remove(row);
        m_times.remove(row);
    }
    // Puts the newest rows first, rows of the same time in the order they
    // had: the order the list shows, so that its own sort finds little to do.
    void sortNewestFirst();

    // The views last until the rows change.
    QStringView idView(int row) const { return text(m_rows.at(row).id); }
    QStringView fromView(int row) const { return text(m_rows.at(row).from); }
    QStringView subjectView(int row) const { return text(m_rows.at(row).subject); }
    QStringView recipientsView(int row) const { return text(m_rows.at(row).recipients); }
    QString id(int row) const { return idView(row).toString(); }
    QDateTime date(int row) const;
    // The date as a number to sort by; invalid dates first.
    qint64 time(int row) const { return m_times.at(row); }
    int letterType(int row) const { return m_rows.at(row).letterType; }
    int folderType(int row) const { return m_rows.at(row).folderType; }
    FolderEntry entry(int row) const;
    QVector<FolderEntry> entries() const;

private:
    // A text of an added row: bit 31 set, the rest its place in m_added.
    static const quint32 addedBit = 0x80000000u;
    struct Row {
        Text id, from, subject, recipients;
        Date date;
        qint32 letterType = 0;
        qint32 folderType = 0;
    };
    static qint64 timeOf(const Date &date)
    {
        return date.spec < 0 ? std::numeric_limits<qint64>::min() : date.msecs;
    }
    QStringView text(Text text) const;
    Text added(const QString &text);
    Row rowOf(const FolderEntry &entry);

    QVector<Row> m_rows;
    // The rows' times once more, side by side: a sort of the folder asks
    // for them millions of times.
    QVector<qint64> m_times;
    QByteArray m_copy;
    QString m_added;
};
