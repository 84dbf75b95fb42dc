#include "model/messagebounds.h"

#include <QFile>
#include <QVector>

#include <cstring>

namespace {

// One line of the message: [start, textEnd) without its line end, next is
// where the following line starts.
struct Line
{
    int start = 0;
    int textEnd = 0;
    int next = 0;

    bool isEmpty() const { return textEnd == start; }
};

Line lineAt(const QByteArray &content, int start)
{
    Line line;
    line.start = start;
    const char *data = content.constData();
    const auto *lf = static_cast<const char *>(
            std::memchr(data + start, '\n', size_t(content.size() - start)));
    line.next = lf ? int(lf - data) + 1 : content.size();
    line.textEnd = lf ? int(lf - data) : content.size();
    if (line.textEnd > start && data[line.textEnd - 1] == '\r')
        --line.textEnd;
    return line;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The boundary parameter of a multipart's Content-Type value, or empty when
// it is missing or could be read in more than one way (repeated, encoded,
// escaped, commented): the parser's reading and ours must agree, or a part we
// think closed would still be open to it.
QByteArray readBoundary(QByteArray value)
{
    value.replace('\r', QByteArray()).replace('\n', QByteArray());
    QByteArray boundary;
    int found = 0;
    int p = value.indexOf(';');
    while (p >= 0 && p < value.size()) {
        ++p;
        int end = p;
        while (end < value.size() && value.at(end) != '=' && value.at(end) != ';')
            ++end;
        const QByteArray name = value.mid(p, end - p).trimmed().toLower();
        QByteArray parameter;
        p = end;
        if (p < value.size() && value.at(p) == '=') {
            ++p;
            while (p < value.size() && isBlank(value.at(p)))
                ++p;
            if (p < value.size() && value.at(p) == '"') {
                end = value.indexOf('"', p + 1);
                if (end < 0)
                    return QByteArray();
                parameter = value.mid(p + 1, end - p - 1);
                if (parameter.contains('\\'))
                    return QByteArray();
                p = end + 1;
            }
            end = p;
            while (end < value.size() && value.at(end) != ';')
                ++end;
            if (parameter.isEmpty()) {
                parameter = value.mid(p, end - p).trimmed();
                for (const char c : {' ', '\t', '"', '(', ')'}) {
                    if (parameter.contains(c))
                        return QByteArray();
                }
            } else if (!value.mid(p, end - p).trimmed().isEmpty()) {
                return QByteArray();
            }
            p = end;
        }
        if (name == "boundary") {
            ++found;
            boundary = parameter;
        } else if (name.startsWith("boundary")) {
            return QByteArray();
        }
    }
    // RFC 2046 allows 70 characters; a little more for careless senders.
    if (found != 1 || boundary.isEmpty() || boundary.size() > 200
            || isBlank(boundary.at(0)) || isBlank(boundary.at(boundary.size() - 1)))
        return QByteArray();
    return boundary;
}

// Walks the message line by line as the parser will split it: the open
// multiparts' boundaries, which header block is being read, how many parts
// were seen.
class Scanner
{
public:
    explicit Scanner(QByteArray content) : m_content(std::move(content)) {}

    QByteArray bounded()
    {
        int position = 0;
        while (position < m_content.size()) {
            const Line line = lineAt(m_content, position);
            position = line.next;
            bool closing = false;
            const int level = delimiterLevel(line, &closing);
            if (level >= 0) {
                // A part that ends before its header does has no body to
                // nest anything in.
                m_open.resize(closing ? level : level + 1);
                m_inHeader = !closing;
                m_inTypeField = false;
                m_typeFields.clear();
                m_headerStart = line.next;
                if (!closing && ++m_parts > MessageBounds::MaxParts)
                    return withRestAsAttachment(line.next);
                continue;
            }
            if (!m_inHeader)
                continue;
            if (line.next - m_headerStart > MessageBounds::MaxHeaderSize && !m_open.isEmpty())
                return withRestAsAttachment(m_headerStart);
            if (line.isEmpty())
                endHeader();
            else
                readHeaderLine(line);
        }
        return m_content;
    }

private:
    struct Range
    {
        int start;
        int end;
    };

    // The index of the open multipart whose delimiter the line is, or -1.
    int delimiterLevel(const Line &line, bool *closing) const
    {
        const char *data = m_content.constData();
        if (m_open.isEmpty() || line.textEnd - line.start < 2 || data[line.start] != '-'
                || data[line.start + 1] != '-')
            return -1;
        // Outermost first: the parser splits a multipart at its own
        // delimiters before it looks inside the parts.
        for (int i = 0; i < m_open.size(); ++i) {
            const QByteArray &boundary = m_open.at(i);
            int p = line.start + 2;
            if (line.textEnd - p < boundary.size()
                    || std::memcmp(data + p, boundary.constData(), size_t(boundary.size())) != 0)
                continue;
            // As the parser reads it: the boundary ends the line or is
            // followed by a CR or a dash ("--" closes, whatever follows);
            // white space after it makes no delimiter.
            p += boundary.size();
            if (p < line.textEnd && data[p] != '\r' && data[p] != '-')
                continue;
            *closing = line.textEnd - p >= 2 && data[p] == '-' && data[p + 1] == '-';
            return i;
        }
        return -1;
    }

    void readHeaderLine(const Line &line)
    {
        const char *data = m_content.constData();
        if (isBlank(data[line.start])) {
            if (m_inTypeField)
                m_typeFields.last().end = line.textEnd;
            return;
        }
        m_inTypeField = false;
        const char *colon = static_cast<const char *>(
                std::memchr(data + line.start, ':', size_t(line.textEnd - line.start)));
        if (!colon)
            return;
        QByteArray name(data + line.start, int(colon - data) - line.start);
        if (name.trimmed().toLower() != "content-type")
            return;
        m_inTypeField = true;
        m_typeFields.append({int(colon - data) + 1, line.textEnd});
    }

    // Decides at the end of a header whether the parser will descend into
    // the entity's parts.
    void endHeader()
    {
        m_inHeader = false;
        m_inTypeField = false;
        QVector<Range> multipart;
        for (const Range &field : qAsConst(m_typeFields)) {
            if (typeOf(field).toLower().contains("multipart"))
                multipart.append(field);
        }
        if (multipart.isEmpty())
            return;
        const QByteArray boundary = m_typeFields.size() == 1
                ? readBoundary(m_content.mid(multipart.first().start,
                                             multipart.first().end - multipart.first().start))
                : QByteArray();
        if (!boundary.isEmpty() && m_open.size() < MessageBounds::MaxDepth) {
            m_open.append(boundary);
            return;
        }
        // Read as a single opaque part: it is offered as an attachment with
        // its raw parts inside, and the parser does not descend into it.
        for (const Range &field : qAsConst(multipart))
            makeOpaque(field);
    }

    // The media type of a Content-Type value: what precedes its parameters.
    QByteArray typeOf(const Range &field) const
    {
        const QByteArray value = m_content.mid(field.start, field.end - field.start);
        const int semicolon = value.indexOf(';');
        return semicolon < 0 ? value : value.left(semicolon);
    }

    // Same length, so that every position found so far stays valid.
    void makeOpaque(const Range &field)
    {
        static const QByteArray replacement("x-skipped");
        const QByteArray type = typeOf(field).toLower();
        for (int at = type.indexOf("multipart"); at >= 0; at = type.indexOf("multipart", at + 1))
            m_content.replace(field.start + at, replacement.size(), replacement);
    }

    // The message up to position (right after a delimiter line), then one
    // attachment holding the raw rest, then the open multiparts closed.
    QByteArray withRestAsAttachment(int position) const
    {
        const QByteArray encoded = m_content.mid(position).toBase64();
        QByteArray result;
        result.reserve(position + encoded.size() + encoded.size() / 38 + 1024);
        result += m_content.left(position);
        result += "Content-Type: application/octet-stream\r\n"
                  "Content-Disposition: attachment; filename=\"";
        result += MessageBounds::remainingPartsName();
        result += "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        for (int i = 0; i < encoded.size(); i += 76) {
            result += encoded.mid(i, 76);
            result += "\r\n";
        }
        for (int i = m_open.size() - 1; i >= 0; --i)
            result += "--" + m_open.at(i) + "--\r\n";
        return result;
    }

    QByteArray m_content;
    QVector<QByteArray> m_open;   // boundaries of the open multiparts, outermost first
    QVector<Range> m_typeFields;  // the Content-Type values of the header being read
    bool m_inHeader = true;
    bool m_inTypeField = false;
    int m_headerStart = 0;
    int m_parts = 0;
};

// The message's own header ends at its first empty line; its fields past
// MaxHeaderSize are left out, the body stays.
QByteArray withBoundedTopHeader(const QByteArray &content)
{
    int kept = -1;
    for (int position = 0; position < content.size();) {
        const Line line = lineAt(content, position);
        if (line.isEmpty()) {
            if (kept < 0)
                return content;
            return content.left(kept) + content.mid(line.start);
        }
        if (kept < 0 && line.next > MessageBounds::MaxHeaderSize)
            kept = line.start;
        position = line.next;
    }
    return kept < 0 ? content : content.left(kept);
}

} // namespace

QByteArray MessageBounds::readFile(QFile &file)
{
    return file.read(qBound<qint64>(0, file.size(), MaxSize));
}

QByteArray MessageBounds::headerBlock(const QByteArray &content)
{
    const QByteArray window = content.left(MaxHeaderSize);
    int end = window.indexOf("\r\n\r\n");
    const int lfEnd = window.indexOf("\n\n");
    if (end < 0 || (lfEnd >= 0 && lfEnd < end))
        end = lfEnd;
    if (end >= 0)
        return window.left(end + 2);
    if (window.size() == content.size())
        return content;
    const int lastLine = window.lastIndexOf('\n');
    return lastLine < 0 ? window : window.left(lastLine + 1);
}

QByteArray MessageBounds::forParser(const QByteArray &content)
{
    return Scanner(withBoundedTopHeader(content.left(MaxSize))).bounded();
}
