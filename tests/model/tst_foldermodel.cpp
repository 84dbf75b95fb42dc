#include "model/folderindex.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "store/cache.h"
#include "storefeeder.h"
#include "testhome.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {

Letter *makeLetter(QObject *parent, const QString &id, int daysAgo, int type = Letter::LetterUnseen,
                   int folderType = Letter::IncomingFolder)
{
    auto *letter = new Letter(parent);
    letter->setId(id);
    letter->setFrom(QStringLiteral("Anna <anna@example.org>"));
    letter->setSubject(QStringLiteral("Subject of ") + id);
    letter->setDate(QDateTime(QDate(2026, 11, 30), QTime(12, 0), Qt::UTC).addDays(-daysAgo));
    letter->setLetterType(type);
    letter->setFolderType(folderType);
    return letter;
}

// What any QSettings reader finds for a letter in an index file.
QVariant indexValue(const QString &path, const QString &group, const QString &key)
{
    QSettings settings(path, QSettings::IniFormat);
    return settings.value(QStringLiteral("mail/") + group + QLatin1Char('/') + key);
}

// The letters that a reader of the index shows: every sub-group of "mail"
// but those marked removed or archived.
QStringList indexGroups(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("mail"));
    QStringList shown;
    for (const QString &group : settings.childGroups()) {
        if (!settings.value(group + QStringLiteral("/removed"), false).toBool()
                && !settings.value(group + QStringLiteral("/archived"), false).toBool())
            shown << group;
    }
    return shown;
}

QStringList allGroups(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("mail"));
    return settings.childGroups();
}

QStringList ids(const Model &model)
{
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.letterAt(row)->id();
    return list;
}

QStringList proxyIds(const ProxyModel &proxy)
{
    QStringList list;
    for (int row = 0; row < proxy.rowCount(); ++row)
        list << qvariant_cast<Letter *>(proxy.index(row, 0).data(Model::LetterRole))->id();
    return list;
}

} // namespace

class TestFolderModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // Index file
    void loadsIndexWithUnseenCount();
    void skipsRemovedAndArchivedButKeepsThem();
    void changesReadBackAtOnce();
    void trashRemembersFolderOfOrigin();
    void compactionKeepsWhatReadersSee();
    void readdedLetterIsShownAgain();
    void eachChangeAppendsOnlyItself();
    void idsThatAreNoGroupName();

    // Rows and roles
    void rolesAndFilterString();
    void removeOutOfRangeChangesNothing();

    // Proxy
    void newestFirstAndFilter();
    void limitRemovesOldestForGood();
    void limitZeroRemovesNothing();
    void limitWithSearchTextHidingRows();
    void limitInTrashRemovesFromTrash();
    void limitLoweredFarBelowCount();

private:
    QString m_dir;
};

void TestFolderModel::initTestCase()
{
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    QCoreApplication::setOrganizationName(QStringLiteral("drel"));
    QCoreApplication::setApplicationName(QStringLiteral("mail"));
    qRegisterMetaType<Letter *>("Letter*");
    m_dir = TestHome::path() + QStringLiteral("/indexes");
}

void TestFolderModel::init()
{
    QDir(m_dir).removeRecursively();
    QDir().mkpath(m_dir);
    QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
    QSettings().clear();
}

void TestFolderModel::loadsIndexWithUnseenCount()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    {
        QSettings s(path, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("mail"));
        for (int i = 0; i < 3; ++i) {
            const QString g = QStringLiteral("m%1@x/").arg(i);
            s.setValue(g + QStringLiteral("from"), QStringLiteral("From %1").arg(i));
            s.setValue(g + QStringLiteral("subject"), QString::fromUtf8("Тема, %1").arg(i));
            s.setValue(g + QStringLiteral("date"), QDateTime(QDate(2026, 1, i + 1), QTime(8, 9, 10), Qt::UTC));
            s.setValue(g + QStringLiteral("letterType"), i == 1 ? 0 : 2);
            s.setValue(g + QStringLiteral("folderType"), i);
        }
    }
    Model model(path, Letter::IncomingFolder);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.unseenLetters(), 1);
    Letter *second = nullptr;
    for (int row = 0; row < 3; ++row) {
        if (model.letterAt(row)->id() == QStringLiteral("m1@x"))
            second = model.letterAt(row);
    }
    QVERIFY(second);
    QCOMPARE(second->parent(), &model);
    QCOMPARE(second->from(), QStringLiteral("From 1"));
    QCOMPARE(second->subject(), QString::fromUtf8("Тема, 1"));
    QCOMPARE(second->date(), QDateTime(QDate(2026, 1, 2), QTime(8, 9, 10), Qt::UTC));
    QCOMPARE(second->letterType(), 0);
    QCOMPARE(second->folderType(), 1);
    QVERIFY(!second->parsed());

    // A missing index is an empty folder.
    Model empty(m_dir + QStringLiteral("/none.conf"), Letter::SentFolder);
    QCOMPARE(empty.rowCount(), 0);
    QCOMPARE(empty.unseenLetters(), 0);
}

void TestFolderModel::skipsRemovedAndArchivedButKeepsThem()
{
    const QString path = m_dir + QStringLiteral("/archive.conf");
    {
        QSettings s(path, QSettings::IniFormat);
        s.setValue(QStringLiteral("mail/a@x/subject"), QStringLiteral("shown"));
        s.setValue(QStringLiteral("mail/b@x/subject"), QStringLiteral("removed"));
        s.setValue(QStringLiteral("mail/b@x/removed"), true);
        s.setValue(QStringLiteral("mail/c@x/subject"), QStringLiteral("archived"));
        s.setValue(QStringLiteral("mail/c@x/archived"), true);
    }
    QObject owner;
    Model model(path, Letter::ArchiveFolder);
    QCOMPARE(ids(model), QStringList{QStringLiteral("a@x")});
    // Changes through the model leave the hidden entries alone, also when
    // the file is rewritten.
    for (int i = 0; i < 150; ++i) {
        model.onNewLetter(makeLetter(&owner, QStringLiteral("n%1@x").arg(i), i));
        model.onRemoveLetter(model.rowCount() - 1);
    }
    QCOMPARE(indexValue(path, QStringLiteral("b@x"), QStringLiteral("subject")).toString(), QStringLiteral("removed"));
    QCOMPARE(indexValue(path, QStringLiteral("c@x"), QStringLiteral("archived")).toBool(), true);
    QCOMPARE(indexGroups(path), QStringList({"a@x"}));
    QVERIFY(FolderIndex(path).load().size() == 1);
    Model reloaded(path, Letter::ArchiveFolder);
    QCOMPARE(ids(reloaded), QStringList{QStringLiteral("a@x")});
    // Compaction, also in a later run, drops what this program removed and
    // nothing else.
    FolderIndex index(path);
    index.load();
    QVERIFY(index.compact());
    QCOMPARE(allGroups(path), QStringList({"a@x", "b@x", "c@x"}));
}

void TestFolderModel::changesReadBackAtOnce()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    QSignalSpy unseen(&model, &Model::unseenLettersChanged);
    QSignalSpy limits(&model, &Model::checkFolderLimits);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    Letter *first = makeLetter(&owner, QStringLiteral("one@x"), 1);
    first->setSubject(QString::fromUtf8("Quotes \"and\", commas; ünïcode = ok"));
    model.onNewLetter(first);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(unseen.last().at(0).toInt(), 1);
    QCOMPARE(limits.count(), 1);
    QCOMPARE(first->parent(), &owner);
    // Another reader of the file sees the letter at once.
    QCOMPARE(indexValue(path, "one@x", "subject").toString(), first->subject());
    QCOMPARE(indexValue(path, "one@x", "from").toString(), first->from());
    QCOMPARE(indexValue(path, "one@x", "date").toDateTime(), first->date());
    QCOMPARE(indexValue(path, "one@x", "letterType").toInt(), 0);
    QCOMPARE(indexValue(path, "one@x", "folderType").toInt(), 0);

    Letter *seen = makeLetter(&owner, QStringLiteral("two@x"), 2, Letter::LetterSeen);
    model.onNewLetter(seen);
    QCOMPARE(unseen.count(), 1); // a seen letter does not change the count

    first->setLetterType(Letter::LetterSeenWithAttachment);
    model.onSeenLetter(first);
    QCOMPARE(unseen.last().at(0).toInt(), 0);
    QCOMPARE(indexValue(path, "one@x", "letterType").toInt(), 2);

    QPointer<Letter> removed = model.letterAt(1);
    model.onRemoveLetter(1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(limits.count(), 3);
    QCOMPARE(indexGroups(path), QStringList{QStringLiteral("one@x")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(removed.isNull());

    Model reloaded(path, Letter::IncomingFolder);
    QCOMPARE(ids(reloaded), QStringList{QStringLiteral("one@x")});
    QCOMPARE(reloaded.letterAt(0)->subject(), first->subject());
    QCOMPARE(reloaded.letterAt(0)->letterType(), 2);
    QCOMPARE(reloaded.unseenLetters(), 0);
}

void TestFolderModel::trashRemembersFolderOfOrigin()
{
    QObject owner;
    const QString trashPath = m_dir + QStringLiteral("/trash.conf");
    const QString sentPath = m_dir + QStringLiteral("/sent.conf");
    Model trash(trashPath, Letter::TrashFolder);
    Model sent(sentPath, Letter::SentFolder);
    trash.onNewLetter(makeLetter(&owner, QStringLiteral("d@x"), 1, 1, Letter::DraftsFolder));
    sent.onNewLetter(makeLetter(&owner, QStringLiteral("s@x"), 1, 1, Letter::DraftsFolder));
    QCOMPARE(indexValue(trashPath, "d@x", "folderType").toInt(), int(Letter::DraftsFolder));
    QCOMPARE(indexValue(sentPath, "s@x", "folderType").toInt(), int(Letter::SentFolder));
    Model reloaded(trashPath, Letter::TrashFolder);
    QCOMPARE(reloaded.letterAt(0)->folderType(), int(Letter::DraftsFolder));
}

void TestFolderModel::compactionKeepsWhatReadersSee()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    QStringList expected;
    qint64 largest = 0;
    for (int i = 0; i < 400; ++i) {
        model.onNewLetter(makeLetter(&owner, QStringLiteral("c%1@x").arg(i), i % 50));
        if (i % 3 == 0) {
            model.onRemoveLetter(0);
        }
        largest = qMax(largest, QFileInfo(path).size());
    }
    for (int row = 0; row < model.rowCount(); ++row)
        expected << model.letterAt(row)->id();
    expected.sort();
    QCOMPARE(indexGroups(path), expected);
    // The file does not grow without bound: the appended sections are
    // folded in now and then.
    FolderIndex index(path);
    index.load();
    QVERIFY(index.compact());
    QCOMPARE(allGroups(path), expected);
    const qint64 compacted = QFileInfo(path).size();
    QVERIFY2(largest < 4 * compacted, qPrintable(QStringLiteral("%1 vs %2").arg(largest).arg(compacted)));
    QCOMPARE(indexGroups(path), expected);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("[mail]"), 1);
    Model reloaded(path, Letter::IncomingFolder);
    QCOMPARE(reloaded.rowCount(), expected.size());
    QCOMPARE(reloaded.unseenLetters(), expected.size());
}

void TestFolderModel::readdedLetterIsShownAgain()
{
    const QString path = m_dir + QStringLiteral("/drafts.conf");
    QObject owner;
    Model model(path, Letter::DraftsFolder);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("r@x"), 1, 1));
    model.onRemoveLetter(0);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("r@x"), 1, 1));
    QCOMPARE(Model(path, Letter::DraftsFolder).rowCount(), 1);
    model.onRemoveLetter(0);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("r@x"), 1, 1));
    QVERIFY(FolderIndex(path).compact());
    QCOMPARE(Model(path, Letter::DraftsFolder).rowCount(), 1);
    FolderIndex index(path);
    index.load();
    index.compact();
    QCOMPARE(Model(path, Letter::DraftsFolder).rowCount(), 1);
}

void TestFolderModel::eachChangeAppendsOnlyItself()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    for (int i = 0; i < 4; ++i)
        model.onNewLetter(makeLetter(&owner, QStringLiteral("e%1@x").arg(i), i));
    const qint64 before = QFileInfo(path).size();
    Letter *letter = model.letterAt(2);
    letter->setLetterType(Letter::LetterSeen);
    model.onSeenLetter(letter);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.seek(before));
    // The change costs one short section, not a copy of the index.
    QCOMPARE(file.readAll().trimmed(), QByteArray("[mail]\ne2%40x\\letterType=1"));
}

void TestFolderModel::idsThatAreNoGroupName()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    const QString slashed = QStringLiteral("part/of/a@path");
    model.onNewLetter(makeLetter(&owner, slashed, 1));
    model.onNewLetter(makeLetter(&owner, QStringLiteral("back\\slash@x"), 2));
    Model reloaded(path, Letter::IncomingFolder);
    QStringList loaded = ids(reloaded);
    loaded.sort();
    QCOMPARE(loaded, QStringList({"back\\slash@x", slashed}));
    reloaded.onRemoveLetter(reloaded.letterAt(0)->id() == slashed ? 0 : 1);
    QCOMPARE(ids(Model(path, Letter::IncomingFolder)), QStringList{"back\\slash@x"});
}

void TestFolderModel::rolesAndFilterString()
{
    QObject owner;
    Model model(m_dir + QStringLiteral("/sent.conf"), Letter::SentFolder);
    Letter *letter = makeLetter(&owner, QStringLiteral("f@x"), 0);
    letter->setDate(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
    model.onNewLetter(letter);
    const QModelIndex index = model.index(0, 0);
    QCOMPARE(qvariant_cast<Letter *>(index.data(Model::LetterRole)), letter);
    QCOMPARE(index.data(Model::FilterRole).toString(),
             QStringLiteral("Anna <anna@example.org> Subject of f@x 04.03.2026 05:06:07"));
    QVERIFY(!index.data(Qt::DisplayRole).isValid());
    QCOMPARE(model.roleNames().value(Model::LetterRole), QByteArray("letter"));
    QCOMPARE(model.roleNames().value(Model::FilterRole), QByteArray("filterString"));
    QCOMPARE(int(Model::LetterRole), 257);
    QCOMPARE(int(Model::FilterRole), 258);
}

void TestFolderModel::removeOutOfRangeChangesNothing()
{
    QObject owner;
    Model model(m_dir + QStringLiteral("/sent.conf"), Letter::SentFolder);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("o@x"), 0));
    QSignalSpy limits(&model, &Model::checkFolderLimits);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.onRemoveLetter(-1);
    model.onRemoveLetter(1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(limits.count(), 0);
    QCOMPARE(removed.count(), 0);
}

void TestFolderModel::newestFirstAndFilter()
{
    QObject owner;
    Model model(m_dir + QStringLiteral("/incoming.conf"), Letter::IncomingFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("mid@x"), 5));
    model.onNewLetter(makeLetter(&owner, QStringLiteral("old@x"), 9));
    model.onNewLetter(makeLetter(&owner, QStringLiteral("new@x"), 1));
    QCOMPARE(proxyIds(proxy), QStringList({"new@x", "mid@x", "old@x"}));
    QCOMPARE(proxy.getSourceModelIndex(0), 2);
    QCOMPARE(proxy.getSourceModelIndex(2), 1);

    proxy.setFilterFixedString(QStringLiteral("of mid"));
    QCOMPARE(proxyIds(proxy), QStringList({"mid@x"}));
    QCOMPARE(proxy.count(), 3);
    proxy.setFilterFixedString(QStringLiteral("OF MID")); // case counts
    QCOMPARE(proxy.rowCount(), 0);
    proxy.setFilterFixedString(QStringLiteral("21.11.2026 12:00:00"));
    QCOMPARE(proxyIds(proxy), QStringList({"old@x"}));
}

void TestFolderModel::limitRemovesOldestForGood()
{
    QSettings().setValue(QStringLiteral("global/storeMessagesCount"), 2);
    Cache cache(QStringLiteral("limit@example.org"), QString());
    Model model(cache.indexPath(Letter::IncomingFolder), Letter::IncomingFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    connect(&cache, &Cache::newIncomingLetter, &model, &Model::onNewLetter);
    connect(&cache, &Cache::removeIncomingLetter, &model, &Model::onRemoveLetter);
    connect(&model, &Model::checkFolderLimits, &proxy, &ProxyModel::onCheckFolderLimits);
    connect(&proxy, &ProxyModel::beyondLimits, &cache, &Cache::deleteMessage);
    QSignalSpy unseen(&model, &Model::unseenLettersChanged);

    auto message = [](const char *id, const char *date) {
        return QByteArray("Message-ID: <") + id + ">\r\nFrom: a@x\r\nSubject: s\r\nDate: " + date
                + "\r\n\r\nbody\r\n";
    };
    feedStore(&cache, {message("newest@x", "Mon, 30 Nov 2026 10:00:00 +0000"),
                       message("oldest@x", "Mon, 02 Nov 2026 10:00:00 +0000"),
                       message("middle@x", "Mon, 16 Nov 2026 10:00:00 +0000")});

    QCOMPARE(proxyIds(proxy), QStringList({"newest@x", "middle@x"}));
    QVERIFY(!QFile::exists(cache.messageFilePath(Letter::IncomingFolder, QStringLiteral("oldest@x"))));
    QFile removed(cache.accountPath() + QStringLiteral("/fully-removed"));
    QVERIFY(removed.open(QIODevice::ReadOnly));
    QCOMPARE(removed.readAll(), QByteArray("oldest@x.eml\n"));
    QCOMPARE(model.unseenLetters(), 2);
    QCOMPARE(unseen.last().at(0).toInt(), 2);
    QCOMPARE(indexGroups(cache.indexPath(Letter::IncomingFolder)), QStringList({"middle@x", "newest@x"}));
}

void TestFolderModel::limitZeroRemovesNothing()
{
    QObject owner;
    Model model(m_dir + QStringLiteral("/incoming.conf"), Letter::IncomingFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    connect(&model, &Model::checkFolderLimits, &proxy, &ProxyModel::onCheckFolderLimits);
    QSignalSpy beyond(&proxy, &ProxyModel::beyondLimits);
    for (int i = 0; i < 5; ++i)
        model.onNewLetter(makeLetter(&owner, QStringLiteral("z%1@x").arg(i), i));
    QSettings().setValue(QStringLiteral("global/storeMessagesCount"), -3);
    model.onNewLetter(makeLetter(&owner, QStringLiteral("z9@x"), 9));
    QCOMPARE(beyond.count(), 0);
}

void TestFolderModel::limitWithSearchTextHidingRows()
{
    QObject owner;
    Model model(m_dir + QStringLiteral("/incoming.conf"), Letter::IncomingFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    for (int i = 0; i < 4; ++i)
        model.onNewLetter(makeLetter(&owner, QStringLiteral("h%1@x").arg(i), 10 - i));
    // Only the newest letter matches the search text.
    proxy.setFilterFixedString(QStringLiteral("h3@x"));
    QCOMPARE(proxy.rowCount(), 1);
    QSettings().setValue(QStringLiteral("global/storeMessagesCount"), 3);
    QSignalSpy beyond(&proxy, &ProxyModel::beyondLimits);
    proxy.onCheckFolderLimits();
    QCOMPARE(beyond.count(), 1);
    // The oldest letter of the folder, whether the search shows it or not.
    QCOMPARE(beyond.at(0).at(0).toString(), QStringLiteral("h0@x"));
    QCOMPARE(beyond.at(0).at(1).toInt(), 0);
    QCOMPARE(beyond.at(0).at(2).toInt(), int(Letter::IncomingFolder));
    QVERIFY(!qvariant_cast<Letter *>(beyond.at(0).at(3)));
}

void TestFolderModel::limitInTrashRemovesFromTrash()
{
    QSettings().setValue(QStringLiteral("global/storeMessagesCount"), 1);
    QObject owner;
    Model trash(m_dir + QStringLiteral("/trash.conf"), Letter::TrashFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&trash);
    proxy.sort(0, Qt::DescendingOrder);
    connect(&trash, &Model::checkFolderLimits, &proxy, &ProxyModel::onCheckFolderLimits);
    QSignalSpy beyond(&proxy, &ProxyModel::beyondLimits);
    trash.onNewLetter(makeLetter(&owner, QStringLiteral("t1@x"), 3, 1, Letter::SentFolder));
    trash.onNewLetter(makeLetter(&owner, QStringLiteral("t2@x"), 1, 1, Letter::SentFolder));
    QCOMPARE(beyond.count(), 1);
    QCOMPARE(beyond.at(0).at(0).toString(), QStringLiteral("t1@x"));
    // The letter's folder type says Sent (where it came from); the file to
    // remove is the one in Trash.
    QCOMPARE(beyond.at(0).at(2).toInt(), int(Letter::TrashFolder));
}

void TestFolderModel::limitLoweredFarBelowCount()
{
    const QString path = m_dir + QStringLiteral("/incoming.conf");
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    ProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    for (int i = 0; i < 3000; ++i)
        model.onNewLetter(makeLetter(&owner, QStringLiteral("l%1@x").arg(i), i));
    connect(&model, &Model::checkFolderLimits, &proxy, &ProxyModel::onCheckFolderLimits);
    int depth = 0;
    int deepest = 0;
    connect(&proxy, &ProxyModel::beyondLimits, &model, [&](QString, int index, int, Letter *) {
        deepest = qMax(deepest, ++depth);
        model.onRemoveLetter(index);
        --depth;
    });
    QSettings().setValue(QStringLiteral("global/storeMessagesCount"), 5);
    // One check removes letters one by one until five are left, without
    // nesting a call per letter.
    model.onNewLetter(makeLetter(&owner, QStringLiteral("newest@x"), -1));
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(deepest, 1);
    QCOMPARE(proxyIds(proxy), QStringList({"newest@x", "l0@x", "l1@x", "l2@x", "l3@x"}));
    QCOMPARE(Model(path, Letter::IncomingFolder).rowCount(), 5);
}

MAIL_TEST_MAIN(TestFolderModel)
#include "tst_foldermodel.moc"
