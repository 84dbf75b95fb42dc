#pragma once

#include <QString>

// Where an account's mail lives on disk, the one place that says so:
// ~/.drel-mail/<account address>/ with a directory per folder, the folder's
// index file beside it, and a message file per letter named after its id.
// Any thread.
namespace StoreLayout {

// ~/.drel-mail, which holds every account's directory.
QString root();
// "Incoming", "Drafts", "Sent", "Archive", "Trash"; anything else is Incoming.
QString folderName(int folder);
// The account's directory: ~/.drel-mail/<account address>.
QString accountPath(const QString &accountAddress);
// A folder's directory; anything but 1 to 4 is Incoming.
QString folderPath(const QString &accountAddress, int folder);
// The folder's index file: <account directory>/<folder name in lower case>.conf.
QString indexPath(const QString &accountAddress, int folder);

// The base name (without ".eml") of the message file of a letter id.
// Ordinary ids are used unchanged. An id that could not be used safely as
// one file name in the folder directory (empty, with "/" or "\", control
// characters, a leading dot, or too long) gets a stable name made from a
// hash of the id, starting with hashedNamePrefix(); ids that themselves
// start with that prefix are hashed too, so no two ids share a name. The
// folder index names a letter's sub-group the same way when QSettings could
// not keep its id as one.
QString fileBaseName(const QString &id);
inline QString messageFileName(const QString &id) { return fileBaseName(id) + QStringLiteral(".eml"); }
inline QString hashedNamePrefix() { return QStringLiteral("drel-mail-id-"); }

}
