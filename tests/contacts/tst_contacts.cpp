#include "contacts/contactimageprovider.h"
#include "contacts/contactsmodel.h"
#include "contacts/contactsproxymodel.h"
#include "contacts/sqlitedatabase.h"
#include "fixtures.h"
#include "main/startup.h"
#include "model/letter.h"
#include "testhome.h"

#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

// The contacts file is shared with the phone application.
using Fixtures::column;

namespace {

const QString createStatement = QStringLiteral(
        "create table contact (id bigint primary key, name text, surname text, middlename text, "
        "isFavorite integer, organization text, dateOfBirth text, comment text, phoneList text, "
        "phoneGroupList text, emailList text, emailGroupList text, addressList text, "
        "addressGroupList text, linkList text, photoData text)");

QString configPath(const char *file = "drel-phone.sqlite")
{
    return QDir::homePath() + QStringLiteral("/.config/") + QLatin1String(file);
}

// Runs statements on a connection of the test's own, as the phone
// application would, and returns the first column of the last one's rows.
QStringList sql(const QString &path, const QStringList &statements, const QString &options = QString())
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test"));
        db.setDatabaseName(path);
        db.setConnectOptions(options);
        if (!db.open())
            return {QStringLiteral("<cannot open>")};
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                rows = QStringList{QStringLiteral("<error>")};
        }
        while (query.isSelect() && query.next())
            rows << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test"));
    return rows;
}

QString insertRow(qint64 id, const QString &name, const QString &surname, const QString &emails,
                  const QString &photo = QString(), const QString &middlename = QString())
{
    auto quoted = [](const QString &s) { return s.isNull() ? QStringLiteral("null") : "'" + s + "'"; };
    return QStringLiteral("insert into contact (id, name, surname, middlename, emailList, photoData) "
                          "values (%1, %2, %3, %4, %5, %6)")
            .arg(id)
            .arg(quoted(name), quoted(surname), quoted(middlename), quoted(emails), quoted(photo));
}

QStringList emailsInFile()
{
    return sql(configPath(), {QStringLiteral("select emailList from contact order by rowid")});
}

QString pngBase64(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

void sendTo(ContactsModel &model, const QList<Recipient> &to)
{
    Letter letter;
    letter.setToList(to);
    model.addContactsFromLetter(&letter);
}

} // namespace

class TestContacts : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(configPath());
        QFile::remove(configPath("drel-contacts.sqlite"));
    }

    // A new file gets the table the phone application shares, in the
    // configuration directory the environment names; the file of an older
    // version is taken over, unless the shared one exists, and one in
    // ~/.config is read in place. Whichever is used, only the user reads it.
    void fileNames_data()
    {
        QTest::addColumn<QStringList>("files"); // in ~/.config
        QTest::addColumn<bool>("elsewhere");     // XDG_CONFIG_HOME names another directory
        QTest::newRow("no file") << QStringList() << false;
        QTest::newRow("only the old file") << QStringList{"drel-contacts.sqlite"} << false;
        QTest::newRow("both files") << QStringList{"drel-contacts.sqlite", "drel-phone.sqlite"} << false;
        QTest::newRow("configuration elsewhere, no file") << QStringList() << true;
        QTest::newRow("configuration elsewhere, file in ~/.config") << QStringList{"drel-phone.sqlite"} << true;
    }
    void fileNames()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, elsewhere);
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
        const QString otherConfig = TestHome::path() + QStringLiteral("/other-config");
        QVERIFY(QDir(otherConfig).removeRecursively());
        if (elsewhere)
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(otherConfig));
        QDir config(QDir::homePath() + QStringLiteral("/.config"));
        QVERIFY(config.removeRecursively() && (files.isEmpty() || config.mkpath(config.path())));
        for (const QString &file : files)
            sql(configPath(qPrintable(file)), {createStatement, insertRow(1, "Ann", QString(), file)});
        ContactsModel model;
        const QString used = elsewhere && files.isEmpty() ? otherConfig + QStringLiteral("/drel-phone.sqlite")
                                                          : configPath();
        QCOMPARE(model.database()->fileName(), used);
        QCOMPARE(QFile::permissions(used), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFile::exists(configPath("drel-contacts.sqlite")), files.size() == 2);
        QCOMPARE(column(model, ContactsModel::EmailRole), files.mid(files.size() - 1));
        const QStringList table = sql(used, {QStringLiteral("select sql from sqlite_master where name = 'contact'")});
        QCOMPARE(table.value(0).mid(12), createStatement.mid(12));
    }

    // Rows as the phone application leaves them: one per address.
    void rowsPerAddress()
    {
        sql(configPath(), {createStatement,
                           insertRow(9007199254740993LL, "Ivan", " Petrov ", "ivan@a.org;;;;;;IVAN@b.org",
                                     QString(), "Ivanovich"),
                           insertRow(2, QString(), QString(), "nobody@x.org"),
                           insertRow(3, "  ", QString(), "blank@x.org", QString(), ""),
                           insertRow(4, "Mona", QString(), QString()),
                           insertRow(5, QString(), "Solo", ";;;solo@x.org;;;")});
        ContactsModel model;
        QCOMPARE(column(model, ContactsModel::IdRole), (QStringList{"9007199254740993", "9007199254740993", "5"}));
        QCOMPARE(column(model, ContactsModel::NameRole),
                 (QStringList{"Petrov Ivan Ivanovich", "Petrov Ivan Ivanovich", "Solo"}));
        QCOMPARE(column(model, ContactsModel::EmailRole), (QStringList{"ivan@a.org", "IVAN@b.org", "solo@x.org"}));
    }

    void typedAddressesAreAddedOnce()
    {
        sql(configPath(), {createStatement, insertRow(1, "Ann", QString(), "ann@example.org")});
        ContactsModel model;
        sendTo(model, {{"bob.smith@example.org"}, {"ann@example.org"}, {"carol@example.org", "Carol"}, {},
                       {"Ann@Example.org"}, {"bob.smith@example.org"}});
        sendTo(model, {{"bob.smith@example.org"}});
        model.addContactsFromLetter(nullptr);
        const QStringList expected{"ann@example.org", "bob.smith@example.org", "Ann@Example.org"};
        QCOMPARE(column(model, ContactsModel::EmailRole), expected);
        QCOMPARE(column(model, ContactsModel::NameRole), (QStringList{"Ann", "bob.smith", "Ann"}));
        QCOMPARE(emailsInFile(), expected);
        QCOMPARE(column(ContactsModel(), ContactsModel::EmailRole), expected);
    }

    void unopenableFileStillShowsAddedRows()
    {
        QVERIFY(QDir().mkpath(configPath()));
        {
            ContactsModel model;
            sendTo(model, {{"dan@example.org"}});
            QCOMPARE(column(model, ContactsModel::NameRole), QStringList{"dan"});
        }
        QVERIFY(QDir(configPath()).removeRecursively());
    }

    // Models made in the same millisecond must not share or replace a
    // database connection; contacts added while the clock's ids are taken
    // (by the phone application, or in one millisecond; as milliseconds and
    // as the tenfold ids of earlier versions) are all kept.
    void modelsMadeInOneMillisecondKeepTheirConnections()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        sql(configPath(), {createStatement, QStringLiteral("with recursive n(i) as (select %1 union all select i + 1 "
                                                           "from n where i < %2) insert into contact (id) "
                                                           "select i from n union select i * 10 from n")
                                                    .arg(now).arg(now + 5000)});
        QStringList taken;
        for (qint64 ms = now; ms < now + 5000; ++ms) {
            taken << QStringLiteral("sql_connection_") + QString::number(ms);
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), taken.last()).setDatabaseName("elsewhere");
        }
        auto first = std::make_unique<ContactsModel>();
        auto second = std::make_unique<ContactsModel>();
        sendTo(*first, {{"erin@example.org"}});
        first.reset();
        sendTo(*second, {{"finn@example.org"}});
        QCOMPARE(sql(configPath(), {QStringLiteral("select emailList from contact where emailList <> '' order by rowid")}),
                 (QStringList{"erin@example.org", "finn@example.org"}));
        second.reset();
        QCOMPARE(QSqlDatabase::connectionNames().size(), taken.size());
        for (const QString &name : taken) {
            QCOMPARE(QSqlDatabase::database(name, false).databaseName(), QStringLiteral("elsewhere"));
            QSqlDatabase::removeDatabase(name);
        }
    }

    // The phone application, a separate sqlite3 process, holds the file's
    // exclusive lock for a while: reading and adding wait for it.
    void waitsForTheOtherProgramsLock_data()
    {
        QTest::addColumn<bool>("insert");
        QTest::newRow("read") << false;
        QTest::newRow("insert") << true;
    }
    void waitsForTheOtherProgramsLock()
    {
        QFETCH(bool, insert);
        sql(configPath(), {createStatement});
        std::unique_ptr<ContactsModel> model(insert ? new ContactsModel : nullptr);
        QProcess writer;
        writer.start(QStringLiteral("sqlite3"), {configPath()});
        QVERIFY(writer.waitForStarted());
        writer.write(QStringLiteral(".timeout 5000\nbegin exclusive;\n%1;\n.shell sleep 1.2\ncommit;\n")
                             .arg(insertRow(11, "Fay", QString(), "fay@example.org"))
                             .toUtf8());
        writer.waitForBytesWritten();
        writer.closeWriteChannel();
        QVERIFY(QTest::qWaitFor([] {
            return sql(configPath(), {QStringLiteral("select count(*) from contact")}, "QSQLITE_BUSY_TIMEOUT=0")
                == QStringList{"<error>"};
        }, 5000));
        if (insert)
            sendTo(*model, {{"hal@example.org"}});
        else
            model.reset(new ContactsModel);
        QVERIFY(writer.waitForFinished(10000) && writer.exitCode() == 0);
        const QStringList expected = insert ? QStringList{"fay@example.org", "hal@example.org"}
                                            : QStringList{"fay@example.org"};
        QCOMPARE(emailsInFile(), expected);
        if (!insert)
            QCOMPARE(column(*model, ContactsModel::EmailRole), expected);
    }

    void suggestionsFilterIgnoringCase()
    {
        sql(configPath(), {createStatement, insertRow(1, "zed", QString(), "z@x.org"),
                           insertRow(2, "Anna", "MARTIN", "a@x.org"), insertRow(3, "Bob", QString(), "TINA@X.ORG"),
                           insertRow(4, "Cyd", QString(), "cyd@x.org")});
        ContactsModel model;
        ContactsProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort();
        proxy.setFilterFixedString(QStringLiteral("tin"));
        QCOMPARE(column(proxy, ContactsModel::NameRole), (QStringList{"Bob", "MARTIN Anna"}));
        sendTo(model, {{"Austin@x.org"}, {"plain@x.org"}});
        QCOMPARE(column(proxy, ContactsModel::NameRole), (QStringList{"Austin", "Bob", "MARTIN Anna"}));
    }

    void photosWithFallback()
    {
        QImage photo(7, 5, QImage::Format_ARGB32);
        photo.fill(QColor(10, 200, 30));
        sql(configPath(), {createStatement, insertRow(1, "Pic", QString(), "p@x.org", pngBase64(photo)),
                           insertRow(2, "Bad", QString(), "b@x.org", "bm90IGFuIGltYWdl"),
                           insertRow(0, "Zero", QString(), "z@x.org", pngBase64(photo.mirrored()))});
        const QImage fallback(QStringLiteral(":/qml/images/user.png"));
        ContactImageProvider provider;
        QCOMPARE(provider.requestImage(QStringLiteral("1"), nullptr, QSize()), fallback); // no model yet
        ContactsModel model;
        model.setContactImageProvider(&provider);
        model.setContactImageProvider(nullptr);
        QSize size;
        QCOMPARE(provider.requestImage(QStringLiteral("1"), &size, QSize(0, 32)).convertToFormat(QImage::Format_ARGB32),
                 photo);
        QCOMPARE(size, QSize(100, 32));
        QCOMPARE(provider.requestImage(QStringLiteral("2"), nullptr, QSize(20, 20)), fallback);
        QCOMPARE(provider.requestImage(QStringLiteral("3"), nullptr, QSize()), fallback);
        QCOMPARE(provider.requestImage(QStringLiteral("not-a-number"), nullptr, QSize()).convertToFormat(QImage::Format_ARGB32),
                 photo.mirrored());
        // QML loads images asynchronously, on another thread.
        QImage fromThread;
        std::unique_ptr<QThread> thread(QThread::create(
                [&] { fromThread = provider.requestImage(QStringLiteral("1"), nullptr, QSize()); }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QCOMPARE(fromThread.convertToFormat(QImage::Format_ARGB32), photo);
    }
};

MAIL_TEST_MAIN(TestContacts)
#include "tst_contacts.moc"
