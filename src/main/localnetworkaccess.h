#pragma once

#include <QNetworkAccessManager>
#include <QQmlNetworkAccessManagerFactory>

// The QML engine's only way onto the network. A letter shown as rich text may
// name remote pictures and style sheets (tracking pixels among them); showing
// it must not tell anyone that it was read. This manager serves the resource
// tree and data: URLs and refuses everything else before any name lookup or
// connection: a refused request is answered with a transparent pixel, so
// such pictures simply stay absent.
class LocalNetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    explicit LocalNetworkAccessManager(QObject *parent = nullptr);

    static bool isAllowed(const QUrl &url);

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;
};

class LocalNetworkAccessManagerFactory : public QQmlNetworkAccessManagerFactory
{
public:
    QNetworkAccessManager *create(QObject *parent) override;
};
