#include "model/recipient.h"

#include <QVariantMap>

namespace {

QString cleaned(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    return result.simplified();
}

// RFC 5322 atext, and beyond ASCII as RFC 6532 allows.
bool isWordCharacter(QChar c)
{
    const ushort u = c.unicode();
    if (u > 127)
        return true;
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
        return true;
    return u != 0 && QByteArrayLiteral("!#$%&'*+-/=?^_`{|}~").contains(char(u));
}

// Before the first ":::" lies an address, which holds no blank, quote or
// angle bracket; a quoted name may hold ":::" itself.
bool isOlderForm(const QString &text, int separator)
{
    if (separator <= 0)
        return false;
    for (int i = 0; i < separator; ++i) {
        const QChar c = text.at(i);
        if (c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return false;
    }
    return true;
}

} // namespace

Recipient::Recipient(const QString &address, const QString &name)
    : m_address(cleaned(address))
    , m_name(cleaned(name))
{
}

Recipient Recipient::fromString(const QString &text)
{
    const QString trimmed = text.trimmed();
    const int separator = trimmed.indexOf(QStringLiteral(":::"));
    if (isOlderForm(trimmed, separator))
        return Recipient(trimmed.left(separator), trimmed.mid(separator + 3));
    if (!trimmed.endsWith(QLatin1Char('>')))
        return Recipient(trimmed);
    if (trimmed.startsWith(QLatin1Char('"'))) {
        QString name;
        int i = 1;
        for (; i < trimmed.size() && trimmed.at(i) != QLatin1Char('"'); ++i) {
            if (trimmed.at(i) == QLatin1Char('\\') && i + 1 < trimmed.size())
                ++i;
            name.append(trimmed.at(i));
        }
        const QString rest = trimmed.mid(i + 1).trimmed();
        if (rest.startsWith(QLatin1Char('<')))
            return Recipient(rest.mid(1, rest.size() - 2), name);
    }
    // An address holds no angle bracket: the last one opens it.
    const int open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (open < 0)
        return Recipient(trimmed);
    return Recipient(trimmed.mid(open + 1, trimmed.size() - open - 2), trimmed.left(open));
}

Recipient Recipient::fromVariant(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<Recipient>())
        return value.value<Recipient>();
    if (value.userType() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        return Recipient(map.value(QStringLiteral("address")).toString(),
                         map.value(QStringLiteral("name")).toString());
    }
    return fromString(value.toString());
}

QList<Recipient> Recipient::fromVariantList(const QVariantList &values)
{
    QList<Recipient> recipients;
    recipients.reserve(values.size());
    for (const QVariant &value : values) {
        const Recipient recipient = fromVariant(value);
        if (!recipient.isEmpty())
            recipients.append(recipient);
    }
    return recipients;
}

QVariantList Recipient::toVariantList(const QList<Recipient> &recipients)
{
    QVariantList values;
    values.reserve(recipients.size());
    for (const Recipient &recipient : recipients)
        values.append(QVariant::fromValue(recipient));
    return values;
}

QString Recipient::toString() const
{
    if (m_name.isEmpty())
        return m_address;
    bool words = true;
    for (const QChar c : m_name)
        words = words && (c == QLatin1Char(' ') || isWordCharacter(c));
    QString name = m_name;
    if (!words) {
        name.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        name = QLatin1Char('"') + name + QLatin1Char('"');
    }
    return name + QStringLiteral(" <") + m_address + QLatin1Char('>');
}
