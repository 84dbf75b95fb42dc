#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/settings.h"
#include "main/drel.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/connection.h"
#include "testhome.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {
void writeAccount(const QString &email, const QString &name = QString())
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(email);
    settings.setValue(QStringLiteral("name"), name);
}

QVariant accountValue(const QString &email, const QString &key)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(email);
    return settings.value(key);
}

QStringList emails(const ProfileManager &manager)
{
    QStringList list;
    for (int i = 0; i < manager.profiles().size(); ++i)
        list << manager.profileAt(i)->email();
    return list;
}
}

class ProfileManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
    }

    void init()
    {
        QFile::remove(QSettings().fileName());
    }

    void emptyStore()
    {
        ProfileManager manager;
        QVERIFY(manager.profiles().isEmpty());
        QCOMPARE(manager.currentProfile(), -1);
        QCOMPARE(manager.storeMessagesCount(), 0);
        QCOMPARE(manager.getMailTimerInterval(), 300000);
        QCOMPARE(manager.deleteFromServer(), false);
        QCOMPARE(Settings::currentProfile(), QString());
    }

    void rememberedAccountIsMadeCurrent()
    {
        writeAccount(QStringLiteral("a@example.org"), QStringLiteral("A"));
        writeAccount(QStringLiteral("b@example.org"), QStringLiteral("B"));
        Settings::setCurrentProfile(QStringLiteral("b@example.org"));

        ProfileManager manager;
        QCOMPARE(emails(manager), QStringList({"a@example.org", "b@example.org"}));
        QCOMPARE(manager.currentProfile(), 1);
        QVERIFY(manager.profileAt(1)->isInitialized());
        QCOMPARE(manager.profileAt(1)->name(), QStringLiteral("B"));
        // An account that is not current is never started.
        QVERIFY(!manager.profileAt(0)->isInitialized());
        QVERIFY(!manager.profileAt(0)->connection()->isRunning());
        QVERIFY(manager.profileAt(0)->name().isEmpty());
    }

    void missingRememberedAccountFallsBackToTheFirst()
    {
        writeAccount(QStringLiteral("a@example.org"));
        writeAccount(QStringLiteral("b@example.org"));
        Settings::setCurrentProfile(QStringLiteral("gone@example.org"));

        ProfileManager manager;
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(manager.profileAt(0)->isInitialized());
        QCOMPARE(Settings::currentProfile(), QStringLiteral("a@example.org"));
    }

    void addingAccounts()
    {
        ProfileManager manager;
        QSignalSpy current(&manager, &ProfileManager::currentProfileChanged);
        QSignalSpy profiles(&manager, &ProfileManager::profilesChanged);

        manager.addProfile(QStringLiteral("First"), QStringLiteral("first@example.org"), nullptr, nullptr);
        QCOMPARE(profiles.count(), 1);
        QCOMPARE(current.count(), 1);
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(manager.profileAt(0)->isInitialized());
        QCOMPARE(Settings::currentProfile(), QStringLiteral("first@example.org"));
        // Login and sealed password are written even when empty.
        QCOMPARE(accountValue("first@example.org", "inLogin"), QVariant(QString()));
        const QString sealed = accountValue("first@example.org", "inPassword").toString();
        QCOMPARE(sealed.size(), 32);
        QCOMPARE(Utils::decrypt(sealed), QString());
        QCOMPARE(accountValue("first@example.org", "name").toString(), QStringLiteral("First"));

        manager.addProfile(QStringLiteral("Second"), QStringLiteral("second@example.org"), nullptr,
                           nullptr, QStringLiteral("login2"), QStringLiteral("pass2"));
        QCOMPARE(profiles.count(), 2);
        QCOMPARE(current.count(), 1);
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(!manager.profileAt(1)->isInitialized());
        QCOMPARE(accountValue("second@example.org", "inLogin").toString(), QStringLiteral("login2"));
        QCOMPARE(Utils::decrypt(accountValue("second@example.org", "inPassword").toString()),
                 QStringLiteral("pass2"));
        QCOMPARE(Settings::currentProfile(), QStringLiteral("first@example.org"));
    }

    void removingTheCurrentAndTheLastAccount()
    {
        ProfileManager manager;
        manager.addProfile(QString(), QStringLiteral("a@example.org"), nullptr, nullptr);
        manager.addProfile(QString(), QStringLiteral("b@example.org"), nullptr, nullptr);
        QSignalSpy current(&manager, &ProfileManager::currentProfileChanged);
        QSignalSpy profiles(&manager, &ProfileManager::profilesChanged);

        manager.removeProfile(0);
        QCOMPARE(profiles.count(), 1);
        QCOMPARE(current.count(), 1);
        QCOMPARE(emails(manager), QStringList({"b@example.org"}));
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(manager.profileAt(0)->isInitialized());
        QCOMPARE(Settings::currentProfile(), QStringLiteral("b@example.org"));
        QVERIFY(!QSettings().childGroups().isEmpty());
        {
            QSettings settings;
            settings.beginGroup(QStringLiteral("profiles"));
            QCOMPARE(settings.childGroups(), QStringList({"b@example.org"}));
        }

        manager.removeProfile(0);
        QCOMPARE(profiles.count(), 2);
        QCOMPARE(current.count(), 2);
        QCOMPARE(manager.currentProfile(), -1);
        QVERIFY(manager.profiles().isEmpty());
        // Out of range: nothing is touched.
        manager.removeProfile(0);
        manager.removeProfile(-1);
        manager.changeProfile(3, QString(), QStringLiteral("x@y"), nullptr, nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void removingAnAccountBeforeTheCurrentKeepsTheCurrentOne()
    {
        ProfileManager manager;
        manager.addProfile(QString(), QStringLiteral("a@example.org"), nullptr, nullptr);
        manager.addProfile(QString(), QStringLiteral("b@example.org"), nullptr, nullptr);
        manager.addProfile(QString(), QStringLiteral("c@example.org"), nullptr, nullptr);
        manager.initCurrentProfile(2);
        QCOMPARE(manager.currentProfile(), 2);

        manager.removeProfile(0);
        QCOMPARE(manager.currentProfile(), 1);
        QCOMPARE(manager.profileAt(manager.currentProfile())->email(), QStringLiteral("c@example.org"));
        QCOMPARE(Settings::currentProfile(), QStringLiteral("c@example.org"));
    }

    void changingTheAddressMovesTheGroup()
    {
        ProfileManager manager;
        manager.addProfile(QStringLiteral("Me"), QStringLiteral("old@example.org"), nullptr, nullptr,
                           QStringLiteral("login"), QStringLiteral("pw"));
        QSignalSpy profiles(&manager, &ProfileManager::profilesChanged);
        manager.changeProfile(0, QStringLiteral("Me too"), QStringLiteral("new@example.org"), nullptr, nullptr);
        QCOMPARE(profiles.count(), 0);
        QSettings settings;
        settings.beginGroup(QStringLiteral("profiles"));
        QCOMPARE(settings.childGroups(), QStringList({"new@example.org"}));
        settings.beginGroup(QStringLiteral("new@example.org"));
        QCOMPARE(settings.value("name").toString(), QStringLiteral("Me too"));
        // Logins and passwords are not carried over.
        QVERIFY(!settings.contains("inLogin"));
        QVERIFY(!settings.contains("inPassword"));
    }

    void initCurrentProfile()
    {
        ProfileManager manager;
        manager.addProfile(QString(), QStringLiteral("a@example.org"), nullptr, nullptr);
        manager.addProfile(QString(), QStringLiteral("b@example.org"), nullptr, nullptr);
        Profile *b = manager.profileAt(1);
        QSignalSpy current(&manager, &ProfileManager::currentProfileChanged);
        QSignalSpy check(b, &Profile::queryGetMail);

        manager.initCurrentProfile(0);
        QCOMPARE(current.count(), 0);

        manager.initCurrentProfile(1);
        QCOMPARE(current.count(), 1);
        QVERIFY(b->isInitialized());
        QCOMPARE(check.count(), 1);
        QCOMPARE(Settings::currentProfile(), QStringLiteral("b@example.org"));

        // A number past the list makes nothing current and touches nothing.
        manager.initCurrentProfile(7);
        QCOMPARE(manager.currentProfile(), 7);
        QCOMPARE(Settings::currentProfile(), QStringLiteral("b@example.org"));
    }

    void globalOptionsAreStoredOnChange()
    {
        ProfileManager manager;
        QSignalSpy limit(&manager, &ProfileManager::storeMessagesCountChanged);
        QSignalSpy interval(&manager, &ProfileManager::getMailTimerIntervalChanged);
        QSignalSpy deletion(&manager, &ProfileManager::deleteFromServerChanged);
        manager.setStoreMessagesCount(100);
        manager.setStoreMessagesCount(100);
        manager.setGetMailTimerInterval(600000);
        manager.setGetMailTimerInterval(600000);
        manager.setDeleteFromServer(true);
        manager.setDeleteFromServer(true);
        QCOMPARE(limit.count(), 1);
        QCOMPARE(interval.count(), 1);
        QCOMPARE(interval.at(0).at(0).toInt(), 600000);
        QCOMPARE(deletion.count(), 1);
        QCOMPARE(Settings::storeMessagesCount(), 100);
        QCOMPARE(Settings::getMailTimerInterval(), 600000);
        QCOMPARE(Settings::deleteFromServer(), true);
    }

    void timerIntervalReachesOnlyTheAccountsLoadedAtStart()
    {
        writeAccount(QStringLiteral("a@example.org"));
        writeAccount(QStringLiteral("b@example.org"));
        Settings::setCurrentProfile(QStringLiteral("a@example.org"));
        Settings::setGetMailTimerInterval(600000);

        ProfileManager manager;
        Profile *a = manager.profileAt(0);
        Profile *b = manager.profileAt(1);
        QCOMPARE(a->mailTimer()->interval(), 600000);
        QVERIFY(a->mailTimer()->isActive());
        manager.initCurrentProfile(1);
        QVERIFY(b->mailTimer()->isActive());
        // The interval was handed out before b was started.
        QCOMPARE(b->mailTimer()->interval(), 300000);

        manager.setGetMailTimerInterval(120000);
        QCOMPARE(a->mailTimer()->interval(), 120000);
        QCOMPARE(b->mailTimer()->interval(), 120000);
    }

    void answersGoToTheAccountThatAsked()
    {
        ProfileManager manager;
        manager.addProfile(QString(), QStringLiteral("a@example.org"), nullptr, nullptr);
        manager.addProfile(QString(), QStringLiteral("b@example.org"), nullptr, nullptr);
        Profile *b = manager.profileAt(1);
        QSignalSpy askedPassword(&manager, &ProfileManager::queryPasswordQml);
        QSignalSpy askedLogin(&manager, &ProfileManager::queryUsernameQml);
        QSignalSpy failed(&manager, &ProfileManager::authFailedQml);
        QSignalSpy password(b, &Profile::setPassword);
        QSignalSpy login(b, &Profile::setUsername);

        // Nobody has asked yet: answers go nowhere.
        manager.setPasswordQml(QStringLiteral("x"), true);
        manager.setUsernameQml(QStringLiteral("x"), true);
        QCOMPARE(password.count(), 0);

        emit b->queryPassword();
        QCOMPARE(askedPassword.count(), 1);
        QCOMPARE(manager.currentProfileQuery(), 1);
        manager.setPasswordQml(QStringLiteral("  secret \t"), true);
        QCOMPARE(password.count(), 1);
        QCOMPARE(password.at(0).at(0).toString(), QStringLiteral("secret"));
        QCOMPARE(Utils::decrypt(accountValue("b@example.org", "inPassword").toString()),
                 QStringLiteral("secret"));

        emit b->queryUsername();
        QCOMPARE(askedLogin.count(), 1);
        manager.setUsernameQml(QStringLiteral(" me "), false);
        QCOMPARE(login.at(0).at(0).toString(), QStringLiteral("me"));
        QCOMPARE(accountValue("b@example.org", "inLogin").toString(), QString());

        emit b->authFailed(QStringLiteral("NO [AUTHENTICATIONFAILED]"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("NO [AUTHENTICATIONFAILED]"));

        // The account that asked is removed: a late answer reaches nobody.
        manager.removeProfile(1);
        manager.setPasswordQml(QStringLiteral("late"), true);
        QCOMPARE(password.count(), 1);
    }

    void onlyUnseenLettersMakeATrayNotice()
    {
        ProfileManager manager;
        manager.addProfile(QString(), QStringLiteral("a@example.org"), nullptr, nullptr);
        QSignalSpy notice(&manager, &ProfileManager::trayMessageQml);
        Letter letter;
        letter.setFrom(QStringLiteral("Ann <ann@example.org>"));
        letter.setSubject(QStringLiteral("Lunch"));
        emit manager.profileAt(0)->receiveLetter(&letter);
        QCOMPARE(notice.count(), 1);
        QCOMPARE(notice.at(0).at(0).toString(), QStringLiteral("New message:"));
        QCOMPARE(notice.at(0).at(1).toString(), QStringLiteral("Ann <ann@example.org>\nLunch"));
        letter.setLetterType(Letter::LetterSeen);
        emit manager.profileAt(0)->receiveLetter(&letter);
        emit manager.profileAt(0)->receiveLetter(nullptr);
        QCOMPARE(notice.count(), 1);
    }
};

MAIL_TEST_MAIN(ProfileManagerTest)
#include "tst_profilemanager.moc"
