#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/keyring.h"
#include "base/settings.h"
#include "mailservers.h"
#include "model/letter.h"
#include "secretservice.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QtTest>

namespace SM = ServerKind;

namespace {
const QString email = QStringLiteral("test@example.org");
const QString renamed = QStringLiteral("renamed@example.org");

Server *record(const ServerManager &manager, SM::Type type)
{
    for (const QVariant &item : manager.servers()) {
        if (item.value<Server *>()->type() == type)
            return item.value<Server *>();
    }
    return nullptr;
}

// One run of the program in a process of its own, so that every run meets
// the keyring afresh, as after a restart. Steps: "start" (only what the
// program does at start, as moving sealed passwords), "add" (an account with
// the test password), "check", "rename", "remove", "removeServer". Every
// password question is answered with the test password and "remember".
// Prints "asked=<questions> told=<the keyring's state, for each question that
// said why> fetched=<new letters>".
int client(const QStringList &steps)
{
    TestHome::prepareProgram();
    ServerManager servers;
    ProfileManager manager;
    Keyring *keyring = manager.findChild<Keyring *>();
    int asked = 0;
    QStringList told;
    int fetched = 0;
    QObject::connect(&manager, &ProfileManager::queryPasswordQml, [&] {
        ++asked;
        if (!manager.keyringNotice().isEmpty())
            told << QString::fromLatin1(QMetaEnum::fromType<Keyring::State>().valueToKey(keyring->state()));
        manager.setPasswordQml(MailServers::password(), true);
    });
    for (const QString &step : steps) {
        Server *in = record(servers, SM::INCOMING_TYPE);
        Server *out = record(servers, SM::OUTGOING_TYPE);
        if (step == QLatin1String("add")) {
            manager.addProfile(QStringLiteral("Test"), email, in, out, MailServers::user(),
                               MailServers::password());
        } else if (step == QLatin1String("check")) {
            Profile *profile = manager.profileAt(manager.currentProfile());
            profile->setIncomingServer(in);
            profile->setOutgoingServer(out);
            QObject::connect(profile, &Profile::receiveLetter, [&] { ++fetched; });
            profile->queryIncomingMail();
            if (!QTest::qWaitFor([&] { return profile->status() == Profile::READY_STATUS; }, 60000))
                fetched = -1;
        } else if (step == QLatin1String("rename")) {
            manager.changeProfile(0, QStringLiteral("Test"), renamed, in, out);
        } else if (step == QLatin1String("remove")) {
            manager.removeProfile(0);
        } else if (step == QLatin1String("removeServer")) {
            servers.removeServer(servers.servers().indexOf(QVariant::fromValue(in)));
        }
    }
    // Whatever the keyring was told is done before the program ends.
    const QList<Keyring *> keyrings{keyring, servers.findChild<Keyring *>()};
    const bool settled = QTest::qWaitFor([&] {
        for (const Keyring *keyring : keyrings) {
            if (keyring->busy())
                return false;
        }
        return true;
    }, 30000);
    printf("%sasked=%d told=%s fetched=%d\n", settled ? "" : "keyring busy: ", asked,
           qPrintable(told.join(QLatin1Char('+'))), fetched);
    return 0;
}
}

class KeyringTest : public ServerTestCase
{
    Q_OBJECT

    SecretService keyring;
    int m_runs = 0;

    QString in() const { return MailServers::address(servers.imapPort()); }
    QString out() const { return MailServers::address(servers.smtpPort()); }
    // What one run of the program printed; "killed" when a crash point ended it.
    QString runClient(const QString &steps, const QString &crashAt = QString())
    {
        // Each check has one new letter to fetch.
        if (steps.contains(QLatin1String("check")))
            servers.seed(MailServers::makeMessage(QStringLiteral("run%1@example.org").arg(++m_runs),
                                                  QStringLiteral("Hello")));
        QProcess process;
        QProcessEnvironment environment = keyring.environment();
        if (!crashAt.isEmpty())
            environment.insert(QStringLiteral("DREL_CRASH_AT"), crashAt);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--client"), steps});
        if (!process.waitForFinished(90000))
            return QStringLiteral("hung");
        if (process.exitCode() == 86)
            return QStringLiteral("killed");
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    // The keys of the settings file that hold a password.
    static QStringList passwordKeys() { return QSettings().allKeys().filter(QStringLiteral("Password")); }

private slots:
    void initTestCase()
    {
        ServerTestCase::initTestCase();
        QVERIFY(keyring.startBus());
    }
    void init()
    {
        ServerTestCase::init();
        QVERIFY(keyring.enter(SecretService::Absent));
        keyring.clear();
        Settings::saveServer(in(), {int(SM::INCOMING_TYPE), int(SM::IMAP), int(SM::NO_SSL), int(SM::AUTO_AUTH), QString()});
        Settings::saveServer(out(), {int(SM::OUTGOING_TYPE), int(SM::SMTP), int(SM::NO_SSL), int(SM::AUTO_AUTH), QString()});
    }

    // The keyring's tool shows the label to whoever looks: a password given
    // in a server address must not be in it.
    void labels_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("label");
        QTest::newRow("host and port") << "imap.example.org:993" << "Mail: a@example.org on imap.example.org";
        QTest::newRow("credentials in the address")
                << "login:hunter2@imap.example.org:993" << "Mail: a@example.org on imap.example.org";
        QTest::newRow("IPv6") << "[::1]:993" << "Mail: a@example.org on [::1]";
        QTest::newRow("no server") << "" << "Mail: a@example.org";
    }
    void labels()
    {
        QFETCH(QString, server);
        QFETCH(QString, label);
        QCOMPARE((Keyring::Entry{QStringLiteral("a@example.org"), server, true}.label()), label);
    }

    void passwordsLiveInTheKeyring_data()
    {
        QTest::addColumn<QString>("settings");   // "sealed": as an older version left it
        QTest::addColumn<int>("firstKeyring");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("crashAt");
        QTest::addColumn<QString>("firstResult");
        QTest::addColumn<int>("secondKeyring");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("secondResult");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("sealedLeft");

        const int running = SecretService::Running;
        const int locked = SecretService::Locked;
        const int absent = SecretService::Absent;
        const QString inEntry = QStringLiteral("Mail: test@example.org on 127.0.0.1|incoming|secret");
        const QString outEntry = QStringLiteral("Mail: test@example.org on 127.0.0.1|outgoing|secret");
        const QString asked = QStringLiteral("asked=1 told= fetched=1");
        const QString toldLocked = QStringLiteral("asked=1 told=Locked fetched=1");
        const QString toldMissing = QStringLiteral("asked=1 told=Missing fetched=1");
        const QString quiet = QStringLiteral("asked=0 told= fetched=1");
        const QString none = QStringLiteral("asked=0 told= fetched=0");

        QTest::newRow("stored, read after a restart")
                << "" << running << "add" << "" << none << running << "check" << quiet
                << QStringList{inEntry} << false;
        QTest::newRow("answer remembered, not asked again")
                << "account" << running << "check" << "" << asked << running << "check" << quiet
                << QStringList{inEntry} << false;
        QTest::newRow("sealed passwords move")
                << "sealed" << running << "check" << "" << quiet << running << "check" << quiet
                << QStringList{inEntry, outEntry} << false;
        QTest::newRow("move killed before the keyring confirmed both")
                << "sealed" << running << "start" << "keyring-written:1" << "killed" << running << "check"
                << quiet << QStringList{inEntry, outEntry} << false;
        QTest::newRow("move killed before the file lost them")
                << "sealed" << running << "start" << "keyring-written:2" << "killed" << running << "check"
                << quiet << QStringList{inEntry, outEntry} << false;
        QTest::newRow("locked: asked, told why, nothing kept")
                << "account" << locked << "check" << "" << toldLocked << locked << "check" << toldLocked
                << QStringList() << false;
        QTest::newRow("locked: sealed passwords wait for it")
                << "sealed" << locked << "check" << "" << quiet << running << "check" << quiet
                << QStringList{inEntry, outEntry} << false;
        QTest::newRow("no keyring: asked, told why, nothing kept")
                << "account" << absent << "check" << "" << toldMissing << absent << "check" << toldMissing
                << QStringList() << false;
        QTest::newRow("no keyring: sealed passwords stay and work")
                << "sealed" << absent << "check" << "" << quiet << absent << "check" << quiet
                << QStringList() << true;
        QTest::newRow("account removed")
                << "" << running << "add" << "" << none << running << "remove" << none
                << QStringList() << false;
        QTest::newRow("address changed")
                << "" << running << "add" << "" << none << running << "rename" << none
                << QStringList{QStringLiteral("Mail: renamed@example.org on 127.0.0.1|incoming|secret")} << false;
        QTest::newRow("server record removed")
                << "" << running << "add" << "" << none << running << "removeServer" << none
                << QStringList() << false;
    }

    void passwordsLiveInTheKeyring()
    {
        QFETCH(QString, settings);
        QFETCH(int, firstKeyring);
        QFETCH(QString, first);
        QFETCH(QString, crashAt);
        QFETCH(QString, firstResult);
        QFETCH(int, secondKeyring);
        QFETCH(QString, second);
        QFETCH(QString, secondResult);
        QFETCH(QStringList, entries);
        QFETCH(bool, sealedLeft);
#ifndef MAIL_CRASH_POINTS
        if (!crashAt.isEmpty())
            QSKIP("built without crash points (configure with -DMAIL_CRASH_POINTS=ON)");
#endif
        if (!settings.isEmpty()) {
            Settings::saveAccount(email, QStringLiteral("Test"), in(), out());
            Settings::setAccountValue(email, Settings::inLoginKey, MailServers::user());
            Settings::setCurrentProfile(email);
        }
        if (settings == QLatin1String("sealed"))
            Settings::setAccountValue(email, Settings::inPasswordKey, Utils::encrypt(MailServers::password()));

        QVERIFY(keyring.enter(SecretService::State(firstKeyring)));
        QCOMPARE(runClient(first, crashAt), firstResult);
        if (!crashAt.isEmpty())
            QCOMPARE(passwordKeys(), QStringList{QStringLiteral("profiles/test@example.org/inPassword")});
        QVERIFY(keyring.enter(SecretService::State(secondKeyring)));
        QCOMPARE(runClient(second), secondResult);

        QCOMPARE(keyring.entries(), entries);
        QCOMPARE(!passwordKeys().isEmpty(), sealedLeft);
    }
};

int main(int argc, char *argv[])
{
    TestHome::prepare();
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--client") == 0)
        return client(QString::fromLocal8Bit(argv[2]).split(QLatin1Char(',')));
    KeyringTest tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_keyring.moc"
