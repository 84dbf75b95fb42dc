#include "model/storelayout.h"

#include "model/letter.h"

#include <QCryptographicHash>
#include <QDir>

namespace {
const char *const folderNames[] = {"Incoming", "Drafts", "Sent", "Archive", "Trash"};

// Leaves room under the usual 255-byte limit of a file name for ".eml" and
// the suffix of the temporary file that a message is written to first.
const int maxFileBaseNameBytes = 200;
}

QString StoreLayout::folderName(int folder)
{
    const bool valid = folder >= Letter::IncomingFolder && folder <= Letter::TrashFolder;
    return QLatin1String(folderNames[valid ? folder : 0]);
}

QString StoreLayout::root()
{
    return QDir::homePath() + QStringLiteral("/.drel-mail");
}

QString StoreLayout::accountPath(const QString &accountAddress)
{
    return root() + QLatin1Char('/') + accountAddress;
}

QString StoreLayout::folderPath(const QString &accountAddress, int folder)
{
    return accountPath(accountAddress) + QLatin1Char('/') + folderName(folder);
}

QString StoreLayout::indexPath(const QString &accountAddress, int folder)
{
    return accountPath(accountAddress) + QLatin1Char('/') + folderName(folder).toLower()
            + QStringLiteral(".conf");
}

QString StoreLayout::fileBaseName(const QString &id)
{
    bool safe = !id.isEmpty() && !id.startsWith(QLatin1Char('.'))
            && !id.startsWith(hashedNamePrefix())
            && id.toUtf8().size() <= maxFileBaseNameBytes;
    for (int i = 0; safe && i < id.size(); ++i) {
        const ushort c = id.at(i).unicode();
        // Control characters would also break the line format of
        // "fully-removed"; a backslash is a separator in the index files.
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\')
            safe = false;
    }
    if (safe)
        return id;
    return hashedNamePrefix()
            + QString::fromLatin1(QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Sha256)
                                          .toHex());
}
