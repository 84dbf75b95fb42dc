#pragma once

#include <QString>

// Any thread. The files of this user that nobody else may read: the mail
// store (letters) and the settings file (sealed passwords, server addresses
// that may carry "login:password@").
namespace PrivateFiles {

// Creates the directory and any missing parent, each readable by the owner
// only. True when it exists afterwards.
bool makeDirectory(const QString &path);

// ~/.drel-mail
QString storeRoot();

// Run at start, once the application's names are set: creates the store root
// and the settings file owner-only, and takes the rights of others away from
// ones an earlier version created.
void protect();

}
