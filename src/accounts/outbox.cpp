#include "accounts/outbox.h"

#include "model/letter.h"
#include "store/cache.h"

#include <QtDebug>

Outbox::Outbox(QObject *parent)
    : QObject(parent)
{
}

Outbox::~Outbox()
{
    for (Letter *letter : qAsConst(m_letters))
        keepAsDraft(letter);
}

void Outbox::append(Letter *letter)
{
    letter->setParent(this);
    m_letters.append(letter);
}

Letter *Outbox::startNext()
{
    if (m_sending || m_letters.isEmpty())
        return nullptr;
    m_sending = m_letters.first();
    return m_sending;
}

bool Outbox::finish(Letter *letter, bool sent, const QByteArray &content)
{
    if (!letter || letter != m_sending)
        return false;
    m_sending = nullptr;
    m_letters.removeOne(letter);
    if (sent) {
        // Filed only now that the server has taken it.
        if (m_store)
            m_store->fileMessage(content, letter, Letter::SentFolder);
    } else {
        keepAsDraft(letter);
    }
    letter->deleteLater();
    return true;
}

void Outbox::keepAsDraft(Letter *letter)
{
    if (m_store) {
        m_store->saveLetterToFolder(letter, Letter::DraftsFolder);
        return;
    }
    qCritical() << "Outbox::keepAsDraft(): no mail store to keep the unsent letter"
                << letter->subject();
}
