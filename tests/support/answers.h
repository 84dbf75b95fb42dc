#pragma once

#include "mailservers.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Main thread. Answers the questions that a Wizard, the ServerManager or the
// ProfileManager puts to the window, each once the event loop turns, as a
// user would: a certificate question with the next of the given answers (yes
// once they are used up), a password question with the password, remembered
// (left open when the password is empty).
class Answers : public QObject
{
    Q_OBJECT

public:
    explicit Answers(QObject *asker, const QString &password = MailServers::password(),
                     const QList<bool> &certificateAnswers = {});

    QStringList certificates; // the texts of the certificate questions

private slots:
    void onCertificate(int question, const QString &text);
    void onPassword();

private:
    QObject *m_asker;
    QString m_password;
    QList<bool> m_certificateAnswers;
};
