// The store's decisions during a check (what is new, where the check stops,
// hostile ids) and filing, moving and removing letters without losing a
// message file.
#include "fixtures.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/folderindex.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/storelayout.h"
#include "store/cache.h"
#include "store/mailcheck.h"
#include "storefeeder.h"
#include "testhome.h"

#include <QtTest>

using Fixtures::readFile;
using Fixtures::writeFile;

namespace {

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The i-th letter that a spy on letterFiled() saw filed in folder.
Letter *takeLetter(const QSignalSpy &spy, int folder, int i = 0)
{
    for (const QList<QVariant> &arguments : spy) {
        if (arguments.at(0).toInt() == folder && i-- == 0)
            return qvariant_cast<Letter *>(arguments.at(1));
    }
    return nullptr;
}

const QString account = QStringLiteral("user@example.org");

} // namespace

class TestCache : public QObject
{
    Q_OBJECT

    QString m_root;

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        m_root = TestHome::path() + QStringLiteral("/.drel-mail/") + account;
    }

    void init()
    {
        QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
        QSettings().clear();
    }

    void decidesWhatIsNewAndWhereToStop()
    {
        { Cache cache(account, QString()); }
        writeFile(m_root + QStringLiteral("/fully-removed"), "gone@x.eml\n\n");
        writeFile(m_root + QStringLiteral("/Incoming/held@x.eml"), MailServers::makeMessage("held@x", "Hello"));
        writeFile(m_root + "/Archive/archived@x.eml", MailServers::makeMessage("archived@x", "Hello"));
        // Drafts and Sent were never on a server.
        writeFile(m_root + QStringLiteral("/Sent/sent@x.eml"), MailServers::makeMessage("sent@x", "Hello"));
        // What a write cut short left behind is cleared before a check, never counted.
        writeFile(m_root + QStringLiteral("/Incoming/cut@x.eml.part"), "From: a");
        Cache cache(account, QString());
        for (const char *held : {"gone@x", "archived@x"}) {
            MailCheck check(&cache);
            QSignalSpy done(&check, &MailCheck::ended);
            check.start();
            check.onNewMessageIds({3}, {QString::fromLatin1(held)});
            QCOMPARE(done.count(), 1);
        }
        QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/cut@x.eml.part")));

        // Letter case counts; the walk stops at the first held message.
        MailCheck check(&cache);
        QSignalSpy fetch(&check, &MailCheck::fetchMessages);
        QSignalSpy ask(&check, &MailCheck::getNewMail);
        // The worker's part: the mark is written in order with the fetches.
        connect(&check, &MailCheck::setCheckMark, &check, [](const QString &path, const QByteArray &content) {
            QVERIFY(MessageFiles::replaceDurably(path, content));
        });
        check.start();
        check.onNewMessageIds({9, 8, 7, 6}, {"sent@x", "HELD@x", "held@x", "old@x"});
        // The newest alone first, so that it is listed at once.
        QCOMPARE(fetch.count(), 2);
        QCOMPARE(fetch.at(0).at(0).value<QList<int>>(), (QList<int>{9}));
        QCOMPARE(fetch.at(1).at(0).value<QList<int>>(), (QList<int>{8}));
        QCOMPARE(readFile(m_root + QStringLiteral("/interrupted-check")), QByteArray("held@x.eml\n"));
        QCOMPARE(ask.count(), 1);   // the newest window only

        // That check died; the next one walks past held messages down to
        // the one the mark names.
        Cache restarted(account, QString());
        MailCheck next(&restarted);
        QSignalSpy restartedAsk(&next, &MailCheck::getNewMail);
        next.start();
        next.onNewMessageIds({12, 11}, {"archived@x", "gone@x"});
        QCOMPARE(restartedAsk.count(), 2);
        QCOMPARE(restartedAsk.at(1).at(0).toInt(), 10);
    }

    void hostileMessageIdsStayInFolder_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("parent path") << QStringLiteral("../../../../escape@x");
        QTest::newRow("absolute") << QStringLiteral("/tmp/evil@x");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("hidden") << QStringLiteral(".hidden@x");
        QTest::newRow("backslash") << QStringLiteral("a\\..\\b@x");
        QTest::newRow("line feed") << QStringLiteral("a\nb@x");
        QTest::newRow("nul") << QString::fromLatin1("a\0b@x", 5);
        QTest::newRow("very long") << QString(400, QLatin1Char('z')) + QStringLiteral("@x");
        QTest::newRow("prefix") << StoreLayout::hashedNamePrefix() + QStringLiteral("0000");
    }

    void hostileMessageIdsStayInFolder()
    {
        QFETCH(QString, id);
        Cache cache(account, QString());
        QSignalSpy letters(&cache, &Cache::letterFiled);
        const QStringList before = filesUnder(TestHome::path());
        feedStore(&cache, {MailServers::makeMessage(QString(), "Hello")}, {id});
        const QString name = StoreLayout::messageFileName(id);
        QVERIFY(name.startsWith(StoreLayout::hashedNamePrefix()) && name.size() < 100);
        QStringList added = filesUnder(TestHome::path());
        for (const QString &f : before)
            added.removeOne(f);
        QCOMPARE(added, QStringList{QStringLiteral(".drel-mail/") + account + QStringLiteral("/Incoming/") + name});
        QCOMPARE(takeLetter(letters, Letter::IncomingFolder)->id(), id);

        // Known after a restart, and removable for good without touching
        // anything outside the folder.
        Cache restarted(account, QString());
        QVERIFY(restarted.isKnownMessageFile(name));
        restarted.deleteMessage(id, Letter::IncomingFolder, nullptr);
        QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/") + name));
        QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), name.toUtf8() + '\n');
        QVERIFY(Cache(account, QString()).isKnownMessageFile(name));
    }

    // An index that missed the last changes (a crash, a power cut), or
    // that is gone or damaged: rows come back for files it lacks, rows
    // without a file go, also when the folder is read in the background.
    void folderRowsFollowTheFiles_data()
    {
        QTest::addColumn<QByteArray>("index"); // what the index file becomes; "keep": as written
        QTest::addColumn<bool>("background");
        QTest::newRow("missed the last changes") << QByteArray("keep") << false;
        QTest::newRow("missed the last changes, in the background") << QByteArray("keep") << true;
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("damaged") << QByteArray("[mail]\ngone@x\\subject=\"cut sh\xff\xfe[") << true;
    }
    void folderRowsFollowTheFiles()
    {
        QFETCH(QByteArray, index);
        QFETCH(bool, background);
        Cache cache(account, QString());
        const QString path = cache.indexPath(Letter::IncomingFolder);
        {
            Model model(path, Letter::IncomingFolder);
            auto *gone = new Letter(&model);
            gone->setId(QStringLiteral("gone@x"));
            model.onNewLetter(gone);
        }
        // A copy of the index made then must not bring the row back.
        FolderIndex::writeCache(path, FolderIndex::read(path));
        if (index != "keep")
            QVERIFY(index.isEmpty() ? QFile::remove(path) : writeFile(path, index));
        writeFile(cache.messageFilePath(Letter::IncomingFolder, "new@x"), MailServers::makeMessage("new@x", "New"));
        Model model(path, Letter::IncomingFolder, nullptr,
                    background ? Model::Loading::InBackground : Model::Loading::Now);
        QVERIFY(QTest::qWaitFor([&] { return model.isLoaded(); }));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.letterAt(0)->id(), QStringLiteral("new@x"));
        QCOMPARE(model.letterAt(0)->subject(), QStringLiteral("New"));
        QCOMPARE(model.unseenLetters(), 1);
        QCOMPARE(Model(path, Letter::IncomingFolder).rowCount(), 1);
    }

    void draftsGetAMillisecondIdAndMoveToTrashWhole()
    {
        Cache cache(account, QString());
        QSignalSpy filed(&cache, &Cache::letterFiled);
        QSignalSpy removed(&cache, &Cache::letterRemoved);
        Letter draft;
        draft.setFrom(QStringLiteral("Anna <anna@example.org>"));
        draft.setToList({{QStringLiteral("boris@example.net"), QStringLiteral("Boris")}});
        draft.setSubject(QStringLiteral("Plans"));
        draft.setBodyList({QStringLiteral("<p>Let us meet.</p>")});
        draft.setId(QStringLiteral("1765000000123"));
        QVERIFY(cache.saveLetterToFolder(&draft, Letter::DraftsFolder));
        const QString id = QStringLiteral("1765000000123@drel-mail");
        const QByteArray bytes = readFile(m_root + QStringLiteral("/Drafts/") + id + QStringLiteral(".eml"));
        QVERIFY(bytes.contains("Boris"));
        Letter *draftRow = takeLetter(filed, Letter::DraftsFolder);
        QCOMPARE(draftRow->id(), id);
        QCOMPARE(draftRow->folderType(), int(Letter::DraftsFolder));
        QVERIFY(!cache.isKnownMessageFile(id + QStringLiteral(".eml")));

        cache.deleteMessage(id, Letter::DraftsFolder, draftRow);
        Letter *inTrash = takeLetter(filed, Letter::TrashFolder);
        QCOMPARE(inTrash->folderType(), int(Letter::DraftsFolder));
        cache.restoreMessage(id, inTrash);
        QCOMPARE(takeLetter(filed, Letter::DraftsFolder, 1)->folderType(), int(Letter::DraftsFolder));
        QCOMPARE(readFile(m_root + QStringLiteral("/Drafts/") + id + QStringLiteral(".eml")), bytes);
        QVERIFY(!QFile::exists(m_root + QStringLiteral("/Trash/") + id + QStringLiteral(".eml")));
        QCOMPARE(readFile(m_root + QStringLiteral("/fully-removed")), (id + QStringLiteral(".eml\n")).toUtf8());
        QCOMPARE(removed.at(0), (QVariantList{int(Letter::DraftsFolder), id}));
        QCOMPARE(removed.at(1), (QVariantList{int(Letter::TrashFolder), id}));

        // A letter without an id gets one before it is filed.
        Letter unsaved;
        unsaved.setFrom(QStringLiteral("anna@example.org"));
        unsaved.setFolderType(Letter::DraftsFolder);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        cache.deleteMessage(QString(), Letter::DraftsFolder, &unsaved);
        QVERIFY(unsaved.id().toLongLong() >= before);
    }

    void receivedLettersMoveWithTheirWholeFile()
    {
        { Cache cache(account, QString()); }
        const QByteArray bytes = MailServers::makeMessage("t1@x", "Keep me", "Every word of this body.");
        writeFile(m_root + QStringLiteral("/Incoming/t1@x.eml"), bytes);
        Cache cache(account, QString());
        QSignalSpy filed(&cache, &Cache::letterFiled);
        QSignalSpy removed(&cache, &Cache::letterRemoved);
        Letter unread;   // holds no body: the file must keep it
        unread.setId(QStringLiteral("t1@x"));
        cache.deleteMessage(unread.id(), Letter::IncomingFolder, &unread);
        QCOMPARE(readFile(m_root + QStringLiteral("/Trash/t1@x.eml")), bytes);
        QVERIFY(!QFile::exists(m_root + QStringLiteral("/Incoming/t1@x.eml")));
        QVERIFY(!QFile::exists(m_root + QStringLiteral("/fully-removed")));
        QCOMPARE(removed.at(0), (QVariantList{int(Letter::IncomingFolder), unread.id()}));
        QCOMPARE(takeLetter(filed, Letter::TrashFolder)->subject(), QStringLiteral("Keep me"));
        QVERIFY(Cache(account, QString()).isKnownMessageFile(QStringLiteral("t1@x.eml")));

        cache.archiveMessage(QStringLiteral("t1@x"), Letter::TrashFolder, takeLetter(filed, Letter::TrashFolder));
        QCOMPARE(readFile(m_root + QStringLiteral("/Archive/t1@x.eml")), bytes);
        QCOMPARE(takeLetter(filed, Letter::ArchiveFolder)->folderType(), int(Letter::ArchiveFolder));

        // Emptied for good, even with the folders emptied by hand: never
        // fetched again.
        cache.deleteMessage(QStringLiteral("t1@x"), Letter::ArchiveFolder, nullptr);
        QVERIFY(readFile(m_root + QStringLiteral("/fully-removed")).startsWith("t1@x.eml\n"));
        for (const char *f : {"Incoming", "Trash", "Archive"})
            QDir(m_root + QLatin1Char('/') + QLatin1String(f)).removeRecursively();
        QVERIFY(Cache(account, QString()).isKnownMessageFile(QStringLiteral("t1@x.eml")));
    }

    void failedTrashCopyKeepsOriginal()
    {
        { Cache cache(account, QString()); }
        const QByteArray bytes = MailServers::makeMessage("keep@x", "Hello");
        writeFile(m_root + QStringLiteral("/Incoming/keep@x.eml"), bytes);
        Cache cache(account, QString());
        QSignalSpy removed(&cache, &Cache::letterRemoved);
        QSignalSpy failed(&cache, &Cache::writeFailed);
        // Not a directory any more: no process can write into it, root included.
        QVERIFY(QDir(m_root + QStringLiteral("/Trash")).removeRecursively());
        writeFile(m_root + QStringLiteral("/Trash"), "in the way");
        Letter letter;
        letter.setId(QStringLiteral("keep@x"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("cannot write"));
        cache.deleteMessage(QStringLiteral("keep@x"), Letter::IncomingFolder, &letter);
        QCOMPARE(readFile(m_root + QStringLiteral("/Incoming/keep@x.eml")), bytes);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(failed.count(), 1);
    }
};

MAIL_TEST_MAIN(TestCache)
#include "tst_cache.moc"
