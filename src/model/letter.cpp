#include "model/letter.h"

#include "model/attachment.h"

Letter::Letter(QObject *parent)
    : QObject(parent)
{
}

void Letter::setParsed(bool parsed)
{
    m_parsed = parsed;
}

void Letter::setLetterType(int letterType)
{
    if (m_letterType == letterType)
        return;
    m_letterType = letterType;
    emit letterTypeChanged();
}

void Letter::setId(const QString &id)
{
    if (m_id == id)
        return;
    m_id = id;
    emit idChanged();
}

void Letter::setFrom(const QString &from)
{
    if (m_from == from)
        return;
    m_from = from;
    emit fromChanged();
}

void Letter::setReplyTo(const Recipient &replyTo)
{
    if (m_replyTo == replyTo)
        return;
    m_replyTo = replyTo;
    emit replyToChanged();
}

void Letter::setSubject(const QString &subject)
{
    if (m_subject == subject)
        return;
    m_subject = subject;
    emit subjectChanged();
}

void Letter::setDate(const QDateTime &date)
{
    // Two null dates are equal; a null and a valid one are not.
    if (m_date == date && m_date.isNull() == date.isNull())
        return;
    m_date = date;
    emit dateChanged();
}

void Letter::setBodyHtmlList(const QList<bool> &bodyHtmlList)
{
    if (m_bodyHtmlList == bodyHtmlList)
        return;
    m_bodyHtmlList = bodyHtmlList;
    emit bodyHtmlListChanged();
}

void Letter::setBodyList(const QStringList &bodyList)
{
    if (m_bodyList == bodyList)
        return;
    m_bodyList = bodyList;
    emit bodyListChanged();
}

void Letter::setToList(const QList<Recipient> &toList)
{
    if (m_toList == toList)
        return;
    m_toList = toList;
    emit toListChanged();
}

void Letter::setCopyList(const QList<Recipient> &copyList)
{
    if (m_copyList == copyList)
        return;
    m_copyList = copyList;
    emit copyListChanged();
}

void Letter::setAttachList(const QVariantList &attachList)
{
    if (m_attachList == attachList)
        return;
    m_attachList = attachList;
    emit attachListChanged();
}

void Letter::setMessageId(const QString &messageId)
{
    if (m_messageId == messageId)
        return;
    m_messageId = messageId;
    emit messageIdChanged();
}

void Letter::setReferences(const QStringList &references)
{
    if (m_references == references)
        return;
    m_references = references;
    emit referencesChanged();
}

void Letter::clear()
{
    // letterType, parsed and the folder stay: the compose form reuses the
    // object for a new letter of the same kind.
    m_id.clear();
    m_from.clear();
    m_replyTo = Recipient();
    m_subject.clear();
    m_date = QDateTime();
    m_bodyHtmlList.clear();
    m_bodyList.clear();
    m_toList.clear();
    m_copyList.clear();
    m_attachList.clear();
    m_messageId.clear();
    m_references.clear();

    emit messageIdChanged();
    emit referencesChanged();
    emit fromChanged();
    emit replyToChanged();
    emit subjectChanged();
    emit dateChanged();
    emit bodyHtmlListChanged();
    emit bodyListChanged();
    emit toListChanged();
    emit copyListChanged();
    emit letterTypeChanged();
    emit attachListChanged();
}

void Letter::removeAttachmentAt(int i)
{
    if (i < 0 || i >= m_attachList.size())
        return;
    const QVariant entry = m_attachList.takeAt(i);
    if (Attachment *attachment = Attachment::fromVariant(entry))
        attachment->deleteLater();
    emit attachListChanged();
}

void Letter::setAttachments(QVariantList attachList)
{
    m_attachList.clear();
    for (const QVariant &entry : qAsConst(attachList)) {
        const Attachment *source = Attachment::fromVariant(entry);
        if (!source || !source->handle())
            continue;
        // Shares the library's data with the source but is owned by this
        // letter, so the source letter may go away first.
        auto *copy = new Attachment(source->handle(), this);
        m_attachList.append(QVariant::fromValue(copy));
    }
}

void Letter::prepareNonQtBody()
{
    for (QString &body : m_bodyList) {
        body.remove(QStringLiteral("<!--StartFragment-->"), Qt::CaseSensitive);
        body.remove(QStringLiteral("<!--EndFragment-->"), Qt::CaseSensitive);
    }
}

Letter *Letter::copy(QObject *parent) const
{
    auto *other = new Letter(parent);
    other->m_parsed = m_parsed;
    other->m_letterType = m_letterType;
    other->m_folderType = m_folderType;
    other->m_id = m_id;
    other->m_from = m_from;
    other->m_replyTo = m_replyTo;
    other->m_subject = m_subject;
    other->m_recipients = m_recipients;
    other->m_date = m_date;
    other->m_bodyHtmlList = m_bodyHtmlList;
    other->m_bodyList = m_bodyList;
    other->m_toList = m_toList;
    other->m_copyList = m_copyList;
    other->m_messageId = m_messageId;
    other->m_references = m_references;
    other->setAttachments(m_attachList);
    return other;
}
