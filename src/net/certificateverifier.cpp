#include "certificateverifier.h"

#include "settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThread>
#include <QVariantList>

#include <vmime/security/cert/certificateExpiredException.hpp>
#include <vmime/security/cert/certificateIssuerVerificationException.hpp>
#include <vmime/security/cert/certificateNotTrustedException.hpp>
#include <vmime/security/cert/certificateNotYetValidException.hpp>
#include <vmime/security/cert/serverIdentityException.hpp>

namespace cert = vmime::security::cert;

CertificateVerifier::CertificateVerifier(const QString &address, QObject *parent)
    : QObject(parent)
    , m_address(address)
    , m_fingerprint(rememberedFingerprint(address))
{
}

QList<unsigned char> CertificateVerifier::rememberedFingerprint(const QString &address)
{
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(address);
    QList<unsigned char> bytes;
    if (settings.contains(Settings::certificateFingerprintKey)) {
        for (const QVariant &v : settings.value(Settings::certificateFingerprintKey).toList()) {
            bool ok = false;
            const uint b = v.toUInt(&ok);
            bytes.append(ok ? static_cast<unsigned char>(b) : 0);
        }
    }
    return bytes;
}

void CertificateVerifier::refuse()
{
    throw cert::certificateException("User did not accept the certificate.");
}

void CertificateVerifier::verifyTrusted(const vmime::shared_ptr<cert::certificateChain> &chain,
                                        const vmime::string &hostname)
{
    setX509TrustedCerts(m_trusted);
    defaultCertificateVerifier::verify(chain, hostname);
}

void CertificateVerifier::verify(vmime::shared_ptr<cert::certificateChain> chain,
                                 const vmime::string &hostname)
{
    try {
        verifyTrusted(chain, hostname);
        return;
    } catch (const cert::certificateException &) {
    }

    const vmime::shared_ptr<cert::certificate> first = chain->getAt(0);
    const QString type = QString::fromStdString(first->getType());
    const QString firstQuestion =
        tr("Server sent a '%1' certificate. Do you want to accept this certificate?").arg(type);
    auto x509 = vmime::dynamicCast<cert::X509Certificate>(first);
    if (!x509) {
        if (!ask(firstQuestion)
            || !ask(tr("It's an unsupported certificate type '%1'. Do you still want to accept this certificate?")
                        .arg(type)))
            refuse();
        return;
    }

    const vmime::byteArray digest = x509->getFingerprint(cert::X509Certificate::DIGEST_SHA1);
    QList<unsigned char> fingerprint;
    for (vmime::byte_t b : digest)
        fingerprint.append(b);

    if (fingerprint == m_fingerprint) {
        // Accepted before: whatever else is wrong with it, the user said yes.
        m_trusted.push_back(x509);
        try {
            verifyTrusted(chain, hostname);
        } catch (const cert::certificateException &) {
        }
        return;
    }

    if (!ask(firstQuestion))
        refuse();
    // Trusted for this check only until every question has been answered yes.
    m_trusted.push_back(x509);
    QString followUp;
    try {
        verifyTrusted(chain, hostname);
        remember(fingerprint);
        return;
    } catch (const cert::certificateIssuerVerificationException &) {
        followUp = tr("Certificate in a certificate chain cannot be verified against the next certificate in the chain (the issuer). Do you still want to accept this certificate?");
    } catch (const cert::certificateNotTrustedException &) {
        followUp = tr("The certificate is not authenticated. Do you still want to accept this certificate?");
    } catch (const cert::serverIdentityException &) {
        followUp = tr("The subject name of a certificate does not match the hostname of the server. Do you still want to accept this certificate?");
    } catch (const cert::certificateExpiredException &) {
        followUp = tr("Current date and time is after the validity period specified in the certificate. Do you still want to accept this certificate?");
    } catch (const cert::certificateNotYetValidException &) {
        followUp = tr("Current date and time is before the validity period specified in the certificate. Do you still want to accept this certificate?");
    }
    if (!ask(followUp)) {
        m_trusted.pop_back();
        refuse();
    }
    remember(fingerprint);
}

void CertificateVerifier::remember(const QList<unsigned char> &fingerprint)
{
    m_fingerprint = fingerprint;
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(m_answerAddress.isEmpty() ? m_address : m_answerAddress);
    QVariantList bytes;
    for (unsigned char b : fingerprint)
        bytes.append(static_cast<int>(b));
    settings.setValue(Settings::certificateFingerprintKey, bytes);
}

bool CertificateVerifier::ask(const QString &text)
{
    emit queryCertificate(text);
    m_answer = false;
    m_waiting = true;
    // A thread that is told to stop gives up the question (an empty answer
    // or a refusal), so that the program can quit while it waits.
    while (m_waiting && !QThread::currentThread()->isInterruptionRequested()) {
        QThread::sleep(1);
        QCoreApplication::processEvents();
    }
    return !m_waiting && m_answer;
}

void CertificateVerifier::userAnswer(QString address, bool answer)
{
    // Nothing is stored or removed here: verify() stores the fingerprint once
    // the last question is answered yes, and a no leaves the settings alone.
    m_answerAddress = address;
    m_answer = answer;
    m_waiting = false;
}
