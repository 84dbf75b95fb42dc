#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <vmime/vmime.hpp>

#include <vector>

// Worker thread of the Connection whose service holds it.
// Accepts what the mail library trusts, and otherwise a certificate whose
// SHA-1 fingerprint the user accepted before for this server address;
// anything else is put to the user as questions. The fingerprint is stored
// only once the user has said yes to every question: a refusal trusts
// nothing new, keeps what was accepted before, and asks again next time.
class CertificateVerifier : public QObject, public vmime::security::cert::defaultCertificateVerifier
{
    Q_OBJECT

public:
    explicit CertificateVerifier(const QString &address, QObject *parent = nullptr);

    void verify(vmime::shared_ptr<vmime::security::cert::certificateChain> chain,
                const vmime::string &hostname) override;

    // servers/<address>/certificateFingerprint as bytes; empty when absent.
    static QList<unsigned char> rememberedFingerprint(const QString &address);

signals:
    void queryCertificate(QString text);

public slots:
    void userAnswer(QString address, bool answer);

private:
    bool ask(const QString &text);
    void verifyTrusted(const vmime::shared_ptr<vmime::security::cert::certificateChain> &chain,
                       const vmime::string &hostname);
    [[noreturn]] static void refuse();
    void remember(const QList<unsigned char> &fingerprint);

    std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> m_trusted;
    QString m_address;
    // The fingerprint the user accepted for this address (empty when none).
    QList<unsigned char> m_fingerprint;
    // The address the last answer came for; the record may have been renamed.
    QString m_answerAddress;
    bool m_waiting = false;
    bool m_answer = false;
};
