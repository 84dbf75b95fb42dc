#include "contacts/sqlitedatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QtDebug>

namespace {

// The phone application reads this table too: the columns stay exactly so.
const char createStatement[] =
        "create table contact (id bigint primary key, name text, surname text, middlename text, "
        "isFavorite integer, organization text, dateOfBirth text, comment text, phoneList text, "
        "phoneGroupList text, emailList text, emailGroupList text, addressList text, "
        "addressGroupList text, linkList text, photoData text)";

QString configDir()
{
    return QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/.config"));
}

// Connection names are time based; two databases opened within the same
// millisecond (or on two threads) must still get connections of their own.
QSqlDatabase addConnection()
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    const QString base = QStringLiteral("sql_connection_")
            + QString::number(QDateTime::currentMSecsSinceEpoch());
    QString name = base;
    for (int n = 1; QSqlDatabase::contains(name); ++n)
        name = base + QLatin1Char('_') + QString::number(n);
    return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
}

// An SQLite file travels with its journal; a rename that left it behind
// would lose what the phone application had not yet written back.
void moveDatabaseFile(const QString &from, const QString &to)
{
    if (!QFile::rename(from, to)) {
        qWarning() << "SqliteDatabase::open(): cannot rename" << from << "to" << to;
        return;
    }
    for (const char *suffix : {"-journal", "-wal", "-shm"}) {
        const QString side = from + QLatin1String(suffix);
        if (QFile::exists(side))
            QFile::rename(side, to + QLatin1String(suffix));
    }
}

} // namespace

SqliteDatabase::SqliteDatabase(QObject *parent)
    : QObject(parent)
{
}

SqliteDatabase::~SqliteDatabase()
{
    closeConnection();
}

QString SqliteDatabase::defaultPath()
{
    return configDir() + QDir::separator() + QStringLiteral("drel-phone.sqlite");
}

void SqliteDatabase::closeConnection()
{
    if (!m_db.isValid())
        return;
    const QString name = m_db.connectionName();
    if (m_db.isOpen())
        m_db.close();
    // The registry entry may only go once no handle refers to it.
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

bool SqliteDatabase::open(const QString &path)
{
    closeConnection();
    m_db = addConnection();

    const QString dir = configDir();
    if (!QDir(dir).exists())
        QDir().mkpath(dir);

    QString file = path;
    if (path.trimmed().isEmpty()) {
        file = defaultPath();
        const QString oldFile = dir + QDir::separator() + QStringLiteral("drel-contacts.sqlite");
        if (!QFile::exists(file) && QFile::exists(oldFile))
            moveDatabaseFile(oldFile, file);
    }

    m_db.setDatabaseName(file);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    const bool existed = QFile::exists(file);
    const bool opened = m_db.open();
    if (!opened)
        qWarning() << "SqliteDatabase::open(): cannot open" << file << m_db.lastError().text();
    else if (!existed)
        createTable();
    return opened;
}

void SqliteDatabase::createTable()
{
    QSqlQuery query(m_db);
    if (!query.exec(QLatin1String(createStatement)))
        qWarning() << "SqliteDatabase::createTable():" << query.lastError().text();
}

QVector<Contact> SqliteDatabase::readContacts()
{
    QVector<Contact> contacts;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select id, name, surname, middlename, emailList from contact"))) {
        qWarning() << "SqliteDatabase::readContacts():" << query.lastError().text();
        return contacts;
    }
    while (query.next()) {
        const QString id = query.value(0).toString();
        const QString name = (query.value(2).toString() + QLatin1Char(' ') + query.value(1).toString()
                              + QLatin1Char(' ') + query.value(3).toString())
                                     .simplified();
        const QStringList emails =
                query.value(4).toString().split(QStringLiteral(";;;"), Qt::SkipEmptyParts);
        if (name.isEmpty())
            continue;
        for (const QString &email : emails)
            contacts.append(Contact{id, name, email});
    }
    return contacts;
}

void SqliteDatabase::insertContact(const Contact &contact)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("insert into contact (id, name, emailList) values (:id, :name, :emailList)"));
    query.bindValue(QStringLiteral(":id"), contact.id.toLongLong());
    query.bindValue(QStringLiteral(":name"), contact.name);
    query.bindValue(QStringLiteral(":emailList"), contact.email);
    if (!query.exec())
        qWarning() << "SqliteDatabase::insertContact():" << query.lastError().text();
}

QByteArray SqliteDatabase::photoData(const QString &id)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select photoData from contact where id = :id"));
    query.bindValue(QStringLiteral(":id"), id.toLongLong());
    if (!query.exec() || !query.next())
        return QByteArray();
    return QByteArray::fromBase64(query.value(0).toString().toLatin1());
}

QString SqliteDatabase::fileName() const
{
    return m_db.databaseName();
}
