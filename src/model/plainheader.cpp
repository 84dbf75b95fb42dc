#include "model/plainheader.h"

#include "model/messagefiles.h"

#include <QLatin1String>

#include <array>
#include <cstring>

namespace {

enum CharClass : unsigned char {
    Atext = 1,     // may stand in an atom (RFC 5322)
    Label = 2,     // may stand in a domain name's label
    Local = 4,     // may stand in an address's local part: the library
                   // writes local parts with "?=" or of "=" alone as
                   // encoded words
};

constexpr std::array<unsigned char, 256> charClasses()
{
    std::array<unsigned char, 256> classes{};
    for (int c = '0'; c <= '9'; ++c)
        classes[size_t(c)] = Atext | Label | Local;
    for (int c = 'a'; c <= 'z'; ++c)
        classes[size_t(c)] = Atext | Label | Local;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[size_t(c)] = Atext | Label | Local;
    for (const char c : "!#$%&'*+-/^_`{|}~")
        classes[size_t(static_cast<unsigned char>(c))] |= Atext | Local;
    classes[0] = 0;   // the literal's terminator
    classes[size_t('=')] = Atext;
    classes[size_t('?')] = Atext;
    classes[size_t('-')] |= Label;
    return classes;
}

constexpr std::array<unsigned char, 256> classes = charClasses();

bool is(char c, CharClass charClass)
{
    return classes[static_cast<unsigned char>(c)] & charClass;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Printable ASCII, tabs and line ends only, and no encoded word: what the
// library decodes or guesses a charset for is left to it.
bool isPlainText(const char *at, const char *end)
{
    for (; at < end; ++at) {
        const auto c = static_cast<unsigned char>(*at);
        if (c >= 0x20 && c < 0x7f) {
            if (c == '=' && at + 1 < end && at[1] == '?')
                return false;
        } else if (c == '\r') {
            if (at + 1 == end || at[1] != '\n')
                return false;
        } else if (c != '\t' && c != '\n') {
            return false;
        }
    }
    return true;
}

struct Span {
    const char *begin = nullptr;
    const char *end = nullptr;
    bool isEmpty() const { return begin == end; }
    QLatin1String text() const { return QLatin1String(begin, int(end - begin)); }
};

// A field's value, its folds included. Within it a line end is always
// followed by a space or tab that continues the field.
class Value
{
public:
    explicit Value(Span span) : m_at(span.begin), m_end(span.end) {}

    bool atEnd() const { return m_at == m_end; }
    const char *position() const { return m_at; }
    char peek() const { return m_at < m_end ? *m_at : '\0'; }

    bool take(char c)
    {
        if (peek() != c)
            return false;
        ++m_at;
        return true;
    }

    // Spaces, tabs and folds, which structured fields ignore between tokens.
    void skipSpace()
    {
        while (m_at < m_end && (isBlank(*m_at) || *m_at == '\r' || *m_at == '\n'))
            ++m_at;
    }

    Span takeWhile(CharClass charClass)
    {
        const char *begin = m_at;
        while (m_at < m_end && is(*m_at, charClass))
            ++m_at;
        return {begin, m_at};
    }

    // Parts of the class, each one character of sep from the next, none
    // empty.
    Span takeSeparated(CharClass charClass, char sep)
    {
        const char *begin = m_at;
        do {
            if (takeWhile(charClass).isEmpty())
                return {};
        } while (take(sep));
        return {begin, m_at};
    }

    // A number of min to max digits.
    bool takeNumber(int minDigits, int maxDigits, int *number)
    {
        const char *begin = m_at;
        *number = 0;
        while (m_at < m_end && m_at - begin < maxDigits && *m_at >= '0' && *m_at <= '9')
            *number = *number * 10 + (*m_at++ - '0');
        return m_at - begin >= minDigits && !(m_at < m_end && *m_at >= '0' && *m_at <= '9');
    }

    // One of names, each three letters, as written; its index.
    int takeName(const char *names, int count)
    {
        if (m_end - m_at < 3)
            return -1;
        for (int i = 0; i < count; ++i) {
            if (std::memcmp(m_at, names + 3 * i, 3) == 0) {
                m_at += 3;
                return i;
            }
        }
        return -1;
    }

private:
    const char *m_at;
    const char *m_end;
};

struct Mailbox {
    Span name;
    Span address;
};

// local@domain: dot-atoms, the domain of letters, digits and hyphens.
bool takeAddress(Value &value, Span *address)
{
    const char *begin = value.position();
    if (value.takeSeparated(Local, '.').isEmpty() || !value.take('@')
            || value.takeSeparated(Label, '.').isEmpty())
        return false;
    *address = {begin, value.position()};
    return true;
}

// A name of atoms one space apart, or one quoted string of words, dots
// and commas without spaces at its ends, before <address>; or a bare
// address.
bool takeMailbox(Value &value, Mailbox *mailbox)
{
    value.skipSpace();
    if (value.peek() == '"') {
        value.take('"');
        const char *begin = value.position();
        // The library's list splitting counts parentheses even inside
        // quotes; words, dots and commas are safe.
        while (is(value.peek(), Atext) || value.peek() == '.' || value.peek() == ',' || value.peek() == ' ')
            value.take(value.peek());
        mailbox->name = {begin, value.position()};
        if (!value.take('"') || mailbox->name.isEmpty() || mailbox->name.begin[0] == ' '
                || mailbox->name.end[-1] == ' ')
            return false;
        value.skipSpace();
    } else if (value.peek() != '<') {
        const char *begin = value.position();
        // Either a bare address or the first word of a name.
        Value address = value;
        if (takeAddress(address, &mailbox->address)) {
            value = address;
            mailbox->name = {};
            return true;
        }
        // Name atoms may carry dots ("J. Smith").
        do {
            const char *atom = value.position();
            while (is(value.peek(), Atext) || value.peek() == '.')
                value.take(value.peek());
            if (value.position() == atom)
                return false;
        } while (value.take(' ') && value.peek() != '<' && !isBlank(value.peek()));
        mailbox->name = {begin, value.position()};
        while (mailbox->name.end[-1] == ' ')
            --mailbox->name.end;
        value.skipSpace();
    }
    if (!value.take('<') || !takeAddress(value, &mailbox->address) || !value.take('>'))
        return false;
    return true;
}

void appendMailbox(QString *text, const Mailbox &mailbox)
{
    text->append(ListFields::mailboxText(mailbox.name.text(), mailbox.address.text()));
}

bool readFrom(Span span, QString *from)
{
    Value value(span);
    Mailbox mailbox;
    if (!takeMailbox(value, &mailbox))
        return false;
    value.skipSpace();
    if (!value.atEnd())
        return false;
    appendMailbox(from, mailbox);
    return true;
}

bool readRecipients(Span span, QString *recipients)
{
    Value value(span);
    do {
        Mailbox mailbox;
        if (!takeMailbox(value, &mailbox))
            return false;
        if (!recipients->isEmpty())
            recipients->append(QLatin1String(", "));
        appendMailbox(recipients, mailbox);
        value.skipSpace();
    } while (value.take(','));
    return value.atEnd();
}

bool readId(Span span, QString *id)
{
    Value value(span);
    value.skipSpace();
    if (!value.take('<'))
        return false;
    const char *begin = value.position();
    if (value.takeSeparated(Atext, '.').isEmpty() || !value.take('@')
            || value.takeSeparated(Atext, '.').isEmpty())
        return false;
    const Span text{begin, value.position()};
    if (!value.take('>'))
        return false;
    value.skipSpace();
    if (!value.atEnd())
        return false;
    *id = text.text();
    return true;
}

// Unstructured text: the ends' white space dropped, each fold with the
// white space after it one space, everything else as written.
bool readSubject(Span span, QString *subject)
{
    const char *begin = span.begin;
    const char *end = span.end;
    while (begin < end && isBlank(*begin))
        ++begin;
    if (begin < end && (*begin == '\r' || *begin == '\n'))
        return false;   // a first line without text
    while (end > begin && isBlank(end[-1]))
        --end;
    subject->reserve(int(end - begin));
    const char *at = begin;
    while (at < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        if (!lineEnd) {
            subject->append(QLatin1String(at, int(end - at)));
            break;
        }
        const char *textEnd = lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        subject->append(QLatin1String(at, int(textEnd - at)));
        subject->append(QLatin1Char(' '));
        at = lineEnd + 1;
        while (at < end && isBlank(*at))
            ++at;
    }
    return true;
}

// [Day, ]d Mon yyyy hh:mm[:ss] +hhmm [(comment)], single spaces, values in
// range.
bool readDate(Span span, QDateTime *date)
{
    Value value(span);
    value.skipSpace();
    if (value.peek() > '9') {
        if (value.takeName("MonTueWedThuFriSatSun", 7) < 0 || !value.take(',') || !value.take(' '))
            return false;
    }
    int day, year, hour, minute, second = 0, zone;
    if (!value.takeNumber(1, 2, &day) || day < 1 || day > 31 || !value.take(' '))
        return false;
    const int month = value.takeName("JanFebMarAprMayJunJulAugSepOctNovDec", 12) + 1;
    if (month < 1 || !value.take(' '))
        return false;
    // The library reads years below 1000 as abbreviated ones.
    if (!value.takeNumber(4, 4, &year) || year < 1000 || !value.take(' '))
        return false;
    if (!value.takeNumber(2, 2, &hour) || hour > 23 || !value.take(':')
            || !value.takeNumber(2, 2, &minute) || minute > 59)
        return false;
    if (value.take(':') && (!value.takeNumber(2, 2, &second) || second > 59))
        return false;
    if (!value.take(' '))
        return false;
    const int sign = value.take('-') ? -1 : (value.take('+') ? 1 : 0);
    if (sign == 0 || !value.takeNumber(4, 4, &zone) || zone / 100 > 23 || zone % 100 > 59)
        return false;
    value.skipSpace();
    // The zone's name in a comment, as many servers write it ("+0000 (UTC)"):
    // the library passes over it.
    if (value.take('(')) {
        while (value.peek() >= 0x20 && value.peek() < 0x7f && value.peek() != '(' && value.peek() != ')'
               && value.peek() != '\\')
            value.take(value.peek());
        if (!value.take(')'))
            return false;
        value.skipSpace();
    }
    if (!value.atEnd())
        return false;
    *date = ListFields::utcDate(year, month, day, hour, minute, second,
                                sign * (zone / 100 * 60 + zone % 100));
    return true;
}

enum Field { MessageId, From, To, Cc, Subject, Date, FieldCount };

int fieldOf(const char *name, int length)
{
    static const char *const names[FieldCount] = {"message-id", "from", "to", "cc", "subject", "date"};
    for (int i = 0; i < FieldCount; ++i) {
        if (int(std::strlen(names[i])) == length && qstrnicmp(name, names[i], uint(length)) == 0)
            return i;
    }
    return -1;
}

// The value of each field's first occurrence, as the library's lookup
// finds it.
bool findFields(const QByteArray &fields, Span *found, bool *present)
{
    const char *at = fields.constData();
    const char *const end = at + fields.size();
    Span *current = nullptr;
    while (at < end) {
        const char *lf = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        const char *lineEnd = lf ? (lf > at && lf[-1] == '\r' ? lf - 1 : lf) : end;
        const char *next = lf ? lf + 1 : end;
        if (isBlank(*at)) {
            const char *text = at;
            while (text < lineEnd && isBlank(*text))
                ++text;
            if (text == lineEnd)
                return false;   // a fold of white space alone
            if (current)
                current->end = lineEnd;
            else
                return false;
        } else {
            const char *colon = static_cast<const char *>(std::memchr(at, ':', size_t(lineEnd - at)));
            // The library skips colons right after the name's own.
            if (!colon || colon == at || isBlank(colon[-1]) || (colon + 1 < lineEnd && colon[1] == ':'))
                return false;
            const int field = fieldOf(at, int(colon - at));
            if (field < 0)
                return false;
            current = nullptr;
            if (!present[field]) {
                present[field] = true;
                current = &found[field];
                *current = {colon + 1, lineEnd};
            }
        }
        at = next;
    }
    return true;
}

} // namespace

bool PlainHeader::read(const QByteArray &fields, ListFields *listed)
{
    const char *begin = fields.constData();
    if (!isPlainText(begin, begin + fields.size()))
        return false;
    Span found[FieldCount];
    bool present[FieldCount] = {};
    if (!findFields(fields, found, present))
        return false;
    ListFields read;
    if ((present[MessageId] && !readId(found[MessageId], &read.id))
            || (present[From] && !readFrom(found[From], &read.from))
            || (present[To] && !readRecipients(found[To], &read.recipients))
            || (present[Cc] && !readRecipients(found[Cc], &read.recipients))
            || (present[Subject] && !readSubject(found[Subject], &read.subject))
            || (present[Date] && !readDate(found[Date], &read.date)))
        return false;
    *listed = read;
    return true;
}
