#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QList>
#include <QVariant>
#include <QVector>

// Thread: any.
// Reads the two-level keys of one section of an INI file exactly as QSettings
// reads them (key and value escapes, quoting, comments, "@"-encoded values,
// repeated sections that merge, the last value of a repeated key winning),
// without building QSettings' whole map of the file. A folder index of ten
// thousand letters loads several times faster this way.
//
// It covers the files that QSettings writes without a text codec. For
// anything else (bytes beyond ASCII, keys outside the section, deeper or
// shallower keys, list values) read() returns false and the caller falls back
// to QSettings itself.
class IniReader
{
public:
    // group name -> the values of the wanted keys, in the order of `keys`
    // (invalid where a group lacks a key)
    using Groups = QHash<QString, QVector<QVariant>>;

    // Reads the sub-groups of section `section` of `data`, keeping the
    // values of `keys` (plain ASCII names) and passing over all others.
    static bool read(const QByteArray &data, const QString &section, const QList<QByteArray> &keys,
                     Groups *groups);

    // QSettings' own decoding of one key and one value, as in its INI reader.
    static QString unescapedKey(const QByteArray &data, int from, int to);
    static bool unescapedValue(const QByteArray &data, int from, int to, QString *value);
    static QVariant stringToVariant(const QString &s);
};
