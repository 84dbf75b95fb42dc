#include "net/mailboxreader.h"

#include "model/messagebounds.h"
#include "model/messagefiles.h"

#include <QPair>
#include <QtDebug>

#include <cstring>

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

// A server's answers read straight from the socket: lines, and counted runs
// of bytes (IMAP literals) read into the array that is handed on. The
// library's readers parse byte by byte and copy; a window of messages is
// most of a check's work.
class ReplyStream
{
public:
    ReplyStream(vmime::shared_ptr<vmime::net::socket> socket, const char *protocol)
        : m_socket(std::move(socket))
        , m_timeout(m_socket->getTimeoutHandler())
        , m_protocol(protocol)
    {
    }

    void send(const QByteArray &bytes)
    {
        m_socket->sendRaw(reinterpret_cast<const vmime::byte_t *>(bytes.constData()), size_t(bytes.size()));
    }

    // Ends the session without another word: the library would wait for
    // the end of the same endless answer when it says goodbye.
    [[noreturn]] void refuse(const char *what)
    {
        m_socket->disconnect();
        throw vmime::exceptions::command_error(m_protocol, what);
    }

    // One line without its CR LF.
    QByteArray line()
    {
        const QPair<int, int> span = nextLine();
        return m_buffer.mid(span.first, span.second);
    }

    const char *buffered(int position) const { return m_buffer.constData() + position; }

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

    // The next count bytes, of which the first kept are returned. They go
    // from the socket straight into the result: nothing is read past them.
    QByteArray take(qint64 count, int kept)
    {
        QByteArray result(int(qMin<qint64>(count, kept)), Qt::Uninitialized);
        const int inBuffer = int(qMin<qint64>(count, m_buffer.size() - m_position));
        std::memcpy(result.data(), m_buffer.constData() + m_position, size_t(qMin(inBuffer, result.size())));
        m_position += inBuffer;
        qint64 done = inBuffer;
        QByteArray dropped;
        while (done < count) {
            if (done < result.size()) {
                done += receive(result.data() + done, int(result.size() - done));
            } else {
                dropped.resize(int(qMin<qint64>(count - done, chunkSize)));
                done += receive(dropped.data(), dropped.size());
            }
        }
        return result;
    }

private:
    static constexpr int chunkSize = 64 * 1024;

    void fill()
    {
        if (m_position > 0) {
            m_buffer.remove(0, m_position);
            m_position = 0;
        }
        const int had = m_buffer.size();
        m_buffer.resize(had + chunkSize);
        const int got = receive(m_buffer.data() + had, chunkSize);
        m_buffer.resize(had + got);
    }

    // At least one byte, waiting as long as the timeout handler allows.
    int receive(char *into, int size)
    {
        for (;;) {
            const size_t got = m_socket->receiveRaw(reinterpret_cast<vmime::byte_t *>(into), size_t(size));
            if (got > 0) {
                if (m_timeout)
                    m_timeout->resetTimeOut();
                return int(got);
            }
            // Nothing, without waiting to be retried: the peer has closed.
            if (!m_socket->isConnected() || !(m_socket->getStatus() & vmime::net::socket::STATUS_WOULDBLOCK))
                throw vmime::exceptions::socket_exception("connection closed by the server");
            if (m_timeout && m_timeout->isTimeOut()) {
                if (!m_timeout->handleTimeOut())
                    throw vmime::exceptions::operation_timed_out();
                m_timeout->resetTimeOut();
            }
            m_socket->waitForRead(200);
        }
    }

    vmime::shared_ptr<vmime::net::socket> m_socket;
    vmime::shared_ptr<vmime::net::timeoutHandler> m_timeout;
    const char *m_protocol;
    QByteArray m_buffer;
    int m_position = 0;
};

// The library logs in and selects; the FETCH answers, which carry the
// messages, are read here. The library reads only while it waits for an
// answer of its own, so it holds nothing of ours, and what it reads after us
// was sent after our answer ended.
class ImapReader : public MailboxReader
{
public:
    explicit ImapReader(vmime::shared_ptr<IMAPConnection> connection)
        : m_connection(std::move(connection))
        , m_stream(vmime::constCast<vmime::net::socket>(m_connection->getSocket()), "IMAP")
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

    // The body section of every message in the answer, by message number;
    // other items and other untagged answers are passed over.
    QMap<int, QByteArray> fetch(const QByteArray &set, const char *item)
    {
        // The library's tags are a letter and digits: these never meet them.
        const QByteArray tag = "fetch" + QByteArray::number(++m_commands) + ' ';
        const QByteArray command = "FETCH " + set + " (" + item + ")";
        m_stream.send(tag + command + "\r\n");
        QMap<int, QByteArray> result;
        for (;;) {
            nextLine();
            if (m_line.startsWith(tag)) {
                const QByteArray status = m_line.mid(tag.size(), 3).toUpper();
                if (status == "OK" || status == "OK ")
                    return result;
                throw vmime::exceptions::command_error(command.toStdString(), m_line.toStdString());
            }
            if (!m_line.startsWith("* "))
                m_stream.refuse("an answer that is not IMAP");
            m_at = 2;
            bool numbered = false;
            const int number = atom().toInt(&numbered);
            if (numbered && next(' ') && atom().toUpper() == "FETCH" && next(' ') && next('('))
                fetchItems(number, &result);
            skipRest();
        }
    }

    void nextLine()
    {
        m_line = m_stream.line();
        m_at = 0;
    }

    bool atEnd() const { return m_at >= m_line.size(); }

    bool next(char c)
    {
        if (atEnd() || m_line.at(m_at) != c)
            return false;
        ++m_at;
        return true;
    }

    // Up to a space, a parenthesis or the line's end; brackets may hold
    // spaces (BODY[HEADER.FIELDS (MESSAGE-ID)]).
    QByteArray atom()
    {
        const int start = m_at;
        int brackets = 0;
        while (!atEnd()) {
            const char c = m_line.at(m_at);
            if (brackets == 0 && (c == ' ' || c == '(' || c == ')'))
                break;
            brackets += c == '[' ? 1 : c == ']' ? -1 : 0;
            ++m_at;
        }
        return m_line.mid(start, m_at - start);
    }

    // The items of one message's FETCH answer, in whatever order they come.
    void fetchItems(int number, QMap<int, QByteArray> *result)
    {
        for (;;) {
            while (next(' ')) {}
            if (next(')'))
                return;
            const QByteArray name = atom().toUpper();
            if (name.isEmpty() || !next(' '))
                m_stream.refuse("a FETCH answer that cannot be read");
            if (name.startsWith("BODY["))
                result->insert(number, string());
            else
                skipValue();
        }
    }

    // A quoted string, a literal or NIL, at most as large as the store
    // takes.
    QByteArray string()
    {
        if (next('"'))
            return quoted();
        const qint64 size = literalSize();
        if (size >= 0)
            return literal(size, MessageBounds::MaxSize);
        if (atom().toUpper() != "NIL")
            m_stream.refuse("a FETCH answer that cannot be read");
        return QByteArray();
    }

    QByteArray quoted()
    {
        QByteArray text;
        while (!atEnd()) {
            char c = m_line.at(m_at++);
            if (c == '"')
                return text;
            if (c == '\\' && !atEnd())
                c = m_line.at(m_at++);
            text.append(c);
        }
        m_stream.refuse("a string that does not end");
    }

    // The size of the literal that starts here, or -1 for none. A literal
    // ends its line: its bytes follow the line's end.
    qint64 literalSize()
    {
        const int start = m_at;
        next('~');
        if (!next('{')) {
            m_at = start;
            return -1;
        }
        qint64 size = 0;
        while (!atEnd() && m_line.at(m_at) >= '0' && m_line.at(m_at) <= '9') {
            size = size * 10 + (m_line.at(m_at++) - '0');
            // More than twice what the store takes is no message.
            if (size > 2 * qint64(MessageBounds::MaxSize))
                m_stream.refuse("a message that does not end");
        }
        next('+');   // a client's non-synchronizing literal, as some servers echo it
        if (!next('}') || !atEnd())
            m_stream.refuse("a literal that cannot be read");
        return size;
    }

    // The literal's bytes, then the rest of the answer's line.
    QByteArray literal(qint64 size, int kept)
    {
        const QByteArray bytes = m_stream.take(size, kept);
        nextLine();
        return bytes;
    }

    // Nested lists, strings, literals and atoms; by depth, not by recursion,
    // so a server cannot exhaust the stack.
    void skipValue()
    {
        int depth = 0;
        do {
            while (next(' ')) {}
            if (atEnd())
                m_stream.refuse("a FETCH answer that breaks off");
            qint64 size = -1;
            if (next('('))
                ++depth;
            else if (depth > 0 && next(')'))
                --depth;
            else if (next('"'))
                quoted();
            else if ((size = literalSize()) >= 0)
                literal(size, 0);
            else if (atom().isEmpty())
                m_stream.refuse("a FETCH answer that cannot be read");
        } while (depth > 0);
    }

    // Whatever is left of an answer, with the literals it announces; text
    // that only looks like one ("{x}") is text.
    void skipRest()
    {
        for (;;) {
            const int open = m_line.lastIndexOf('{');
            if (open < m_at || !m_line.endsWith('}'))
                return;
            for (int i = open + 1; i < m_line.size() - 1; ++i) {
                if (m_line.at(i) < '0' || m_line.at(i) > '9')
                    return;
            }
            m_at = open;
            literal(literalSize(), 0);
        }
    }

    vmime::shared_ptr<IMAPConnection> m_connection;
    ReplyStream m_stream;
    QByteArray m_line;   // the answer's line being read
    int m_at = 0;
    int m_commands = 0;
    bool m_writable = false;
    bool m_open = false;
};

// The library's POP3 response reader drops what it reads past one response,
// so commands are sent several at a time and their answers read here.
class Pop3Reader : public MailboxReader
{
public:
    explicit Pop3Reader(const vmime::shared_ptr<vmime::net::pop3::POP3Connection> &connection)
        : m_stream(connection->getSocket(), "POP3")
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
        QMap<int, QByteArray> headers = multiLineReplies(numbers, "TOP %1 0\r\n");
        // As IMAP gives it: the rest of the header would only be parsed for
        // nothing.
        for (QByteArray &header : headers)
            header = MessageFiles::headerFields(header, {"message-id"});
        return headers;
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

    void send(const QByteArray &bytes) { m_stream.send(bytes); }

    // The status line; an "-ERR" throws when required, else gives empty.
    QByteArray statusLine(bool required)
    {
        const QByteArray status = m_stream.line();
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
            const QPair<int, int> span = m_stream.nextLine();
            const char *text = m_stream.buffered(span.first);
            int length = span.second;
            if (length == 1 && text[0] == '.')
                return result;
            if (length > 0 && text[0] == '.') {
                ++text;
                --length;
            }
            total += length + 2;
            if (total > 2 * qint64(MessageBounds::MaxSize))
                m_stream.refuse("a message that does not end");
            if (total <= MessageBounds::MaxSize) {
                result.append(text, length);
                result.append("\r\n", 2);
            }
        }
    }

    ReplyStream m_stream;
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
