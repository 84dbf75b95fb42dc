#include "net/rootcertificates.h"

#include "base/caughtlog.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtDebug>

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

RootCertificates::List load()
{
    RootCertificates::List list;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE", QString::fromLatin1(defaultBundle));
    readInto(list, file);
    const QString dir = qEnvironmentVariable("SSL_CERT_DIR");
    if (!dir.isEmpty()) {
        for (const QFileInfo &entry : QDir(dir).entryInfoList(QDir::Files | QDir::Readable))
            readInto(list, entry.filePath());
    }
    return list;
}
}

const RootCertificates::List &RootCertificates::system()
{
    // Initialised once, by whichever thread comes first; the others wait.
    static const List roots = load();
    return roots;
}
