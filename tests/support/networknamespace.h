#pragma once

#include <QByteArray>

// Tests of the account wizard need the standard mail ports under the host
// names the wizard tries. As root, such a test runs again inside network and
// mount namespaces of its own: a private loopback where the servers take the
// standard ports, and a hosts file that names them.
namespace NetworkNamespace {

// Call first thing in main(). Returns -1 when the test is to run in this
// process, with isolated telling whether this process is the namespaced
// one (argc then no longer counts the marker); otherwise the exit code of
// the namespaced run, which main() returns. Without root, unshare or the
// permission, the test runs here without a namespace (isolated false).
int enter(int &argc, char **argv, const QByteArray &hosts, bool &isolated);

}
