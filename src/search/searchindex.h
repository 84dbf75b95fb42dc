#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <functional>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <limits>

struct LetterWords;

// Thread: the one that opens it (a connection is used on one thread only).
// An account's word index, an SQLite database with a full-text table: one
// row per message file, keyed by folder and file base name. It is a cache
// of what the message files say and can be deleted at any time; one writer
// (the indexer) and any readers work at once.
class SearchIndex
{
public:
    struct Hit {
        int folder = 0;
        QString name; // the message file's base name
        qint64 key = 0; // orders the hits by the letters' dates (orderKey())
    };
    enum class Mode { Write, Read };

    SearchIndex(QString path, Mode mode);
    ~SearchIndex();
    SearchIndex(const SearchIndex &) = delete;
    SearchIndex &operator=(const SearchIndex &) = delete;

    // Opens the database, a writer making its tables. False when it cannot
    // be opened or is no index of ours (damaged()).
    bool open();
    bool isOpen() const { return m_db.isOpen(); }
    QString path() const { return m_path; }
    // The last failure said the file is damaged or not a database: it has
    // to be made anew.
    bool damaged() const { return m_damaged; }
    // The last failure was a full disk.
    bool full() const { return m_full; }
    // Closes it and removes the database with its journal files.
    void discard();

    // Writer. A batch of changes is one transaction: a kill keeps either
    // all of it or none.
    bool begin();
    bool commit();
    void rollback();
    bool put(int folder, const QString &name, const LetterWords &words);
    bool remove(int folder, const QString &name);
    // Hands the base names of the files the index holds for a folder to
    // visit, as UTF-8, in ascending byte order.
    bool visitNames(int folder, const std::function<void(const QByteArray &name)> &visit);
    int size();

    // Reader. The hits of the newest letters first (by their Date), at
    // most limit, and only those ordered below before (the key of the
    // last hit of an earlier call, to go on from there); folder -1
    // searches every folder.
    QVector<Hit> search(const QString &typed, int folder = -1, int limit = DefaultLimit,
                        qint64 before = std::numeric_limits<qint64>::max());
    // As many as a list read through while typing can show; a word that
    // is in most letters would otherwise cost a fetch of all of them.
    static constexpr int DefaultLimit = 1000;

    // The letters' row ids are their dates in seconds times this, plus a
    // count among those of the same second: the index hands out the hits
    // of the newest letters first without sorting all hits of a common
    // word.
    static constexpr qint64 KeysPerSecond = 1024;
    static qint64 orderKey(const QDateTime &date);

private:
    // A statement prepared once per connection: the indexer runs the same
    // few for every letter. Null when it cannot be prepared.
    QSqlQuery *statement(const QString &text);
    // A row id for a new letter of that date that no other holds.
    QVariant freeKey(const QDateTime &date);
    bool exec(QSqlQuery &query);
    bool exec(const QString &statement);
    bool failed(const QSqlQuery &query);

    QString m_path;
    Mode m_mode;
    QString m_connection;
    QSqlDatabase m_db;
    QHash<QString, QSqlQuery *> m_statements;
    bool m_damaged = false;
    bool m_full = false;
};
