#include "contacts/sqlitedatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtDebug>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The phone application reads this table too: the columns stay exactly so.
const char createStatement[] =
        "create table contact (id bigint primary key, name text, surname text, middlename text, "
        "isFavorite integer, organization text, dateOfBirth text, comment text, phoneList text, "
        "phoneGroupList text, emailList text, emailGroupList text, addressList text, "
        "addressGroupList text, linkList text, photoData text)";

QString configDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// Where the file lived before XDG_CONFIG_HOME was honoured.
QString legacyConfigDir()
{
    return QDir::homePath() + QStringLiteral("/.config");
}

// Names, addresses and photos of the user's contacts: nobody else may read
// them. SQLite gives its journal the rights of the file.
void makePrivate(const QString &file)
{
    const QByteArray name = QFile::encodeName(file);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0)
        qWarning() << "SqliteDatabase::open(): cannot make private" << file << qt_error_string(errno);
    if (fd >= 0)
        ::close(fd);
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
        // Read in place, not moved: the phone application may still use it.
        const QString legacyFile = legacyConfigDir() + QDir::separator() + QStringLiteral("drel-phone.sqlite");
        if (!QFile::exists(file) && QFile::exists(legacyFile))
            file = legacyFile;
    }

    m_db.setDatabaseName(file);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    const bool existed = QFileInfo(file).size() > 0;
    makePrivate(file);
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

QString SqliteDatabase::insertContact(const Contact &contact)
{
    // Ids come from the clock: two contacts of one millisecond, or one of
    // the phone application, would otherwise share one.
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("insert into contact (id, name, emailList) "
                                 "select max(:id, coalesce(max(id) + 1, 0)), :name, :emailList from contact"));
    query.bindValue(QStringLiteral(":id"), contact.id.toLongLong());
    query.bindValue(QStringLiteral(":name"), contact.name);
    query.bindValue(QStringLiteral(":emailList"), contact.email);
    if (!query.exec()) {
        qWarning() << "SqliteDatabase::insertContact():" << query.lastError().text();
        return QString();
    }
    QSqlQuery stored(m_db);
    stored.prepare(QStringLiteral("select id from contact where rowid = :row"));
    stored.bindValue(QStringLiteral(":row"), query.lastInsertId());
    if (!stored.exec() || !stored.next())
        return QString();
    return stored.value(0).toString();
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
