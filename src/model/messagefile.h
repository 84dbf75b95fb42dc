#pragma once

#include <QString>

// How a letter id names its message file in a store folder, and its
// sub-group in a folder index (which must be a name that QSettings keeps).
namespace MessageFile {

// The base name (without ".eml") of the message file of a letter id.
// Ordinary ids are used unchanged. An id that could not be used safely as
// one file name in the folder directory (empty, with "/" or "\", control
// characters, a leading dot, or too long) gets a stable name made from a
// hash of the id, starting with hashedNamePrefix(); ids that themselves
// start with that prefix are hashed too, so no two ids share a name.
QString baseName(const QString &id);
inline QString fileName(const QString &id) { return baseName(id) + QStringLiteral(".eml"); }
inline QString hashedNamePrefix() { return QStringLiteral("drel-mail-id-"); }

}
