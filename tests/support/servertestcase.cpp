#include "servertestcase.h"

#include "testhome.h"

#include <QDir>
#include <QSettings>
#include <QtTest>

void ServerTestCase::initTestCase()
{
    TestHome::prepareProgram();
    QVERIFY(servers.start());
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
