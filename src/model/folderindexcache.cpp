#include "model/folderindexcache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QtDebug>

namespace {

const quint32 magic = 0x44524943; // "DRIC"
const quint32 version = 1;
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
    // Texts go in and out as they lie in memory.
    stream.setByteOrder(QDataStream::LittleEndian);
}

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

    QDataStream body(content.mid(bodyStart));
    prepare(body);
    qint32 sectionCount = 0, count = 0;
    body >> sectionCount >> count;
    if (body.status() != QDataStream::Ok || count < 0)
        return false;
    QVector<Group> read;
    read.reserve(count);
    for (qint32 i = 0; i < count && body.status() == QDataStream::Ok; ++i) {
        Group group;
        body >> group.first;
        group.second.resize(keyCount);
        for (int k = 0; k < keyCount; ++k) {
            quint8 tag = Invalid;
            body >> tag;
            switch (tag) {
            case Invalid:
                break;
            case Text: {
                QString text;
                body >> text;
                group.second[k] = text;
                break;
            }
            case DateTime: {
                QDateTime dateTime;
                body >> dateTime;
                group.second[k] = dateTime;
                break;
            }
            default:
                body >> group.second[k];
            }
        }
        read.append(std::move(group));
    }
    if (body.status() != QDataStream::Ok || !body.atEnd())
        return false;
    *groups = std::move(read);
    *covered = int(size);
    *sections = sectionCount;
    return true;
}

bool FolderIndexCache::write(const QString &indexPath, const QByteArray &data, const QVector<Group> &groups,
                             int sections)
{
    QByteArray body;
    {
        QDataStream stream(&body, QIODevice::WriteOnly);
        prepare(stream);
        stream << qint32(sections) << qint32(groups.size());
        for (const Group &group : groups) {
            stream << group.first;
            for (const QVariant &value : group.second) {
                switch (value.userType()) {
                case QMetaType::UnknownType:
                    stream << quint8(Invalid);
                    break;
                case QMetaType::QString:
                    stream << quint8(Text) << value.toString();
                    break;
                case QMetaType::QDateTime:
                    stream << quint8(DateTime) << value.toDateTime();
                    break;
                default:
                    stream << quint8(Other) << value;
                }
            }
        }
    }
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
