#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include "model/recipient.h"

// One e-mail message as the folder lists, the reading view and the compose
// form see it. Lives on the main thread; the connection thread only reads a
// letter that is handed to it for sending.
class Letter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool parsed READ parsed WRITE setParsed)
    Q_PROPERTY(int letterType READ letterType WRITE setLetterType NOTIFY letterTypeChanged)
    Q_PROPERTY(QString id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString from READ from WRITE setFrom NOTIFY fromChanged)
    Q_PROPERTY(Recipient replyTo READ replyTo WRITE setReplyTo NOTIFY replyToChanged)
    Q_PROPERTY(QString subject READ subject WRITE setSubject NOTIFY subjectChanged)
    Q_PROPERTY(QDateTime date READ date WRITE setDate NOTIFY dateChanged)
    Q_PROPERTY(QList<bool> bodyHtmlList READ bodyHtmlList WRITE setBodyHtmlList NOTIFY bodyHtmlListChanged)
    Q_PROPERTY(QStringList bodyList READ bodyList WRITE setBodyList NOTIFY bodyListChanged)
    // Lists of Recipient values; QML may write {address, name} objects.
    Q_PROPERTY(QVariantList toList READ toListQml WRITE setToListQml NOTIFY toListChanged)
    Q_PROPERTY(QVariantList copyList READ copyListQml WRITE setCopyListQml NOTIFY copyListChanged)
    Q_PROPERTY(QVariantList attachList READ attachList WRITE setAttachList NOTIFY attachListChanged)
    // Message-ID without angle brackets, and the ids of its References field
    // (for a letter being written: the thread it answers, the answered
    // letter last).
    Q_PROPERTY(QString messageId READ messageId WRITE setMessageId NOTIFY messageIdChanged)
    Q_PROPERTY(QStringList references READ references WRITE setReferences NOTIFY referencesChanged)

public:
    enum LetterType {
        LetterUnseen = 0,
        LetterSeen = 1,
        LetterSeenWithAttachment = 2
    };
    Q_ENUM(LetterType)

    enum FolderType {
        IncomingFolder = 0,
        DraftsFolder = 1,
        SentFolder = 2,
        ArchiveFolder = 3,
        TrashFolder = 4
    };
    Q_ENUM(FolderType)

    static constexpr int FolderCount = 5;

    explicit Letter(QObject *parent = nullptr);
    // A letter of its own with every field of this one; its attachments share
    // the data but belong to the copy.
    Letter *copy(QObject *parent) const;

    bool parsed() const { return m_parsed; }
    void setParsed(bool parsed);

    int letterType() const { return m_letterType; }
    void setLetterType(int letterType);

    // The folder the letter belongs to; for a letter in Trash, the folder it
    // came from, so that it can be restored there. Not a property.
    int folderType() const { return m_folderType; }
    void setFolderType(int folderType) { m_folderType = folderType; }

    QString id() const { return m_id; }
    void setId(const QString &id);

    QString from() const { return m_from; }
    void setFrom(const QString &from);

    Recipient replyTo() const { return m_replyTo; }
    void setReplyTo(const Recipient &replyTo);

    QString subject() const { return m_subject; }
    void setSubject(const QString &subject);

    // To and Cc as the folder list keeps them for the search. Not a property.
    QString recipients() const { return m_recipients; }
    void setRecipients(const QString &recipients) { m_recipients = recipients; }

    QDateTime date() const { return m_date; }
    void setDate(const QDateTime &date);

    QList<bool> bodyHtmlList() const { return m_bodyHtmlList; }
    void setBodyHtmlList(const QList<bool> &bodyHtmlList);

    QStringList bodyList() const { return m_bodyList; }
    void setBodyList(const QStringList &bodyList);

    QList<Recipient> toList() const { return m_toList; }
    void setToList(const QList<Recipient> &toList);

    QList<Recipient> copyList() const { return m_copyList; }
    void setCopyList(const QList<Recipient> &copyList);

    QVariantList attachList() const { return m_attachList; }
    void setAttachList(const QVariantList &attachList);

    QString messageId() const { return m_messageId; }
    void setMessageId(const QString &messageId);

    QStringList references() const { return m_references; }
    void setReferences(const QStringList &references);

signals:
    // The store has read the letter's message and filled it in.
    void loaded();
    void idChanged();
    void fromChanged();
    void replyToChanged();
    void subjectChanged();
    void dateChanged();
    void bodyHtmlListChanged();
    void bodyListChanged();
    void toListChanged();
    void copyListChanged();
    void letterTypeChanged();
    void attachListChanged();
    void messageIdChanged();
    void referencesChanged();

public slots:
    void clear();
    void removeAttachmentAt(int i);
    void setAttachments(QVariantList attachList);
    void prepareNonQtBody();

private:
    QVariantList toListQml() const { return Recipient::toVariantList(m_toList); }
    void setToListQml(const QVariantList &list) { setToList(Recipient::fromVariantList(list)); }
    QVariantList copyListQml() const { return Recipient::toVariantList(m_copyList); }
    void setCopyListQml(const QVariantList &list) { setCopyList(Recipient::fromVariantList(list)); }

    bool m_parsed = false;
    int m_letterType = LetterUnseen;
    int m_folderType = IncomingFolder;
    QString m_id;
    QString m_from;
    Recipient m_replyTo;
    QString m_subject;
    QString m_recipients;
    QDateTime m_date;
    QList<bool> m_bodyHtmlList;
    QStringList m_bodyList;
    QList<Recipient> m_toList;
    QList<Recipient> m_copyList;
    QVariantList m_attachList; // points at Attachments owned elsewhere
    QString m_messageId;
    QStringList m_references;
};
