// Accounts under pressure: a record replaced in the middle of a check, and
// other users on the same machine.
#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/settings.h"
#include "connectionrecorder.h"
#include "fixtures.h"
#include "mailservers.h"
#include "model/letter.h"
#include "model/model.h"
#include "servertestcase.h"
#include "store/cache.h"
#include "store/privatefiles.h"
#include "testhome.h"

#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

using Fixtures::fileMode;

class AccountSafetyTest : public ServerTestCase
{
    Q_OBJECT

private slots:
    void recordReplacedDuringACheckLetsItFinish()
    {
        for (int i = 1; i <= 3; ++i)
            servers.seed(MailServers::makeMessage(QStringLiteral("swap-%1@example.org").arg(i), QStringLiteral("Swap")));
        ProfileManager manager;
        manager.addProfile(QStringLiteral("T"), QStringLiteral("test@example.org"), nullptr, nullptr,
                           MailServers::user(), MailServers::password());
        Profile *profile = manager.profileAt(0);
        auto makeRecord = [this] {
            Server *record = ConnectionRecorder::incoming(ServerKind::IMAP, servers.imapPort());
            record->setParent(this);
            return record;
        };
        profile->setIncomingServer(makeRecord());
        // The start-up hands the records over again while the first check runs.
        bool replaced = false;
        connect(profile, &Profile::receiveLetter, this, [&] {
            if (!std::exchange(replaced, true))
                profile->setIncomingServer(makeRecord());
        });
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->status(), Profile::READY_STATUS, 20000);
        QVERIFY(replaced);
        Model index(PrivateFiles::storeRoot() + QStringLiteral("/test@example.org/incoming.conf"), 0);
        QCOMPARE(index.rowCount(), 3);
    }

    void privateFilesAreTheUsersAlone()
    {
        // As an earlier version left them: readable by everyone.
        const QString account = PrivateFiles::storeRoot() + QStringLiteral("/a@example.org");
        const QString settingsFile = QSettings().fileName();
        QVERIFY(QDir().mkpath(account) && QDir().mkpath(QFileInfo(settingsFile).path()));
        QVERIFY(Fixtures::writeFile(settingsFile, QByteArray()));
        for (const QString &path : {PrivateFiles::storeRoot(), account, settingsFile})
            ::chmod(QFile::encodeName(path).constData(), 0755);
        // The lock of a writer that was killed goes at start; a held one stays.
        QProcess killed;
        killed.start(QStringLiteral("true"), QStringList());
        QVERIFY(killed.waitForStarted());
        const QByteArray deadPid = QByteArray::number(killed.processId());
        QVERIFY(killed.waitForFinished());
        QVERIFY(Fixtures::writeFile(account + QStringLiteral("/incoming.conf.lock"),
                                    deadPid + "\ndrel-mail\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
        QLockFile held(account + QStringLiteral("/sent.conf.lock"));
        QVERIFY(held.tryLock(0));
        PrivateFiles::protect();
        QVERIFY(!QFile::exists(account + QStringLiteral("/incoming.conf.lock")));
        QVERIFY(QFile::exists(account + QStringLiteral("/sent.conf.lock")));
        QCOMPARE(fileMode(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(fileMode(account), 0700);
        QCOMPARE(fileMode(settingsFile), 0600);
        Settings::setCurrentProfile(QStringLiteral("a@example.org")); // rewrites the file
        QCOMPARE(fileMode(settingsFile), 0600);
        // A fresh store is made private from the start.
        QDir(PrivateFiles::storeRoot()).removeRecursively();
        Cache cache(QStringLiteral("b@example.org"), QString());
        QCOMPARE(fileMode(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(fileMode(cache.folderPath(0)), 0700);
    }
};

MAIL_TEST_MAIN(AccountSafetyTest)
#include "tst_accountsafety.moc"
