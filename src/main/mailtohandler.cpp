#include "main/mailtohandler.h"

#include "main/mailtolink.h"

#include <QStringList>

MailtoHandler::MailtoHandler(QObject *parent)
    : QObject(parent)
{
}

QVariantMap MailtoHandler::takeRequest()
{
    QVariantMap request;
    request.swap(m_request);
    return request;
}

QString MailtoHandler::linkFromArguments(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (MailtoLink::isMailto(arguments.at(i)))
            return arguments.at(i);
    }
    return QString();
}

bool MailtoHandler::openLink(const QString &link)
{
    const MailtoLink parsed = MailtoLink::parse(link);
    if (!parsed.isValid())
        return false;
    m_request = parsed.toRequest();
    emit composeRequested();
    return true;
}
