#include "bytesmessage.h"
#include "model/letter.h"
#include "model/messagefile.h"
#include "store/cache.h"
#include "testhome.h"

#include <QApplication>
#include <QDirIterator>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {

QByteArray plainMessage(const QByteArray &id, const QByteArray &subject = "Hello",
                        const QByteArray &body = "Just a short line.\r\n")
{
    QByteArray m;
    if (!id.isNull())
        m += "Message-ID: <" + id + ">\r\n";
    m += "From: Anna Petrova <anna@example.org>\r\n"
         "To: Boris <boris@example.net>\r\n"
         "Subject: " + subject + "\r\n"
         "Date: Tue, 01 Dec 2026 10:20:30 +0300\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: text/plain; charset=utf-8\r\n"
         "\r\n" + body;
    return m;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// Every file below a directory, as paths relative to it.
QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

Letter *takeLetter(QSignalSpy &spy, int i = 0)
{
    return qvariant_cast<Letter *>(spy.at(i).at(0));
}

const QString account = QStringLiteral("user@example.org");

} // namespace

class TestCache : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // Layout and the decision which messages are new
    void createsFolderDirectories();
    void knowsIncomingArchiveTrashAndFullyRemoved();
    void newMessageIdAsksOrEnds();

    // Storing received messages
    void storesReceivedMessageAsIs();
    void deleteFromServerFollowsNextRequest();
    void hostileMessageIdsStayInFolder_data();
    void hostileMessageIdsStayInFolder();
    void ordinaryIdsKeepTheirFileName();
    void missingHeadersDoNotCrash();
    void brokenDownloadLeavesNoFile();
    void failedWriteLeavesNoFileAndStopsCheck();
    void unwritableFolderStopsCheck();

    // Filing, moving, removing
    void savesDraftUnderMillisecondId();
    void deleteMovesToTrashWithWholeMessage();
    void emptyingTrashForgetsForGood();
    void deleteWithoutLetterForgetsForGood();
    void archiveKeepsFileKnown();
    void restoreDraftFromTrash();
    void failedTrashCopyKeepsOriginal();
    void readMessageFileOfMissingFile();

private:
    QString m_root;
};

void TestCache::initTestCase()
{
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    QCoreApplication::setOrganizationName(QStringLiteral("drel"));
    QCoreApplication::setApplicationName(QStringLiteral("mail"));
    qRegisterMetaType<Letter *>("Letter*");
    m_root = TestHome::path() + QStringLiteral("/.drel-mail/") + account;
}

void TestCache::init()
{
    QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
    QSettings().clear();
}

void TestCache::createsFolderDirectories()
{
    Cache cache(account, QStringLiteral("imap.example.org"));
    for (const char *name : {"Incoming", "Drafts", "Sent", "Archive", "Trash"})
        QVERIFY2(QFileInfo(m_root + QLatin1Char('/') + QLatin1String(name)).isDir(), name);
    QCOMPARE(cache.folderPath(Letter::TrashFolder), m_root + QStringLiteral("/Trash"));
    QCOMPARE(cache.folderPath(7), m_root + QStringLiteral("/Incoming"));
    QCOMPARE(cache.indexPath(Letter::DraftsFolder), m_root + QStringLiteral("/drafts.conf"));
    QVERIFY(cache.knownMessageFiles().isEmpty());
}

void TestCache::knowsIncomingArchiveTrashAndFullyRemoved()
{
    {
        Cache cache(account, QString());
    }
    writeFile(m_root + QStringLiteral("/Incoming/a@x.eml"), plainMessage("a@x"));
    writeFile(m_root + QStringLiteral("/Archive/b@x.eml"), plainMessage("b@x"));
    writeFile(m_root + QStringLiteral("/Trash/c@x.eml"), plainMessage("c@x"));
    writeFile(m_root + QStringLiteral("/Drafts/d@x.eml"), plainMessage("d@x"));
    writeFile(m_root + QStringLiteral("/Sent/e@x.eml"), plainMessage("e@x"));
    writeFile(m_root + QStringLiteral("/Incoming/notes.txt"), "x");
    writeFile(m_root + QStringLiteral("/fully-removed"), "f@x.eml\n\ng@x.eml\n");

    Cache cache(account, QString());
    QSet<QString> expected{"a@x.eml", "b@x.eml", "c@x.eml", "f@x.eml", "g@x.eml"};
    QCOMPARE(cache.knownMessageFiles(), expected);
}

void TestCache::newMessageIdAsksOrEnds()
{
    {
        Cache cache(account, QString());
    }
    writeFile(m_root + QStringLiteral("/fully-removed"), "gone@x.eml\n");
    writeFile(m_root + QStringLiteral("/Incoming/held@x.eml"), plainMessage("held@x"));
    Cache cache(account, QString());
    QSignalSpy ask(&cache, &Cache::getNewMail);
    QSignalSpy done(&cache, &Cache::lettersRecieved);

    cache.onNewMessageId(7, QStringLiteral("new@x"));
    QCOMPARE(ask.count(), 1);
    QCOMPARE(ask.at(0).at(0).toInt(), 7);
    QCOMPARE(done.count(), 0);

    cache.onNewMessageId(6, QStringLiteral("held@x"));
    cache.onNewMessageId(5, QStringLiteral("gone@x"));
    QCOMPARE(done.count(), 2);
    // Letter case counts.
    cache.onNewMessageId(4, QStringLiteral("HELD@x"));
    QCOMPARE(ask.count(), 2);
}

void TestCache::storesReceivedMessageAsIs()
{
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);
    QSignalSpy del(&cache, &Cache::deleteMessageFromServer);
    const QByteArray bytes = plainMessage("m1@example.org", "=?UTF-8?B?0J/RgNC40LLQtdGC?=");

    cache.onNewMessage(BytesMessage::create(5, bytes));

    QCOMPARE(readFile(m_root + QStringLiteral("/Incoming/m1@example.org.eml")), bytes);
    QVERIFY(cache.isKnownMessageFile(QStringLiteral("m1@example.org.eml")));
    QCOMPARE(letters.count(), 1);
    Letter *letter = takeLetter(letters);
    QCOMPARE(letter->parent(), &cache);
    QCOMPARE(letter->id(), QStringLiteral("m1@example.org"));
    QCOMPARE(letter->from(), QStringLiteral("Anna Petrova <anna@example.org>"));
    QCOMPARE(letter->subject(), QString::fromUtf8("Привет"));
    QCOMPARE(letter->date(), QDateTime(QDate(2026, 12, 1), QTime(7, 20, 30), Qt::UTC));
    QCOMPARE(letter->date().timeSpec(), Qt::UTC);
    QCOMPARE(letter->letterType(), int(Letter::LetterUnseen));
    QVERIFY(!letter->parsed());
    QCOMPARE(ask.count(), 1);
    QCOMPARE(ask.at(0).at(0).toInt(), 4);
    QCOMPARE(del.count(), 0);

    cache.onNewMessage(vmime::shared_ptr<vmime::net::message>());
    QCOMPARE(letters.count(), 1);

    // The check ends at the next, already held, message.
    QSignalSpy finished(&cache, &Cache::lettersRecieved);
    cache.onNewMessageId(4, QStringLiteral("m1@example.org"));
    QCOMPARE(finished.count(), 1);

    // Nothing from the folder is fetched twice.
    Cache restarted(account, QString());
    QSignalSpy done(&restarted, &Cache::lettersRecieved);
    restarted.onNewMessageId(5, QStringLiteral("m1@example.org"));
    QCOMPARE(done.count(), 1);
}

void TestCache::deleteFromServerFollowsNextRequest()
{
    QSettings().setValue(QStringLiteral("global/deleteFromServer"), true);
    Cache cache(account, QString());
    QStringList order;
    connect(&cache, &Cache::getNewMail, [&](int n) { order << QStringLiteral("get %1").arg(n); });
    connect(&cache, &Cache::deleteMessageFromServer,
            [&](int n) { order << QStringLiteral("delete %1").arg(n); });
    cache.onNewMessage(BytesMessage::create(3, plainMessage("d1@x")));
    QCOMPARE(order, QStringList({"get 2", "delete 3"}));
}

void TestCache::hostileMessageIdsStayInFolder_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("parent path") << QStringLiteral("../../../../escape@x");
    QTest::newRow("slash") << QStringLiteral("a/b@x");
    QTest::newRow("absolute") << QStringLiteral("/tmp/evil@x");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("hidden") << QStringLiteral(".hidden@x");
    QTest::newRow("backslash") << QStringLiteral("a\\..\\b@x");
    QTest::newRow("line feed") << QStringLiteral("a\nb@x");
    QTest::newRow("nul") << QString::fromLatin1("a\0b@x", 5);
    QTest::newRow("very long") << QString(400, QLatin1Char('z')) + QStringLiteral("@x");
    QTest::newRow("prefix") << MessageFile::hashedNamePrefix() + QStringLiteral("0000");
}

void TestCache::hostileMessageIdsStayInFolder()
{
    QFETCH(QString, id);
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);
    const QStringList before = filesUnder(TestHome::path());

    // The id arrives both as announced and inside the stored message.
    cache.onNewMessageId(2, id);
    cache.onNewMessage(BytesMessage::create(2, plainMessage(QByteArray())));

    const QString name = MessageFile::fileName(id);
    QVERIFY(!name.contains(QLatin1Char('/')));
    QCOMPARE(name, MessageFile::fileName(id)); // stable
    QVERIFY(name.startsWith(MessageFile::hashedNamePrefix()));
    QVERIFY(name.size() < 100);

    QStringList added = filesUnder(TestHome::path());
    for (const QString &f : before)
        added.removeOne(f);
    // The unfinished check's mark (which message it stored last).
    added.removeOne(QStringLiteral(".drel-mail/") + account + QStringLiteral("/interrupted-check"));
    QCOMPARE(added, QStringList{QStringLiteral(".drel-mail/") + account + QStringLiteral("/Incoming/") + name});
    QCOMPARE(letters.count(), 1);
    QCOMPARE(takeLetter(letters)->id(), id);
    QVERIFY(cache.isKnownMessageFile(name));

    // The check ends at the next, already held, message.
    cache.onNewMessageId(1, id);

    // Known from now on, also after a restart, and removable for good
    // without touching anything outside the folder.
    Cache restarted(account, QString());
    QSignalSpy done(&restarted, &Cache::lettersRecieved);
    restarted.onNewMessageId(2, id);
    QCOMPARE(done.count(), 1);
    restarted.deleteMessage(id, 0, Letter::IncomingFolder, nullptr);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/") + name));
    QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), name.toUtf8() + '\n');
    Cache third(account, QString());
    QVERIFY(third.isKnownMessageFile(name));
}

void TestCache::ordinaryIdsKeepTheirFileName()
{
    for (const QString &id : {QStringLiteral("CAF=x+y_z.123@mail.example.com"),
                              QStringLiteral("1733490000123@drel-mail"),
                              QString::fromUtf8("ёлка..2@пример.рф"),
                              QStringLiteral("no-at-sign")}) {
        QCOMPARE(MessageFile::baseName(id), id);
        QCOMPARE(MessageFile::fileName(id), id + QStringLiteral(".eml"));
    }
    Cache cache(account, QString());
    cache.onNewMessage(BytesMessage::create(1, plainMessage("a..b@x")));
    QVERIFY(QFile::exists(m_root + QStringLiteral("/Incoming/a..b@x.eml")));
}

void TestCache::missingHeadersDoNotCrash()
{
    const QByteArray bare = "\r\nA body and nothing else.\r\n";
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);

    // Stored under the id that was announced for it ...
    cache.onNewMessageId(9, QStringLiteral("derived-by-server-side@x"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    cache.onNewMessage(BytesMessage::create(9, bare));
    QCOMPARE(letters.count(), 1);
    Letter *letter = takeLetter(letters);
    QCOMPARE(letter->id(), QStringLiteral("derived-by-server-side@x"));
    QCOMPARE(letter->from(), QString());
    QCOMPARE(letter->subject(), QString());
    QVERIFY(letter->date() >= before);
    QVERIFY(QFile::exists(m_root + QStringLiteral("/Incoming/derived-by-server-side@x.eml")));
    QCOMPARE(ask.last().at(0).toInt(), 8);

    // ... or, when none was announced, under one made from its content.
    cache.onNewMessage(BytesMessage::create(4, bare + "x"));
    cache.onNewMessage(BytesMessage::create(4, bare + "x"));
    QCOMPARE(letters.count(), 3);
    const QString derived = takeLetter(letters, 1)->id();
    QVERIFY(derived.endsWith(QStringLiteral("@drel-mail")));
    QCOMPARE(takeLetter(letters, 2)->id(), derived);
    QVERIFY(cache.isKnownMessageFile(derived + QStringLiteral(".eml")));
}

void TestCache::brokenDownloadLeavesNoFile()
{
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);
    QSignalSpy failed(&cache, &Cache::writeFailed);
    const QByteArray bytes = plainMessage("cut@x", "Cut", QByteArray(5000, 'a') + "\r\n");
    cache.onNewMessage(BytesMessage::create(3, bytes, 1000));
    QCOMPARE(filesUnder(m_root + QStringLiteral("/Incoming")), QStringList());
    QVERIFY(!cache.isKnownMessageFile(QStringLiteral("cut@x.eml")));
    QCOMPARE(letters.count(), 0);
    QCOMPARE(ask.count(), 0);
    QCOMPARE(failed.count(), 1);
}

void TestCache::failedWriteLeavesNoFileAndStopsCheck()
{
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);
    QSignalSpy done(&cache, &Cache::lettersRecieved);
    QSignalSpy failed(&cache, &Cache::writeFailed);
    const QByteArray bytes = plainMessage("big@x", "Big", QByteArray(200000, 'b') + "\r\n");

    // A file size limit makes the write fail part way, as a full disk does,
    // even for root.
    struct rlimit old;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 65536;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    cache.onNewMessage(BytesMessage::create(3, bytes));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(filesUnder(m_root + QStringLiteral("/Incoming")), QStringList());
    QVERIFY(!cache.isKnownMessageFile(QStringLiteral("big@x.eml")));
    QCOMPARE(letters.count(), 0);
    // Where the file system has no unnamed temporary files, a write killed
    // half way leaves a named one; the next start clears it away and never
    // counts it as received.
    writeFile(m_root + QStringLiteral("/Incoming/big@x.eml.Ab3dE9"), bytes.left(100));
    writeFile(m_root + QStringLiteral("/Incoming/kept.eml.x@y.eml"), plainMessage("kept.eml.x@y"));
    {
        Cache restarted(account, QString());
        QVERIFY(!restarted.isKnownMessageFile(QStringLiteral("big@x.eml")));
        QVERIFY(restarted.isKnownMessageFile(QStringLiteral("kept.eml.x@y.eml")));
    }
    QCOMPARE(filesUnder(m_root + QStringLiteral("/Incoming")), QStringList{"kept.eml.x@y.eml"});
    QFile::remove(m_root + QStringLiteral("/Incoming/kept.eml.x@y.eml"));
    QCOMPARE(ask.count(), 0);
    QCOMPARE(done.count(), 0);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.at(0).at(0).toString().isEmpty());

    // The next check fetches it again and stores it whole.
    cache.onNewMessageId(3, QStringLiteral("big@x"));
    QCOMPARE(ask.count(), 1);
    cache.onNewMessage(BytesMessage::create(3, bytes));
    QCOMPARE(readFile(m_root + QStringLiteral("/Incoming/big@x.eml")), bytes);
}

void TestCache::unwritableFolderStopsCheck()
{
    Cache cache(account, QString());
    QSignalSpy letters(&cache, &Cache::newIncomingLetter);
    QSignalSpy ask(&cache, &Cache::getNewMail);
    QSignalSpy failed(&cache, &Cache::writeFailed);
    // Not a directory any more: no process can write into it, root included.
    QVERIFY(QDir(m_root + QStringLiteral("/Incoming")).removeRecursively());
    writeFile(m_root + QStringLiteral("/Incoming"), "in the way");

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Cache::onNewMessage\\(\\) cannot write"));
    cache.onNewMessage(BytesMessage::create(2, plainMessage("w@x")));
    QCOMPARE(letters.count(), 0);
    QCOMPARE(ask.count(), 0);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!cache.isKnownMessageFile(QStringLiteral("w@x.eml")));
}

void TestCache::savesDraftUnderMillisecondId()
{
    Cache cache(account, QString());
    QSignalSpy drafts(&cache, &Cache::newDraftLetter);
    QSignalSpy trash(&cache, &Cache::newTrashLetter);
    Letter draft;
    draft.setFrom(QStringLiteral("Anna <anna@example.org>"));
    draft.setToList({QStringLiteral("boris@example.net:::Boris")});
    draft.setSubject(QStringLiteral("Plans"));
    draft.setBodyList({QStringLiteral("<p>Let us meet.</p>")});
    draft.setId(QStringLiteral("1765000000123"));
    QVERIFY(cache.saveLetterToFolder(&draft, Letter::DraftsFolder));
    QVERIFY(QFile::exists(m_root + QStringLiteral("/Drafts/1765000000123@drel-mail.eml")));
    QCOMPARE(drafts.count(), 1);
    Letter *filed = takeLetter(drafts);
    QCOMPARE(filed->id(), QStringLiteral("1765000000123@drel-mail"));
    QCOMPARE(filed->letterType(), int(Letter::LetterSeen));
    QCOMPARE(filed->folderType(), int(Letter::DraftsFolder));
    QCOMPARE(filed->subject(), QStringLiteral("Plans"));
    QCOMPARE(filed->from(), QStringLiteral("Anna <anna@example.org>"));
    // Drafts were never on a server.
    QVERIFY(!cache.isKnownMessageFile(QStringLiteral("1765000000123@drel-mail.eml")));
    QVERIFY(readFile(m_root + QStringLiteral("/Drafts/1765000000123@drel-mail.eml")).contains("Boris"));

    // A letter without an id that is deleted gets one before it is filed.
    Letter unsaved;
    unsaved.setFrom(QStringLiteral("anna@example.org"));
    unsaved.setBodyList({QStringLiteral("x")});
    unsaved.setFolderType(Letter::DraftsFolder);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    cache.deleteMessage(QString(), 0, Letter::DraftsFolder, &unsaved);
    QVERIFY(unsaved.id().toLongLong() >= before);
    QCOMPARE(trash.count(), 1);
    QCOMPARE(takeLetter(trash)->id(), unsaved.id() + QStringLiteral("@drel-mail"));
    QCOMPARE(takeLetter(trash)->folderType(), int(Letter::DraftsFolder));
}

void TestCache::deleteMovesToTrashWithWholeMessage()
{
    Cache cache(account, QString());
    QSignalSpy incoming(&cache, &Cache::newIncomingLetter);
    QSignalSpy trash(&cache, &Cache::newTrashLetter);
    QSignalSpy removed(&cache, &Cache::removeIncomingLetter);
    const QByteArray bytes = plainMessage("t1@x", "Keep me", "Every word of this body.\r\n");
    cache.onNewMessage(BytesMessage::create(1, bytes));
    Letter *letter = takeLetter(incoming);

    // Deleted unread: the letter holds no body, but the file must keep it.
    cache.deleteMessage(letter->id(), 4, Letter::IncomingFolder, letter);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/t1@x.eml")));
    QCOMPARE(readFile(m_root + QStringLiteral("/Trash/t1@x.eml")), bytes);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/fully-removed")));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toInt(), 4);
    QCOMPARE(trash.count(), 1);
    Letter *inTrash = takeLetter(trash);
    QCOMPARE(inTrash->id(), QStringLiteral("t1@x"));
    QCOMPARE(inTrash->folderType(), int(Letter::IncomingFolder));
    QCOMPARE(inTrash->subject(), QStringLiteral("Keep me"));
    QCOMPARE(inTrash->letterType(), int(Letter::LetterSeen));

    // Still known: a later check does not fetch it again.
    Cache restarted(account, QString());
    QVERIFY(restarted.isKnownMessageFile(QStringLiteral("t1@x.eml")));
}

void TestCache::emptyingTrashForgetsForGood()
{
    Cache cache(account, QString());
    QSignalSpy incoming(&cache, &Cache::newIncomingLetter);
    QSignalSpy trash(&cache, &Cache::newTrashLetter);
    QSignalSpy removed(&cache, &Cache::removeTrashLetter);
    cache.onNewMessage(BytesMessage::create(1, plainMessage("t2@x")));
    cache.deleteMessage(QStringLiteral("t2@x"), 0, Letter::IncomingFolder, takeLetter(incoming));
    cache.deleteMessage(QStringLiteral("t2@x"), 0, Letter::TrashFolder, takeLetter(trash));
    QCOMPARE(trash.count(), 1);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Trash/t2@x.eml")));
    QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), QByteArray("t2@x.eml\n"));
    QCOMPARE(removed.count(), 1);

    // Never downloaded again, even with the folders emptied by hand.
    for (const char *f : {"Incoming", "Trash", "Archive"})
        QDir(m_root + QLatin1Char('/') + QLatin1String(f)).removeRecursively();
    Cache restarted(account, QString());
    QSignalSpy done(&restarted, &Cache::lettersRecieved);
    restarted.onNewMessageId(1, QStringLiteral("t2@x"));
    QCOMPARE(done.count(), 1);
}

void TestCache::deleteWithoutLetterForgetsForGood()
{
    Cache cache(account, QString());
    QSignalSpy removed(&cache, &Cache::removeSentLetter);
    QSignalSpy trash(&cache, &Cache::newTrashLetter);
    writeFile(m_root + QStringLiteral("/Sent/s@x.eml"), plainMessage("s@x"));
    cache.deleteMessage(QStringLiteral("s@x"), 2, Letter::SentFolder, nullptr);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Sent/s@x.eml")));
    QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), QByteArray("s@x.eml\n"));
    QCOMPARE(trash.count(), 0);
    QCOMPARE(removed.at(0).at(0).toInt(), 2);
}

void TestCache::archiveKeepsFileKnown()
{
    Cache cache(account, QString());
    QSignalSpy incoming(&cache, &Cache::newIncomingLetter);
    QSignalSpy archive(&cache, &Cache::newArchiveLetter);
    QSignalSpy removed(&cache, &Cache::removeIncomingLetter);
    const QByteArray bytes = plainMessage("ar@x");
    cache.onNewMessage(BytesMessage::create(1, bytes));
    cache.archiveMessage(QStringLiteral("ar@x"), 3, Letter::IncomingFolder, takeLetter(incoming));
    QCOMPARE(readFile(m_root + QStringLiteral("/Archive/ar@x.eml")), bytes);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/ar@x.eml")));
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/fully-removed")));
    QCOMPARE(takeLetter(archive)->folderType(), int(Letter::ArchiveFolder));
    QCOMPARE(removed.at(0).at(0).toInt(), 3);
    Cache restarted(account, QString());
    QVERIFY(restarted.isKnownMessageFile(QStringLiteral("ar@x.eml")));
}

void TestCache::restoreDraftFromTrash()
{
    Cache cache(account, QString());
    QSignalSpy drafts(&cache, &Cache::newDraftLetter);
    QSignalSpy trash(&cache, &Cache::newTrashLetter);
    QSignalSpy removedTrash(&cache, &Cache::removeTrashLetter);
    Letter draft;
    draft.setFrom(QStringLiteral("anna@example.org"));
    draft.setBodyList({QStringLiteral("draft body")});
    draft.setId(QStringLiteral("1765000000999"));
    QVERIFY(cache.saveLetterToFolder(&draft, Letter::DraftsFolder));
    Letter *listed = takeLetter(drafts);
    const QString id = listed->id();
    const QByteArray bytes = readFile(m_root + QStringLiteral("/Drafts/") + id + QStringLiteral(".eml"));
    cache.deleteMessage(id, 0, Letter::DraftsFolder, listed);
    Letter *inTrash = takeLetter(trash);
    QCOMPARE(inTrash->folderType(), int(Letter::DraftsFolder));

    cache.restoreMessage(id, 5, inTrash);
    QCOMPARE(drafts.count(), 2);
    QCOMPARE(takeLetter(drafts, 1)->folderType(), int(Letter::DraftsFolder));
    QCOMPARE(readFile(m_root + QStringLiteral("/Drafts/") + id + QStringLiteral(".eml")), bytes);
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/Trash/") + id + QStringLiteral(".eml")));
    QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), (id + QStringLiteral(".eml\n")).toUtf8());
    QCOMPARE(removedTrash.at(0).at(0).toInt(), 5);
}

void TestCache::failedTrashCopyKeepsOriginal()
{
    Cache cache(account, QString());
    QSignalSpy incoming(&cache, &Cache::newIncomingLetter);
    QSignalSpy removed(&cache, &Cache::removeIncomingLetter);
    QSignalSpy failed(&cache, &Cache::writeFailed);
    const QByteArray bytes = plainMessage("keep@x");
    cache.onNewMessage(BytesMessage::create(1, bytes));
    QVERIFY(QDir(m_root + QStringLiteral("/Trash")).removeRecursively());
    writeFile(m_root + QStringLiteral("/Trash"), "in the way");

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("cannot write"));
    cache.deleteMessage(QStringLiteral("keep@x"), 0, Letter::IncomingFolder, takeLetter(incoming));
    QCOMPARE(readFile(m_root + QStringLiteral("/Incoming/keep@x.eml")), bytes);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(failed.count(), 1);
}

void TestCache::readMessageFileOfMissingFile()
{
    Cache cache(account, QString());
    auto message = cache.readMessageFile(Letter::IncomingFolder, QStringLiteral("nothing@x"));
    QVERIFY(message);
    QVERIFY(!message->getHeader()->findField(vmime::fields::SUBJECT));
    writeFile(m_root + QStringLiteral("/Archive/r@x.eml"), plainMessage("r@x", "Read me"));
    message = cache.readMessageFile(Letter::ArchiveFolder, QStringLiteral("r@x"));
    QCOMPARE(QString::fromStdString(message->getHeader()->Subject()->getValue<vmime::text>()->getWholeBuffer()),
             QStringLiteral("Read me"));
}

MAIL_TEST_MAIN(TestCache)
#include "tst_cache.moc"
