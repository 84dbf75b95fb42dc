#include "search/searchindex.h"

#include "search/letterwords.h"
#include "search/searchtext.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlError>
#include <QVariant>
#include <QtDebug>

namespace {

// Bumped when the tables change: an index of another version is made anew.
constexpr int SchemaVersion = 2;

QString newConnectionName()
{
    static QAtomicInt next;
    return QStringLiteral("search-index-%1").arg(next.fetchAndAddRelaxed(1));
}

// SQLite's result codes, as the driver reports them.
bool isDamage(const QString &code)
{
    return code == QLatin1String("11") || code == QLatin1String("26"); // CORRUPT, NOTADB
}

} // namespace

SearchIndex::SearchIndex(QString path, Mode mode)
    : m_path(std::move(path))
    , m_mode(mode)
    , m_connection(newConnectionName())
{
}

SearchIndex::~SearchIndex()
{
    qDeleteAll(m_statements);
    m_statements.clear();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool SearchIndex::open()
{
    m_damaged = false;
    m_full = false;
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(m_mode == Mode::Read ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                                : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open()) {
        qWarning().noquote() << "SearchIndex::open(): cannot open" << m_path << m_db.lastError().text();
        return false;
    }
    if (m_mode == Mode::Read)
        return true;
    // A cache: the write-ahead log keeps a killed writer's last batch out
    // whole, and readers go on while the indexer writes.
    QSqlQuery version(m_db);
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
            || !version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        m_damaged = m_damaged || !isOpen() || version.lastError().isValid();
        m_db.close();
        return false;
    }
    const int found = version.value(0).toInt();
    version.finish();
    if (found == SchemaVersion)
        return true;
    if (found != 0) {
        m_damaged = true;
        m_db.close();
        return false;
    }
    const bool made = begin()
            && exec(QStringLiteral("CREATE TABLE files(id INTEGER PRIMARY KEY, folder INTEGER NOT NULL,"
                                   " name TEXT NOT NULL, UNIQUE(folder, name))"))
            // Prefixes of two and three characters get an index of their
            // own: the typed words are prefixes, and the short ones match
            // the most words.
            && exec(QStringLiteral("CREATE VIRTUAL TABLE words USING fts5(subject, sender, recipients,"
                                   " attachments, body, tokenize='unicode61 remove_diacritics 2',"
                                   " prefix='2 3')"))
            && exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion))
            && commit();
    if (!made) {
        rollback();
        m_db.close();
    }
    return made;
}

QSqlQuery *SearchIndex::statement(const QString &text)
{
    QSqlQuery *&query = m_statements[text];
    if (!query) {
        query = new QSqlQuery(m_db);
        query->setForwardOnly(true);
        if (!query->prepare(text)) {
            // A reader fails quietly while the indexer has not yet made the
            // tables.
            if (m_mode == Mode::Write)
                failed(*query);
            delete query;
            m_statements.remove(text);
            return nullptr;
        }
    }
    return query;
}

void SearchIndex::discard()
{
    qDeleteAll(m_statements);
    m_statements.clear();
    if (m_db.isValid())
        m_db.close();
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(m_path + QLatin1String(suffix));
}

bool SearchIndex::failed(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    const QString code = error.nativeErrorCode();
    m_damaged = m_damaged || isDamage(code);
    m_full = code == QLatin1String("13"); // FULL
    qWarning().noquote() << "SearchIndex:" << m_path << error.text();
    return false;
}

bool SearchIndex::exec(QSqlQuery &query)
{
    return query.exec() || failed(query);
}

bool SearchIndex::exec(const QString &statement)
{
    QSqlQuery query(m_db);
    return query.exec(statement) || failed(query);
}

bool SearchIndex::begin()
{
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool SearchIndex::commit()
{
    return exec(QStringLiteral("COMMIT"));
}

void SearchIndex::rollback()
{
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK"));
}

qint64 SearchIndex::orderKey(const QDateTime &date)
{
    // Letters without a date are the oldest, as the folder lists them.
    return date.isValid() ? qMax<qint64>(0, date.toSecsSinceEpoch()) * KeysPerSecond : 0;
}

QVariant SearchIndex::freeKey(const QDateTime &date)
{
    const qint64 first = orderKey(date);
    QSqlQuery *taken = statement(QStringLiteral("SELECT max(id) FROM files WHERE id >= ? AND id < ?"));
    QSqlQuery *last = statement(QStringLiteral("SELECT max(id) FROM files"));
    if (!taken || !last)
        return QVariant();
    taken->addBindValue(first);
    taken->addBindValue(first + KeysPerSecond);
    if (!exec(*taken) || !taken->next())
        return QVariant();
    const QVariant most = taken->value(0);
    taken->finish();
    if (most.isNull())
        return first;
    if (most.toLongLong() + 1 < first + KeysPerSecond)
        return most.toLongLong() + 1;
    // A second with more letters than keys: after the newest, out of order
    // but never lost.
    if (!exec(*last) || !last->next())
        return QVariant();
    const qint64 next = last->value(0).toLongLong() + 1;
    last->finish();
    return next;
}

bool SearchIndex::put(int folder, const QString &name, const LetterWords &words)
{
    if (!remove(folder, name))
        return false;
    QSqlQuery *file = statement(QStringLiteral("INSERT INTO files(id, folder, name) VALUES(?, ?, ?)"));
    QSqlQuery *text = statement(QStringLiteral("INSERT INTO words(rowid, subject, sender, recipients,"
                                               " attachments, body) VALUES(?, ?, ?, ?, ?, ?)"));
    const QVariant key = freeKey(words.date);
    if (!file || !text || key.isNull())
        return false;
    file->addBindValue(key);
    file->addBindValue(folder);
    file->addBindValue(name);
    if (!exec(*file))
        return false;
    text->addBindValue(key);
    text->addBindValue(words.subject);
    text->addBindValue(words.sender);
    text->addBindValue(words.recipients);
    text->addBindValue(words.attachments);
    text->addBindValue(words.body);
    return exec(*text);
}

bool SearchIndex::remove(int folder, const QString &name)
{
    QSqlQuery *find = statement(QStringLiteral("SELECT id FROM files WHERE folder = ? AND name = ?"));
    QSqlQuery *text = statement(QStringLiteral("DELETE FROM words WHERE rowid = ?"));
    QSqlQuery *file = statement(QStringLiteral("DELETE FROM files WHERE id = ?"));
    if (!find || !text || !file)
        return false;
    find->addBindValue(folder);
    find->addBindValue(name);
    if (!exec(*find))
        return false;
    const bool held = find->next();
    const QVariant id = held ? find->value(0) : QVariant();
    find->finish();
    if (!held)
        return true;
    text->addBindValue(id);
    file->addBindValue(id);
    return exec(*text) && exec(*file);
}

bool SearchIndex::visitNames(int folder, const std::function<void(const QByteArray &name)> &visit)
{
    // Walks the unique index of (folder, name), whose binary collation is
    // the byte order of the names' UTF-8.
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT name FROM files WHERE folder = ? ORDER BY name"));
    query.addBindValue(folder);
    if (!exec(query))
        return false;
    while (query.next())
        visit(query.value(0).toString().toUtf8());
    return true;
}

int SearchIndex::size()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM files")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

QVector<SearchIndex::Hit> SearchIndex::search(const QString &typed, int folder, int limit, qint64 before)
{
    QVector<Hit> hits;
    const QString match = SearchText::matchExpression(typed);
    if (match.isEmpty() || !isOpen() || limit <= 0)
        return hits;
    // The index walks the words' lists from the newest letter down and
    // stops at the limit.
    QSqlQuery *query = statement(QStringLiteral("SELECT files.folder, files.name, files.id FROM words"
                                                " JOIN files ON files.id = words.rowid"
                                                " WHERE words MATCH ? AND words.rowid < ?%1"
                                                " ORDER BY words.rowid DESC LIMIT ?")
                                         .arg(folder < 0 ? QString() : QStringLiteral(" AND files.folder = ?")));
    if (!query)
        return hits;
    query->addBindValue(match);
    query->addBindValue(before);
    if (folder >= 0)
        query->addBindValue(folder);
    query->addBindValue(limit);
    if (!exec(*query))
        return hits;
    hits.reserve(limit);
    while (query->next())
        hits.append({query->value(0).toInt(), query->value(1).toString(), query->value(2).toLongLong()});
    query->finish();
    return hits;
}
