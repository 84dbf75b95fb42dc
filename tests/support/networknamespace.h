#pragma once

#include <QApplication>
#include <QtTest>

// The wizard's tests need the standard mail ports under the names the wizard
// tries, and the tests of network changes a loopback that no other test
// shares: as root, the test runs again in network and mount namespaces of
// its own, with a private loopback and, when given one, a hosts file and
// the standard ports.
namespace NetworkNamespace {

// Call first in main(). -1: run the test in this process (isolated: in the
// namespace, marker taken off argc; false without root or unshare);
// otherwise the namespaced run's exit code, for main() to return.
int enter(int &argc, char **argv, const QByteArray &hosts, bool &isolated);

// main() of such a test: runs it in the namespace when it can; the test
// object learns which through its member "isolated".
template <class Test>
int run(int argc, char **argv, const QByteArray &hosts)
{
    bool isolated = false;
    const int namespacedRun = enter(argc, argv, hosts, isolated);
    if (namespacedRun >= 0)
        return namespacedRun;
    QApplication app(argc, argv);
    Test test;
    test.isolated = isolated;
    return QTest::qExec(&test, argc, argv);
}

}
