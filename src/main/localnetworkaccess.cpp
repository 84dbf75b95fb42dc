#include "localnetworkaccess.h"

#include <QLoggingCategory>
#include <QNetworkRequest>
#include <QUrl>

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
    // A request without a URL fails at once with "protocol unknown": the
    // caller gets an ordinary error reply and nothing leaves the machine.
    QNetworkRequest refused(request);
    refused.setUrl(QUrl());
    return QNetworkAccessManager::createRequest(op, refused, nullptr);
}

QNetworkAccessManager *LocalNetworkAccessManagerFactory::create(QObject *parent)
{
    return new LocalNetworkAccessManager(parent);
}
