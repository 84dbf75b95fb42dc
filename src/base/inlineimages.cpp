#include "base/inlineimages.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>

namespace {

QString urlPrefix()
{
    return QStringLiteral("image://") + InlineImages::providerName() + QLatin1Char('/');
}

// Keyed by a digest of the bytes: equal pictures share one entry, and a key
// names nothing its holder did not already have. Kept for the whole run, as
// the opened letters' bodies are.
struct Store
{
    QMutex mutex;
    QHash<QString, QByteArray> pictures;
};
Q_GLOBAL_STATIC(Store, store)

} // namespace

QString InlineImages::urlFor(const QByteArray &bytes)
{
    const QString key = QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QMutexLocker lock(&store->mutex);
    if (!store->pictures.contains(key))
        store->pictures.insert(key, bytes);
    return urlPrefix() + key;
}

QByteArray InlineImages::bytes(const QString &keyOrUrl)
{
    const QString key = keyOrUrl.startsWith(urlPrefix()) ? keyOrUrl.mid(urlPrefix().size()) : keyOrUrl;
    QMutexLocker lock(&store->mutex);
    return store->pictures.value(key);
}

QStringList InlineImages::urlsIn(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::escape(urlPrefix())
                                            + QStringLiteral("[0-9a-f]{64}"));
    QStringList urls;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QString url = it.next().captured();
        if (!urls.contains(url) && !bytes(url).isEmpty())
            urls.append(url);
    }
    return urls;
}
