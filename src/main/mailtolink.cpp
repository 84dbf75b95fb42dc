#include "main/mailtolink.h"

#include "base/hexdigit.h"

namespace {
const QLatin1String scheme("mailto:");

// Percent escapes become bytes read as UTF-8; an escape that is not "%" and
// two hexadecimal digits stays as it was written. "+" is a plus sign in
// mailto: links, not a space.
QString decode(const QString &text)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (int i = 0; i < in.size(); ++i) {
        if (in.at(i) == '%' && i + 2 < in.size() && hexValue(in.at(i + 1)) >= 0
            && hexValue(in.at(i + 2)) >= 0) {
            out.append(char(hexValue(in.at(i + 1)) * 16 + hexValue(in.at(i + 2))));
            i += 2;
        } else {
            out.append(in.at(i));
        }
    }
    return QString::fromUtf8(out);
}

// Commas inside quotes or angle brackets belong to a display name or route.
QStringList splitAddressList(const QString &list)
{
    QStringList entries;
    QString current;
    bool quoted = false;
    int angle = 0;
    for (int i = 0; i < list.size(); ++i) {
        const QChar c = list.at(i);
        if (c == QLatin1Char('\\') && quoted && i + 1 < list.size()) {
            current += c;
            current += list.at(++i);
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('<'))
            ++angle;
        else if (!quoted && c == QLatin1Char('>') && angle > 0)
            --angle;
        if (c == QLatin1Char(',') && !quoted && angle == 0) {
            entries << current;
            current.clear();
        } else {
            current += c;
        }
    }
    entries << current;
    return entries;
}

// The bare address of "Name <address>" or of a plain address.
QString addressOf(const QString &entry)
{
    QString address = entry;
    const int open = entry.lastIndexOf(QLatin1Char('<'));
    const int close = entry.indexOf(QLatin1Char('>'), open + 1);
    if (open >= 0 && close > open)
        address = entry.mid(open + 1, close - open - 1);
    // An address never holds white space or control characters; a link
    // that smuggles line breaks in must not reach a header.
    QString clean;
    for (const QChar c : qAsConst(address)) {
        if (!c.isSpace() && c.category() != QChar::Other_Control)
            clean += c;
    }
    return clean;
}

QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return line.simplified();
}
}

bool MailtoLink::isMailto(const QString &text)
{
    return text.startsWith(scheme, Qt::CaseInsensitive);
}

MailtoLink MailtoLink::parse(const QString &text)
{
    MailtoLink link;
    if (!isMailto(text))
        return link;
    link.m_valid = true;
    const QString rest = text.left(MaxLength).mid(scheme.size());
    const int question = rest.indexOf(QLatin1Char('?'));
    link.addRecipients(decode(rest.left(question)));
    if (question < 0)
        return link;

    bool haveSubject = false;
    bool haveBody = false;
    for (const QString &field : rest.mid(question + 1).split(QLatin1Char('&'))) {
        const int equals = field.indexOf(QLatin1Char('='));
        const QString name = decode(field.left(equals)).trimmed().toLower();
        const QString value = equals < 0 ? QString() : decode(field.mid(equals + 1));
        if (name == QLatin1String("to") || name == QLatin1String("cc") || name == QLatin1String("bcc")) {
            link.addRecipients(value);
        } else if (name == QLatin1String("subject") && !haveSubject) {
            link.m_subject = oneLine(value);
            haveSubject = true;
        } else if (name == QLatin1String("body") && !haveBody) {
            link.m_body = QString(value).replace(QLatin1String("\r\n"), QLatin1String("\n"));
            haveBody = true;
        }
    }
    return link;
}

void MailtoLink::addRecipients(const QString &list)
{
    for (const QString &entry : splitAddressList(list)) {
        if (m_recipients.size() >= MaxRecipients)
            return;
        const QString address = addressOf(entry);
        if (!address.isEmpty() && !m_lowerRecipients.contains(address.toLower())) {
            m_recipients << address;
            m_lowerRecipients.insert(address.toLower());
        }
    }
}

QVariantMap MailtoLink::toRequest() const
{
    return {{QStringLiteral("recipients"), m_recipients},
            {QStringLiteral("subject"), m_subject},
            {QStringLiteral("body"), m_body}};
}
