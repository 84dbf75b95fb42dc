#include "drel.h"
#include "settings.h"
#include "testhome.h"
#include "utils.h"

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
    }

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
    }

    // Stored values as other tools or older versions write them: either case
    // of hex digits with separators is read.
    void unsealingAcceptsEitherCaseAndSkipsOtherCharacters()
    {
        const QString sealed = Utils::encrypt(QStringLiteral("hunter2"));
        QString spaced;
        for (int i = 0; i < sealed.size(); i += 2)
            spaced += sealed.mid(i, 2).toLower() + QStringLiteral(" :\n");
        QCOMPARE(Utils::decrypt(spaced), QStringLiteral("hunter2"));
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

MAIL_TEST_MAIN(SettingsTest)
#include "tst_settings.moc"
