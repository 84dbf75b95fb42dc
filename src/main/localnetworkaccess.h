#pragma once

#include <QNetworkAccessManager>
#include <QQmlNetworkAccessManagerFactory>

// The QML engine's network access: letters are shown and composed in rich
// text, which fetches every <img> it names. Only the program's own resources
// and local files are read, so that no remote image tells a sender that a
// letter was opened, replied to or forwarded. Main and loader threads.
class LocalNetworkAccessFactory : public QQmlNetworkAccessManagerFactory
{
public:
    QNetworkAccessManager *create(QObject *parent) override;
};

class LocalNetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    using QNetworkAccessManager::QNetworkAccessManager;

    static bool isLocal(const QUrl &url);

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;
};
