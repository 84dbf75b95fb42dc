#include "accounts/profile.h"
#include "accounts/utils.h"
#include "base/filedialog.h"
#include "base/settings.h"
#include "main/drel.h"
#include "main/startup.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "model/storelayout.h"
#include "net/connection.h"
#include "servers/incomingserver.h"
#include "store/cache.h"
#include "testhome.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {
QVariant accountValue(const QString &email, const QString &key)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(email);
    return settings.value(key);
}

IncomingServer *incomingRecord(const QString &address)
{
    auto *server = new IncomingServer;
    server->setProtocol(ServerManager::IMAP);
    server->setSsl(ServerManager::NO_SSL);
    server->setAuth(ServerManager::AUTO_AUTH);
    server->setAddress(address);
    return server;
}
}

class ProfileTest : public QObject
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

    void constructionReadsOnlyTheServers()
    {
        {
            QSettings settings;
            settings.beginGroup(QStringLiteral("profiles/me@example.org"));
            settings.setValue("name", "Me");
            settings.setValue("inServer", "imap.example.org");
            settings.setValue("outServer", "smtp.example.org");
        }
        Profile profile(QStringLiteral("me@example.org"));
        QCOMPARE(profile.incomingServerStr(), QStringLiteral("imap.example.org"));
        QCOMPARE(profile.outgoingServerStr(), QStringLiteral("smtp.example.org"));
        QVERIFY(profile.name().isEmpty());
        QVERIFY(!profile.cache());
        QVERIFY(!profile.incomingModel());
        QCOMPARE(profile.status(), Profile::READY_STATUS);
    }

    void initializeBuildsFoldersOnlyWithAnIncomingServer()
    {
        {
            QSettings settings;
            settings.setValue(QStringLiteral("profiles/plain@example.org/name"), "Plain");
        }
        Profile bare(QStringLiteral("plain@example.org"));
        QSignalSpy name(&bare, &Profile::nameChanged);
        bare.initialize();
        QCOMPARE(bare.name(), QStringLiteral("Plain"));
        QCOMPARE(name.count(), 0);
        QVERIFY(!bare.cache());
        QVERIFY(!bare.incomingModel() && !bare.trashModel());
        QVERIFY(bare.connection()->isRunning());
        QVERIFY(bare.mailTimer()->isActive());
        QCOMPARE(bare.mailTimer()->interval(), 300000);

        {
            QSettings settings;
            settings.setValue(QStringLiteral("profiles/full@example.org/inServer"), "imap.example.org");
        }
        Profile full(QStringLiteral("full@example.org"));
        QSignalSpy incoming(&full, &Profile::incomingProxyModelChanged);
        QSignalSpy trash(&full, &Profile::trashProxyModelChanged);
        full.initialize();
        QVERIFY(full.cache());
        QCOMPARE(incoming.count(), 1);
        QCOMPARE(trash.count(), 1);
        for (int folder = 0; folder < Letter::FolderCount; ++folder) {
            QVERIFY(full.folderModel(folder));
            QCOMPARE(full.folderModel(folder)->indexPath(),
                     QDir::homePath() + QStringLiteral("/.drel-mail/full@example.org/")
                             + StoreLayout::folderName(folder).toLower() + QStringLiteral(".conf"));
        }
        QCOMPARE(full.incomingModel()->sourceModel(), full.folderModel(0));
        QCOMPARE(full.incomingModel()->sortOrder(), Qt::DescendingOrder);
        // Runs once.
        full.initialize();
        QCOMPARE(incoming.count(), 1);
    }

    void storedPasswordsAreUnsealed()
    {
        {
            QSettings settings;
            settings.beginGroup(QStringLiteral("profiles/me@example.org"));
            settings.setValue("inLogin", "me");
            settings.setValue("inPassword", Utils::encrypt(QStringLiteral("pw")));
        }
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        // Both directions got the incoming login and password: no question
        // is asked for either (checked against real servers elsewhere).
        QVERIFY(profile.connection()->isRunning());
    }

    void checksDoNotOverlap()
    {
        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy check(&profile, &Profile::queryGetMail);
        QSignalSpy status(&profile, &Profile::statusChanged);
        profile.queryIncomingMail();
        profile.queryIncomingMail();
        QCOMPARE(check.count(), 1);
        QCOMPARE(status.count(), 1);
        QCOMPARE(profile.status(), Profile::RECIEVING_STATUS);
        profile.setReadyStatus();
        QCOMPARE(status.count(), 2);
        profile.setReadyStatus();
        QCOMPARE(status.count(), 3);
        profile.queryIncomingMail();
        QCOMPARE(check.count(), 2);
    }

    void letterGivenWhileBusyIsSentWhenReady()
    {
        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy send(&profile, &Profile::sendLetter);
        profile.setStatus(Profile::RECIEVING_STATUS);
        profile.newLetter()->setSubject(QStringLiteral("Kept"));
        profile.newLetter()->setToList({QStringLiteral("you@example.org:::You")});
        profile.sendNewLetter();
        QCOMPARE(send.count(), 0);
        QCOMPARE(profile.pendingLetters(), 1);

        // The compose form starts its next letter at once.
        profile.newLetter()->clear();
        profile.setReadyStatus();
        QCOMPARE(send.count(), 1);
        QCOMPARE(profile.status(), Profile::SENDING_STATUS);
        auto *sent = send.at(0).at(0).value<Letter *>();
        QVERIFY(sent && sent != profile.newLetter());
        QCOMPARE(sent->subject(), QStringLiteral("Kept"));
        QCOMPARE(sent->toList(), QStringList({QStringLiteral("you@example.org:::You")}));
        QVERIFY(!sent->id().isEmpty());
    }

    void passwordsGoUnderTheKeyOfTheStatus()
    {
        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy password(&profile, &Profile::setPassword);
        profile.applyPassword(QStringLiteral("in"), true);
        QCOMPARE(Utils::decrypt(accountValue("me@example.org", "inPassword").toString()), QStringLiteral("in"));
        QVERIFY(!accountValue("me@example.org", "outPassword").isValid());
        profile.setStatus(Profile::SENDING_STATUS);
        profile.applyPassword(QStringLiteral("out"), true);
        profile.applyUsername(QStringLiteral("outlogin"), true);
        QCOMPARE(Utils::decrypt(accountValue("me@example.org", "outPassword").toString()), QStringLiteral("out"));
        QCOMPARE(accountValue("me@example.org", "outLogin").toString(), QStringLiteral("outlogin"));
        profile.setStatus(Profile::RECIEVING_STATUS);
        profile.applyPassword(QStringLiteral("unsaved"), false);
        QCOMPARE(Utils::decrypt(accountValue("me@example.org", "inPassword").toString()), QStringLiteral("in"));
        QCOMPARE(password.count(), 3);
    }

    void draftsGetMillisecondIds()
    {
        {
            QSettings settings;
            settings.setValue(QStringLiteral("profiles/me@example.org/inServer"), "imap.example.org");
        }
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        QVERIFY(profile.cache());
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        profile.newLetter()->setSubject(QStringLiteral("Draft"));
        profile.saveNewLetterToDrafts();
        const qint64 after = QDateTime::currentMSecsSinceEpoch();
        bool ok = false;
        const qint64 id = profile.newLetter()->id().toLongLong(&ok);
        QVERIFY(ok);
        QVERIFY(id >= before && id <= after);
        QCOMPARE(profile.draftsModel()->count(), 1);

        Letter *kept = profile.newLetter();
        kept->clear();
        kept->setId(QStringLiteral("own-id@example.org"));
        kept->setSubject(QStringLiteral("Mine"));
        profile.saveNewLetterToDrafts();
        QCOMPARE(kept->id(), QStringLiteral("own-id@example.org"));
        QCOMPARE(profile.draftsModel()->count(), 2);
    }

    void changedIncomingAddressRebuildsTheFolders()
    {
        Profile profile(QStringLiteral("me@example.org"));
        profile.initialize();
        auto *record = incomingRecord(QStringLiteral("imap.one.example"));
        profile.setIncomingServer(record);
        QPointer<Cache> firstCache = profile.cache();
        QVERIFY(firstCache);
        QCOMPARE(profile.incomingServerStr(), QStringLiteral("imap.one.example"));

        QSignalSpy rebuilt(&profile, &Profile::incomingProxyModelChanged);
        record->setAddress(QStringLiteral("imap.two.example"));
        QTRY_COMPARE(rebuilt.count(), 1);
        QCOMPARE(profile.incomingServerStr(), QStringLiteral("imap.two.example"));
        QVERIFY(profile.cache() != firstCache);
        QCOMPARE(accountValue("me@example.org", "inServer").toString(), QStringLiteral("imap.two.example"));
        QTRY_VERIFY(!firstCache);
    }

    void intervalChangeKeepsAStoppedTimerStopped()
    {
        Profile profile(QStringLiteral("me@example.org"));
        profile.onGetMailIntervalChanged(120000);
        QCOMPARE(profile.mailTimer()->interval(), 120000);
        QVERIFY(!profile.mailTimer()->isActive());
    }

    void attachingAFile()
    {
        const QString path = QDir::homePath() + QStringLiteral("/notes.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("some notes\n");
        file.close();

        Profile profile(QStringLiteral("me@example.org"));
        QSignalSpy changed(profile.newLetter(), &Letter::attachListChanged);
        QString caption, start;
        FileDialog::setAnswer([&](const QString &c, const QString &s) {
            caption = c;
            start = s;
            return path;
        });
        profile.createAttachment();
        FileDialog::setAnswer([](const QString &, const QString &) { return QString(); });
        profile.createAttachment();
        FileDialog::setAnswer({});

        QCOMPARE(caption, QStringLiteral("Choose file to attach"));
        QCOMPARE(start, QDir::homePath() + QStringLiteral("/"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(profile.newLetter()->attachList().size(), 1);
        auto *attachment = qvariant_cast<QObject *>(profile.newLetter()->attachList().at(0));
        QVERIFY(attachment);
        QCOMPARE(attachment->property("name").toString(), QStringLiteral("notes.txt"));
        QCOMPARE(attachment->property("type").toString(), QStringLiteral("text/plain"));
        QCOMPARE(attachment->property("size").toString(), QStringLiteral("11 B"));
        QCOMPARE(attachment->parent(), &profile);
    }
};

MAIL_TEST_MAIN(ProfileTest)
#include "tst_profile.moc"
