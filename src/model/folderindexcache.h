#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

#include <utility>

// Thread: any.
// A binary copy of what the first bytes of a folder index file say, beside
// the index ("<index>.cache"), so that a folder of a hundred thousand
// letters starts without parsing the text: only what was appended to the
// index since the copy was made is parsed. The index stays the file that
// counts; the copy is used only while those bytes are unchanged (their
// checksum) and its own checksum holds, and is made again otherwise.
namespace FolderIndexCache {

// A sub-group of "mail": its name and the values of the index's keys, in
// the order the index reads them (invalid where the group lacks a key).
using Group = std::pair<QString, QVector<QVariant>>;

QString pathFor(const QString &indexPath);

// What the first *covered bytes of `data` (the index file's content) say:
// their groups, sorted by name, and how many "[mail]" section headers they
// hold. False, with nothing taken, when the copy is missing, damaged or
// made of other bytes.
bool read(const QString &indexPath, const QByteArray &data, int keyCount, QVector<Group> *groups,
          int *covered, int *sections);

// Keeps `groups` (sorted by name) as what the whole of `data` says.
// Replaces the copy atomically; a failure is logged and changes nothing.
bool write(const QString &indexPath, const QByteArray &data, const QVector<Group> &groups, int sections);

} // namespace FolderIndexCache
