#include "accounts/utils.h"
#include "base/settings.h"
#include "main/drel.h"
#include "testhome.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

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
}

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        drelInit("1.0.8-1", "Mail");
        QCOMPARE(int(sizeof(keyPhrase) - 1), 172);
    }

    void sealingMatchesOpenssl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("short") << QStringLiteral("secret");
        QTest::newRow("15 bytes") << QStringLiteral("123456789012345");
        QTest::newRow("16 bytes") << QStringLiteral("1234567890123456");
        QTest::newRow("unicode") << QString::fromUtf8("пароль с пробелами ✓");
        QTest::newRow("long") << QString(100, QLatin1Char('p'));
    }

    void sealingMatchesOpenssl()
    {
        QFETCH(QString, text);
        const QString expected = opensslSeal(text.toUtf8());
        QVERIFY2(!expected.isEmpty(), "the openssl command line is needed for this test");
        const QString sealed = Utils::encrypt(text);
        QCOMPARE(sealed, expected);
        QCOMPARE(Utils::decrypt(sealed), text);
    }

    void sealedLengths()
    {
        const QString empty = Utils::encrypt(QString());
        QCOMPARE(empty.size(), 32);
        QCOMPARE(Utils::decrypt(empty), QString());
        QCOMPARE(Utils::encrypt(QString(15, QLatin1Char('a'))).size(), 32);
        QCOMPARE(Utils::encrypt(QString(16, QLatin1Char('a'))).size(), 64);
        // Two bytes per character in UTF-8: 8 characters are 16 bytes.
        QCOMPARE(Utils::encrypt(QString::fromUtf8("ёёёёёёёё")).size(), 64);
        const QString sealed = Utils::encrypt(QStringLiteral("password"));
        QCOMPARE(sealed, sealed.toUpper());
        QCOMPARE(Utils::encrypt(QStringLiteral("password")), sealed);
    }

    void unsealingAcceptsEitherCaseAndSkipsOtherCharacters()
    {
        const QString sealed = Utils::encrypt(QStringLiteral("hunter2"));
        QCOMPARE(Utils::decrypt(sealed.toLower()), QStringLiteral("hunter2"));
        QString spaced;
        for (int i = 0; i < sealed.size(); i += 2)
            spaced += sealed.mid(i, 2) + QStringLiteral(" :\n");
        QCOMPARE(Utils::decrypt(spaced), QStringLiteral("hunter2"));
    }

    void damagedValues()
    {
        // 15 bytes: not a whole block.
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Utils::decrypt\\(\\): CryptoPP::Exception: .+"));
        QCOMPARE(Utils::decrypt(QString(30, QLatin1Char('A'))), QString());

        // Wrong padding in the last block: the blocks before it are returned.
        const QString sealed = Utils::encrypt(QStringLiteral("0123456789abcdefXYZ"));
        QCOMPARE(sealed.size(), 64);
        QString broken = sealed;
        broken[40] = broken[40] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Utils::decrypt\\(\\): CryptoPP::Exception: .+"));
        QCOMPARE(Utils::decrypt(broken), QStringLiteral("0123456789abcdef"));
    }

    void settingsFileLocation()
    {
        QSettings settings;
        QCOMPARE(settings.fileName(),
                 QDir::homePath() + QStringLiteral("/.config/drel/mail.conf"));
    }

    void globalDefaults()
    {
        QFile::remove(QSettings().fileName());
        QCOMPARE(Settings::storeMessagesCount(), 0);
        QCOMPARE(Settings::getMailTimerInterval(), 300000);
        QCOMPARE(Settings::deleteFromServer(), false);
        QCOMPARE(Settings::currentProfile(), QString());
    }

    void globalValuesAreWrittenAtOnce()
    {
        Settings::setStoreMessagesCount(250);
        Settings::setGetMailTimerInterval(60000);
        Settings::setDeleteFromServer(true);
        Settings::setCurrentProfile(QStringLiteral("me@example.org"));

        // A separate reader of the file sees them without any further step.
        QSettings file(QSettings().fileName(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("global"));
        QCOMPARE(file.value("storeMessagesCount").toInt(), 250);
        QCOMPARE(file.value("getMailTimerInterval").toInt(), 60000);
        QCOMPARE(file.value("deleteFromServer").toBool(), true);
        QCOMPARE(file.value("currentProfile").toString(), QStringLiteral("me@example.org"));
        QCOMPARE(Settings::storeMessagesCount(), 250);
        QCOMPARE(Settings::currentProfile(), QStringLiteral("me@example.org"));
    }

    void unreadableNumbersReadAsZero()
    {
        {
            QSettings settings;
            settings.setValue(QStringLiteral("global/storeMessagesCount"), QStringLiteral("many"));
            settings.setValue(QStringLiteral("global/getMailTimerInterval"), QStringLiteral("soon"));
        }
        QCOMPARE(Settings::storeMessagesCount(), 0);
        QCOMPARE(Settings::getMailTimerInterval(), 0);
    }
};

MAIL_TEST_MAIN(SettingsTest)
#include "tst_settings.moc"
