#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/settings.h"
#include "fixtures.h"
#include "main/drel.h"
#include "main/startup.h"
#include "model/letter.h"
#include "model/model.h"
#include "net/connection.h"
#include "store/mailcheck.h"
#include "store/privatefiles.h"
#include "testhome.h"

#include <QtTest>

using Fixtures::accountValue;

namespace {
// The key phrase built into the program. Kept here on purpose: if the
// program's phrase ever changes, every stored password becomes unreadable,
// and this test says so.
const char keyPhrase[] =
        "gxO/opJYSWkvCfXzRm7u5ydm+6kRcCtAsjAAFS/F++TAxDEvLXmiNUHdv8cOGD7ErPSnTzAqvqJ3FkQy"
        "EmV9BB/SjRvmnL1hF9cxVqIlJL8jgTXbfC+cPwdKnFMAw6UtcrOdAwAzEmw4Iz1I2Vvm+r8GAf7KGgdF"
        "wSk/pHeYqBQ=";

QByteArray run(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return QByteArray();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

// Seals with the openssl command line: an implementation that shares no code
// with the program.
QString opensslSeal(const QByteArray &plain)
{
    const QByteArray digest = run(QStringLiteral("openssl"), {"dgst", "-sha512", "-binary"}, keyPhrase);
    if (digest.size() != 64)
        return QString();
    const QByteArray key = digest.left(32).toHex();
    const QByteArray cipher = run(QStringLiteral("openssl"),
                                  {"enc", "-aes-256-cbc", "-K", QString::fromLatin1(key), "-iv",
                                   QString(32, QLatin1Char('0'))},
                                  plain);
    return QString::fromLatin1(cipher.toHex().toUpper());
}

QStringList emails(const ProfileManager &manager)
{
    QStringList list;
    for (int i = 0; i < manager.profiles().size(); ++i)
        list << manager.profileAt(i)->email();
    return list;
}

void addAccounts(ProfileManager &manager, const QStringList &addresses)
{
    for (const QString &address : addresses)
        manager.addProfile(QString(), address, nullptr, nullptr, QStringLiteral("login"), QStringLiteral("pw"));
}
}

class ProfileManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }
    void init()
    {
        QFile::remove(QSettings().fileName());
        QDir(PrivateFiles::storeRoot()).removeRecursively();
    }

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
        Fixtures::storeAccounts({"a@example.org", "b@example.org"}, remembered);
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
        QCOMPARE(manager.currentProfile(), 0);
        QVERIFY(manager.profileAt(0)->isInitialized());
        QCOMPARE(Settings::currentProfile(), QStringLiteral("b@example.org"));
        QCOMPARE(Fixtures::settingsGroups("profiles"), QStringList({"b@example.org"}));
        manager.removeProfile(0); // the last one
        QCOMPARE(manager.currentProfile(), -1);
        QVERIFY(Fixtures::settingsGroups("profiles").isEmpty());
        // Out of range: nothing is touched.
        manager.removeProfile(0);
        manager.removeProfile(-1);
        manager.changeProfile(3, QString(), QStringLiteral("x@y"), nullptr, nullptr);
        manager.initCurrentProfile(7);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A changed address moves the group (without login and password) and the
    // stored letters, unless letters already live under the new address.
    void changingTheAddress_data()
    {
        QTest::addColumn<bool>("targetTaken");
        QTest::newRow("free address: moved") << false;
        QTest::newRow("address with letters: refused") << true;
    }
    void changingTheAddress()
    {
        QFETCH(bool, targetTaken);
        const QString root = PrivateFiles::storeRoot();
        const QString letter = QStringLiteral("/Incoming/kept@example.org.eml");
        QVERIFY(PrivateFiles::makeDirectory(root + QStringLiteral("/old@example.org/Incoming")));
        QVERIFY(Fixtures::writeFile(root + QStringLiteral("/old@example.org") + letter, QByteArray()));
        if (targetTaken)
            QVERIFY(PrivateFiles::makeDirectory(root + QStringLiteral("/new@example.org/Incoming")));
        ProfileManager manager;
        addAccounts(manager, {"old@example.org"});
        QSignalSpy errors(&manager, &ProfileManager::error);
        manager.changeProfile(0, QStringLiteral("Me too"), QStringLiteral("new@example.org"), nullptr, nullptr);
        QCOMPARE(errors.count(), targetTaken ? 1 : 0);
        const QString now = targetTaken ? QStringLiteral("old@example.org") : QStringLiteral("new@example.org");
        QCOMPARE(manager.profileAt(0)->email(), now);
        QCOMPARE(Fixtures::settingsGroups("profiles"), QStringList{now});
        QCOMPARE(QFile::exists(root + QStringLiteral("/new@example.org") + letter), !targetTaken);
        QCOMPARE(QFile::exists(root + QStringLiteral("/old@example.org") + letter), targetTaken);
        if (!targetTaken) {
            QCOMPARE(accountValue(now, "name").toString(), QStringLiteral("Me too"));
            QVERIFY(!accountValue(now, "inLogin").isValid() && !accountValue(now, "inPassword").isValid());
        }
    }

    // The setting is read with a floor and reaches every started account.
    void checkInterval_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << QVariant(0) << 60000;
        QTest::newRow("negative") << QVariant(-300) << 60000;
        QTest::newRow("unreadable") << QVariant(QStringLiteral("often")) << 60000;
        QTest::newRow("ten minutes") << QVariant(600000) << 600000;
    }
    void checkInterval()
    {
        QFETCH(QVariant, setting);
        QFETCH(int, interval);
        Fixtures::storeAccounts({"a@example.org", "b@example.org"}, QStringLiteral("a@example.org"));
        QSettings().setValue(QStringLiteral("global/getMailTimerInterval"), setting);
        ProfileManager manager;
        QCOMPARE(manager.profileAt(0)->mailTimer()->interval(), interval);
        manager.initCurrentProfile(1);
        QVERIFY(manager.profileAt(1)->mailTimer()->isActive());
        manager.setGetMailTimerInterval(120000);
        QCOMPARE(manager.profileAt(0)->mailTimer()->interval(), 120000);
        QCOMPARE(manager.profileAt(1)->mailTimer()->interval(), 120000);
        QCOMPARE(Settings::getMailTimerInterval(), 120000);
    }

    // A password typed for one account must never reach another, even when
    // both ask before the user answers either.
    void answersGoToTheAccountThatAsked()
    {
        ProfileManager manager;
        addAccounts(manager, {"a@example.org", "b@example.org"});
        Profile *a = manager.profileAt(0);
        Profile *b = manager.profileAt(1);
        QSignalSpy shown(&manager, &ProfileManager::queryPasswordQml);
        QSignalSpy toA(a, &Profile::setPassword);
        QSignalSpy toB(b, &Profile::setPassword);
        QSignalSpy login(b, &Profile::setUsername);
        QSignalSpy failed(&manager, &ProfileManager::authFailedQml);
        manager.setPasswordQml(QStringLiteral("x"), true); // nobody asked
        QCOMPARE(toA.count() + toB.count(), 0);
        emit a->queryPassword();
        emit b->queryPassword();
        QCOMPARE(shown.count(), 1);
        QCOMPARE(manager.currentProfileQuery(), 0);
        manager.setPasswordQml(QStringLiteral("  for-a \t"), true);
        QCOMPARE(toA.at(0).at(0).toString(), QStringLiteral("for-a"));
        QCOMPARE(toB.count(), 0);
        QCOMPARE(shown.count(), 2);
        QCOMPARE(manager.currentProfileQuery(), 1);
        manager.setPasswordQml(QStringLiteral("for-b"), true);
        QCOMPARE(toB.at(0).at(0).toString(), QStringLiteral("for-b"));
        emit b->queryUsername();
        manager.setUsernameQml(QStringLiteral(" me "), false);
        QCOMPARE(login.at(0).at(0).toString(), QStringLiteral("me"));
        QCOMPARE(accountValue("b@example.org", "inLogin").toString(), QStringLiteral("login"));
        emit b->authFailed(QStringLiteral("NO [AUTHENTICATIONFAILED]"));
        QCOMPARE(failed.count(), 1);
        // The account that asked is removed: a late answer reaches nobody.
        emit b->queryPassword();
        manager.removeProfile(1);
        manager.setPasswordQml(QStringLiteral("late"), true);
        QCOMPARE(toA.count() + toB.count(), 2);
    }

    // A login typed for sending is stored as the outgoing one; a password
    // never reaches the file.
    // While a check runs, as while a letter is out: the question says whose.
    void answersGoUnderTheKeyOfTheServerThatAsked()
    {
        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy login(&profile, &Profile::queryUsername);
        QSignalSpy password(&profile, &Profile::queryPassword);
        ServerQuestion question;
        question.incoming = false;
        question.kind = ServerQuestion::Username;
        emit profile.connection()->queryUsername(question);
        QVERIFY(login.wait());
        profile.applyUsername(QStringLiteral("outlogin"), true);
        question.kind = ServerQuestion::Password;
        emit profile.connection()->queryPassword(question);
        QVERIFY(password.wait());
        profile.applyPassword(QStringLiteral("out"), true);
        QCOMPARE(accountValue("me@example.org", "outLogin").toString(), QStringLiteral("outlogin"));
        QVERIFY(QSettings().allKeys().filter(QStringLiteral("Password")).isEmpty());
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
        letter.setLetterType(Letter::LetterSeen);
        emit manager.profileAt(0)->receiveLetter(&letter);
        emit manager.profileAt(0)->receiveLetter(nullptr);
        QCOMPARE(notice.count(), 1);
        QCOMPARE(notice.at(0).at(1).toString(), QStringLiteral("Ann <ann@example.org>\nLunch"));
    }

    // Checks do not overlap; the letter given while one runs is kept as it
    // was (the form starts its next letter at once) and sent after it. The
    // check ends by itself: the worker has no server to ask.
    void letterGivenWhileBusyIsSentWhenReady()
    {
        QSettings().setValue(QStringLiteral("profiles/me@example.org/inServer"), "imap.example.org");
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        QStringList sent;
        connect(&profile, &Profile::sendLetter, this, [&](Letter *letter) {
            QVERIFY(letter != profile.newLetter() && !letter->id().isEmpty());
            sent.append(letter->subject());
        });
        profile.queryIncomingMail();
        profile.queryIncomingMail();
        QCOMPARE(profile.status(), Profile::RECIEVING_STATUS);
        QCOMPARE(profile.findChildren<MailCheck *>().size(), 1);
        profile.newLetter()->setSubject(QStringLiteral("Kept"));
        profile.sendNewLetter();
        profile.newLetter()->clear();
        QCOMPARE(sent, QStringList());
        QTRY_COMPARE(sent, QStringList{QStringLiteral("Kept")});
    }

    // Drafts saved one after another must not replace each other; a draft
    // with an id of its own keeps it.
    void draftIds()
    {
        QSettings().setValue(QStringLiteral("profiles/me@example.org/inServer"), "imap.example.org");
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        for (const QString &id : {QString(), QStringLiteral("own-id@example.org")}) {
            profile.newLetter()->clear();
            profile.newLetter()->setId(id);
            profile.newLetter()->setSubject(QStringLiteral("Draft"));
            profile.saveNewLetterToDrafts();
            QVERIFY(!profile.newLetter()->id().isEmpty());
        }
        QCOMPARE(profile.newLetter()->id(), QStringLiteral("own-id@example.org"));
        QTRY_COMPARE(profile.folder(Letter::DraftsFolder)->count(), 2);
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

    // Passwords sealed into the settings file by older versions, and the
    // file itself; read back also as other tools or older versions write
    // them, in either case of hex digits and with separators.
    void sealingMatchesOpenssl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("15 bytes") << QStringLiteral("123456789012345");
        QTest::newRow("16 bytes") << QStringLiteral("1234567890123456");
        QTest::newRow("unicode") << QString::fromUtf8("пароль с пробелами ✓");
    }

    void sealingMatchesOpenssl()
    {
        QFETCH(QString, text);
        const QString expected = opensslSeal(text.toUtf8());
        QVERIFY2(!expected.isEmpty(), "the openssl command line is needed for this test");
        const QString sealed = Utils::encrypt(text);
        QCOMPARE(sealed, expected);
        QCOMPARE(Utils::decrypt(sealed), text);
        QString spaced;
        for (int i = 0; i < sealed.size(); i += 2)
            spaced += sealed.mid(i, 2).toLower() + QStringLiteral(" :\n");
        QCOMPARE(Utils::decrypt(spaced), text);
    }

    void damagedValues()
    {
        const QRegularExpression logged("^Utils::decrypt\\(\\): CryptoPP::Exception: .+");
        QTest::ignoreMessage(QtCriticalMsg, logged);
        QCOMPARE(Utils::decrypt(QString(30, QLatin1Char('A'))), QString()); // not a whole block
        // Wrong padding in the last block: the blocks before it are returned.
        QString broken = Utils::encrypt(QStringLiteral("0123456789abcdefXYZ"));
        broken[40] = broken[40] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QTest::ignoreMessage(QtCriticalMsg, logged);
        QCOMPARE(Utils::decrypt(broken), QStringLiteral("0123456789abcdef"));
    }

    // Where earlier versions keep their settings, written at once so that a
    // crash right after a change keeps it; unreadable numbers read as zero.
    void settingsFile()
    {
        Settings::setStoreMessagesCount(250);
        Settings::setCurrentProfile(QStringLiteral("me@example.org"));
        QSettings file(QDir::homePath() + QStringLiteral("/.config/drel/mail.conf"), QSettings::IniFormat);
        QCOMPARE(file.value("global/storeMessagesCount").toInt(), 250);
        QCOMPARE(file.value("global/currentProfile").toString(), QStringLiteral("me@example.org"));
        file.setValue(QStringLiteral("global/storeMessagesCount"), QStringLiteral("many"));
        file.sync();
        QSettings().sync();
        QCOMPARE(Settings::storeMessagesCount(), 0);
    }
};

MAIL_TEST_MAIN(ProfileManagerTest)
#include "tst_profilemanager.moc"
