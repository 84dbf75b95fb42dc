#include "servertestcase.h"

#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

void ServerTestCase::initTestCase()
{
    TestHome::prepareProgram();
    QVERIFY(servers.start());
    // The test authority is the only one this program trusts; the
    // certificates are read at the first check.
    qputenv("SSL_CERT_FILE", QFile::encodeName(servers.authorityFile()));
}

void ServerTestCase::cleanupTestCase()
{
    servers.stop();
}

void ServerTestCase::init()
{
    servers.clearMailbox(QStringLiteral("test"));
    servers.clearMailbox(QStringLiteral("other"));
    QSettings().clear();
    QDir(QDir::homePath() + QStringLiteral("/.drel-mail")).removeRecursively();
}
