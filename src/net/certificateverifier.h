#pragma once

#include "net/answerwait.h"

#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>

#include <vmime/vmime.hpp>

// Worker thread of the Connection whose service holds it.
// Accepts in silence a certificate that chains to one of the system's
// authorities and names the host, and one whose SHA-1 fingerprint the user
// accepted before for this server address. Any other is put to the user as
// one question that names the server, every problem and the SHA-256
// fingerprint; only a yes stores the fingerprint, a refusal trusts nothing
// new and asks again next time.
class CertificateVerifier : public QObject, public vmime::security::cert::certificateVerifier
{
    Q_OBJECT

public:
    enum Problem {
        SelfSigned = 0x1,
        Expired = 0x2,
        NotYetValid = 0x4,
        WrongHost = 0x8,
        UnknownIssuer = 0x10,
    };
    Q_DECLARE_FLAGS(Problems, Problem)

    // address: the record's key in the settings; server: "host:port" as the
    // user is told.
    CertificateVerifier(const QString &address, const QString &server, QObject *parent = nullptr);

    void verify(vmime::shared_ptr<vmime::security::cert::certificateChain> chain,
                const vmime::string &hostname) override;

signals:
    void queryCertificate(int question, QString text);

public slots:
    // Only the answer to this verifier's open question counts.
    void userAnswer(QString address, int question, bool answer);

private:
    // What is wrong with the chain for that host, against the system's
    // authorities.
    static Problems problems(vmime::security::cert::certificateChain &chain,
                             const vmime::string &hostname);
    QString questionText(Problems problems, const QByteArray &sha256) const;
    bool ask(const QString &text);
    [[noreturn]] static void refuse(const char *why);
    void remember(const QList<unsigned char> &fingerprint);

    QString m_address;
    QString m_server;
    // The fingerprint the user accepted for this address (empty when none).
    QList<unsigned char> m_fingerprint;
    // The address the last answer came for; the record may have been renamed.
    QString m_answerAddress;
    AnswerWait m_wait;
    bool m_answer = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CertificateVerifier::Problems)
