#pragma once

#include <vmime/vmime.hpp>

#include <vector>

// Any thread. The authorities the system trusts: the PEM bundle named by
// SSL_CERT_FILE (Debian's ca-certificates bundle when unset) and the
// certificates in the folder named by SSL_CERT_DIR. Read once per process,
// on first use: a worker's first certificate check, never the window's
// thread.
namespace RootCertificates {
using List = std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>>;

const List &system();
}
