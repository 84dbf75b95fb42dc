#include "model/messagefile.h"

#include <QCryptographicHash>

namespace {
// Leaves room under the usual 255-byte limit of a file name for ".eml" and
// the suffix of the temporary file that a message is written to first.
const int maxBaseNameBytes = 200;
}

QString MessageFile::baseName(const QString &id)
{
    bool safe = !id.isEmpty() && !id.startsWith(QLatin1Char('.'))
            && !id.startsWith(hashedNamePrefix())
            && id.toUtf8().size() <= maxBaseNameBytes;
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
