#include "contacts/contactimageprovider.h"
#include "contacts/contactsmodel.h"
#include "contacts/contactsproxymodel.h"
#include "contacts/sqlitedatabase.h"
#include "main/startup.h"
#include "model/letter.h"
#include "testhome.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <memory>

namespace {

const QString createStatement = QStringLiteral(
        "create table contact (id bigint primary key, name text, surname text, middlename text, "
        "isFavorite integer, organization text, dateOfBirth text, comment text, phoneList text, "
        "phoneGroupList text, emailList text, emailGroupList text, addressList text, "
        "addressGroupList text, linkList text, photoData text)");

QString configPath(const QString &file)
{
    return QDir::homePath() + QStringLiteral("/.config/") + file;
}

// Runs statements on a connection of the test's own, as the phone
// application would, and returns the rows of the last one.
QList<QVariantList> sql(const QString &path, const QStringList &statements)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-seed"));
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        }
        while (query.isSelect() && query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i);
            rows << row;
        }
        query.clear();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-seed"));
    return rows;
}

QString insertRow(qint64 id, const QString &name, const QString &surname, const QString &middlename,
                  const QString &emails, const QString &photo = QString())
{
    auto quoted = [](const QString &s) {
        return s.isNull() ? QStringLiteral("null") : QLatin1Char('\'') + s + QLatin1Char('\'');
    };
    return QStringLiteral("insert into contact (id, name, surname, middlename, emailList, photoData) "
                          "values (%1, %2, %3, %4, %5, %6)")
            .arg(id)
            .arg(quoted(name), quoted(surname), quoted(middlename), quoted(emails), quoted(photo));
}

QStringList column(const QAbstractItemModel &model, int role)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, 0).data(role).toString();
    return values;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage samplePhoto()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30));
    image.setPixel(3, 2, qRgb(255, 0, 0));
    return image;
}

// The phone application, as a separate sqlite3 process, writes a row and
// holds the file's exclusive lock for holdMs before it commits.
class LockingWriter
{
public:
    LockingWriter(const QString &path, const QString &statement, int holdMs)
    {
        m_process.setProgram(QStringLiteral("sqlite3"));
        m_process.setArguments({path});
        m_process.start();
        m_process.waitForStarted();
        m_process.write(QStringLiteral(".timeout 5000\nbegin exclusive;\n%1;\n.shell sleep %2\ncommit;\n")
                                .arg(statement)
                                .arg(holdMs / 1000.0)
                                .toUtf8());
        m_process.waitForBytesWritten();
        m_process.closeWriteChannel();
    }
    ~LockingWriter() { m_process.waitForFinished(10000); }

    // Polls with a connection that does not wait until the lock is seen.
    bool waitUntilLocked(const QString &path)
    {
        QElapsedTimer timer;
        timer.start();
        bool locked = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            db.open();
            while (!locked && timer.elapsed() < 5000) {
                QSqlQuery query(db);
                locked = !query.exec(QStringLiteral("select count(*) from contact"));
                if (!locked)
                    QThread::msleep(5);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        return locked;
    }

    bool succeeded()
    {
        return m_process.waitForFinished(10000) && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
};

} // namespace

class TestContacts : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const char *name : {"drel-phone.sqlite", "drel-contacts.sqlite"})
            QFile::remove(configPath(QLatin1String(name)));
    }

    // --- the shared file ---

    void newFileGetsTheSharedTable()
    {
        QDir(QDir::homePath() + QStringLiteral("/.config")).removeRecursively();
        ContactsModel model;
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(QFile::exists(configPath(QStringLiteral("drel-phone.sqlite"))));
        const auto rows = sql(configPath(QStringLiteral("drel-phone.sqlite")),
                              {QStringLiteral("select sql from sqlite_master where name = 'contact'")});
        QCOMPARE(rows.size(), 1);
        // SQLite keeps the statement as given, only "create table" in capitals.
        const QString stored = rows.at(0).at(0).toString();
        QCOMPARE(stored.left(12), QStringLiteral("CREATE TABLE"));
        QCOMPARE(stored.mid(12), createStatement.mid(12));
    }

    void oldFileNameIsTakenOver()
    {
        const QString oldPath = configPath(QStringLiteral("drel-contacts.sqlite"));
        sql(oldPath, {createStatement,
                      insertRow(7, QStringLiteral("Ann"), QStringLiteral("Lee"), QString(),
                                QStringLiteral("ann@example.org"))});
        ContactsModel model;
        QVERIFY(!QFile::exists(oldPath));
        QVERIFY(QFile::exists(configPath(QStringLiteral("drel-phone.sqlite"))));
        QCOMPARE(column(model, ContactsModel::EmailRole), QStringList{"ann@example.org"});
        QCOMPARE(column(model, ContactsModel::NameRole), QStringList{"Lee Ann"});
    }

    void existingFileIsKeptOverOldOne()
    {
        const QString oldPath = configPath(QStringLiteral("drel-contacts.sqlite"));
        sql(oldPath, {createStatement,
                      insertRow(1, QStringLiteral("Old"), QString(), QString(), QStringLiteral("old@x"))});
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(2, QStringLiteral("New"), QString(), QString(), QStringLiteral("new@x"))});
        ContactsModel model;
        QVERIFY(QFile::exists(oldPath));
        QCOMPARE(column(model, ContactsModel::EmailRole), QStringList{"new@x"});
    }

    // --- reading ---

    void rowsPerAddressWithDisplayNames()
    {
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(9007199254740993LL, QStringLiteral("Ivan"), QStringLiteral(" Petrov "),
                       QStringLiteral("Ivanovich"), QStringLiteral("ivan@a.org;;;;;;IVAN@b.org")),
             insertRow(2, QString(), QString(), QString(), QStringLiteral("nobody@x.org")),
             insertRow(3, QStringLiteral("  "), QString(), QStringLiteral(""), QStringLiteral("blank@x.org")),
             insertRow(4, QStringLiteral("Mona"), QString(), QString(), QString()),
             insertRow(5, QString(), QStringLiteral("Solo"), QString(), QStringLiteral(";;;solo@x.org;;;"))});
        ContactsModel model;
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(column(model, ContactsModel::IdRole),
                 (QStringList{"9007199254740993", "9007199254740993", "5"}));
        QCOMPARE(column(model, ContactsModel::NameRole),
                 (QStringList{"Petrov Ivan Ivanovich", "Petrov Ivan Ivanovich", "Solo"}));
        QCOMPARE(column(model, ContactsModel::EmailRole),
                 (QStringList{"ivan@a.org", "IVAN@b.org", "solo@x.org"}));
        QCOMPARE(column(model, ContactsModel::NameAndEmailRole),
                 (QStringList{"Petrov Ivan Ivanovichivan@a.org", "Petrov Ivan IvanovichIVAN@b.org",
                              "Solosolo@x.org"}));
        QVERIFY(!model.index(0, 0).data(Qt::DisplayRole).isValid());
        QVERIFY(!model.index(0, 0).data(261).isValid());

        const QHash<int, QByteArray> roles = model.roleNames();
        QCOMPARE(roles.value(257), QByteArray("idString"));
        QCOMPARE(roles.value(258), QByteArray("name"));
        QCOMPARE(roles.value(259), QByteArray("email"));
        QCOMPARE(roles.value(260), QByteArray("nameAndEmail"));
    }

    // --- adding from sent letters ---

    void typedAddressesAreAddedOnce()
    {
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(1, QStringLiteral("Ann"), QString(), QString(), QStringLiteral("ann@example.org"))});
        ContactsModel model;
        QCOMPARE(model.rowCount(), 1);

        Letter letter;
        letter.setToList({QStringLiteral("bob.smith@example.org"),
                          QStringLiteral("ann@example.org"),
                          QStringLiteral("carol@example.org:::Carol"),
                          QString(),
                          QStringLiteral(":::"),
                          QStringLiteral("Ann@Example.org"),
                          QStringLiteral("bob.smith@example.org")});
        letter.setCopyList({QStringLiteral("copy@example.org")});
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        model.addContactsFromLetter(&letter);
        const qint64 after = QDateTime::currentMSecsSinceEpoch();

        QCOMPARE(column(model, ContactsModel::EmailRole),
                 (QStringList{"ann@example.org", "bob.smith@example.org", "Ann@Example.org"}));
        QCOMPARE(column(model, ContactsModel::NameRole), (QStringList{"Ann", "bob.smith", "Ann"}));
        // Time of the call followed by the entry's position in the letter.
        const QString bobId = model.index(1, 0).data(ContactsModel::IdRole).toString();
        const QString annId = model.index(2, 0).data(ContactsModel::IdRole).toString();
        QVERIFY(bobId.endsWith(QLatin1Char('0')));
        QVERIFY(annId.endsWith(QLatin1Char('5')));
        const qint64 bobTime = bobId.left(bobId.size() - 1).toLongLong();
        QVERIFY(bobTime >= before && bobTime <= after);

        const auto rows = sql(configPath(QStringLiteral("drel-phone.sqlite")),
                              {QStringLiteral("select id, name, emailList, surname from contact order by rowid")});
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(1).at(0).toString(), bobId);
        QCOMPARE(rows.at(1).at(1).toString(), QStringLiteral("bob.smith"));
        QCOMPARE(rows.at(1).at(2).toString(), QStringLiteral("bob.smith@example.org"));
        QVERIFY(rows.at(1).at(3).isNull());

        // Sending again to the same typed address adds nothing.
        Letter again;
        again.setToList({QStringLiteral("bob.smith@example.org")});
        model.addContactsFromLetter(&again);
        QCOMPARE(model.rowCount(), 3);
        model.addContactsFromLetter(nullptr);
        QCOMPARE(model.rowCount(), 3);

        // A fresh model reads the added addresses back as contacts.
        ContactsModel reread;
        QCOMPARE(column(reread, ContactsModel::EmailRole),
                 (QStringList{"ann@example.org", "bob.smith@example.org", "Ann@Example.org"}));
    }

    void failedDatabaseStillShowsAddedRows()
    {
        // A directory where the file should be: the database cannot open.
        QVERIFY(QDir().mkpath(configPath(QStringLiteral("drel-phone.sqlite"))));
        {
            ContactsModel model;
            QCOMPARE(model.rowCount(), 0);
            Letter letter;
            letter.setToList({QStringLiteral("dan@example.org")});
            model.addContactsFromLetter(&letter);
            QCOMPARE(column(model, ContactsModel::NameRole), QStringList{"dan"});
        }
        QVERIFY(QDir(configPath(QStringLiteral("drel-phone.sqlite"))).removeRecursively());
    }

    void modelsMadeInOneMillisecondKeepTheirConnections()
    {
        // Connection names are taken for the next few seconds, as by models
        // made in the same millisecond; none of them may be replaced.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QStringList taken;
        for (qint64 ms = now; ms < now + 5000; ++ms) {
            taken << QStringLiteral("sql_connection_") + QString::number(ms);
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), taken.last())
                    .setDatabaseName(QStringLiteral("elsewhere"));
        }

        auto first = std::make_unique<ContactsModel>();
        auto second = std::make_unique<ContactsModel>();
        Letter letter;
        letter.setToList({QStringLiteral("erin@example.org")});
        first->addContactsFromLetter(&letter);
        // The first one going away does not take the second one's with it.
        first.reset();
        letter.setToList({QStringLiteral("finn@example.org")});
        second->addContactsFromLetter(&letter);
        const auto rows = sql(configPath(QStringLiteral("drel-phone.sqlite")),
                              {QStringLiteral("select emailList from contact order by rowid")});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).at(0).toString(), QStringLiteral("erin@example.org"));
        QCOMPARE(rows.at(1).at(0).toString(), QStringLiteral("finn@example.org"));
        QCOMPARE(QSqlDatabase::connectionNames().size(), taken.size() + 1);
        second.reset();

        QCOMPARE(QSqlDatabase::connectionNames().size(), taken.size());
        for (const QString &name : taken) {
            QCOMPARE(QSqlDatabase::database(name, false).databaseName(), QStringLiteral("elsewhere"));
            QSqlDatabase::removeDatabase(name);
        }
    }

    // --- another program writing to the file at the same time ---

    void readWaitsForTheOtherProgramsLock()
    {
        const QString path = configPath(QStringLiteral("drel-phone.sqlite"));
        sql(path, {createStatement});
        LockingWriter writer(path,
                             insertRow(11, QStringLiteral("Fay"), QString(), QString(),
                                       QStringLiteral("fay@example.org")),
                             1200);
        QVERIFY(writer.waitUntilLocked(path));
        ContactsModel model;
        QVERIFY(writer.succeeded());
        QCOMPARE(column(model, ContactsModel::EmailRole), QStringList{"fay@example.org"});
    }

    void insertWaitsForTheOtherProgramsLock()
    {
        const QString path = configPath(QStringLiteral("drel-phone.sqlite"));
        sql(path, {createStatement});
        ContactsModel model;
        LockingWriter writer(path,
                             insertRow(12, QStringLiteral("Gus"), QString(), QString(),
                                       QStringLiteral("gus@example.org")),
                             1200);
        QVERIFY(writer.waitUntilLocked(path));
        Letter letter;
        letter.setToList({QStringLiteral("hal@example.org")});
        model.addContactsFromLetter(&letter);
        QVERIFY(writer.succeeded());
        const auto rows = sql(path, {QStringLiteral("select emailList from contact order by rowid")});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).at(0).toString(), QStringLiteral("gus@example.org"));
        QCOMPARE(rows.at(1).at(0).toString(), QStringLiteral("hal@example.org"));
    }

    // --- suggestions ---

    void proxyFiltersIgnoringCaseAndSorts()
    {
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(1, QStringLiteral("zed"), QString(), QString(), QStringLiteral("z@x.org")),
             insertRow(2, QStringLiteral("Anna"), QStringLiteral("MARTIN"), QString(), QStringLiteral("a@x.org")),
             insertRow(3, QStringLiteral("Bob"), QString(), QString(), QStringLiteral("TINA@X.ORG")),
             insertRow(4, QStringLiteral("Cyd"), QString(), QString(), QStringLiteral("cyd@x.org"))});
        ContactsModel model;
        ContactsProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort();
        // Case-sensitive order: capitals first.
        QCOMPARE(column(proxy, ContactsModel::NameRole), (QStringList{"Bob", "Cyd", "MARTIN Anna", "zed"}));

        proxy.setFilterFixedString(QStringLiteral("tin"));
        QCOMPARE(column(proxy, ContactsModel::NameRole), (QStringList{"Bob", "MARTIN Anna"}));

        // A new row is filtered and sorted in by the proxy itself.
        Letter letter;
        letter.setToList({QStringLiteral("Austin@x.org"), QStringLiteral("plain@x.org")});
        model.addContactsFromLetter(&letter);
        QCOMPARE(column(proxy, ContactsModel::NameRole), (QStringList{"Austin", "Bob", "MARTIN Anna"}));
        proxy.setFilterFixedString(QString());
        QCOMPARE(proxy.rowCount(), 6);
    }

    // --- photos ---

    void photosWithFallback()
    {
        const QImage photo = samplePhoto();
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(1, QStringLiteral("Pic"), QString(), QString(), QStringLiteral("p@x.org"),
                       QString::fromLatin1(pngBytes(photo).toBase64())),
             insertRow(2, QStringLiteral("Bad"), QString(), QString(), QStringLiteral("b@x.org"),
                       QStringLiteral("bm90IGFuIGltYWdl")),
             insertRow(0, QStringLiteral("Zero"), QString(), QString(), QStringLiteral("z@x.org"),
                       QString::fromLatin1(pngBytes(photo.mirrored()).toBase64()))});
        const QImage fallback(QStringLiteral(":/qml/images/user.png"));
        QVERIFY(!fallback.isNull());

        ContactImageProvider provider;
        QSize size;
        // No model yet: every id gets the fallback picture.
        QCOMPARE(provider.requestImage(QStringLiteral("1"), &size, QSize()), fallback);
        QCOMPARE(size, QSize(100, 100));

        ContactsModel model;
        model.setContactImageProvider(&provider);
        model.setContactImageProvider(nullptr);
        const QImage found = provider.requestImage(QStringLiteral("1"), &size, QSize(0, 32));
        QCOMPARE(size, QSize(100, 32));
        QCOMPARE(found.convertToFormat(QImage::Format_ARGB32), photo);
        QCOMPARE(provider.requestImage(QStringLiteral("2"), nullptr, QSize(20, 20)), fallback);
        QCOMPARE(provider.requestImage(QStringLiteral("3"), nullptr, QSize()), fallback);
        QCOMPARE(provider.requestImage(QStringLiteral("not-a-number"), nullptr, QSize())
                         .convertToFormat(QImage::Format_ARGB32),
                 photo.mirrored());

        // Images that QML loads asynchronously are asked for on another thread.
        QImage fromThread;
        std::unique_ptr<QThread> thread(QThread::create(
                [&] { fromThread = provider.requestImage(QStringLiteral("1"), nullptr, QSize()); }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QCOMPARE(fromThread.convertToFormat(QImage::Format_ARGB32), photo);
    }

    void qmlHandsTheProviderToTheModel()
    {
        const QImage photo = samplePhoto();
        sql(configPath(QStringLiteral("drel-phone.sqlite")),
            {createStatement,
             insertRow(5, QStringLiteral("Pic"), QString(), QString(), QStringLiteral("p@x.org"),
                       QString::fromLatin1(pngBytes(photo).toBase64()))});
        Startup::registerTypes();
        ContactImageProvider provider;
        QQmlEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("contactsImageProvider"),
                                                 QVariant::fromValue(&provider));
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.3\n"
                          "import ContactsModelBackend 1.0\n"
                          "import ContactsProxyModelBackend 1.0\n"
                          "Item {\n"
                          "  property alias proxy: proxy\n"
                          "  ContactsModel { id: model\n"
                          "    Component.onCompleted: model.setContactImageProvider(contactsImageProvider) }\n"
                          "  ContactsProxyModel { id: proxy\n"
                          "    Component.onCompleted: { proxy.setSourceModel(model); proxy.sort() } }\n"
                          "}\n",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *proxy = qobject_cast<ContactsProxyModel *>(root->property("proxy").value<QObject *>());
        QVERIFY(proxy);
        QCOMPARE(proxy->rowCount(), 1);
        QCOMPARE(provider.requestImage(QStringLiteral("5"), nullptr, QSize()).convertToFormat(QImage::Format_ARGB32),
                 photo);
    }
};

MAIL_TEST_MAIN(TestContacts)
#include "tst_contacts.moc"
