#include "net/mailboxreader.h"

#include "model/messagebounds.h"

#include <QPair>
#include <QtDebug>

#include <vmime/net/imap/IMAPCommand.hpp>
#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPParser.hpp>
#include <vmime/net/imap/IMAPStore.hpp>
#include <vmime/net/pop3/POP3Connection.hpp>
#include <vmime/net/pop3/POP3Store.hpp>

namespace {

using vmime::net::imap::IMAPCommand;
using vmime::net::imap::IMAPConnection;
using vmime::net::imap::IMAPParser;

class ImapReader : public MailboxReader
{
public:
    explicit ImapReader(vmime::shared_ptr<IMAPConnection> connection)
        : m_connection(std::move(connection))
    {
    }

    int open(bool writable) override
    {
        m_writable = writable;
        auto response = run(IMAPCommand::SELECT(!writable, "INBOX", {}));
        int count = 0;
        for (const auto *item : response->continue_req_or_response_data()) {
            const auto *data = item->response_data();
            if (data && data->mailbox_data()
                    && data->mailbox_data()->type() == IMAPParser::mailbox_data::EXISTS)
                count = int(data->mailbox_data()->number()->value());
        }
        m_open = true;
        return count;
    }

    QMap<int, QByteArray> idHeaders(int low, int high) override
    {
        return fetch(QByteArray::number(low) + ':' + QByteArray::number(high),
                     "BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)]");
    }

    QMap<int, QByteArray> contents(const QList<int> &numbers) override
    {
        QByteArray set;
        for (int number : numbers)
            set += (set.isEmpty() ? "" : ",") + QByteArray::number(number);
        return fetch(set, "BODY.PEEK[]");
    }

    void markDeleted(int number) override
    {
        run(IMAPCommand::createCommand("STORE " + std::to_string(number)
                                       + " +FLAGS.SILENT (\\Deleted)"));
    }

    void close() override
    {
        // CLOSE expunges only in a mailbox opened for writing.
        if (m_open && m_writable)
            run(IMAPCommand::CLOSE());
        m_open = false;
    }

private:
    std::unique_ptr<IMAPParser::response> run(const vmime::shared_ptr<IMAPCommand> &command)
    {
        m_connection->sendCommand(command);
        std::unique_ptr<IMAPParser::response> response(m_connection->readResponse());
        if (!response || response->isBad() || !response->response_done()->response_tagged()
                || response->response_done()->response_tagged()->resp_cond_state()->status()
                        != IMAPParser::resp_cond_state::OK)
            throw vmime::exceptions::command_error(command->getText(),
                                                   response ? response->getErrorLog() : "");
        return response;
    }

    QMap<int, QByteArray> fetch(const QByteArray &set, const char *item)
    {
        auto response = run(IMAPCommand::createCommand(
                "FETCH " + set.toStdString() + " (" + item + ")"));
        QMap<int, QByteArray> result;
        for (const auto *entry : response->continue_req_or_response_data()) {
            const auto *data = entry->response_data();
            if (!data || !data->message_data() || !data->message_data()->msg_att())
                continue;
            for (const auto *attribute : data->message_data()->msg_att()->items()) {
                if (attribute->type() == IMAPParser::msg_att_item::BODY_SECTION
                        && attribute->nstring())
                    result.insert(int(data->message_data()->number()),
                                  QByteArray::fromStdString(attribute->nstring()->value()));
            }
        }
        return result;
    }

    vmime::shared_ptr<IMAPConnection> m_connection;
    bool m_writable = false;
    bool m_open = false;
};

// The library's POP3 response reader drops what it reads past one response,
// so commands are sent several at a time and their answers read here.
class Pop3Reader : public MailboxReader
{
public:
    explicit Pop3Reader(vmime::shared_ptr<vmime::net::pop3::POP3Connection> connection)
        : m_connection(std::move(connection))
        , m_socket(m_connection->getSocket())
    {
    }

    int open(bool) override
    {
        send("CAPA\r\n");
        if (!statusLine(false).isEmpty()) {
            const QByteArray capabilities = multiLine();
            m_pipelining = capabilities.contains("\r\nPIPELINING\r\n")
                    || capabilities.startsWith("PIPELINING\r\n");
        }
        send("STAT\r\n");
        const QByteArray stat = statusLine(true);
        return stat.split(' ').value(1).toInt();
    }

    QMap<int, QByteArray> idHeaders(int low, int high) override
    {
        QList<int> numbers;
        for (int n = low; n <= high; ++n)
            numbers.append(n);
        return multiLineReplies(numbers, "TOP %1 0\r\n");
    }

    QMap<int, QByteArray> contents(const QList<int> &numbers) override
    {
        return multiLineReplies(numbers, "RETR %1\r\n");
    }

    void markDeleted(int number) override
    {
        send("DELE " + QByteArray::number(number) + "\r\n");
        statusLine(true);
    }

    // The library's disconnect sends QUIT, which carries out the deletions.
    void close() override {}

private:
    QMap<int, QByteArray> multiLineReplies(const QList<int> &numbers, const char *pattern)
    {
        QMap<int, QByteArray> result;
        const int batch = m_pipelining ? 50 : 1;
        for (int start = 0; start < numbers.size(); start += batch) {
            const QList<int> part = numbers.mid(start, batch);
            QByteArray commands;
            for (int number : part)
                commands += QByteArray(pattern).replace("%1", QByteArray::number(number));
            send(commands);
            for (int number : part) {
                // A message deleted meanwhile by another client answers -ERR.
                if (!statusLine(false).isEmpty())
                    result.insert(number, multiLine());
            }
        }
        return result;
    }

    void send(const QByteArray &bytes)
    {
        m_socket->send(bytes.toStdString());
    }

    // Ends the session without another word: the library would wait for
    // the end of the same endless answer when it says goodbye.
    [[noreturn]] void refuse(const char *what)
    {
        m_socket->disconnect();
        throw vmime::exceptions::command_error("POP3", what);
    }

    // One line without its CR LF.
    QByteArray line()
    {
        const QPair<int, int> span = nextLine();
        return m_buffer.mid(span.first, span.second);
    }

    // Where the next line starts in the buffer and how long it is without
    // its CR LF; valid until the next read. The search goes on where the
    // last chunk ended, so that a long line is read in linear time.
    QPair<int, int> nextLine()
    {
        int searched = 0;   // bytes after m_position known to hold no CR LF
        for (;;) {
            const int end = m_buffer.indexOf("\r\n", m_position + qMax(0, searched - 1));
            if (end >= 0) {
                const int start = m_position;
                m_position = end + 2;
                return {start, end - start};
            }
            searched = m_buffer.size() - m_position;
            if (searched > MessageBounds::MaxSize)
                refuse("a line longer than the largest message taken");
            fill();
        }
    }

    void fill()
    {
        if (m_position > 0) {
            m_buffer.remove(0, m_position);
            m_position = 0;
        }
        auto timeout = m_connection->getTimeoutHandler();
        for (;;) {
            std::string chunk;
            m_socket->receive(chunk);
            if (!chunk.empty()) {
                m_buffer.append(chunk.data(), int(chunk.size()));
                if (timeout)
                    timeout->resetTimeOut();
                return;
            }
            if (!m_socket->isConnected())
                throw vmime::exceptions::socket_exception("connection closed by the server");
            if (timeout && timeout->isTimeOut()) {
                if (!timeout->handleTimeOut())
                    throw vmime::exceptions::operation_timed_out();
                timeout->resetTimeOut();
            }
            m_socket->waitForRead(200);
        }
    }

    // The status line; an "-ERR" throws when required, else gives empty.
    QByteArray statusLine(bool required)
    {
        const QByteArray status = line();
        if (status.startsWith("+OK"))
            return status;
        if (required)
            throw vmime::exceptions::command_error("POP3", status.toStdString());
        return QByteArray();
    }

    // A multi-line answer up to its lone ".", with the byte-stuffing undone
    // on every line and every line ended by CR LF. A message larger than the
    // store takes is kept up to that size and the rest read past, so that
    // the check goes on; one that does not end within twice that is refused.
    // Lines are taken straight from the buffer: a message has hundreds.
    QByteArray multiLine()
    {
        QByteArray result;
        qint64 total = 0;
        for (;;) {
            const QPair<int, int> span = nextLine();
            const char *text = m_buffer.constData() + span.first;
            int length = span.second;
            if (length == 1 && text[0] == '.')
                return result;
            if (length > 0 && text[0] == '.') {
                ++text;
                --length;
            }
            total += length + 2;
            if (total > 2 * qint64(MessageBounds::MaxSize))
                refuse("a message that does not end");
            if (total <= MessageBounds::MaxSize) {
                result.append(text, length);
                result.append("\r\n", 2);
            }
        }
    }

    vmime::shared_ptr<vmime::net::pop3::POP3Connection> m_connection;
    vmime::shared_ptr<vmime::net::socket> m_socket;
    QByteArray m_buffer;
    int m_position = 0;
    bool m_pipelining = false;
};

} // namespace

std::unique_ptr<MailboxReader> MailboxReader::create(const vmime::shared_ptr<vmime::net::store> &store)
{
    if (auto imap = vmime::dynamicCast<vmime::net::imap::IMAPStore>(store))
        return std::make_unique<ImapReader>(imap->getConnection());
    if (auto pop3 = vmime::dynamicCast<vmime::net::pop3::POP3Store>(store))
        return std::make_unique<Pop3Reader>(pop3->getConnection());
    return nullptr;
}
