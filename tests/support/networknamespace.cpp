#include "networknamespace.h"

#include "testhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <unistd.h>

namespace {
const char inNamespace[] = "--in-test-namespace";

QString readyMarker()
{
    return QDir::tempPath() + QStringLiteral("/test-namespace-ready");
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool setUp(const QByteArray &hosts)
{
    if (hosts.isEmpty())
        return run(QStringLiteral("ip"), {"link", "set", "lo", "up"});
    const QString hostsFile = QDir::tempPath() + QStringLiteral("/hosts");
    QFile f(hostsFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(hosts) != hosts.size())
        return false;
    f.close();
    return run(QStringLiteral("ip"), {"link", "set", "lo", "up"})
            && run(QStringLiteral("mount"), {"--bind", hostsFile, "/etc/hosts"});
}
}

int NetworkNamespace::enter(int &argc, char **argv, const QByteArray &hosts, bool &isolated)
{
    isolated = argc > 1 && qstrcmp(argv[argc - 1], inNamespace) == 0;
    TestHome::prepare();
    if (isolated) {
        --argc; // QTest must not see the marker
        if (!setUp(hosts)) {
            std::fprintf(stderr, "cannot set up the test's network namespace\n");
            return 1;
        }
        QFile ready(readyMarker());
        ready.open(QIODevice::WriteOnly);
        if (!hosts.isEmpty())
            qputenv("MAIL_STANDARD_PORTS", "1");
        return -1;
    }
    if (::getuid() != 0 || !qEnvironmentVariableIsEmpty("MAIL_NO_NAMESPACE"))
        return -1;
    // The private home and temporary folder carry over through the environment.
    QStringList args{QStringLiteral("--mount"), QStringLiteral("--net"), QStringLiteral("--propagation"),
                     QStringLiteral("private"), QString::fromLocal8Bit(argv[0])};
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    args << QString::fromLatin1(inNamespace);
    QFile::remove(readyMarker());
    int exitCode = 1;
    {
        QCoreApplication app(argc, argv);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QStringLiteral("unshare"), args);
        if (child.waitForStarted(10000) && child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit)
            exitCode = child.exitCode();
    }
    // The child marks a namespace that it could set up; without one the
    // test runs here, and the cases that need the standard ports skip.
    if (QFile::exists(readyMarker()))
        return exitCode;
    std::fprintf(stderr, "no network namespace of its own; running without one\n");
    return -1;
}
