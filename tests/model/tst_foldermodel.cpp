#include "fixtures.h"
#include "model/folderindex.h"
#include "model/inireader.h"
#include "model/letter.h"
#include "model/messagefiles.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "model/storelayout.h"
#include "testhome.h"

#include <QSettings>
#include <QtTest>

namespace {

Letter *makeLetter(QObject *parent, const QString &id, int daysAgo, int folderType = Letter::IncomingFolder)
{
    auto *letter = new Letter(parent);
    letter->setId(id);
    letter->setFrom(QStringLiteral("Anna <anna@example.org>"));
    letter->setSubject(QStringLiteral("Subject of ") + id);
    letter->setDate(QDateTime(QDate(2026, 11, 30), QTime(12, 0), Qt::UTC).addDays(-daysAgo));
    letter->setFolderType(folderType);
    return letter;
}

// The groups of "mail" that any QSettings reader of the index shows: all,
// or only those not marked removed or archived.
QStringList indexGroups(const QString &path, bool all = false)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("mail"));
    QStringList shown;
    for (const QString &group : settings.childGroups()) {
        if (all || (!settings.value(group + QStringLiteral("/removed")).toBool()
                    && !settings.value(group + QStringLiteral("/archived")).toBool()))
            shown << group;
    }
    return shown;
}

QStringList ids(const QAbstractItemModel &model)
{
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << qvariant_cast<Letter *>(model.index(row, 0).data(Model::LetterRole))->id();
    return list;
}

QStringList sortedIds(const QString &path, int folder = Letter::IncomingFolder)
{
    QStringList list = ids(Model(path, folder));
    list.sort();
    return list;
}

QString describe(const QVector<FolderIndex::Entry> &entries)
{
    QStringList lines;
    for (const FolderIndex::Entry &e : entries) {
        lines << QStringLiteral("[%1] from=%2 subject=%3 date=%4 type=%5 folder=%6")
                         .arg(e.id, e.from, e.subject, e.date.toString(Qt::ISODateWithMs))
                         .arg(e.letterType)
                         .arg(e.folderType);
    }
    return lines.join(QLatin1Char('\n'));
}

// Awkward values as QSettings writes them.
QByteArray writtenBySettings()
{
    const QString path = TestHome::path() + QStringLiteral("/written.conf");
    QFile::remove(path);
    const QStringList texts{
        QString(), QStringLiteral(" leading and trailing "), QStringLiteral("a, list; with = signs"),
        QStringLiteral("\"quoted\" and \\back\\slashes\\"), QStringLiteral("@starts with at"),
        QStringLiteral("@@two"), QStringLiteral("@Variant(not really)"),
        QString::fromUtf8("Ünïcödé Ω 日本語 𝄞 then abc"), QString::fromUtf8("é9 éa éF"),
        QStringLiteral("tab\tnew\nline\rbell\a\x01\x1f\x7f end"), QString(QChar(0)) + QStringLiteral("0x"),
        QStringLiteral("#not a comment"), QStringLiteral(";not a comment"), QStringLiteral("[not a section]"),
        QStringLiteral("ends with backslash\\"), QStringLiteral("trailing tab\t"),
    };
    {
        QSettings s(path, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("mail"));
        for (int i = 0; i < texts.size(); ++i) {
            const QString text = texts.at(i);
            const QString group = QStringLiteral("id%1 %2@host-with.odd_chars/").arg(i).arg(text.left(3));
            s.setValue(group + QStringLiteral("from"), text);
            s.setValue(group + QStringLiteral("subject"), text + text);
            s.setValue(group + QStringLiteral("date"),
                       QDateTime(QDate(2000 + i, 1 + i % 12, 1 + i), QTime(i, i, i, i), Qt::UTC));
            s.setValue(group + QStringLiteral("letterType"), i % 3);
            s.setValue(group + QStringLiteral("folderType"), i % 5);
            s.setValue(group + QStringLiteral("other"), QStringList{text, text});
        }
        s.setValue(QStringLiteral("gone@x/removed"), true);
        s.setValue(QStringLiteral("kept@x/archived"), false);
        s.setValue(QStringLiteral("kept@x/date"), QDateTime());
    }
    return Fixtures::readFile(path);
}

} // namespace

class TestFolderModel : public QObject
{
    Q_OBJECT
    QString m_dir;
    QObject m_owner;

    QString indexPath(const char *name) const { return m_dir + QLatin1Char('/') + QLatin1String(name); }
    QString messageFilePath(int folder, const QString &id) const
    {
        return m_dir + QLatin1Char('/') + StoreLayout::folderName(folder) + QLatin1Char('/')
                + StoreLayout::messageFileName(id);
    }
    bool writeMessageFile(int folder, const QString &id) const
    {
        return QDir().mkpath(m_dir + QLatin1Char('/') + StoreLayout::folderName(folder))
            && Fixtures::writeFile(messageFilePath(folder, id),
                                   "Message-ID: <" + id.toUtf8() + ">\r\nFrom: anna@example.org\r\n"
                                   "Subject: " + id.toUtf8() + "\r\n\r\nbody\r\n");
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        m_dir = TestHome::path() + QStringLiteral("/indexes");
    }

    void init()
    {
        QDir(m_dir).removeRecursively();
        QDir().mkpath(m_dir);
        QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
        QSettings().clear();
    }

    // An index as QSettings writes it, with entries removed or archived by
    // another reader of the file.
    void loadsAStoredIndex()
    {
        const QString path = indexPath("incoming.conf");
        {
            QSettings s(path, QSettings::IniFormat);
            s.beginGroup(QStringLiteral("mail"));
            for (int i = 0; i < 3; ++i) {
                const QString g = QStringLiteral("m%1@x/").arg(i);
                s.setValue(g + QStringLiteral("subject"), QString::fromUtf8("Тема, %1").arg(i));
                s.setValue(g + QStringLiteral("date"), QDateTime(QDate(2026, 1, i + 1), QTime(8, 9, 10), Qt::UTC));
                s.setValue(g + QStringLiteral("letterType"), i == 1 ? 0 : 2);
                s.setValue(g + QStringLiteral("folderType"), i);
            }
            s.setValue(QStringLiteral("b@x/removed"), true);
            s.setValue(QStringLiteral("c@x/archived"), true);
        }
        Model model(path, Letter::IncomingFolder);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.unseenLetters(), 1);
        Letter *second = model.letterAt(ids(model).indexOf(QStringLiteral("m1@x")));
        QCOMPARE(second->subject(), QString::fromUtf8("Тема, 1"));
        QCOMPARE(second->date(), QDateTime(QDate(2026, 1, 2), QTime(8, 9, 10), Qt::UTC));
        QCOMPARE(second->folderType(), 1);
        // Changes and compaction leave the other reader's entries alone.
        for (int i = 0; i < 150; ++i) {
            model.onNewLetter(makeLetter(&m_owner, QStringLiteral("n%1@x").arg(i), i));
            model.onRemoveLetterWithId(QStringLiteral("n%1@x").arg(i));
        }
        model.onRemoveLetterWithId(QStringLiteral("never@x"));
        FolderIndex index(path);
        index.load();
        QVERIFY(index.compact());
        QCOMPARE(indexGroups(path, true), QStringList({"b@x", "c@x", "m0@x", "m1@x", "m2@x"}));
        QCOMPARE(sortedIds(path), QStringList({"m0@x", "m1@x", "m2@x"}));
        QCOMPARE(Model(m_dir + QStringLiteral("/none.conf"), Letter::SentFolder).rowCount(), 0);
    }

    // Every change is in the file at once, for a crash or another reader,
    // also for Message-IDs from the network that are no plain group name.
    void changesAreInTheFileAtOnce()
    {
        const QString path = indexPath("incoming.conf");
        Model model(path, Letter::IncomingFolder);
        Letter *first = makeLetter(&m_owner, QStringLiteral("part/of/a@path"), 1);
        first->setSubject(QString::fromUtf8("Quotes \"and\", commas; ünïcode = ok"));
        model.onNewLetter(first);
        model.onNewLetter(makeLetter(&m_owner, QStringLiteral("back\\slash@x"), 2));
        model.onNewLetter(makeLetter(&m_owner, QStringLiteral("two@x"), 2));
        first->setLetterType(Letter::LetterSeenWithAttachment);
        model.onSeenLetter(first);
        QPointer<Letter> removed = model.letterAt(1);
        model.onRemoveLetterWithId(removed->id());
        QCOMPARE(indexGroups(path).size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(removed.isNull());
        Model reloaded(path, Letter::IncomingFolder);
        QCOMPARE(sortedIds(path), QStringList({"part/of/a@path", "two@x"}));
        QCOMPARE(reloaded.letterAt(ids(reloaded).indexOf("part/of/a@path"))->subject(), first->subject());
        QCOMPARE(reloaded.unseenLetters(), 1);
    }

    // At start a folder is read while the window is made. A letter that is
    // fetched, read or removed meanwhile must neither be lost from the list
    // or the index nor counted twice; the changes apply in their order. As
    // in the store, every letter's file is written before it is announced
    // and removed before its row is, so the read may find the fetched one's
    // file as well.
    void changesDuringABackgroundLoad()
    {
        const QString path = indexPath("incoming.conf");
        {
            Model writer(path, Letter::IncomingFolder);
            for (int i = 0; i < 3; ++i) {
                const QString id = QStringLiteral("old%1@x").arg(i);
                QVERIFY(writeMessageFile(Letter::IncomingFolder, id));
                writer.onNewLetter(makeLetter(&m_owner, id, 10 + i));
            }
        }
        QVERIFY(writeMessageFile(Letter::IncomingFolder, QStringLiteral("fresh@x")));
        Model model(path, Letter::IncomingFolder, nullptr, Model::Loading::InBackground);
        ProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::DescendingOrder);
        Letter *fresh = makeLetter(&m_owner, QStringLiteral("fresh@x"), 0);
        model.onNewLetter(fresh);
        fresh->setLetterType(Letter::LetterSeen);
        model.onSeenLetter(fresh);
        QVERIFY(QFile::remove(messageFilePath(Letter::IncomingFolder, QStringLiteral("old0@x"))));
        model.onRemoveLetterWithId(QStringLiteral("old0@x"));
        QVERIFY(QTest::qWaitFor([&] { return model.isLoaded(); }));
        const QStringList expected{"fresh@x", "old1@x", "old2@x"};
        QCOMPARE(ids(proxy), expected);
        QCOMPARE(model.unseenLetters(), 2);
        Model reloaded(path, Letter::IncomingFolder);
        QCOMPARE(reloaded.unseenLetters(), 2);
        QStringList stored = ids(reloaded);
        stored.sort();
        QCOMPARE(stored, expected);
    }

    // A draft saved again is one row, showing what was saved last, now and
    // after a restart.
    void aLetterFiledAgainKeepsItsRow()
    {
        const QString path = indexPath("drafts.conf");
        Model drafts(path, Letter::DraftsFolder);
        for (const QString &subject : {QStringLiteral("First"), QStringLiteral("Second")}) {
            Letter *draft = makeLetter(&m_owner, QStringLiteral("d@x"), 0, Letter::DraftsFolder);
            draft->setSubject(subject);
            drafts.onNewLetter(draft);
        }
        const auto subjects = [](const Model &model) {
            QStringList list;
            for (int row = 0; row < model.rowCount(); ++row)
                list << model.letterAt(row)->subject();
            return list;
        };
        QCOMPARE(subjects(drafts), QStringList{"Second"});
        QCOMPARE(subjects(Model(path, Letter::DraftsFolder)), QStringList{"Second"});
    }

    // A letter in Trash is restored to where it came from; elsewhere the
    // folder is the model's own.
    void trashRemembersTheFolderOfOrigin()
    {
        Model trash(indexPath("trash.conf"), Letter::TrashFolder);
        Model sent(indexPath("sent.conf"), Letter::SentFolder);
        trash.onNewLetter(makeLetter(&m_owner, QStringLiteral("d@x"), 1, Letter::DraftsFolder));
        sent.onNewLetter(makeLetter(&m_owner, QStringLiteral("s@x"), 1, Letter::DraftsFolder));
        QCOMPARE(Model(indexPath("trash.conf"), Letter::TrashFolder).letterAt(0)->folderType(),
                 int(Letter::DraftsFolder));
        QCOMPARE(Model(indexPath("sent.conf"), Letter::SentFolder).letterAt(0)->folderType(),
                 int(Letter::SentFolder));
    }

    // Also for a letter removed and then fetched or saved again.
    void compactionKeepsWhatReadersSee()
    {
        const QString path = indexPath("incoming.conf");
        Model model(path, Letter::IncomingFolder);
        qint64 largest = 0;
        for (int i = 0; i < 400; ++i) {
            model.onNewLetter(makeLetter(&m_owner, QStringLiteral("c%1@x").arg(i), i % 50));
            if (i % 3 == 0)
                model.onRemoveLetterWithId(model.letterAt(0)->id()); // the first round removes c0@x
            largest = qMax(largest, QFileInfo(path).size());
        }
        for (int round = 0; round < 2; ++round) {
            model.onNewLetter(makeLetter(&m_owner, QStringLiteral("c0@x"), 1));
            if (round == 0)
                model.onRemoveLetterWithId(QStringLiteral("c0@x"));
        }
        QStringList expected = ids(model);
        expected.sort();
        QVERIFY(expected.contains(QStringLiteral("c0@x")));
        QCOMPARE(indexGroups(path), expected);
        QCOMPARE(sortedIds(path), expected);
        FolderIndex index(path);
        index.load();
        QVERIFY(index.compact());
        QCOMPARE(indexGroups(path, true), expected);
        // The appended sections are folded in now and then.
        QVERIFY(largest < 4 * QFileInfo(path).size());
        QCOMPARE(sortedIds(path), expected);
    }

    void newestFirstAndSearch()
    {
        Model model(indexPath("incoming.conf"), Letter::IncomingFolder);
        ProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::DescendingOrder);
        Letter *old = makeLetter(&m_owner, QStringLiteral("old@x"), 9);
        old->setRecipients(QStringLiteral("Zo\u00EB <zoe@example.org>"));
        model.onNewLetter(makeLetter(&m_owner, QStringLiteral("mid@x"), 5));
        model.onNewLetter(old);
        model.onNewLetter(makeLetter(&m_owner, QStringLiteral("new@x"), 1));
        QCOMPARE(ids(proxy), QStringList({"new@x", "mid@x", "old@x"}));
        // Every word, in any case and without its accents, from sender or subject.
        proxy.setSearchText(QStringLiteral("OF MID"));
        QCOMPARE(ids(proxy), QStringList({"mid@x"}));
        proxy.setSearchText(QStringLiteral(" \u00C1nna  new@x "));
        QCOMPARE(ids(proxy), QStringList({"new@x"}));
        // Recipients too, also as the index file keeps them for the next start.
        proxy.setSearchText(QStringLiteral("zoe"));
        QCOMPARE(ids(proxy), QStringList({"old@x"}));
        Model again(indexPath("incoming.conf"), Letter::IncomingFolder);
        ProxyModel stored;
        stored.setSourceModel(&again);
        stored.setSearchText(QStringLiteral("zoe"));
        QCOMPARE(ids(stored), QStringList({"old@x"}));
    }

    // The list stays newest first (or oldest first, when asked) whatever
    // comes, goes or is searched. A letter is "id days-ago", filed one by
    // one, or "file id days-ago": a message file the folder finds on its
    // own, many at once.
    void orderWhileLettersComeAndGo_data()
    {
        QTest::addColumn<QStringList>("letters");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("then");
        QTest::addColumn<QStringList>("shown");
        const QStringList three{"a@x 1", "c@x 5", "b@x 3"};
        QTest::newRow("filed out of order") << three << QString() << QStringList() << QStringList{"a@x", "b@x", "c@x"};
        QTest::newRow("an older letter while searching")
                << three << "anna" << QStringList{"new d@x 4"} << QStringList{"a@x", "b@x", "d@x", "c@x"};
        QTest::newRow("a newer letter while searching")
                << three << "SUBJECT" << QStringList{"new d@x 0"} << QStringList{"d@x", "a@x", "b@x", "c@x"};
        QTest::newRow("search cleared") << three << "c@x" << QStringList{"clear"} << QStringList{"a@x", "b@x", "c@x"};
        QTest::newRow("removed while searching")
                << three << "anna" << QStringList{"remove c@x", "new e@x 2"} << QStringList{"a@x", "e@x", "b@x"};
        QTest::newRow("saved again with another date")
                << three << "anna" << QStringList{"again c@x 0"} << QStringList{"c@x", "a@x", "b@x"};
        QTest::newRow("oldest first") << three << QString() << QStringList{"oldest first", "new d@x 4"}
                                      << QStringList{"c@x", "d@x", "b@x", "a@x"};
        QTest::newRow("beyond ASCII, in any case")
                << QStringList{"\u043f\u0438\u0441\u044c\u043c\u043e@x 1", "a@x 2"}
                << "\u041f\u0418\u0421\u042c\u041c\u041e" << QStringList()
                << QStringList{"\u043f\u0438\u0441\u044c\u043c\u043e@x"};
        // Each letter's text is folded a character at a time.
        QTest::newRow("accents typed, and taken off")
                << QStringList{"cr\u00e8me@x 1", "cram@x 2"} << "CR\u00c8ME" << QStringList() << QStringList{"cr\u00e8me@x"};
        QTest::newRow("a ligature") << QStringList{"\ufb01le@x 1", "fil@x 2"} << "file" << QStringList()
                                    << QStringList{"\ufb01le@x"};
        QTest::newRow("Hangul") << QStringList{"\ud55c\uad6d@x 1", "a@x 2"} << "\ud55c\uad6d" << QStringList()
                                << QStringList{"\ud55c\uad6d@x"};
        QTest::newRow("beyond the first plane") << QStringList{"\U0001F600smile@x 1", "smile@x 2"} << "\U0001F600SMILE"
                                                << QStringList() << QStringList{"\U0001F600smile@x"};
        QStringList files, newestFirst, withThree;
        for (int i = 0; i < 40; ++i) {
            files << QStringLiteral("file f%1@x %2").arg(i).arg(39 - i);
            newestFirst.prepend(QStringLiteral("f%1@x").arg(i));
        }
        for (const QString &id : qAsConst(newestFirst)) {
            if (id.startsWith(QLatin1String("f3")))
                withThree << id;
        }
        QTest::newRow("many found at once") << files << QString() << QStringList() << newestFirst;
        QTest::newRow("many found at once while searching") << files << "f3" << QStringList() << withThree;
    }
    void orderWhileLettersComeAndGo()
    {
        QFETCH(QStringList, letters);
        QFETCH(QString, search);
        QFETCH(QStringList, then);
        QFETCH(QStringList, shown);
        const QDateTime now(QDate(2026, 11, 30), QTime(12, 0), Qt::UTC);
        for (const QString &letter : qAsConst(letters)) {
            const QStringList parts = letter.split(QLatin1Char(' '));
            if (parts.first() != QLatin1String("file"))
                continue;
            QVERIFY(QDir().mkpath(m_dir + QLatin1Char('/') + StoreLayout::folderName(Letter::IncomingFolder)));
            const QByteArray id = parts.at(1).toUtf8();
            const QByteArray date = now.addDays(-parts.at(2).toInt()).toString(Qt::RFC2822Date).toUtf8();
            QVERIFY(Fixtures::writeFile(messageFilePath(Letter::IncomingFolder, parts.at(1)),
                                        "Message-ID: <" + id + ">\r\nFrom: anna@example.org\r\nSubject: " + id
                                                + "\r\nDate: " + date + "\r\n\r\nbody\r\n"));
        }
        Model model(indexPath("incoming.conf"), Letter::IncomingFolder, nullptr, Model::Loading::InBackground);
        ProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::DescendingOrder);
        proxy.setSearchText(search);
        QVERIFY(QTest::qWaitFor([&] { return model.isLoaded(); }));
        const auto file = [&](const QString &id, const QString &days) {
            model.onNewLetter(makeLetter(&m_owner, id, days.toInt()));
        };
        for (const QString &letter : qAsConst(letters)) {
            const QStringList parts = letter.split(QLatin1Char(' '));
            if (parts.first() != QLatin1String("file"))
                file(parts.at(0), parts.at(1));
        }
        for (const QString &step : qAsConst(then)) {
            const QStringList parts = step.split(QLatin1Char(' '));
            if (parts.first() == QLatin1String("new") || parts.first() == QLatin1String("again"))
                file(parts.at(1), parts.at(2));
            else if (parts.first() == QLatin1String("remove"))
                model.onRemoveLetterWithId(parts.at(1));
            else if (step == QLatin1String("clear"))
                proxy.setSearchText(QString());
            else if (step == QLatin1String("oldest first"))
                proxy.sort(0, Qt::AscendingOrder);
            else
                QFAIL(qPrintable(step));
        }
        QCOMPARE(ids(proxy), shown);
    }

    // The folder limit removes the oldest letters of the folder.
    void folderLimit_data()
    {
        QTest::addColumn<int>("folder");
        QTest::addColumn<int>("letters");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("left");
        QTest::newRow("no limit") << int(Letter::IncomingFolder) << 5 << 0 << QString() << 5;
        QTest::newRow("negative limit") << int(Letter::IncomingFolder) << 5 << -3 << QString() << 5;
        QTest::newRow("search hides the oldest") << int(Letter::IncomingFolder) << 4 << 3 << "h3@x" << 3;
        QTest::newRow("trash") << int(Letter::TrashFolder) << 2 << 1 << QString() << 1;
        // One check, not one nested call per letter.
        QTest::newRow("far below the count") << int(Letter::IncomingFolder) << 3000 << 5 << QString() << 5;
    }
    void folderLimit()
    {
        QFETCH(int, folder);
        QFETCH(int, letters);
        QFETCH(int, limit);
        QFETCH(QString, search);
        QFETCH(int, left);
        Model model(indexPath("folder.conf"), folder);
        ProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::DescendingOrder);
        for (int i = 0; i < letters; ++i)
            model.onNewLetter(makeLetter(&m_owner, QStringLiteral("h%1@x").arg(i), 10000 - i, Letter::SentFolder));
        proxy.setSearchText(search);
        connect(&model, &Model::checkFolderLimits, &proxy, &ProxyModel::onCheckFolderLimits);
        QStringList removed;
        int depth = 0, deepest = 0;
        connect(&proxy, &ProxyModel::beyondLimits, &model, [&](const QString &id, int type, Letter *) {
            deepest = qMax(deepest, ++depth);
            QCOMPARE(type, folder); // the file to remove is in this folder
            removed << id;
            model.onRemoveLetterWithId(id);
            --depth;
        });
        QSettings().setValue(QStringLiteral("global/storeMessagesCount"), limit);
        proxy.onCheckFolderLimits();
        QCOMPARE(model.rowCount(), left);
        QVERIFY(deepest <= 1);
        for (int i = 0; i < removed.size(); ++i)
            QCOMPARE(removed.at(i), QStringLiteral("h%1@x").arg(i));
    }

    // The index reader must see exactly what QSettings sees, for every file that
    // QSettings itself writes and for hand-edited ones, or hand the file over to
    // QSettings when it cannot be sure; also through the file's cache, with
    // changes appended behind it, after a rewrite, and with the cache damaged.
    void sameAsSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reads"); // whether the fast reader takes it: yes, no, or either
        QTest::newRow("written by QSettings") << writtenBySettings() << "yes";
        QTest::newRow("comments and blank lines")
                << QByteArray("; a comment\n\n[mail]\n; another\na@x\\from = Anna  \n"
                              "a@x\\subject=\"  quoted ; with semicolon  \" ; trailing comment\n") << "";
        QTest::newRow("repeated sections, last value wins")
                << QByteArray("[mail]\na@x\\subject=first\na@x\\letterType=0\n[mail]\n"
                              "a@x\\letterType=2\n\n[mail]\nb@x\\subject=second\na@x\\subject=third\n") << "";
        QTest::newRow("continued line") << QByteArray("[mail]\na@x\\subject=one \\\n  two\n") << "";
        QTest::newRow("escapes") << QByteArray("[mail]\na@x\\subject=x\\x41y\\101z\\q\\\"\\n\n") << "";
        QTest::newRow("crlf line ends") << QByteArray("[mail]\r\na@x\\subject=crlf\r\na@x\\letterType=1\r\n") << "";
        QTest::newRow("removed by hand")
                << QByteArray("[mail]\na@x\\subject=s\na@x\\removed=true\nb@x\\subject=t\nb@x\\removed=false\n") << "";
        QTest::newRow("numbers that do not convert")
                << QByteArray("[mail]\na@x\\letterType=seen\na@x\\folderType=\na@x\\date=yesterday\n") << "";
        QTest::newRow("escaped group names") << QByteArray("[mail]\n%U00fc%20x%40y\\subject=u\n") << "";
        QTest::newRow("line without equals sign") << QByteArray("[mail]\njunk line\na@x\\subject=s\n") << "";
        QTest::newRow("unknown keys only") << QByteArray("[mail]\nodd@x\\colour=blue\na@x\\subject=s\n") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("raw UTF-8") << QByteArray("[mail]\na@x\\subject=Gr\xc3\xbc\xc3\x9f\x65\n") << "no";
        QTest::newRow("another section") << QByteArray("[General]\nx=1\n[mail]\na@x\\subject=s\n") << "no";
        QTest::newRow("key before any section") << QByteArray("mail\\a@x\\subject=s\n") << "no";
        QTest::newRow("deeper key") << QByteArray("[mail]\na@x\\sub\\subject=s\n") << "no";
        QTest::newRow("list value") << QByteArray("[mail]\na@x\\subject=one, two\n") << "no";
        QTest::newRow("escaped key name") << QByteArray("[mail]\na@x\\sub%6Aect=s\n") << "no";
    }

    void sameAsSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reads);
        IniReader::Groups groups;
        if (!reads.isEmpty())
            QCOMPARE(IniReader::read(content, QStringLiteral("mail"), {"subject"}, &groups), reads == "yes");
        const QString path = TestHome::path() + QStringLiteral("/index.conf");
        QFile::remove(FolderIndexCache::pathFor(path));
        QVERIFY(Fixtures::writeFile(path, content));
        FolderIndex fast(path);
        FolderIndex reference(path);
        const QVector<FolderIndex::Entry> entries = fast.load();
        QCOMPARE(describe(entries), describe(reference.loadWithSettings()));
        if (reads == QLatin1String("yes"))
            QCOMPARE(entries.size(), 17);

        FolderIndex::writeCache(path, FolderIndex::read(path));
        const auto sameThroughCache = [&] {
            return describe(FolderIndex(path).load()) == describe(FolderIndex(path).loadWithSettings());
        };
        QVERIFY(sameThroughCache());
        // Changed in place behind the cache, to the same size: only its time tells.
        const int value = content.indexOf("subject=") + 8;
        if (value >= 8 && value < content.size()) {
            QFile index(path);
            QVERIFY(index.open(QIODevice::ReadWrite));
            const QDateTime modified = index.fileTime(QFileDevice::FileModificationTime);
            index.seek(value);
            index.write(content.at(value) == 'Z' ? "Y" : "Z");
            QVERIFY(index.flush());
            QVERIFY(index.setFileTime(modified.addSecs(2), QFileDevice::FileModificationTime));
            index.close();
            QVERIFY(sameThroughCache());
        }
        FolderIndex::Entry late;
        late.id = QStringLiteral("late@x");
        late.subject = QStringLiteral("appended, after the cache");
        QVERIFY(fast.addEntry(late));
        if (!entries.isEmpty()) {
            QVERIFY(fast.setLetterType(entries.first().id, Letter::LetterSeenWithAttachment));
            QVERIFY(fast.removeEntry(entries.last().id));
        }
        QVERIFY(sameThroughCache());
        QFile cache(FolderIndexCache::pathFor(path));
        if (cache.open(QIODevice::ReadWrite)) {
            cache.seek(cache.size() / 2);
            cache.write("\xff\x01");
            cache.close();
            QVERIFY(sameThroughCache());
        }
        FolderIndex::writeCache(path, FolderIndex::read(path));
        QVERIFY(fast.compact());
        QVERIFY(sameThroughCache());
    }
    // What the list shows of a received letter's header, whether it is read
    // directly or by the mail library.
    void listFieldsOfAHeader_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("date");
        const QByteArray to = "To: bob@example.org\r\n";
        const QByteArray date = "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\n";
        QTest::newRow("quoted \"Last, First\" sender is one sender")
                << "From: \"Smith, Anna\" <anna@example.org>\r\n" + to + date << "Smith, Anna <anna@example.org>"
                << "bob@example.org" << "2026-12-07T10:00:00Z";
        QTest::newRow("folded To list keeps every recipient")
                << "From: anna@example.org\r\nTo: \"Doe, Jo\" <jo@example.org>, Bob <bob@example.org>,\r\n"
                   " carol@example.org,\r\n\t<dan@example.org>, E. F. Gee <eve@example.org>\r\nCc: fay@example.org\r\n"
                        + date
                << "anna@example.org"
                << "Doe, Jo <jo@example.org>, Bob <bob@example.org>, carol@example.org, dan@example.org, "
                   "E. F. Gee <eve@example.org>, fay@example.org"
                << "2026-12-07T10:00:00Z";
        QTest::newRow("zone east of UTC, the day before in UTC")
                << "From: anna@example.org\r\n" + to + "Date: Tue, 1 Dec 2026 01:30:00 +0200\r\n"
                << "anna@example.org" << "bob@example.org" << "2026-11-30T23:30:00Z";
        QTest::newRow("zone west of UTC with its name, the day after in UTC")
                << "From: anna@example.org\r\n" + to + "Date: 30 Nov 2026 23:30 -0130 (NDT)\r\n"
                << "anna@example.org" << "bob@example.org" << "2026-12-01T01:00:00Z";
        QTest::newRow("From twice, the first counts")
                << "From: first@example.org\r\n" + to + date + "from: Second <second@example.org>\r\n"
                << "first@example.org" << "bob@example.org" << "2026-12-07T10:00:00Z";
    }

    void listFieldsOfAHeader()
    {
        QFETCH(QByteArray, header);
        const ListFields fields = ListFields::fromMessage(header + "Subject: s\r\n\r\nbody\r\n");
        QTEST(fields.from, "from");
        QTEST(fields.recipients, "recipients");
        QTEST(fields.date.toString(Qt::ISODate), "date");
        QCOMPARE(fields.subject, QStringLiteral("s"));
    }
};

MAIL_TEST_MAIN(TestFolderModel)
#include "tst_foldermodel.moc"
