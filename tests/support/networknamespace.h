#pragma once

#include <QByteArray>

// The wizard's tests need the standard mail ports under the names the wizard
// tries: as root, the test runs again in network and mount namespaces of its
// own, with a private loopback and a hosts file.
namespace NetworkNamespace {

// Call first in main(). -1: run the test in this process (isolated: in the
// namespace, marker taken off argc; false without root or unshare);
// otherwise the namespaced run's exit code, for main() to return.
int enter(int &argc, char **argv, const QByteArray &hosts, bool &isolated);

}
