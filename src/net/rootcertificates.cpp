#include "net/rootcertificates.h"

#include "base/caughtlog.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QSet>
#include <QThreadPool>
#include <QtDebug>

#include <gnutls/x509.h>

#include <memory>

namespace cert = vmime::security::cert;

namespace {
// Debian's bundle of every authority of the ca-certificates package.
const char defaultBundle[] = "/etc/ssl/certs/ca-certificates.crt";

// Every certificate of the PEM blocks in the bytes.
RootCertificates::List fromPem(const QByteArray &pem)
{
    static const QByteArray begin("-----BEGIN CERTIFICATE-----");
    static const QByteArray end("-----END CERTIFICATE-----");
    RootCertificates::List list;
    for (int from = pem.indexOf(begin); from >= 0; from = pem.indexOf(begin, from)) {
        const int to = pem.indexOf(end, from);
        if (to < 0)
            break;
        const QByteArray block = pem.mid(from, to + end.size() - from);
        from = to + end.size();
        try {
            if (auto certificate = cert::X509Certificate::import(
                        reinterpret_cast<const vmime::byte_t *>(block.constData()), size_t(block.size())))
                list.push_back(certificate);
        } catch (const vmime::exception &e) {
            LOG_CAUGHT("vmime::exception", e);
        }
    }
    return list;
}

void readInto(RootCertificates::List &list, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "RootCertificates: cannot read" << path;
        return;
    }
    const RootCertificates::List read = fromPem(file.readAll());
    list.insert(list.end(), read.begin(), read.end());
}

QByteArray toBytes(const vmime::byteArray &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

// The raw subject name; empty when the certificate does not parse.
QByteArray subjectName(const QByteArray &der)
{
    gnutls_x509_crt_t parsed = nullptr;
    if (gnutls_x509_crt_init(&parsed) < 0)
        return QByteArray();
    const std::unique_ptr<gnutls_x509_crt_int, decltype(&gnutls_x509_crt_deinit)> owned(parsed,
                                                                                     &gnutls_x509_crt_deinit);
    const gnutls_datum_t datum{reinterpret_cast<unsigned char *>(const_cast<char *>(der.constData())),
                               unsigned(der.size())};
    gnutls_datum_t name{nullptr, 0};
    if (gnutls_x509_crt_import(parsed, &datum, GNUTLS_X509_FMT_DER) < 0
        || gnutls_x509_crt_get_raw_dn(parsed, &name) < 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(name.data), int(name.size));
}

// Looked up by their DER form and by their subject: a connection's check
// compares with a few of them, not with every one.
struct Authorities
{
    QSet<QByteArray> encodings;
    QMultiHash<QByteArray, RootCertificates::Certificate> bySubject;
};

Authorities load()
{
    RootCertificates::List list;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE", QString::fromLatin1(defaultBundle));
    readInto(list, file);
    const QString dir = qEnvironmentVariable("SSL_CERT_DIR");
    if (!dir.isEmpty()) {
        for (const QFileInfo &entry : QDir(dir).entryInfoList(QDir::Files | QDir::Readable))
            readInto(list, entry.filePath());
    }
    Authorities authorities;
    for (const RootCertificates::Certificate &root : list) {
        const QByteArray der = toBytes(root->getEncoded());
        authorities.encodings.insert(der);
        const QByteArray subject = subjectName(der);
        if (!subject.isEmpty())
            authorities.bySubject.insert(subject, root);
    }
    return authorities;
}

const Authorities &authorities()
{
    // Initialised once, by whichever thread comes first; the others wait.
    static const Authorities read = load();
    return read;
}
}

void RootCertificates::readAhead()
{
    QThreadPool::globalInstance()->start([] { authorities(); });
}

bool RootCertificates::contains(const QByteArray &der)
{
    return authorities().encodings.contains(der);
}

RootCertificates::List RootCertificates::named(const QByteArray &rawName)
{
    const QList<Certificate> found = authorities().bySubject.values(rawName);
    return List(found.cbegin(), found.cend());
}
