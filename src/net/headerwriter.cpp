#include "net/headerwriter.h"

#include <QRegularExpression>

namespace {
constexpr int lineLimit = 78;
// 39 bytes make 52 Base64 characters, an encoded word of 64: room for
// "Subject: " before it on one line.
constexpr int bytesPerWord = 39;

// Printable ASCII that no reader could take for an encoded word.
bool isPlain(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return !text.contains(QLatin1String("=?"));
}

// Whitespace between encoded words is not part of the text, so the blanks
// travel inside the words.
QList<QByteArray> encodedWords(const QString &text)
{
    QList<QByteArray> words;
    QByteArray chunk;
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = text.mid(i, length).toUtf8();
        if (chunk.size() + character.size() > bytesPerWord) {
            words << "=?utf-8?B?" + chunk.toBase64() + "?=";
            chunk.clear();
        }
        chunk += character;
        i += length;
    }
    if (!chunk.isEmpty())
        words << "=?utf-8?B?" + chunk.toBase64() + "?=";
    return words;
}

QList<QByteArray> phrase(const QString &name)
{
    if (!isPlain(name))
        return encodedWords(name);
    static const QRegularExpression atoms(QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+( [A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*$"));
    if (atoms.match(name).hasMatch())
        return name.toLatin1().split(' ');
    QByteArray quoted = name.toLatin1();
    quoted.replace('\\', "\\\\");
    quoted.replace('"', "\\\"");
    return {'"' + quoted + '"'};
}

// Tokens joined by single blanks; a line that would pass the limit is
// folded before the next token.
QByteArray folded(const QByteArray &name, const QList<QByteArray> &tokens)
{
    QByteArray out = name + ':';
    int lineLength = out.size();
    for (const QByteArray &token : tokens) {
        if (lineLength + 1 + token.size() > lineLimit && lineLength > name.size() + 1) {
            out += "\r\n";
            lineLength = 0;
        }
        out += ' ' + token;
        lineLength += 1 + token.size();
    }
    return out + "\r\n";
}
} // namespace

QByteArray HeaderWriter::unstructured(const QByteArray &name, const QString &text)
{
    return folded(name, isPlain(text) ? text.toLatin1().split(' ') : encodedWords(text));
}

QByteArray HeaderWriter::mailboxes(const QByteArray &name, const QList<Mailbox> &list)
{
    QList<QByteArray> tokens;
    for (int i = 0; i < list.size(); ++i) {
        const QByteArray address = list.at(i).second.toUtf8();
        if (list.at(i).first.isEmpty())
            tokens << address;
        else
            tokens << phrase(list.at(i).first) << '<' + address + '>';
        if (i + 1 < list.size())
            tokens.last() += ',';
    }
    return folded(name, tokens);
}

QByteArray HeaderWriter::replaceFields(const QByteArray &message, const QMap<QByteArray, QByteArray> &fields)
{
    const int headerEnd = message.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return message;
    QByteArray header;
    bool skipping = false;
    for (const QByteArray &line : message.left(headerEnd + 2).split('\n')) {
        if (line.isEmpty())
            continue;
        const bool continuation = line.startsWith(' ') || line.startsWith('\t');
        if (!continuation) {
            const QByteArray key = line.left(line.indexOf(':')).trimmed().toLower();
            skipping = fields.contains(key);
            if (skipping)
                header += fields.value(key);
        }
        if (!skipping)
            header += line + '\n';
    }
    return header + message.mid(headerEnd + 2);
}
