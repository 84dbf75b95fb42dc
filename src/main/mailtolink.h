#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// A mailto: link taken apart: the addresses of its path and of its "to",
// "cc" and "bcc" fields (a letter here has one list of recipients), its
// subject and its body. Other fields are ignored.
class MailtoLink
{
public:
    // A link comes from any web page or program. Longer ones are read only
    // this far: a command-line argument cannot be longer, and a letter's
    // text can be pasted once the form is open.
    static constexpr int MaxLength = 128 * 1024;
    // Recipients past these are dropped: the compose form shows each one,
    // and 11,000 of them froze the window for seconds.
    static constexpr int MaxRecipients = 100;

    // True for a text that starts with "mailto:" in any letter case.
    static bool isMailto(const QString &text);
    // An invalid link when the text is not a mailto: link.
    static MailtoLink parse(const QString &text);

    bool isValid() const { return m_valid; }
    QStringList recipients() const { return m_recipients; }
    QString subject() const { return m_subject; }
    QString body() const { return m_body; }

    // {recipients: [addresses], subject: "", body: ""}
    QVariantMap toRequest() const;

private:
    void addRecipients(const QString &list);

    bool m_valid = false;
    QStringList m_recipients;
    QSet<QString> m_lowerRecipients;   // for finding repeats in linear time
    QString m_subject;
    QString m_body;
};
