#include "localnetworkaccess.h"

#include <QNetworkRequest>
#include <QUrl>

QNetworkAccessManager *LocalNetworkAccessFactory::create(QObject *parent)
{
    return new LocalNetworkAccessManager(parent);
}

bool LocalNetworkAccessManager::isLocal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("qrc") || scheme == QLatin1String("file")
            || scheme == QLatin1String("data") || scheme.isEmpty();
}

QNetworkReply *LocalNetworkAccessManager::createRequest(Operation op, const QNetworkRequest &request,
                                                        QIODevice *outgoingData)
{
    if (isLocal(request.url()))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    // An empty local answer: the image stays blank and nothing leaves the machine.
    QNetworkRequest blocked(request);
    blocked.setUrl(QUrl(QStringLiteral("data:,")));
    return QNetworkAccessManager::createRequest(op, blocked, outgoingData);
}
