#include "model/folderindexcache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>
#include <QtDebug>

#include <cstring>

namespace {

const quint32 magic = 0x44524943; // "DRIC"
const quint32 version = 2;
// Change detection, not security: the fastest of Qt's hashes.
const auto checksumKind = QCryptographicHash::Md4;

// Tags of the stored values; the index's values are nearly all texts.
enum Tag : quint8 { Invalid, Text, DateTime, Other };

QByteArray checksum(const char *data, int size)
{
    QCryptographicHash hash(checksumKind);
    hash.addData(data, size);
    return hash.result();
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
        for (const QChar c : value)
            number(c.unicode());
    }
};

class BodyReader
{
public:
    BodyReader(const char *from, const char *to) : m_at(from), m_end(to) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }
    template<typename T> T number()
    {
        T value{};
        if (m_end - m_at < qint64(sizeof value)) {
            m_ok = false;
            return value;
        }
        memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return qFromLittleEndian(value);
    }
    QString text()
    {
        const quint32 size = number<quint32>();
        if (!m_ok || quint64(m_end - m_at) < quint64(size) * 2) {
            m_ok = false;
            return QString();
        }
        QString value(int(size), Qt::Uninitialized);
        ushort *out = reinterpret_cast<ushort *>(value.data());
        for (quint32 i = 0; i < size; ++i, m_at += 2)
            out[i] = qFromLittleEndian<quint16>(m_at);
        return value;
    }
    QByteArray bytes()
    {
        const quint32 size = number<quint32>();
        if (!m_ok || quint64(m_end - m_at) < size) {
            m_ok = false;
            return QByteArray();
        }
        const QByteArray value(m_at, int(size));
        m_at += size;
        return value;
    }

private:
    const char *m_at;
    const char *m_end;
    bool m_ok = true;
};

} // namespace

QString FolderIndexCache::pathFor(const QString &indexPath)
{
    return indexPath + QStringLiteral(".cache");
}

bool FolderIndexCache::read(const QString &indexPath, const QByteArray &data, int keyCount,
                            QVector<Group> *groups, int *covered, int *sections)
{
    QFile file(pathFor(indexPath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    file.close();
    // Header: magic, version, covered size, its checksum, the body's
    // checksum; then the body.
    const int headerSize = 4 + 4 + 8 + 2 * (4 + 16);
    if (content.size() < headerSize)
        return false;
    QDataStream header(content);
    prepare(header);
    quint32 fileMagic = 0, fileVersion = 0;
    qint64 size = 0;
    QByteArray sum, bodySum;
    header >> fileMagic >> fileVersion >> size >> sum >> bodySum;
    if (header.status() != QDataStream::Ok || fileMagic != magic || fileVersion != version || size < 0
            || size > data.size() || checksum(data.constData(), int(size)) != sum)
        return false;
    const int bodyStart = int(header.device()->pos());
    if (checksum(content.constData() + bodyStart, content.size() - bodyStart) != bodySum)
        return false;

    BodyReader body(content.constData() + bodyStart, content.constData() + content.size());
    const qint32 sectionCount = body.number<qint32>();
    const qint32 count = body.number<qint32>();
    if (!body.ok() || count < 0 || count > content.size())
        return false;
    QVector<Group> read;
    read.reserve(count);
    for (qint32 i = 0; i < count && body.ok(); ++i) {
        Group group;
        group.first = body.text();
        group.second.resize(keyCount);
        for (int k = 0; k < keyCount; ++k) {
            switch (body.number<quint8>()) {
            case Invalid:
                break;
            case Text:
                group.second[k] = body.text();
                break;
            case DateTime: {
                const qint64 msecs = body.number<qint64>();
                const auto spec = Qt::TimeSpec(body.number<quint8>());
                const qint32 offset = body.number<qint32>();
                group.second[k] = QDateTime::fromMSecsSinceEpoch(msecs, spec, offset);
                break;
            }
            default: {
                QDataStream stream(body.bytes());
                prepare(stream);
                stream >> group.second[k];
                break;
            }
            }
        }
        read.append(std::move(group));
    }
    if (!body.ok() || !body.atEnd())
        return false;
    *groups = std::move(read);
    *covered = int(size);
    *sections = sectionCount;
    return true;
}

bool FolderIndexCache::write(const QString &indexPath, const QByteArray &data, const QVector<Group> &groups,
                             int sections)
{
    BodyWriter writer;
    writer.number(qint32(sections));
    writer.number(qint32(groups.size()));
    for (const Group &group : groups) {
        writer.text(group.first);
        for (const QVariant &value : group.second) {
            const QDateTime dateTime = value.userType() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
            if (value.userType() == QMetaType::UnknownType) {
                writer.number(quint8(Invalid));
            } else if (value.userType() == QMetaType::QString) {
                writer.number(quint8(Text));
                writer.text(value.toString());
            } else if (dateTime.isValid() && dateTime.timeSpec() != Qt::TimeZone) {
                writer.number(quint8(DateTime));
                writer.number(dateTime.toMSecsSinceEpoch());
                writer.number(quint8(dateTime.timeSpec()));
                writer.number(qint32(dateTime.offsetFromUtc()));
            } else {
                QByteArray streamed;
                QDataStream stream(&streamed, QIODevice::WriteOnly);
                prepare(stream);
                stream << value;
                writer.number(quint8(Other));
                writer.number(quint32(streamed.size()));
                writer.bytes.append(streamed);
            }
        }
    }
    const QByteArray &body = writer.bytes;
    QByteArray header;
    {
        QDataStream stream(&header, QIODevice::WriteOnly);
        prepare(stream);
        stream << magic << version << qint64(data.size()) << checksum(data.constData(), data.size())
               << checksum(body.constData(), body.size());
    }
    QSaveFile file(pathFor(indexPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size()
            || file.write(body) != body.size() || !file.flush() || !file.commit()) {
        qCritical() << "FolderIndexCache::write(): cannot write" << file.fileName() << file.errorString();
        return false;
    }
    return true;
}
