#pragma once

#include <QByteArray>
#include <QMimeType>
#include <QObject>
#include <QString>
#include <QVariant>

#include <vmime/vmime.hpp>

// One attachment of a letter: its name, type and size texts and a shared
// handle to the data held by the mail library. Lives on the main thread.
class Attachment : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString type READ type WRITE setType NOTIFY typeChanged)
    Q_PROPERTY(QString size READ size WRITE setSize NOTIFY sizeChanged)

public:
    // The handle is never null; callers check it.
    Attachment(vmime::shared_ptr<vmime::attachment> handle, QObject *parent);
    // The name the message gives the attachment; empty when it gives none.
    static QString nameOf(const vmime::attachment &handle);

    QString name() const { return m_name; }
    void setName(const QString &name);

    QString type() const { return m_type; }
    void setType(const QString &type);

    QString size() const { return m_size; }
    void setSize(const QString &size);

    vmime::shared_ptr<vmime::attachment> handle() const { return m_handle; }

    // The text shown for a byte count: "512 B", "1.50 Kb", "1.00 Mb".
    static QString sizeText(quint64 bytes);
    // The number of bytes the attachment's data has once decoded.
    static quint64 decodedSize(const vmime::shared_ptr<const vmime::contentHandler> &data);
    // The Attachment a list entry of Letter::attachList points at, if any.
    static Attachment *fromVariant(const QVariant &entry);
    // Where open() writes each opened attachment into a file of its own: a
    // directory of this user's own under the temporary location.
    static QString temporaryDirectory();
    // The file name save() proposes for a name as sent: its last path
    // component without control characters, so that a name such as
    // "../../.bashrc" cannot point outside the folder the user picks.
    static QString safeFileName(const QString &name);

signals:
    void nameChanged();
    void typeChanged();
    void sizeChanged();

public slots:
    // False when the attachment could not be written or handed on; saving
    // that the user cancels is no failure.
    bool open();
    bool save();

    // The type the desktop will open it as: the declared one, else the one
    // its name suggests.
    QMimeType openedType() const;
    // The name open() gives its file: safe, not hidden, bounded, and ending
    // in an extension of openedType().
    QString openedFileName() const;

private:

    QString m_name;
    QString m_type;
    QString m_size;
    vmime::shared_ptr<vmime::attachment> m_handle;
};

Q_DECLARE_METATYPE(Attachment *)
