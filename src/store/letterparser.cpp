#include "store/letterparser.h"

#include "model/attachment.h"
#include "model/letter.h"

#include <QRegularExpression>
#include <QTextCodec>
#include <QUrl>
#include <QtDebug>

namespace {

QString utf8(const vmime::text &text)
{
    return QString::fromStdString(text.getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
}

QString bytesAsText(const std::string &bytes)
{
    const QByteArray data = QByteArray::fromStdString(bytes);
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(data.constData(), data.size(),
                                                                     &state);
    if (state.invalidChars == 0)
        return text;
    return QString::fromLatin1(data);
}

// The data URL that replaces a "cid:" reference to an embedded object.
QString dataUrl(const vmime::htmlTextPart::embeddedObject &object)
{
    const std::string type = object.getType().generate();
    std::string raw;
    vmime::utility::outputStreamStringAdapter rawOut(raw);
    const vmime::encoding encoding = object.getEncoding();
    if (encoding.getName() == vmime::encodingTypes::BASE64) {
        object.getData()->extractRaw(rawOut);
        rawOut.flush();
        raw.erase(std::remove_if(raw.begin(), raw.end(),
                                 [](char c) { return c == '\r' || c == '\n'; }),
                  raw.end());
        return QStringLiteral("data:") + QString::fromStdString(type) + QLatin1Char(';')
                + QString::fromStdString(encoding.getName()) + QLatin1Char(',')
                + QString::fromLatin1(raw.data(), int(raw.size()));
    }
    // Only Base64 is a valid encoding inside a data URL; other objects are
    // decoded and sent as Base64.
    object.getData()->extract(rawOut);
    rawOut.flush();
    return QStringLiteral("data:") + QString::fromStdString(type) + QStringLiteral(";base64,")
            + QString::fromLatin1(QByteArray::fromStdString(raw).toBase64());
}

} // namespace

QString LetterParser::partText(const vmime::textPart &part)
{
    std::string decoded;
    {
        vmime::utility::outputStreamStringAdapter out(decoded);
        vmime::utility::CRLFToLFFilteredOutputStream filter(out);
        part.getText()->extract(filter);
        filter.flush();
    }
    const vmime::charset charset = part.getCharset();
    if (charset == vmime::charset(vmime::charsets::UTF_8))
        return bytesAsText(decoded);
    try {
        std::string converted;
        vmime::charset::convert(decoded, converted, charset,
                                vmime::charset(vmime::charsets::UTF_8));
        return QString::fromStdString(converted);
    } catch (vmime::exception &e) {
        qCritical() << "LetterParser::partText(): vmime::exception:" << e.what();
    }
    return bytesAsText(decoded);
}

QString LetterParser::makeLinks(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("\\w+:///?\\S+"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QString result;
    int copied = 0;
    bool linked = false;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QUrl url(match.captured(), QUrl::TolerantMode);
        if (!url.isValid())
            continue;
        result += text.mid(copied, match.capturedStart() - copied).toHtmlEscaped();
        result += QStringLiteral("<a href=\"")
                + QString::fromLatin1(url.toEncoded()).toHtmlEscaped()
                + QStringLiteral("\">") + url.toString().toHtmlEscaped() + QStringLiteral("</a>");
        copied = match.capturedEnd();
        linked = true;
    }
    if (!linked)
        return text;
    result += text.mid(copied).toHtmlEscaped();
    result.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return result;
}

void LetterParser::fill(Letter *letter, const vmime::shared_ptr<const vmime::message> &message,
                        QObject *attachmentParent)
{
    QStringList toList = letter->toList();
    QVariantList attachList = letter->attachList();
    QList<bool> htmlList = letter->bodyHtmlList();
    QStringList bodyList = letter->bodyList();
    try {
        // A missing or unreadable file gives an empty message; the parser
        // would still find one empty text part in it.
        if (message->getHeader()->getFieldCount() == 0 && message->getBody()->getPartCount() == 0
                && message->getBody()->getContents()->getLength() == 0)
            return;
        vmime::messageParser parser(message);

        if (auto mailboxes = parser.getRecipients().toMailboxList()) {
            for (const auto &mbox : mailboxes->getMailboxList())
                toList << QString::fromStdString(mbox->getEmail().toString())
                                + QStringLiteral(":::") + utf8(mbox->getName());
        }

        for (const auto &attachment : parser.getAttachmentList()) {
            auto handle = vmime::constCast<vmime::attachment>(attachment);
            if (handle)
                attachList << QVariant::fromValue<QObject *>(
                        new Attachment(handle, attachmentParent));
        }

        bool lastPartPlain = false;
        for (const auto &part : parser.getTextPartList()) {
            const bool html = part->getType().getSubType() == vmime::mediaTypes::TEXT_HTML;
            std::vector<vmime::shared_ptr<const vmime::htmlTextPart::embeddedObject>> objects;
            if (html) {
                if (lastPartPlain && !htmlList.isEmpty() && !htmlList.last()) {
                    htmlList.removeLast();
                    bodyList.removeLast();
                    lastPartPlain = false;
                }
                htmlList << true;
                auto htmlPart = vmime::dynamicCast<const vmime::htmlTextPart>(part);
                if (htmlPart) {
                    for (size_t i = 0; i < htmlPart->getObjectCount(); ++i)
                        objects.push_back(htmlPart->getObjectAt(i));
                }
            } else {
                htmlList << false;
                lastPartPlain = true;
            }
            QString text = partText(*part);
            if (!htmlList.last())
                text = makeLinks(text);
            for (const auto &object : objects) {
                const QString reference = QStringLiteral("cid:") + QString::fromStdString(object->getId());
                if (text.contains(reference))
                    text.replace(reference, dataUrl(*object));
            }
            bodyList << text;
        }
    } catch (vmime::exception &e) {
        qCritical() << "LetterParser::fill(): vmime::exception:" << e.what();
    } catch (std::exception &e) {
        qCritical() << "LetterParser::fill(): std::exception:" << e.what();
    }
    letter->setToList(toList);
    letter->setAttachList(attachList);
    letter->setBodyHtmlList(htmlList);
    letter->setBodyList(bodyList);
}
