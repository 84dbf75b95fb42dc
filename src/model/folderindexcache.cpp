#include "model/folderindexcache.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QtEndian>
#include <QtDebug>

#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace {

const quint32 magic = 0x44524943; // "DRIC"
// 3: texts at even offsets, to be shown in place; the index's stamp.
const quint32 version = 3;
// magic, version, covered size, the index's stamp (size, time, inode), the
// checksums of the covered bytes and of the body.
const int headerSize = 4 + 4 + 8 + 3 * 8 + 8 + 8;

// Change detection, not security: four independent lanes of multiply and
// rotate, so that a start checks tens of megabytes in milliseconds.
quint64 checksum(const char *data, qint64 size)
{
    const auto mix = [](quint64 h, quint64 word) {
        h ^= word * 0x9E3779B97F4A7C15ull;
        return ((h << 31) | (h >> 33)) * 0xC2B2AE3D27D4EB4Full;
    };
    quint64 lanes[4] = {quint64(size), 1, 2, 3};
    qint64 at = 0;
    for (; at + 32 <= size; at += 32) {
        for (int lane = 0; lane < 4; ++lane)
            lanes[lane] = mix(lanes[lane], qFromLittleEndian<quint64>(data + at + 8 * lane));
    }
    quint64 h = 0;
    for (quint64 lane : lanes)
        h = mix(h, lane);
    for (; at < size; ++at)
        h = mix(h, quint8(data[at]));
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

void prepare(QDataStream &stream)
{
    stream.setVersion(QDataStream::Qt_5_6);
    stream.setByteOrder(QDataStream::LittleEndian);
}

// The body is read a hundred thousand groups at a time: plain bytes, no
// data stream per value.
class BodyWriter
{
public:
    QByteArray bytes;
    template<typename T> void number(T value)
    {
        const T little = qToLittleEndian(value);
        bytes.append(reinterpret_cast<const char *>(&little), sizeof little);
    }
    void text(const QString &value)
    {
        number(quint32(value.size()));
        // The header's size is even: an even place here is one in the file.
        if (bytes.size() % 2)
            bytes.append('\0');
        for (const QChar c : value)
            number(c.unicode());
    }
};

template<typename T> bool take(const QByteArray &content, int *at, T *value)
{
    if (content.size() - *at < int(sizeof(T)))
        return false;
    *value = qFromLittleEndian<T>(content.constData() + *at);
    *at += int(sizeof(T));
    return true;
}

bool takeText(const QByteArray &content, int *at, FolderRows::Text *text)
{
    quint32 size = 0;
    if (!take(content, at, &size))
        return false;
    *at += *at % 2;
    if (quint64(content.size() - qMin(*at, content.size())) < quint64(size) * 2)
        return false;
    text->offset = quint32(*at);
    text->size = size;
    *at += int(size) * 2;
    return true;
}

} // namespace

namespace {

FolderIndexCache::Stamp stampOf(const struct stat &status)
{
    FolderIndexCache::Stamp stamp;
    stamp.size = status.st_size;
    stamp.modified = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.inode = status.st_ino;
    return stamp;
}

} // namespace

FolderIndexCache::Stamp FolderIndexCache::Stamp::of(int fd)
{
    struct stat status;
    return fd >= 0 && ::fstat(fd, &status) == 0 ? stampOf(status) : Stamp();
}

QString FolderIndexCache::pathFor(const QString &indexPath)
{
    return indexPath + QStringLiteral(".cache");
}

FolderIndexCache::Stamp FolderIndexCache::Stamp::of(const QString &path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? stampOf(status) : Stamp();
}

QByteArray FolderIndexCache::readIndex(const QString &indexPath, Stamp *stamp)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray data = file.readAll();
    // Taken after the read: an append meanwhile shows as other bytes.
    *stamp = Stamp::of(file.handle());
    return data;
}

bool FolderIndexCache::Copy::open(const QString &indexPath, int keyCount, QByteArray *index, Stamp *indexStamp,
                                  QByteArray *tail)
{
    m_ok = false;
    // The rows show the copy's texts as they lie in it.
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
        return false;
    {
        QFile file(pathFor(indexPath));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        m_content = file.readAll();
    }
    if (m_content.size() < headerSize + 8)
        return false;
    const char *header = m_content.constData();
    const auto field = [header](int at) { return qFromLittleEndian<quint64>(header + at); };
    const qint64 covered = qint64(field(8));
    Stamp stamp;
    stamp.size = qint64(field(16));
    stamp.modified = qint64(field(24));
    stamp.inode = field(32);
    if (qFromLittleEndian<quint32>(header) != magic || qFromLittleEndian<quint32>(header + 4) != version
            || covered < 0 || covered > std::numeric_limits<int>::max()
            || checksum(header + headerSize, m_content.size() - headerSize) != field(48))
        return false;

    if (stamp.size == covered && Stamp::of(indexPath) == stamp) {
        tail->clear();
    } else {
        *index = readIndex(indexPath, indexStamp);
        if (index->size() < covered || checksum(index->constData(), covered) != field(40))
            return false;
        *tail = index->mid(int(covered));
    }
    m_keyCount = keyCount;
    m_values.resize(keyCount);
    m_other.resize(keyCount);
    m_at = headerSize;
    m_read = 0;
    m_ok = take(m_content, &m_at, &m_sections) && take(m_content, &m_at, &m_count) && m_count >= 0;
    return m_ok;
}

bool FolderIndexCache::Copy::next()
{
    if (!m_ok)
        return false;
    if (m_read == m_count) {
        m_ok = m_at == m_content.size();
        return false;
    }
    ++m_read;
    m_ok = takeText(m_content, &m_at, &m_name);
    for (int k = 0; k < m_keyCount && m_ok; ++k) {
        Value &value = m_values[k];
        quint8 kind = 0;
        m_ok = take(m_content, &m_at, &kind);
        value.kind = Value::Kind(kind);
        switch (kind) {
        case Value::Invalid:
            break;
        case Value::Text:
            m_ok = m_ok && takeText(m_content, &m_at, &value.text);
            break;
        case Value::DateTime: {
            qint8 spec = 0;
            m_ok = m_ok && take(m_content, &m_at, &value.date.msecs) && take(m_content, &m_at, &spec)
                    && take(m_content, &m_at, &value.date.offsetFromUtc) && spec >= 0 && spec <= Qt::OffsetFromUTC;
            value.date.spec = spec;
            break;
        }
        case Value::Other: {
            quint32 size = 0;
            m_ok = m_ok && take(m_content, &m_at, &size) && quint64(m_content.size() - m_at) >= size;
            m_other[k] = {m_at, int(size)};
            m_at += m_ok ? int(size) : 0;
            break;
        }
        default:
            m_ok = false;
        }
    }
    return m_ok;
}

QStringView FolderIndexCache::Copy::name() const
{
    return QStringView(reinterpret_cast<const QChar *>(m_content.constData() + m_name.offset), qsizetype(m_name.size));
}

FolderIndexCache::Group FolderIndexCache::Copy::group() const
{
    Group group;
    group.first = name().toString();
    group.second.resize(m_keyCount);
    for (int k = 0; k < m_keyCount; ++k) {
        const Value &value = m_values.at(k);
        switch (value.kind) {
        case Value::Invalid:
            break;
        case Value::Text:
            group.second[k] = QStringView(reinterpret_cast<const QChar *>(m_content.constData() + value.text.offset),
                                          qsizetype(value.text.size)).toString();
            break;
        case Value::DateTime:
            group.second[k] = QDateTime::fromMSecsSinceEpoch(value.date.msecs, Qt::TimeSpec(value.date.spec),
                                                             value.date.offsetFromUtc);
            break;
        case Value::Other: {
            QDataStream stream(m_content.mid(m_other.at(k).first, m_other.at(k).second));
            prepare(stream);
            stream >> group.second[k];
            break;
        }
        }
    }
    return group;
}

bool FolderIndexCache::write(const QString &indexPath, const QByteArray &data, const Stamp &stamp,
                             const QVector<Group> &groups, int sections)
{
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
        return false;
    BodyWriter writer;
    writer.number(qint32(sections));
    writer.number(qint32(groups.size()));
    for (const Group &group : groups) {
        writer.text(group.first);
        for (const QVariant &value : group.second) {
            const QDateTime dateTime = value.userType() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
            if (value.userType() == QMetaType::UnknownType) {
                writer.number(quint8(Copy::Value::Invalid));
            } else if (value.userType() == QMetaType::QString) {
                writer.number(quint8(Copy::Value::Text));
                writer.text(value.toString());
            } else if (dateTime.isValid() && dateTime.timeSpec() != Qt::TimeZone) {
                writer.number(quint8(Copy::Value::DateTime));
                writer.number(dateTime.toMSecsSinceEpoch());
                writer.number(qint8(dateTime.timeSpec()));
                writer.number(qint32(dateTime.offsetFromUtc()));
            } else {
                QByteArray streamed;
                QDataStream stream(&streamed, QIODevice::WriteOnly);
                prepare(stream);
                stream << value;
                writer.number(quint8(Copy::Value::Other));
                writer.number(quint32(streamed.size()));
                writer.bytes.append(streamed);
            }
        }
    }
    const QByteArray &body = writer.bytes;
    BodyWriter header;
    header.number(magic);
    header.number(version);
    header.number(qint64(data.size()));
    // A stamp of other bytes than these must not vouch for them.
    const bool stamped = stamp.size == data.size();
    header.number(stamped ? stamp.size : qint64(-1));
    header.number(stamped ? stamp.modified : qint64(0));
    header.number(stamped ? stamp.inode : quint64(0));
    header.number(checksum(data.constData(), data.size()));
    header.number(checksum(body.constData(), body.size()));
    Q_ASSERT(header.bytes.size() == headerSize);
    QSaveFile file(pathFor(indexPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(header.bytes) != header.bytes.size()
            || file.write(body) != body.size() || !file.flush() || !file.commit()) {
        qCritical() << "FolderIndexCache::write(): cannot write" << file.fileName() << file.errorString();
        return false;
    }
    return true;
}
