// Accounts under pressure: two accounts asking at once, a record replaced in
// the middle of a check, a hostile timer setting, a changed address, and
// other users on the same machine.
#include "cache.h"
#include "incomingserver.h"
#include "letter.h"
#include "mailservers.h"
#include "model.h"
#include "privatefiles.h"
#include "profile.h"
#include "profilemanager.h"
#include "settings.h"
#include "testhome.h"
#include "utils.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {
using SM = ServerManager;

int modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QString accountKey(const QString &email, const QString &key)
{
    return Settings::profilesGroup + QLatin1Char('/') + email + QLatin1Char('/') + key;
}
}

class AccountSafetyTest : public QObject
{
    Q_OBJECT

    MailServers servers;

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }

    void cleanupTestCase() { servers.stop(); }

    void init()
    {
        QFile::remove(QSettings().fileName());
        QDir(PrivateFiles::storeRoot()).removeRecursively();
    }

    void eachAnswerReachesTheAccountThatAsked()
    {
        ProfileManager manager;
        manager.addProfile(QStringLiteral("A"), QStringLiteral("a@example.org"), nullptr, nullptr);
        manager.addProfile(QStringLiteral("B"), QStringLiteral("b@example.org"), nullptr, nullptr);
        Profile *a = manager.profileAt(0);
        Profile *b = manager.profileAt(1);
        QSignalSpy shown(&manager, &ProfileManager::queryPasswordQml);
        QSignalSpy toA(a, &Profile::setPassword);
        QSignalSpy toB(b, &Profile::setPassword);

        // Both connections ask before the user answers either.
        emit a->queryPassword();
        emit b->queryPassword();
        QCOMPARE(shown.count(), 1);
        QCOMPARE(manager.currentProfileQuery(), 0);
        manager.setPasswordQml(QStringLiteral("for-a"), true);
        QCOMPARE(toA.count(), 1);
        QCOMPARE(toB.count(), 0);
        // Then the second question, for the second account.
        QCOMPARE(shown.count(), 2);
        QCOMPARE(manager.currentProfileQuery(), 1);
        manager.setPasswordQml(QStringLiteral("for-b"), true);
        QCOMPARE(toB.takeFirst().at(0).toString(), QStringLiteral("for-b"));
        QSettings settings;
        QCOMPARE(Utils::decrypt(settings.value(accountKey(QStringLiteral("a@example.org"), Settings::inPasswordKey)).toString()),
                 QStringLiteral("for-a"));
        QCOMPARE(Utils::decrypt(settings.value(accountKey(QStringLiteral("b@example.org"), Settings::inPasswordKey)).toString()),
                 QStringLiteral("for-b"));
    }

    void checkIntervalHasAFloor_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << QVariant(0) << 60000;
        QTest::newRow("negative") << QVariant(-300) << 60000;
        QTest::newRow("unreadable") << QVariant(QStringLiteral("often")) << 60000;
        QTest::newRow("ten minutes") << QVariant(600000) << 600000;
    }

    void checkIntervalHasAFloor()
    {
        QFETCH(QVariant, setting);
        QFETCH(int, interval);
        QSettings settings;
        settings.setValue(Settings::globalGroup + QLatin1Char('/') + Settings::getMailTimerIntervalKey, setting);
        settings.setValue(accountKey(QStringLiteral("a@example.org"), Settings::nameKey), QStringLiteral("A"));
        settings.sync();
        Settings::setCurrentProfile(QStringLiteral("a@example.org"));
        ProfileManager manager;
        QCOMPARE(manager.profileAt(0)->mailTimer()->interval(), interval);
    }

    void recordReplacedDuringACheckLetsItFinish()
    {
        servers.clearMailbox();
        for (int i = 1; i <= 3; ++i)
            servers.seed(MailServers::makeMessage(QStringLiteral("swap-%1@example.org").arg(i), QStringLiteral("Swap")));
        ProfileManager manager;
        manager.addProfile(QStringLiteral("T"), QStringLiteral("test@example.org"), nullptr, nullptr,
                           MailServers::user(), MailServers::password());
        Profile *profile = manager.profileAt(0);
        auto makeRecord = [this] {
            auto *record = new IncomingServer(this);
            record->setProtocol(SM::IMAP);
            record->setSsl(SM::NO_SSL);
            record->setAddress(MailServers::address(servers.imapPort()));
            return record;
        };
        profile->setIncomingServer(makeRecord());
        // The start-up hands the records over again while the first check runs.
        bool replaced = false;
        connect(profile, &Profile::receiveLetter, this, [&] {
            if (!replaced)
                profile->setIncomingServer(makeRecord());
            replaced = true;
        });
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->status(), Profile::READY_STATUS, 20000);
        QVERIFY(replaced);
        // The index file holds every stored letter.
        Model index(PrivateFiles::storeRoot() + QStringLiteral("/test@example.org/incoming.conf"), 0);
        QCOMPARE(index.rowCount(), 3);
    }

    void changedAddressTakesItsLetters_data()
    {
        QTest::addColumn<bool>("targetTaken");
        QTest::newRow("free address: moved") << false;
        QTest::newRow("address with letters: refused") << true;
    }

    void changedAddressTakesItsLetters()
    {
        QFETCH(bool, targetTaken);
        const QString root = PrivateFiles::storeRoot();
        const QString letter = QStringLiteral("/Incoming/kept@example.org.eml");
        QVERIFY(PrivateFiles::makeDirectory(root + QStringLiteral("/old@example.org/Incoming")));
        QFile file(root + QStringLiteral("/old@example.org") + letter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        if (targetTaken)
            QVERIFY(PrivateFiles::makeDirectory(root + QStringLiteral("/new@example.org/Incoming")));

        ProfileManager manager;
        manager.addProfile(QStringLiteral("Old"), QStringLiteral("old@example.org"), nullptr, nullptr);
        QSignalSpy errors(&manager, &ProfileManager::error);
        manager.changeProfile(0, QStringLiteral("Old"), QStringLiteral("new@example.org"), nullptr, nullptr);
        QCOMPARE(errors.count(), targetTaken ? 1 : 0);
        QCOMPARE(manager.profileAt(0)->email(), targetTaken ? QStringLiteral("old@example.org") : QStringLiteral("new@example.org"));
        QCOMPARE(QFile::exists(root + QStringLiteral("/new@example.org") + letter), !targetTaken);
        QCOMPARE(QFile::exists(root + QStringLiteral("/old@example.org") + letter), targetTaken);
    }

    void privateFilesAreTheUsersAlone()
    {
        // As an earlier version left them: readable by everyone.
        QVERIFY(QDir().mkpath(PrivateFiles::storeRoot() + QStringLiteral("/a@example.org")));
        ::chmod(QFile::encodeName(PrivateFiles::storeRoot()).constData(), 0755);
        ::chmod(QFile::encodeName(PrivateFiles::storeRoot() + QStringLiteral("/a@example.org")).constData(), 0755);
        const QString settingsFile = QSettings().fileName();
        QDir().mkpath(QFileInfo(settingsFile).path());
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        ::chmod(QFile::encodeName(settingsFile).constData(), 0644);

        PrivateFiles::protect();
        QCOMPARE(modeOf(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(modeOf(PrivateFiles::storeRoot() + QStringLiteral("/a@example.org")), 0700);
        QCOMPARE(modeOf(settingsFile), 0600);
        // A password written afterwards keeps the file private.
        Settings::setCurrentProfile(QStringLiteral("a@example.org"));
        QCOMPARE(modeOf(settingsFile), 0600);

        // A fresh store is made private from the start.
        QDir(PrivateFiles::storeRoot()).removeRecursively();
        Cache cache(QStringLiteral("b@example.org"), QString());
        QCOMPARE(modeOf(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(modeOf(cache.folderPath(0)), 0700);
    }
};

MAIL_TEST_MAIN(AccountSafetyTest)
#include "tst_accountsafety.moc"
