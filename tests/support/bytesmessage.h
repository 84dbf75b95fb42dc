#pragma once

#include <QByteArray>

#include <vmime/vmime.hpp>

// A server message that serves the bytes of a message file, for tests of the
// store that need no server. It is a real vmime::net::message: the store reads
// it through extract() exactly as it reads one from an IMAP or POP3 folder.
// With failAfter >= 0, extract() writes that many bytes and then throws, as a
// connection that drops in the middle of a download does.
class BytesMessage : public vmime::net::message
{
public:
    BytesMessage(size_t number, QByteArray bytes, qint64 failAfter = -1);

    static vmime::shared_ptr<vmime::net::message> create(size_t number, const QByteArray &bytes,
                                                         qint64 failAfter = -1);

    vmime::shared_ptr<const vmime::net::messageStructure> getStructure() const override;
    vmime::shared_ptr<vmime::net::messageStructure> getStructure() override;
    vmime::shared_ptr<const vmime::header> getHeader() const override;
    size_t getNumber() const override;
    const uid getUID() const override;
    size_t getSize() const override;
    bool isExpunged() const override;
    int getFlags() const override;
    void setFlags(const int flags, const int mode = FLAG_MODE_SET) override;
    void extract(vmime::utility::outputStream &os, vmime::utility::progressListener *progress = nullptr,
                 const size_t start = 0, const size_t length = -1,
                 const bool peek = false) const override;
    void extractPart(vmime::shared_ptr<const vmime::net::messagePart> p,
                     vmime::utility::outputStream &os,
                     vmime::utility::progressListener *progress = nullptr, const size_t start = 0,
                     const size_t length = -1, const bool peek = false) const override;
    void fetchPartHeader(vmime::shared_ptr<vmime::net::messagePart> p) override;
    vmime::shared_ptr<vmime::message> getParsedMessage() override;

private:
    size_t m_number;
    QByteArray m_bytes;
    qint64 m_failAfter;
    vmime::shared_ptr<vmime::message> m_parsed;
};
