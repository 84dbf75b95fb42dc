#pragma once

#include <QByteArray>

#include <vmime/vmime.hpp>

// A server message that serves the bytes of a message file, for tests of the
// store that need no server; the store reads it through extract() as it reads
// one from an IMAP or POP3 folder. With failAfter >= 0, extract() writes that
// many bytes and then throws, as a connection that drops mid-download does.
class BytesMessage : public vmime::net::message
{
public:
    BytesMessage(size_t number, QByteArray bytes, qint64 failAfter = -1);

    static vmime::shared_ptr<vmime::net::message> create(size_t number, const QByteArray &bytes,
                                                         qint64 failAfter = -1)
    {
        return vmime::make_shared<BytesMessage>(number, bytes, failAfter);
    }

    vmime::shared_ptr<const vmime::net::messageStructure> getStructure() const override { unsupported(); }
    vmime::shared_ptr<vmime::net::messageStructure> getStructure() override { unsupported(); }
    vmime::shared_ptr<const vmime::header> getHeader() const override { return m_parsed->getHeader(); }
    size_t getNumber() const override { return m_number; }
    const uid getUID() const override { return uid(std::to_string(m_number)); }
    size_t getSize() const override { return size_t(m_bytes.size()); }
    bool isExpunged() const override { return false; }
    int getFlags() const override { return FLAG_UNDEFINED; }
    void setFlags(const int, const int = FLAG_MODE_SET) override {}
    void extract(vmime::utility::outputStream &os, vmime::utility::progressListener *progress = nullptr,
                 const size_t start = 0, const size_t length = -1,
                 const bool peek = false) const override;
    void extractPart(vmime::shared_ptr<const vmime::net::messagePart>, vmime::utility::outputStream &,
                     vmime::utility::progressListener * = nullptr, const size_t = 0, const size_t = -1,
                     const bool = false) const override
    {
        unsupported();
    }
    void fetchPartHeader(vmime::shared_ptr<vmime::net::messagePart>) override {}
    vmime::shared_ptr<vmime::message> getParsedMessage() override { return m_parsed; }

private:
    [[noreturn]] static void unsupported() { throw vmime::exceptions::operation_not_supported(); }

    size_t m_number;
    QByteArray m_bytes;
    qint64 m_failAfter;
    vmime::shared_ptr<vmime::message> m_parsed;
};
