#pragma once

#include "mailservers.h"

#include <QObject>

// Base of the test programs that talk to the real servers: starts them for
// the whole program and gives each test empty mailboxes ("test" and
// "other"), empty settings and no mail store. The harness's test authority
// stands for the system's authorities.
class ServerTestCase : public QObject
{
    Q_OBJECT

protected:
    MailServers servers;

protected slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
};
