#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

// One mailbox of a letter's To, Cc or Reply-To: an address and the display
// name that goes with it. A value: C++ and QML read its properties, and QML
// hands recipients back as {address, name} objects. Non-ASCII names stay as
// they are; the message writer encodes them.
class Recipient
{
    Q_GADGET
    Q_PROPERTY(QString address READ address CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    // As a header writes it; see toString().
    Q_PROPERTY(QString text READ toString CONSTANT)

public:
    Recipient() = default;
    // Line breaks and other control characters in either part become
    // blanks: a name must never start a header line of its own.
    Recipient(const QString &address, const QString &name = QString());

    // "Name <address>", "\"Quoted, name\" <address>", "<address>", a bare
    // address, or "address:::name" as earlier versions handed them around.
    static Recipient fromString(const QString &text);
    // A Recipient, an {address, name} map (from QML), or a string as
    // fromString() reads it.
    static Recipient fromVariant(const QVariant &value);
    static QList<Recipient> fromVariantList(const QVariantList &values);
    static QVariantList toVariantList(const QList<Recipient> &recipients);

    QString address() const { return m_address; }
    QString name() const { return m_name; }
    bool isEmpty() const { return m_address.isEmpty() && m_name.isEmpty(); }
    // The mailbox as RFC 5322 writes it: the bare address without a name,
    // else "name <address>", the name a quoted string (quotes and
    // backslashes escaped) when it holds anything but words.
    QString toString() const;

    bool operator==(const Recipient &other) const
    {
        return m_address == other.m_address && m_name == other.m_name;
    }
    bool operator!=(const Recipient &other) const { return !(*this == other); }

private:
    QString m_address;
    QString m_name;
};

Q_DECLARE_METATYPE(Recipient)
