#pragma once

#include <QByteArray>

#include <vmime/vmime.hpp>

#include <vector>

// Any thread. The authorities the system trusts: the PEM bundle named by
// SSL_CERT_FILE (Debian's ca-certificates bundle when unset) and the
// certificates in the folder named by SSL_CERT_DIR. Read once per process,
// never on the window's thread: ahead, when the program starts, or else by
// the first certificate check.
namespace RootCertificates {
using Certificate = vmime::shared_ptr<vmime::security::cert::X509Certificate>;
using List = std::vector<Certificate>;

// Starts reading them on a thread of the pool; a check that comes first
// waits for that reading instead of doing its own.
void readAhead();
// Whether the certificate in its DER form is one of them.
bool contains(const QByteArray &der);
// Those whose subject is that distinguished name (its raw DER form): the
// only ones that can have issued a certificate naming it as its issuer.
List named(const QByteArray &rawName);
}
