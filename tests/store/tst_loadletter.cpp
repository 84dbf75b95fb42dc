// Opening a letter: its message file parsed into bodies, recipients and
// attachments, hand-written corpus messages included, and the list fields
// read from encoded headers when a message arrives.
#include "fixtures.h"
#include "hostilemail.h"
#include "main/startup.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "store/cache.h"
#include "store/letterparser.h"
#include "storefeeder.h"
#include "testhome.h"

#include <QtTest>

namespace {

const QString account = QStringLiteral("reader@corpus.test");

QString corpusPath(const QString &name)
{
    return QStringLiteral(MAIL_TEST_DATA_DIR "/mail/") + name;
}

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

class TestLoadLetter : public QObject
{
    Q_OBJECT

    Cache *m_cache = nullptr;
    QObject *m_owner = nullptr;

    QString folderPath(int folder) const
    {
        return TestHome::path() + QStringLiteral("/.drel-mail/") + account + QLatin1Char('/')
                + StoreLayout::folderName(folder);
    }

    // Puts a corpus message into a folder and loads it with a store made
    // afterwards (so Incoming knows the file).
    Letter *load(const QString &file, int folder = Letter::ArchiveFolder)
    {
        delete m_cache;
        QDir().mkpath(folderPath(folder));
        const QString target = folderPath(folder) + QStringLiteral("/corpus.eml");
        QFile::remove(target);
        if (!QFile::copy(corpusPath(file), target))
            qFatal("cannot copy %s", qPrintable(file));
        m_cache = new Cache(account, QString());
        auto *letter = new Letter(m_owner);
        letter->setId(QStringLiteral("corpus"));
        m_cache->loadLetter(letter, folder);
        QTest::qVerify(QTest::qWaitFor([letter] { return letter->parsed(); }, 10000), "parsed", "",
                       __FILE__, __LINE__);
        return letter;
    }

    // Hands the message to a new store as a check does; the row it listed.
    Letter *receive(const QByteArray &message)
    {
        m_cache = new Cache(account, QString());
        QSignalSpy letters(m_cache, &Cache::letterFiled);
        feedStore(m_cache, {message});
        return letters.count() == 1 ? qvariant_cast<Letter *>(letters.at(0).at(1)) : nullptr;
    }

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void init()
    {
        QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
        m_owner = new QObject;
    }

    void cleanup()
    {
        delete m_cache;
        m_cache = nullptr;
        delete m_owner;
        m_owner = nullptr;
    }

    void opensCorpusLetters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<bool>>("html");
        QTest::addColumn<QStringList>("bodies");     // a fragment of each body
        QTest::addColumn<QStringList>("to");         // as a header writes them
        QTest::addColumn<QStringList>("attachments");
        using B = QList<bool>;
        using L = QStringList;
        QTest::newRow("alternative keeps only HTML")
                << "alternative.eml" << B{true} << L{u("<p>Grüße aus <b>München</b>!</p>")}
                << L{"Olga <olga@corpus.test>"} << L{};
        QTest::newRow("HTML then plain keeps both")
                << "html-then-plain.eml" << B{true, false}
                << L{"<p>Order <i>42</i> shipped.</p>", "Tracking: see the carrier's page."}
                << L{"buyer@corpus.test"} << L{};
        QTest::newRow("two plain parts linked separately")
                << "two-plain.eml" << B{true, false}
                << L{"First: <a href=\"https://example.org/first?a=1&amp;b=2\">"
                     "https://example.org/first?a=1&amp;b=2</a><br>second line",
                     "No link here: mailto:nobody and note:this\nStill plain."}
                << L{"b@corpus.test"} << L{};
        QTest::newRow("linked text shows markup as written")
                << "links.eml" << B{true}
                << L{"<a href=\"file:///home/user/report.txt\">file:///home/user/report.txt</a><br>"
                     "Do not run &lt;script&gt;alert(1)&lt;/script&gt; &amp; friends."}
                << L{"b@corpus.test"} << L{};
        QTest::newRow("cid picture shown from its part")
                << "related-cid.eml" << B{true} << L{"<img src=\"image://inline/"}
                << L{"reader@corpus.test"} << L{};
        QTest::newRow("nested multiparts, encoded names")
                << "nested.eml" << B{true} << L{u("<p>Voilà le <b>résumé</b>. <img src=\"image://inline/")}
                << L{"Team <team@corpus.test>"} << L{u("отчёт 2026.pdf"), u("цифры.csv")};
        QTest::newRow("KOI8-R 8bit") << "koi8r.eml" << B{false} << L{u("Привет из Москвы!\nВторая строка.\n")}
                                     << L{"olga@corpus.test"} << L{};
        QTest::newRow("windows-1251 base64")
                << "cp1251.eml" << B{false} << L{u("Добрый день, коллеги.\nСчёт во вложении.\n")}
                << L{u("Коллеги <team@corpus.test>")} << L{};
        QTest::newRow("ISO-2022-JP") << "iso2022jp.eml" << B{false} << L{u("こんにちは、世界。\n")}
                                     << L{"tanaka@corpus.test"} << L{};
        // Read as RFC 2045 says: no type is text/plain; bytes no converter
        // knows still show, as Latin-1.
        QTest::newRow("part without type, unknown charset")
                << "no-content-type-part.eml" << B{false, false}
                << L{"A part without any header.", u("nobody knows: éè")} << L{"b@corpus.test"} << L{};
        QTest::newRow("type without subtype") << "text-without-subtype.eml" << B{false}
                                              << L{"A type without its subtype is plain text."}
                                              << L{"b@corpus.test"} << L{};
        QTest::newRow("no blank line after the header")
                << "header-runs-into-body.eml" << B{false}
                << L{"The header ends here without a blank line.\nSecond line of the body."}
                << L{"b@corpus.test"} << L{};
        QTest::newRow("attachment without name") << "unnamed-attachment.eml" << B{false} << L{"See the picture."}
                                                 << L{"b@corpus.test"} << L{"attachment.png"};
        QTest::newRow("no text part") << "no-text.eml" << B{} << L{} << L{"office@corpus.test"}
                                      << L{"scan.png", "raw.bin"};
        QTest::newRow("group recipients opened")
                << "group.eml" << B{false} << L{""}
                << L{"Anna Berg <anna@corpus.test>", "bob@corpus.test", "carol@corpus.test"} << L{};
        // Unclosed boundaries still yield the text that is there.
        QTest::newRow("broken boundaries") << "broken-boundary.eml" << B{true} << L{"<p>cut"}
                                           << L{"b@corpus.test"} << L{};
        QTest::newRow("no header at all") << "no-headers.eml" << B{false} << L{"Only a body"} << L{} << L{};
    }

    void opensCorpusLetters()
    {
        QFETCH(QString, file);
        QFETCH(QList<bool>, html);
        QFETCH(QStringList, bodies);
        QFETCH(QStringList, to);
        QFETCH(QStringList, attachments);
        Letter *letter = load(file);
        QVERIFY(letter->parsed());
        QCOMPARE(letter->bodyHtmlList(), html);
        QCOMPARE(letter->bodyList().size(), bodies.size());
        for (int i = 0; i < bodies.size(); ++i)
            QVERIFY2(letter->bodyList().at(i).contains(bodies.at(i)), qPrintable(letter->bodyList().at(i)));
        QStringList shown;
        for (const Recipient &recipient : letter->toList())
            shown << recipient.toString();
        QCOMPARE(shown, to);
        QStringList names;
        for (const QVariant &entry : letter->attachList()) {
            names << Attachment::fromVariant(entry)->name();
            QCOMPARE(Attachment::fromVariant(entry)->parent(), m_cache);
        }
        QCOMPARE(names, attachments);
    }

    // Beyond the corpus letters: a bare domain and an international one.
    void makeLinksRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no scheme") << "see example.org\nbye" << "see example.org\nbye";
        QTest::newRow("encoded and readable")
                << u("https://пример.рф/путь")
                << u("<a href=\"https://xn--e1afmkfd.xn--p1ai/%D0%BF%D1%83%D1%82%D1%8C\">https://пример.рф/путь</a>");
    }

    void makeLinksRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(LetterParser::makeLinks(text), expected);
    }

    void seenStateOnlyInIncoming()
    {
        for (int folder : {Letter::IncomingFolder, Letter::DraftsFolder, Letter::TrashFolder}) {
            Letter *letter = load(QStringLiteral("no-text.eml"), folder);
            QSignalSpy seen(m_cache, &Cache::seenLetter);
            m_cache->loadLetter(letter, folder);   // parsed already: nothing happens
            QCOMPARE(seen.count(), 0);
            QCOMPARE(letter->letterType(), int(folder == Letter::IncomingFolder ? Letter::LetterSeenWithAttachment
                                                                                : Letter::LetterUnseen));
        }
    }

    void fileUnknownToIncomingStaysUnparsed()
    {
        m_cache = new Cache(account, QString());
        // Put there after the store scanned the folder: not a received message.
        QVERIFY(QFile::copy(corpusPath(QStringLiteral("group.eml")),
                            folderPath(Letter::IncomingFolder) + QStringLiteral("/group@corpus.test.eml")));
        Letter letter;
        letter.setId(QStringLiteral("group@corpus.test"));
        m_cache->loadLetter(&letter, Letter::IncomingFolder);
        QVERIFY(!letter.parsed());
        // A missing file elsewhere gives an empty, parsed letter.
        letter.setId(QStringLiteral("nowhere@corpus.test"));
        m_cache->loadLetter(&letter, Letter::SentFolder);
        QTRY_VERIFY(letter.parsed() && letter.bodyList().isEmpty() && letter.toList().isEmpty());
    }

    void listFieldsFromEncodedHeaders_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QDateTime>("date");
        QTest::newRow("UTF-8") << "alternative.eml" << u("Jürgen Müller <juergen@corpus.test>")
                               << u("Привет, мир!") << QDateTime(QDate(2026, 12, 2), QTime(8, 15), Qt::UTC);
        QTest::newRow("KOI8-R") << "koi8r.eml" << u("Иван <ivan@corpus.test>") << u("Привет")
                                << QDateTime(QDate(2026, 12, 6), QTime(7, 0), Qt::UTC);
        QTest::newRow("windows-1251") << "cp1251.eml" << u("Счет-сервис <billing@corpus.test>") << u("Счет")
                                      << QDateTime(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC);
        QTest::newRow("ISO-2022-JP") << "iso2022jp.eml" << u("山田 <yamada@corpus.test>") << u("こんにちは")
                                     << QDateTime(QDate(2026, 12, 6), QTime(3, 0), Qt::UTC);
        QTest::newRow("ISO-8859-1") << "nested.eml" << u("Renée François <renee@corpus.test>")
                                    << u("Résumé and figures")
                                    << QDateTime(QDate(2026, 12, 5), QTime(23, 45, 10), Qt::UTC);
        QTest::newRow("bare address") << "html-then-plain.eml" << "shop@corpus.test" << "Your order"
                                      << QDateTime(QDate(2026, 12, 3), QTime(11, 0), Qt::UTC);
    }

    void listFieldsFromEncodedHeaders()
    {
        QFETCH(QString, file);
        QFETCH(QString, from);
        QFETCH(QString, subject);
        QFETCH(QDateTime, date);
        const Letter *letter = receive(Fixtures::readFile(corpusPath(file)));
        QVERIFY(letter);
        QCOMPARE(letter->from(), from);
        QCOMPARE(letter->subject(), subject);
        QCOMPARE(letter->date(), date);
    }

    // Through the real store: listed when it arrives, opened with what the
    // limits let through (the rest as attachments), and deleted.
    void hostileLettersStayReadable_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("bodies");
        QTest::addColumn<QString>("lastBody");      // a fragment of the last body
        QTest::addColumn<QStringList>("attachments"); // the first and the last
        using L = QStringList;
        QTest::newRow("5,000 nested multiparts") << HostileMail::nested(5000) << MessageBounds::MaxDepth
                                                 << "level 63" << L{"attachment", "attachment"};
        QTest::newRow("20,000 nested multiparts") << HostileMail::nested(20000) << MessageBounds::MaxDepth
                                                  << "level 63" << L{"attachment", "attachment"};
        QTest::newRow("5,000 levels, delimiters with a tail")
                << HostileMail::nested(5000, "-x") << MessageBounds::MaxDepth << "level 63"
                << L{"attachment", "attachment"};
        QTest::newRow("100,000 parts") << HostileMail::manyParts(100000) << 1 << "first part"
                                       << L{"p1.bin", MessageBounds::remainingPartsName()};
        QTest::newRow("10 MB header") << HostileMail::hugeHeader(10 << 20) << 1 << "first part" << L{};
        QTest::newRow("40 MB line") << HostileMail::hugeLine(40 << 20) << 2 << "lll:" << L{};
        QTest::newRow("400 cid: references to one picture")
                << HostileMail::cidAmplified(400) << 1 << "<img src=\"image://inline/" << L{};
        QTest::newRow("49 MB letter") << HostileMail::large(49 << 20) << 1 << "first part"
                                      << L{"big.bin", "big.bin"};
    }

    void hostileLettersStayReadable()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, bodies);
        QFETCH(QString, lastBody);
        QFETCH(QStringList, attachments);
        Letter *letter = receive(message);
        QVERIFY(letter);
        QCOMPARE(letter->subject(), QStringLiteral("hostile"));

        // Parsed off the main thread: the window goes on meanwhile.
        bool parsedWhenTicked = true;
        QTimer::singleShot(0, [&] { parsedWhenTicked = letter->parsed(); });
        m_cache->loadLetter(letter, Letter::IncomingFolder);
        QVERIFY(!letter->parsed());
        // The 40 MB line costs the mail library some 12 s of processor time:
        // on a machine busy with other work, several times that.
        QTRY_VERIFY_WITH_TIMEOUT(letter->parsed(), 400000);
        // A letter this large keeps the parser far longer than one turn.
        if (message.size() > (8 << 20))
            QVERIFY(!parsedWhenTicked);
        QCOMPARE(letter->bodyList().size(), bodies);
        QVERIFY(letter->bodyList().last().contains(lastBody));
        // Nothing is copied per use: what is shown is no larger than the letter.
        QVERIFY(letter->bodyList().join(QString()).size() <= message.size());
        QStringList ends;
        if (!letter->attachList().isEmpty())
            ends << Attachment::fromVariant(letter->attachList().first())->name()
                 << Attachment::fromVariant(letter->attachList().last())->name();
        QCOMPARE(ends, attachments);

        const QString file = m_cache->messageFilePath(Letter::IncomingFolder, letter->id());
        QSignalSpy trashed(m_cache, &Cache::letterFiled);
        m_cache->deleteMessage(letter->id(), Letter::IncomingFolder, letter);
        QCOMPARE(trashed.count(), 1);
        QCOMPARE(trashed.at(0).at(0).toInt(), int(Letter::TrashFolder));
        QVERIFY(!QFile::exists(file));
    }
};

MAIL_TEST_MAIN(TestLoadLetter)
#include "tst_loadletter.moc"
