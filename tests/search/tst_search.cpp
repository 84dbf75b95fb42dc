// Letters found by their words through the store's own filing, and an index
// that is lost, killed while written, or out of disk: the next start finds
// every letter again and none that is gone.
#include "hostilemail.h"
#include "main/startup.h"
#include "model/letter.h"
#include "model/storelayout.h"
#include "search/lettersearch.h"
#include "store/cache.h"
#include "storefeeder.h"
#include "testhome.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sys/mount.h>

namespace {

QByteArray letter(const QByteArray &id, const QByteArray &header, const QByteArray &body)
{
    return "From: Sender <s@example.org>\r\nTo: me@example.org\r\nMessage-ID: <" + id
            + ">\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n" + header + "\r\n" + body;
}

QByteArray plain(const QByteArray &id, const QByteArray &charset, const QByteArray &body)
{
    return letter(id, "Subject: Plain\r\nContent-Type: text/plain; charset=" + charset
                          + "\r\nContent-Transfer-Encoding: 8bit\r\n",
                  body);
}

QByteArray withAttachment(const QByteArray &id, const QByteArray &disposition)
{
    return letter(id, "Subject: Files\r\nContent-Type: multipart/mixed; boundary=b\r\n",
                  "--b\r\nContent-Type: text/plain\r\n\r\nSee attached.\r\n--b\r\n"
                  "Content-Type: application/pdf\r\nContent-Disposition: attachment; " + disposition
                          + "\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n--b--\r\n");
}

// Runs the event loop until the search has indexed what it was given.
bool indexed(LetterSearch &search, QSignalSpy &changed)
{
    return QTest::qWaitFor([&] { return !changed.isEmpty() && !search.isIndexing(); }, 20000);
}

bool finds(LetterSearch &search, const QString &typed, const QString &id, int folder = -1)
{
    const QString name = StoreLayout::fileBaseName(id);
    for (const auto &hit : search.search(typed, folder)) {
        if (hit.name == name)
            return true;
    }
    return false;
}

const int storedLetters = 120;

// A store of letters that each carry a word of their own.
void writeStore(const QString &account)
{
    const QString incoming = StoreLayout::folderPath(account, Letter::IncomingFolder);
    QDir().mkpath(incoming);
    for (int i = 0; i < storedLetters; ++i) {
        QFile file(incoming + QStringLiteral("/s%1.eml").arg(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Words enough that the whole store's do not fit a small disk.
        QByteArray filler;
        for (int w = 0; w < 200; ++w)
            filler += " f" + QByteArray::number(i * 1000 + w);
        file.write(plain("s" + QByteArray::number(i), "utf-8", "common word" + QByteArray::number(i) + "x" + filler + "\r\n"));
    }
}

// Every letter of the store is found by its own word, and the store holds them all.
QString missing(LetterSearch &search, const QString &account)
{
    QStringList lost;
    for (int i = 0; i < storedLetters; ++i) {
        if (!QFile::exists(StoreLayout::folderPath(account, 0) + QStringLiteral("/s%1.eml").arg(i))
                || !finds(search, QStringLiteral("word%1x").arg(i), QStringLiteral("s%1").arg(i)))
            lost << QString::number(i);
    }
    return lost.join(QLatin1Char(' '));
}

// The victim: indexes the store in a process of its own, which a crash point ends.
int victim(const QString &account)
{
    TestHome::prepareProgram();
    Cache cache(account, QString());
    LetterSearch search;
    QSignalSpy changed(&search, &LetterSearch::changed);
    search.watch(&cache);
    return indexed(search, changed) ? 0 : 1;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void wordsOfALetter_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        const QByteArray latin1 = plain("l1", "iso-8859-1", "Caf\xe9 cr\xe8me na\xefve\r\n");
        QTest::newRow("latin-1 body, accents typed") << latin1 << QString::fromUtf8("café crème") << true;
        QTest::newRow("latin-1 body, no accents typed") << latin1 << QString::fromUtf8("CAFE naive") << true;
        QTest::newRow("a word that is not there") << latin1 << QString::fromUtf8("cafe tea") << false;
        QTest::newRow("prefix as typed") << plain("p1", "utf-8", "internationalization\r\n") << QString::fromUtf8("internat") << true;
        QTest::newRow("no infix") << plain("p2", "utf-8", "internationalization\r\n") << QString::fromUtf8("national") << false;
        QTest::newRow("one letter is a whole word") << plain("p3", "utf-8", "internationalization\r\n") << QString::fromUtf8("i") << false;
        QTest::newRow("quoted-printable windows-1252")
                << letter("q1", "Subject: QP\r\nContent-Type: text/plain; charset=windows-1252\r\n"
                                "Content-Transfer-Encoding: quoted-printable\r\n", "Gr=FC=DFe aus K=F6ln\r\n")
                << QString::fromUtf8("koln") << true;
        QTest::newRow("encoded subject")
                << letter("e1", "Subject: =?UTF-8?B?w5xiZXJtb3JnZW4gVHJlZmZlbg==?=\r\n", "x\r\n")
                << QString::fromUtf8("ubermorgen") << true;
        QTest::newRow("sender name") << letter("n1", "Subject: Hi\r\n", "x\r\n").replace("Sender", "=?UTF-8?Q?J=C3=B6rg_Wei=C3=9F?=")
                                     << QString::fromUtf8("jorg") << true;
        QTest::newRow("recipient address") << letter("r1", "Subject: Hi\r\nCc: Zoe <zoe.martin@example.net>\r\n", "x\r\n")
                                           << QString::fromUtf8("zoe.martin@example.net") << true;
        const QByteArray html = letter("h1", "Subject: Menu\r\nContent-Type: text/html; charset=utf-8\r\n",
                                       "<html><head><style>p { color: crimson }</style></head><body>"
                                       "<p>Cr&egrave;me br&#xFB;l&#233;e &amp; caf&eacute;</p></body></html>\r\n");
        QTest::newRow("html entities") << html << QString::fromUtf8("creme brulee cafe") << true;
        QTest::newRow("html markup is no word") << html << QString::fromUtf8("crimson") << false;
        const QByteArray cjk = letter("c1", "Subject: =?UTF-8?B?" + QString::fromUtf8("東京都に住んでいます").toUtf8().toBase64()
                                             + "?=\r\nContent-Type: text/plain; charset=utf-8\r\n",
                                      QString::fromUtf8("会議は来週です。").toUtf8() + "\r\n");
        QTest::newRow("cjk in a run") << cjk << QString::fromUtf8("京都") << true;
        QTest::newRow("cjk body") << cjk << QString::fromUtf8("会議 来週") << true;
        QTest::newRow("cjk apart is no run") << cjk << QString::fromUtf8("東住") << false;
        QTest::newRow("attachment name") << withAttachment("a1", "filename=\"Quarterly-Report.pdf\"") << QString::fromUtf8("quarterly report") << true;
        QTest::newRow("attachment name, RFC 2231")
                << withAttachment("a2", "filename*=UTF-8''%C3%9Cbersicht%202026.pdf") << QString::fromUtf8("ubersicht") << true;
        QTest::newRow("two words in two fields") << letter("t1", "Subject: Meeting\r\n", "tomorrow at ten\r\n")
                                                 << QString::fromUtf8("meeting tomorrow") << true;
        QTest::newRow("beyond the parser's depth") << HostileMail::nested(200) << QString::fromUtf8("first part") << true;
    }

    void wordsOfALetter()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const QString account = QStringLiteral("%1@example.org").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        Cache cache(account, QString());
        LetterSearch search;
        QSignalSpy changed(&search, &LetterSearch::changed);
        search.watch(&cache);
        feedStore(&cache, {message});
        QVERIFY(indexed(search, changed));
        const QString id = ListFields::fromMessage(message).id;
        QCOMPARE(finds(search, typed, id, Letter::IncomingFolder), found);
        QCOMPARE(finds(search, typed, id, Letter::ArchiveFolder), false);
    }

    // Moved to Trash it is found there only; removed for good, nowhere.
    void followsTheLetter()
    {
        const QString account = QStringLiteral("moves@example.org");
        Cache cache(account, QString());
        LetterSearch search;
        search.watch(&cache);
        QSignalSpy filed(&cache, &Cache::letterFiled);
        feedStore(&cache, {plain("m1", "utf-8", "walrus\r\n")});
        auto *letter = qvariant_cast<Letter *>(filed.at(0).at(1));
        QTRY_VERIFY(finds(search, QStringLiteral("walrus"), QStringLiteral("m1"), Letter::IncomingFolder));
        QVERIFY(cache.deleteMessage(letter->id(), Letter::IncomingFolder, letter));
        QTRY_VERIFY(finds(search, QStringLiteral("walrus"), QStringLiteral("m1"), Letter::TrashFolder));
        QTRY_VERIFY(!finds(search, QStringLiteral("walrus"), QStringLiteral("m1"), Letter::IncomingFolder));
        QVERIFY(cache.deleteMessage(letter->id(), Letter::TrashFolder, nullptr));
        QTRY_VERIFY(!finds(search, QStringLiteral("walrus"), QStringLiteral("m1")));
    }

    // A word in many letters: those of the newest dates come first, and a
    // list read to its end goes on where it stopped; a letter without a
    // date is the oldest.
    void newestFirst()
    {
        const QString account = QStringLiteral("dates@example.org");
        Cache cache(account, QString());
        LetterSearch search;
        search.watch(&cache);
        QList<QByteArray> letters;
        for (const char *year : {"2022", "2026", "", "2020", "2024"}) {
            QByteArray message = plain(QByteArray("y") + year, "utf-8", "walrus\r\n");
            letters << (*year ? message.replace("2026", year) : message.replace("Date: Mon, 7 Dec 2026 10:00:00 +0000\r\n", ""));
        }
        feedStore(&cache, letters);
        const auto order = [&] {
            QStringList names;
            qint64 last = std::numeric_limits<qint64>::max();
            for (QVector<SearchIndex::Hit> page; !(page = search.search(QStringLiteral("walrus"), -1, 2, last)).isEmpty();) {
                for (const auto &hit : page)
                    names << hit.name;
                last = page.last().key;
            }
            return names;
        };
        QTRY_COMPARE(order(), QStringList({"y2026", "y2024", "y2022", "y2020", "y"}));
    }

    void indexLostOrBroken_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("deleted") << QStringLiteral("deleted");
        QTest::newRow("overwritten with garbage") << QStringLiteral("garbage");
        QTest::newRow("killed inside a batch") << QStringLiteral("search-letter:50");
        QTest::newRow("killed after a batch") << QStringLiteral("search-batch:1");
        QTest::newRow("disk full") << QStringLiteral("full");
    }

    void indexLostOrBroken()
    {
        QFETCH(QString, fault);
        const QString account = QStringLiteral("lost-%1@example.org").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        writeStore(account);
        const QString path = LetterSearch::indexPath(account);
        const QString directory = QFileInfo(path).absolutePath();
        QDir().mkpath(directory);
        QString mounted;
        const auto unmount = qScopeGuard([&] {
            if (!mounted.isEmpty())
                ::umount2(QFile::encodeName(mounted).constData(), MNT_DETACH);
        });
        if (fault == QLatin1String("full")) {
            mounted = directory;
            if (::mount("tmpfs", QFile::encodeName(mounted).constData(), "tmpfs", 0, "size=64k") != 0)
                QSKIP("cannot mount a small file system here (needs root)");
        }

        if (fault.contains(QLatin1Char(':'))) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DREL_CRASH_AT"), fault);
            process.setProcessEnvironment(environment);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--victim"), account});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 86);
        } else {
            Cache cache(account, QString());
            LetterSearch search;
            QSignalSpy changed(&search, &LetterSearch::changed);
            QSignalSpy progress(&search, &LetterSearch::progress);
            search.watch(&cache);
            if (fault == QLatin1String("full")) {
                // The batch that did not fit is given up, and waits for room.
                QVERIFY(QTest::qWaitFor([&] { return !progress.isEmpty() && progress.last().at(1).toInt() == 0; },
                                        20000));
                QVERIFY(missing(search, account) != QString());
                QVERIFY(::mount("tmpfs", QFile::encodeName(mounted).constData(), "tmpfs", MS_REMOUNT, "size=8m") == 0);
            } else {
                QVERIFY(indexed(search, changed));
                QCOMPARE(missing(search, account), QString());
            }
        }
        if (fault == QLatin1String("deleted")) {
            QVERIFY(QFile::remove(path));
        } else if (fault == QLatin1String("garbage")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, '\x5a'));
        }
        // A letter removed meanwhile is not found again.
        QVERIFY(QFile::remove(StoreLayout::folderPath(account, 0) + QStringLiteral("/s8.eml")));

        Cache cache(account, QString());
        LetterSearch search;
        QSignalSpy changed(&search, &LetterSearch::changed);
        search.watch(&cache);
        QVERIFY(indexed(search, changed));
        QCOMPARE(missing(search, account), QStringLiteral("8"));
        QVERIFY(!finds(search, QStringLiteral("word8x"), QStringLiteral("s8")));
    }
};

int main(int argc, char *argv[])
{
    TestHome::prepare();
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--victim") == 0)
        return victim(QString::fromLocal8Bit(argv[2]));
    TestSearch tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_search.moc"
