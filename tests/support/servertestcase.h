#pragma once

#include "mailservers.h"
#include "servers/serverkind.h"

#include <QObject>

class Profile;

// The settings of the account "test@example.org" ("Test User") at the
// harness's servers, as a user leaves them: the incoming record (IMAP unless
// said otherwise) at inPort and, unless outPort is 0, the SMTP record at
// outPort, both with that security, and the test user's login with that
// password.
void storeTestAccount(int inPort, ServerKind::Ssl ssl = ServerKind::NO_SSL, int outPort = 0,
                      const QString &password = MailServers::password(),
                      ServerKind::Protocol protocol = ServerKind::IMAP);
// No check runs and no letter waits to go out.
bool isSettled(const Profile *profile);

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
