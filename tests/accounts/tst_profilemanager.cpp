#include "cache.h"
#include "fixtures.h"
#include "letter.h"
#include "model.h"
#include "profile.h"
#include "profilemanager.h"
#include "proxymodel.h"
#include "settings.h"
#include "testhome.h"
#include "utils.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using Fixtures::accountValue;

namespace {
QStringList emails(const ProfileManager &manager)
{
    QStringList list;
    for (int i = 0; i < manager.profiles().size(); ++i)
        list << manager.profileAt(i)->email();
    return list;
}

QStringList storedAccounts()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("profiles"));
    return settings.childGroups();
}

void addAccounts(ProfileManager &manager, const QStringList &addresses)
{
    for (const QString &address : addresses)
        manager.addProfile(QString(), address, nullptr, nullptr);
}
}

class ProfileManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }
    void init() { QFile::remove(QSettings().fileName()); }

    // The account remembered as current, or the first when it is gone; only
    // that one is started.
    void rememberedAccount_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<int>("current");
        QTest::newRow("second") << "b@example.org" << 1;
        QTest::newRow("gone") << "gone@example.org" << 0;
    }
    void rememberedAccount()
    {
        QFETCH(QString, remembered);
        QFETCH(int, current);
        QSettings().setValue(QStringLiteral("profiles/a@example.org/name"), "A");
        QSettings().setValue(QStringLiteral("profiles/b@example.org/name"), "B");
        Settings::setCurrentProfile(remembered);
        ProfileManager manager;
        QCOMPARE(emails(manager), QStringList({"a@example.org", "b@example.org"}));
        QCOMPARE(manager.currentProfile(), current);
        QVERIFY(manager.profileAt(current)->isInitialized());
        QVERIFY(!manager.profileAt(1 - current)->isInitialized());
        QVERIFY(!manager.profileAt(1 - current)->connection()->isRunning());
        QCOMPARE(Settings::currentProfile(), emails(manager).at(current));
    }

    void removingAccounts()
    {
        ProfileManager manager;
        addAccounts(manager, {"a@example.org", "b@example.org", "c@example.org"});
        manager.initCurrentProfile(2);
        manager.removeProfile(0); // before the current one
        QCOMPARE(manager.profileAt(manager.currentProfile())->email(), QStringLiteral("c@example.org"));
        manager.removeProfile(1); // the current one
        QCOMPARE(emails(manager), QStringList({"b@example.org"}));
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(manager.profileAt(0)->isInitialized());
        QCOMPARE(Settings::currentProfile(), QStringLiteral("b@example.org"));
        QCOMPARE(storedAccounts(), QStringList({"b@example.org"}));
        manager.removeProfile(0); // the last one
        QCOMPARE(manager.currentProfile(), -1);
        QVERIFY(storedAccounts().isEmpty());
        // Out of range: nothing is touched.
        manager.removeProfile(0);
        manager.removeProfile(-1);
        manager.changeProfile(3, QString(), QStringLiteral("x@y"), nullptr, nullptr);
        manager.initCurrentProfile(7);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A changed address moves the account's group, without login and password.
    void changingTheAddressMovesTheGroup()
    {
        ProfileManager manager;
        manager.addProfile(QStringLiteral("Me"), QStringLiteral("old@example.org"), nullptr, nullptr,
                           QStringLiteral("login"), QStringLiteral("pw"));
        manager.changeProfile(0, QStringLiteral("Me too"), QStringLiteral("new@example.org"), nullptr, nullptr);
        QCOMPARE(storedAccounts(), QStringList({"new@example.org"}));
        QCOMPARE(accountValue("new@example.org", "name").toString(), QStringLiteral("Me too"));
        QVERIFY(!accountValue("new@example.org", "inLogin").isValid());
        QVERIFY(!accountValue("new@example.org", "inPassword").isValid());
    }

    void timerIntervalReachesEveryStartedAccount()
    {
        QSettings().setValue(QStringLiteral("profiles/a@example.org/name"), QString());
        QSettings().setValue(QStringLiteral("profiles/b@example.org/name"), QString());
        Settings::setCurrentProfile(QStringLiteral("a@example.org"));
        Settings::setGetMailTimerInterval(600000);
        ProfileManager manager;
        QCOMPARE(manager.profileAt(0)->mailTimer()->interval(), 600000);
        manager.initCurrentProfile(1);
        QVERIFY(manager.profileAt(1)->mailTimer()->isActive());
        manager.setGetMailTimerInterval(120000);
        QCOMPARE(manager.profileAt(0)->mailTimer()->interval(), 120000);
        QCOMPARE(manager.profileAt(1)->mailTimer()->interval(), 120000);
        QCOMPARE(Settings::getMailTimerInterval(), 120000);
    }

    // A password typed for one account must never reach another.
    void answersGoToTheAccountThatAsked()
    {
        ProfileManager manager;
        addAccounts(manager, {"a@example.org", "b@example.org"});
        Profile *b = manager.profileAt(1);
        QSignalSpy password(b, &Profile::setPassword);
        QSignalSpy elsewhere(manager.profileAt(0), &Profile::setPassword);
        QSignalSpy login(b, &Profile::setUsername);
        QSignalSpy failed(&manager, &ProfileManager::authFailedQml);
        manager.setPasswordQml(QStringLiteral("x"), true); // nobody asked
        QCOMPARE(password.count(), 0);
        emit b->queryPassword();
        QCOMPARE(manager.currentProfileQuery(), 1);
        manager.setPasswordQml(QStringLiteral("  secret \t"), true);
        QCOMPARE(password.at(0).at(0).toString(), QStringLiteral("secret"));
        QCOMPARE(Utils::decrypt(accountValue("b@example.org", "inPassword").toString()), QStringLiteral("secret"));
        emit b->queryUsername();
        manager.setUsernameQml(QStringLiteral(" me "), false);
        QCOMPARE(login.at(0).at(0).toString(), QStringLiteral("me"));
        QCOMPARE(accountValue("b@example.org", "inLogin").toString(), QString());
        emit b->authFailed(QStringLiteral("NO [AUTHENTICATIONFAILED]"));
        QCOMPARE(failed.count(), 1);
        // The account that asked is removed: a late answer reaches nobody.
        manager.removeProfile(1);
        manager.setPasswordQml(QStringLiteral("late"), true);
        QCOMPARE(password.count(), 1);
        QCOMPARE(elsewhere.count(), 0);
    }

    void onlyUnseenLettersMakeATrayNotice()
    {
        ProfileManager manager;
        addAccounts(manager, {"a@example.org"});
        QSignalSpy notice(&manager, &ProfileManager::trayMessageQml);
        Letter letter;
        letter.setFrom(QStringLiteral("Ann <ann@example.org>"));
        letter.setSubject(QStringLiteral("Lunch"));
        emit manager.profileAt(0)->receiveLetter(&letter);
        QCOMPARE(notice.count(), 1);
        QCOMPARE(notice.at(0).at(1).toString(), QStringLiteral("Ann <ann@example.org>\nLunch"));
        letter.setLetterType(Letter::LetterSeen);
        emit manager.profileAt(0)->receiveLetter(&letter);
        emit manager.profileAt(0)->receiveLetter(nullptr);
        QCOMPARE(notice.count(), 1);
    }

    // The folder indexes are where earlier versions keep them; an account
    // without an incoming server has no folders.
    void foldersOnlyWithAnIncomingServer()
    {
        QSettings().setValue(QStringLiteral("profiles/full@example.org/inServer"), "imap.example.org");
        Profile bare(QStringLiteral("plain@example.org"));
        bare.initialize();
        QVERIFY(!bare.cache() && !bare.incomingModel() && !bare.trashModel());
        Profile full(QStringLiteral("full@example.org"));
        QSignalSpy incoming(&full, &Profile::incomingProxyModelChanged);
        full.initialize();
        full.initialize();
        QCOMPARE(incoming.count(), 1);
        for (int folder = 0; folder < Letter::FolderCount; ++folder) {
            QCOMPARE(full.folderModel(folder)->indexPath(),
                     QDir::homePath() + QStringLiteral("/.drel-mail/full@example.org/")
                             + Cache::folderName(folder).toLower() + QStringLiteral(".conf"));
        }
    }

    // Checks do not overlap. The compose form starts its next letter at
    // once: the letter given while a check runs is kept as it was and sent
    // when the check ends.
    void letterGivenWhileBusyIsSentWhenReady()
    {
        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy check(&profile, &Profile::queryGetMail);
        QSignalSpy send(&profile, &Profile::sendLetter);
        profile.queryIncomingMail();
        profile.queryIncomingMail();
        QCOMPARE(check.count(), 1);
        profile.newLetter()->setSubject(QStringLiteral("Kept"));
        profile.sendNewLetter();
        QCOMPARE(send.count(), 0);
        profile.newLetter()->clear();
        profile.setReadyStatus();
        QCOMPARE(send.count(), 1);
        auto *sent = send.at(0).at(0).value<Letter *>();
        QVERIFY(sent && sent != profile.newLetter());
        QCOMPARE(sent->subject(), QStringLiteral("Kept"));
        QVERIFY(!sent->id().isEmpty());
    }

    // A password typed for sending is stored as the outgoing one.
    void passwordsGoUnderTheKeyOfTheStatus()
    {
        Profile profile(QStringLiteral("me@example.org"));
        profile.applyPassword(QStringLiteral("in"), true);
        profile.setStatus(Profile::SENDING_STATUS);
        profile.applyPassword(QStringLiteral("out"), true);
        profile.applyUsername(QStringLiteral("outlogin"), true);
        profile.setStatus(Profile::RECIEVING_STATUS);
        profile.applyPassword(QStringLiteral("unsaved"), false);
        QCOMPARE(Utils::decrypt(accountValue("me@example.org", "inPassword").toString()), QStringLiteral("in"));
        QCOMPARE(Utils::decrypt(accountValue("me@example.org", "outPassword").toString()), QStringLiteral("out"));
        QCOMPARE(accountValue("me@example.org", "outLogin").toString(), QStringLiteral("outlogin"));
    }

    // A draft without an id gets the time in milliseconds; one with an id
    // keeps it, so saving again replaces it.
    void draftIds()
    {
        QSettings().setValue(QStringLiteral("profiles/me@example.org/inServer"), "imap.example.org");
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        profile.newLetter()->setSubject(QStringLiteral("Draft"));
        profile.saveNewLetterToDrafts();
        const qint64 id = profile.newLetter()->id().toLongLong();
        QVERIFY(id >= before && id <= QDateTime::currentMSecsSinceEpoch());
        profile.newLetter()->clear();
        profile.newLetter()->setId(QStringLiteral("own-id@example.org"));
        profile.newLetter()->setSubject(QStringLiteral("Mine"));
        profile.saveNewLetterToDrafts();
        QCOMPARE(profile.newLetter()->id(), QStringLiteral("own-id@example.org"));
        QCOMPARE(profile.draftsModel()->count(), 2);
    }

    void attachingAFile()
    {
        const QString path = QDir::homePath() + QStringLiteral("/notes.txt");
        QVERIFY(Fixtures::writeFile(path, "some notes\n"));
        Profile profile(QStringLiteral("me@example.org"));
        {
            DialogAnswer dialog(path);
            profile.createAttachment();
        }
        DialogAnswer cancel;
        profile.createAttachment();
        QCOMPARE(profile.newLetter()->attachList().size(), 1);
        auto *attachment = qvariant_cast<QObject *>(profile.newLetter()->attachList().at(0));
        QCOMPARE(attachment->property("name").toString(), QStringLiteral("notes.txt"));
        QCOMPARE(attachment->property("type").toString(), QStringLiteral("text/plain"));
        QCOMPARE(attachment->property("size").toString(), QStringLiteral("11 B"));
    }
};

MAIL_TEST_MAIN(ProfileManagerTest)
#include "tst_profilemanager.moc"
