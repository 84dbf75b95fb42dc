#include "net/certificateverifier.h"

#include "base/settings.h"
#include "net/rootcertificates.h"

#include <QCryptographicHash>

#include <gnutls/x509.h>

#include <algorithm>
#include <memory>

namespace cert = vmime::security::cert;

namespace {
using X509 = vmime::shared_ptr<cert::X509Certificate>;

X509 x509At(cert::certificateChain &chain, size_t index)
{
    return vmime::dynamicCast<cert::X509Certificate>(chain.getAt(index));
}

using GnutlsCertificate = std::unique_ptr<gnutls_x509_crt_int, decltype(&gnutls_x509_crt_deinit)>;

GnutlsCertificate toGnutls(const X509 &certificate)
{
    gnutls_x509_crt_t crt = nullptr;
    if (gnutls_x509_crt_init(&crt) < 0)
        return GnutlsCertificate(nullptr, &gnutls_x509_crt_deinit);
    GnutlsCertificate owned(crt, &gnutls_x509_crt_deinit);
    vmime::byteArray der = certificate->getEncoded();
    const gnutls_datum_t datum{der.data(), unsigned(der.size())};
    if (gnutls_x509_crt_import(crt, &datum, GNUTLS_X509_FMT_DER) < 0)
        owned.reset();
    return owned;
}

// The issuer's signature on the subject, whatever the dates: the mail
// library's own check takes an expired certificate for one of an unknown
// issuer, and the user is told each problem by its name.
bool issuedBy(const X509 &subject, const X509 &issuer)
{
    if (!subject->checkIssuer(issuer))
        return false;
    const GnutlsCertificate signedOne = toGnutls(subject);
    GnutlsCertificate signer = toGnutls(issuer);
    if (!signedOne || !signer)
        return false;
    gnutls_x509_crt_t trusted = signer.get();
    unsigned status = 0;
    return gnutls_x509_crt_verify(signedOne.get(), &trusted, 1,
                                  GNUTLS_VERIFY_DISABLE_TIME_CHECKS
                                          | GNUTLS_VERIFY_DISABLE_TRUSTED_TIME_CHECKS,
                                  &status) == 0
            && status == 0;
}

QByteArray encoded(const X509 &certificate)
{
    const vmime::byteArray der = certificate->getEncoded();
    return QByteArray(reinterpret_cast<const char *>(der.data()), int(der.size()));
}

QByteArray issuerName(const X509 &certificate)
{
    const GnutlsCertificate parsed = toGnutls(certificate);
    gnutls_datum_t name{nullptr, 0};
    if (!parsed || gnutls_x509_crt_get_raw_issuer_dn(parsed.get(), &name) < 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(name.data), int(name.size));
}

QByteArray digest(const X509 &certificate, QCryptographicHash::Algorithm algorithm)
{
    const vmime::byteArray der = certificate->getEncoded();
    return QCryptographicHash::hash(
            QByteArray(reinterpret_cast<const char *>(der.data()), int(der.size())), algorithm);
}
}

CertificateVerifier::CertificateVerifier(const QString &address, const QString &server, QObject *parent)
    : QObject(parent)
    , m_address(address)
    , m_server(server)
    , m_fingerprint(Settings::certificateFingerprint(address))
{
}

void CertificateVerifier::refuse(const char *why)
{
    throw cert::certificateException(why);
}

CertificateVerifier::Problems CertificateVerifier::problems(cert::certificateChain &chain,
                                                            const vmime::string &hostname)
{
    Problems found;
    const size_t count = chain.getCount();
    const vmime::datetime now = vmime::datetime::now();
    bool linked = true;
    for (size_t i = 0; i < count; ++i) {
        const X509 certificate = x509At(chain, i);
        if (now > certificate->getExpirationDate())
            found |= Expired;
        if (now < certificate->getActivationDate())
            found |= NotYetValid;
        if (i + 1 < count && !issuedBy(certificate, x509At(chain, i + 1)))
            linked = false;
    }
    const X509 first = x509At(chain, 0);
    const X509 last = x509At(chain, count - 1);
    bool rooted = RootCertificates::contains(encoded(last));
    if (!rooted) {
        const RootCertificates::List issuers = RootCertificates::named(issuerName(last));
        rooted = std::any_of(issuers.cbegin(), issuers.cend(), [&](const X509 &root) { return issuedBy(last, root); });
    }
    if (!linked || !rooted)
        found |= count == 1 && issuedBy(first, first) ? SelfSigned : UnknownIssuer;
    if (!first->verifyHostName(hostname))
        found |= WrongHost;
    return found;
}

void CertificateVerifier::verify(vmime::shared_ptr<cert::certificateChain> chain,
                                 const vmime::string &hostname)
{
    if (!chain || chain->getCount() == 0)
        refuse("The server sent no certificate.");
    for (size_t i = 0; i < chain->getCount(); ++i) {
        if (!x509At(*chain, i))
            refuse("The server sent a certificate of a type other than X.509.");
    }
    const X509 first = x509At(*chain, 0);
    // Stored as SHA-1, as accepted certificates always were.
    QList<unsigned char> fingerprint;
    for (const char b : digest(first, QCryptographicHash::Sha1))
        fingerprint.append(static_cast<unsigned char>(b));
    // Accepted before: the user knows its problems. The library checks each
    // IMAPS connection twice; the second check ends here too.
    if (!m_fingerprint.isEmpty() && fingerprint == m_fingerprint)
        return;
    const Problems found = problems(*chain, hostname);
    if (!found)
        return;
    if (!ask(questionText(found, digest(first, QCryptographicHash::Sha256))))
        refuse("User did not accept the certificate.");
    remember(fingerprint);
}

QString CertificateVerifier::questionText(Problems found, const QByteArray &sha256) const
{
    QStringList lines;
    lines << (m_fingerprint.isEmpty()
                      ? tr("The certificate of %1 cannot be trusted:").arg(m_server)
                      : tr("The certificate of %1 has CHANGED since you accepted it. "
                           "Someone may be posing as the server:").arg(m_server));
    const QList<QPair<Problem, QString>> reasons{
        {SelfSigned, tr("it is self-signed")},
        {UnknownIssuer, tr("its issuer is not a known authority")},
        {Expired, tr("it has expired")},
        {NotYetValid, tr("it is not valid yet")},
        {WrongHost, tr("it was issued for another host name")},
    };
    for (const auto &reason : reasons) {
        if (found.testFlag(reason.first))
            lines << QStringLiteral("\u2022 ") + reason.second;
    }
    lines << tr("SHA-256 fingerprint: %1").arg(QString::fromLatin1(sha256.toHex(':').toUpper()));
    lines << tr("Do you want to accept this certificate?");
    return lines.join(QLatin1Char('\n'));
}

void CertificateVerifier::remember(const QList<unsigned char> &fingerprint)
{
    m_fingerprint = fingerprint;
    Settings::setCertificateFingerprint(m_answerAddress.isEmpty() ? m_address : m_answerAddress,
                                        fingerprint);
}

bool CertificateVerifier::ask(const QString &text)
{
    ServerQuestion question;
    question.kind = ServerQuestion::Certificate;
    question.server = m_address;
    question.text = text;
    m_answer = false;
    const bool answered = m_wait.ask(question, [this](const ServerQuestion &asked) {
        emit queryCertificate(asked.number, asked.text);
    });
    return answered && m_answer;
}

void CertificateVerifier::userAnswer(QString address, int question, bool answer)
{
    if (question == 0 || !m_wait.isOpen(question))
        return;
    // Nothing is stored here: verify() stores the fingerprint after a yes,
    // and a no leaves the settings alone.
    m_answerAddress = address;
    m_answer = answer;
    m_wait.answered(question);
}
