#include "localnetworkaccess.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// What a refused request gets instead: one transparent pixel, served locally.
// A failed request would make every picture of a letter a logged error.
QUrl blankPicture()
{
    static const QUrl url = [] {
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.fill(Qt::transparent);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixel.save(&buffer, "PNG");
        return QUrl(QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
    }();
    return url;
}
}

LocalNetworkAccessManager::LocalNetworkAccessManager(QObject *parent)
    : QNetworkAccessManager(parent)
{
}

bool LocalNetworkAccessManager::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("qrc") || scheme == QLatin1String("data");
}

QNetworkReply *LocalNetworkAccessManager::createRequest(Operation op, const QNetworkRequest &request,
                                                        QIODevice *outgoingData)
{
    if (isAllowed(request.url()))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    qInfo("LocalNetworkAccessManager::createRequest(): refused %s",
          qPrintable(request.url().toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery)));
    QNetworkRequest refused(request);
    refused.setUrl(blankPicture());
    return QNetworkAccessManager::createRequest(GetOperation, refused, nullptr);
}

QNetworkAccessManager *LocalNetworkAccessManagerFactory::create(QObject *parent)
{
    return new LocalNetworkAccessManager(parent);
}
