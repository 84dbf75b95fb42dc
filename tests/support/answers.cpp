#include "answers.h"

#include <QMetaObject>

Answers::Answers(QObject *asker, const QString &password, const QList<bool> &certificateAnswers)
    : m_asker(asker)
    , m_password(password)
    , m_certificateAnswers(certificateAnswers)
{
    // Each asker has some of these questions; the answers go back by name.
    const QMetaObject *meta = asker->metaObject();
    if (meta->indexOfSignal("queryCertificateQml(int,QString)") >= 0)
        connect(asker, SIGNAL(queryCertificateQml(int,QString)), this, SLOT(onCertificate(int,QString)),
                Qt::QueuedConnection);
    if (meta->indexOfSignal("queryPasswordQml()") >= 0)
        connect(asker, SIGNAL(queryPasswordQml()), this, SLOT(onPassword()), Qt::QueuedConnection);
}

void Answers::onCertificate(int question, const QString &text)
{
    certificates << text;
    const bool yes = m_certificateAnswers.isEmpty() || m_certificateAnswers.takeFirst();
    QMetaObject::invokeMethod(m_asker, "certificateAnswerQml", Q_ARG(int, question), Q_ARG(bool, yes));
}

void Answers::onPassword()
{
    if (!m_password.isEmpty())
        QMetaObject::invokeMethod(m_asker, "setPasswordQml", Q_ARG(QString, m_password), Q_ARG(bool, true));
}
