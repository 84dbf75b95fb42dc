#include "bytesmessage.h"

BytesMessage::BytesMessage(size_t number, QByteArray bytes, qint64 failAfter)
    : m_number(number)
    , m_bytes(std::move(bytes))
    , m_failAfter(failAfter)
    , m_parsed(vmime::make_shared<vmime::message>())
{
    m_parsed->parse(m_bytes.toStdString());
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
