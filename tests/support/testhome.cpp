#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
QString &homePath()
{
    static QString path;
    return path;
}
}

QString TestHome::prepare()
{
    QByteArray sandbox = qgetenv("MAIL_TEST_SANDBOX");
    if (sandbox.isEmpty()) {
        // Run by hand, not through CTest: make a sandbox that lives as long
        // as the process.
        static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/mail-test.XXXXXX"));
        dir.setAutoRemove(true);
        sandbox = QFile::encodeName(dir.path());
        qputenv("MAIL_TEST_SANDBOX", sandbox);
        const QByteArray home = sandbox + "/home";
        for (const char *sub : {"/home/.config", "/tmp", "/runtime"})
            QDir().mkpath(QFile::decodeName(sandbox + sub));
        QFile::setPermissions(QFile::decodeName(sandbox + "/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_CACHE_HOME", home + "/.cache");
        qputenv("XDG_RUNTIME_DIR", sandbox + "/runtime");
        qputenv("TMPDIR", sandbox + "/tmp");
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    homePath() = QFile::decodeName(qgetenv("HOME"));
    if (!homePath().startsWith(QFile::decodeName(sandbox))) {
        qFatal("TestHome: HOME is not inside the test sandbox; refusing to run");
    }
    return homePath();
}

QString TestHome::path()
{
    return homePath();
}
