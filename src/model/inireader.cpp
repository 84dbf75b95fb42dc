#include "model/inireader.h"

#include "base/hexdigit.h"

#include <QDataStream>
#include <QDateTime>

#include <cstring>

namespace {

bool isSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v';
}

bool isSpecial(char ch)
{
    return ch == '\n' || ch == '\r' || ch == '"' || ch == ';' || ch == '=' || ch == '\\';
}

// One logical line, as QSettings splits them: quotes may hold line breaks,
// an escaped line break continues the line, ";" starts a comment.
bool readLine(const QByteArray &data, int &dataPos, int &lineStart, int &lineLen, int &equalsPos)
{
    const int dataLen = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = dataPos;
    while (lineStart < dataLen && isSpace(data.at(lineStart)))
        ++lineStart;
    int i = lineStart;
    while (i < dataLen) {
        char ch = data.at(i);
        while (!isSpecial(ch)) {
            if (++i == dataLen)
                goto done;
            ch = data.at(i);
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        } else if (ch == '\\') {
            if (i < dataLen) {
                const char escaped = data.at(i++);
                if (i < dataLen) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < dataLen && (ch = data.at(i)) != '\n' && ch != '\r')
                    ++i;
                while (i < dataLen && isSpace(data.at(i)))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        }
    }
done:
    dataPos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

void chopTrailingSpaces(QString &s, int limit)
{
    int n = s.size();
    while (n > limit && (s.at(n - 1) == QLatin1Char(' ') || s.at(n - 1) == QLatin1Char('\t')))
        --n;
    s.truncate(n);
}

// A stored UTC date-time ("@DateTime(", data stream version 5.6), read
// without a data stream: a folder index holds one per letter. Invalid for
// anything else, which the data stream then reads.
QDateTime utcDateTime(const QByteArray &bytes)
{
    // Type (quint32), null flag (qint8), Julian day (qint64), milliseconds
    // of the day (quint32), time spec (quint8), then the closing ")".
    if (bytes.size() != 19 || bytes.at(18) != ')')
        return QDateTime();
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    auto number = [b](int at, int size) {
        quint64 v = 0;
        for (int i = 0; i < size; ++i)
            v = (v << 8) | b[at + i];
        return v;
    };
    if (number(0, 4) != QMetaType::QDateTime || b[4] != 0 || b[17] != Qt::UTC)
        return QDateTime();
    const QDate date = QDate::fromJulianDay(qint64(number(5, 8)));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(number(13, 4)));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QString IniReader::unescapedKey(const QByteArray &data, int from, int to)
{
    QString result;
    result.reserve(to - from);
    int i = from;
    while (i < to) {
        const char ch = data.at(i);
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == to - 1) {
            result += QLatin1Char(ch);
            ++i;
            continue;
        }
        int numDigits = 2;
        int firstDigit = i + 1;
        if (data.at(i + 1) == 'U') {
            ++firstDigit;
            numDigits = 4;
        }
        if (firstDigit + numDigits > to) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        bool ok = false;
        const int code = data.mid(firstDigit, numDigits).toInt(&ok, 16);
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(code);
        i = firstDigit + numDigits;
    }
    return result;
}

bool IniReader::unescapedValue(const QByteArray &data, int from, int to, QString *value)
{
    static const char escapeCodes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                          {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'},
                                          {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QString &result = *value;
    bool inQuotes = false;
    bool quoted = false;
    int i = from;
    while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
        ++i;
    int chopLimit = 0;
    while (i < to) {
        const char ch = data.at(i);
        if (ch == '\\') {
            ++i;
            if (i >= to)
                break;
            const char code = data.at(i++);
            bool simple = false;
            for (const auto &escape : escapeCodes) {
                if (code == escape[0]) {
                    result += QLatin1Char(escape[1]);
                    simple = true;
                    break;
                }
            }
            if (simple) {
                chopLimit = result.size();
                continue;
            }
            if (code == 'x' && i < to && hexValue(data.at(i)) >= 0) {
                uint v = 0;
                while (i < to && hexValue(data.at(i)) >= 0)
                    v = (v << 4) + uint(hexValue(data.at(i++)));
                result += QChar(ushort(v));
                chopLimit = result.size();
                continue;
            }
            if (code >= '0' && code <= '7') {
                uint v = uint(code - '0');
                while (i < to && data.at(i) >= '0' && data.at(i) <= '7')
                    v = (v << 3) + uint(data.at(i++) - '0');
                result += QChar(ushort(v));
                chopLimit = result.size();
                continue;
            }
            if (code == '\n' || code == '\r') {
                if (i < to) {
                    const char next = data.at(i);
                    if ((next == '\n' || next == '\r') && next != code)
                        ++i;
                }
            }
            // Any other escaped character is dropped, as QSettings does.
            chopLimit = result.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
                    ++i;
                chopLimit = result.size();
            }
        } else if (ch == ',' && !inQuotes) {
            return false; // a list: not one of ours
        } else {
            int j = i + 1;
            while (j < to) {
                const char c = data.at(j);
                if (c == '\\' || c == '"' || c == ',')
                    break;
                ++j;
            }
            result += QString::fromLatin1(data.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted)
        chopTrailingSpaces(result, chopLimit);
    return true;
}

QVariant IniReader::stringToVariant(const QString &s)
{
    if (s.startsWith(QLatin1Char('@'))) {
        if (s.endsWith(QLatin1Char(')'))) {
            if (s.startsWith(QLatin1String("@ByteArray(")))
                return QVariant(s.midRef(11, s.size() - 12).toLatin1());
            if (s.startsWith(QLatin1String("@String(")))
                return QVariant(s.midRef(8, s.size() - 9).toString());
            if (s.startsWith(QLatin1String("@Variant(")) || s.startsWith(QLatin1String("@DateTime("))) {
                const bool dateTime = s.at(1) == QLatin1Char('D');
                QByteArray bytes = s.midRef(dateTime ? 10 : 9).toLatin1();
                const QDateTime utc = dateTime ? utcDateTime(bytes) : QDateTime();
                if (utc.isValid())
                    return QVariant(utc);
                QDataStream stream(&bytes, QIODevice::ReadOnly);
                stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
                QVariant result;
                stream >> result;
                return result;
            }
            if (s == QLatin1String("@Invalid()"))
                return QVariant();
        }
        if (s.startsWith(QLatin1String("@@")))
            return QVariant(s.mid(1));
    }
    return QVariant(s);
}

bool IniReader::read(const QByteArray &data, const QString &section, const QList<QByteArray> &keys,
                     Groups *groups)
{
    for (const char ch : data) {
        if (uchar(ch) >= 0x80)
            return false;
    }
    int pos = 0;
    int lineStart = 0;
    int lineLen = 0;
    int equalsPos = 0;
    bool inSection = false;
    QString lastGroupKey;
    QVector<QVariant> *lastGroup = nullptr;
    while (readLine(data, pos, lineStart, lineLen, equalsPos)) {
        if (data.at(lineStart) == '[') {
            int end = lineStart + 1;
            while (end < lineStart + lineLen && data.at(end) != ']')
                ++end;
            if (end >= lineStart + lineLen)
                return false;
            inSection = unescapedKey(data, lineStart + 1, end) == section;
            if (!inSection)
                return false;
            continue;
        }
        if (equalsPos == -1)
            continue; // QSettings skips such a line too
        if (!inSection)
            return false;
        int keyEnd = equalsPos;
        while (keyEnd > lineStart && (data.at(keyEnd - 1) == ' ' || data.at(keyEnd - 1) == '\t'))
            --keyEnd;
        // The escaped form of "group/key" is "group\key"; key names are plain.
        int slash = -1;
        for (int i = lineStart; i < keyEnd; ++i) {
            if (data.at(i) == '\\') {
                if (slash >= 0)
                    return false;
                slash = i;
            }
        }
        if (slash <= lineStart || slash == keyEnd - 1)
            return false;
        const int nameLength = keyEnd - slash - 1;
        int wanted = -1;
        for (int k = 0; k < keys.size(); ++k) {
            if (keys.at(k).size() == nameLength
                    && memcmp(keys.at(k).constData(), data.constData() + slash + 1, size_t(nameLength)) == 0) {
                wanted = k;
                break;
            }
        }
        if (wanted < 0) {
            // A key name that needs escapes might still be one of ours.
            for (int i = slash + 1; i < keyEnd; ++i) {
                if (data.at(i) == '%')
                    return false;
            }
        }
        const QString group = unescapedKey(data, lineStart, slash);
        if (group.isEmpty() || group.contains(QLatin1Char('/')))
            return false;
        // A group with none of the wanted keys still exists, as in QSettings.
        if (!lastGroup || group != lastGroupKey) {
            auto it = groups->find(group);
            if (it == groups->end())
                it = groups->insert(group, QVector<QVariant>(keys.size()));
            lastGroup = &it.value();
            lastGroupKey = group;
        }
        if (wanted < 0)
            continue;
        QString value;
        if (!unescapedValue(data, equalsPos + 1, lineStart + lineLen, &value))
            return false;
        (*lastGroup)[wanted] = stringToVariant(value);
    }
    return true;
}
