#pragma once

#include <QObject>
#include <QVariantMap>

// Main thread. Holds the mailto: link that the program was started with, or
// that a later start handed over, until the QML takes it to fill the compose
// form. A link that arrives before the QML is ready waits here; a newer link
// replaces one that was not taken yet.
class MailtoHandler : public QObject
{
    Q_OBJECT

public:
    explicit MailtoHandler(QObject *parent = nullptr);

    // {recipients: [addresses], subject: "", body: ""} of the waiting link,
    // which is then forgotten; an empty map when none waits.
    Q_INVOKABLE QVariantMap takeRequest();

    // The first mailto: link among the program's arguments; empty when none.
    static QString linkFromArguments(const QStringList &arguments);

signals:
    void composeRequested();

public slots:
    // Keeps the link and announces it; false (and nothing kept) when the
    // text is not a mailto: link.
    bool openLink(const QString &link);

private:
    QVariantMap m_request;
};
