#include "bytesmessage.h"

BytesMessage::BytesMessage(size_t number, QByteArray bytes, qint64 failAfter)
    : m_number(number)
    , m_bytes(std::move(bytes))
    , m_failAfter(failAfter)
    , m_parsed(vmime::make_shared<vmime::message>())
{
    m_parsed->parse(m_bytes.toStdString());
}

vmime::shared_ptr<vmime::net::message> BytesMessage::create(size_t number, const QByteArray &bytes,
                                                            qint64 failAfter)
{
    return vmime::make_shared<BytesMessage>(number, bytes, failAfter);
}

vmime::shared_ptr<const vmime::net::messageStructure> BytesMessage::getStructure() const
{
    throw vmime::exceptions::operation_not_supported();
}

vmime::shared_ptr<vmime::net::messageStructure> BytesMessage::getStructure()
{
    throw vmime::exceptions::operation_not_supported();
}

vmime::shared_ptr<const vmime::header> BytesMessage::getHeader() const
{
    return m_parsed->getHeader();
}

size_t BytesMessage::getNumber() const
{
    return m_number;
}

const vmime::net::message::uid BytesMessage::getUID() const
{
    return uid(std::to_string(m_number));
}

size_t BytesMessage::getSize() const
{
    return size_t(m_bytes.size());
}

bool BytesMessage::isExpunged() const
{
    return false;
}

int BytesMessage::getFlags() const
{
    return FLAG_UNDEFINED;
}

void BytesMessage::setFlags(const int, const int)
{
}

void BytesMessage::extract(vmime::utility::outputStream &os, vmime::utility::progressListener *,
                           const size_t start, const size_t length, const bool) const
{
    const QByteArray part = m_bytes.mid(int(start), length == size_t(-1) ? -1 : int(length));
    if (m_failAfter >= 0 && m_failAfter < part.size()) {
        os.write(part.constData(), size_t(m_failAfter));
        os.flush();
        throw vmime::exceptions::connection_error("connection lost in the middle of the message");
    }
    os.write(part.constData(), size_t(part.size()));
}

void BytesMessage::extractPart(vmime::shared_ptr<const vmime::net::messagePart>,
                               vmime::utility::outputStream &, vmime::utility::progressListener *,
                               const size_t, const size_t, const bool) const
{
    throw vmime::exceptions::operation_not_supported();
}

void BytesMessage::fetchPartHeader(vmime::shared_ptr<vmime::net::messagePart>)
{
}

vmime::shared_ptr<vmime::message> BytesMessage::getParsedMessage()
{
    return m_parsed;
}
