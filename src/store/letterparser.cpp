#include "store/letterparser.h"

#include "base/caughtlog.h"
#include "base/safehtml.h"
#include "base/inlineimages.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/recipient.h"

#include <QMimeDatabase>

#include <vmime/contentTypeField.hpp>
#include <QRegularExpression>
#include <QTextCodec>
#include <QUrl>
#include <QtDebug>

#include <algorithm>
#include <cstring>

namespace {

// A message held in memory, read by the parser as a seekable stream: the
// parts' bodies then stay regions of this one buffer instead of copies. The
// library's own string stream copies byte by byte, which made its boundary
// search the slowest step in opening a large letter.
class MessageBuffer : public vmime::utility::seekableInputStream
{
public:
    explicit MessageBuffer(const QByteArray &content) : m_data(content) {}
    bool eof() const override { return m_position >= size_t(m_data.size()); }
    void reset() override { m_position = 0; }
    size_t read(vmime::byte_t *const data, const size_t count) override
    {
        const size_t n = std::min(count, size_t(m_data.size()) - std::min(m_position, size_t(m_data.size())));
        std::memcpy(data, m_data.constData() + m_position, n);
        m_position += n;
        return n;
    }
    size_t skip(const size_t count) override
    {
        const size_t n = std::min(count, size_t(m_data.size()) - std::min(m_position, size_t(m_data.size())));
        m_position += n;
        return n;
    }
    size_t getPosition() const override { return m_position; }
    void seek(const size_t position) override { m_position = std::min(position, size_t(m_data.size())); }

private:
    const QByteArray m_data;
    size_t m_position = 0;
};

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

// The URL that replaces a "cid:" reference to an embedded object: the
// picture is kept once, however often the text refers to it.
QString inlineUrl(const vmime::htmlTextPart::embeddedObject &object)
{
    std::string decoded;
    vmime::utility::outputStreamStringAdapter out(decoded);
    object.getData()->extract(out);
    out.flush();
    return InlineImages::urlFor(QByteArray::fromStdString(decoded));
}

// Content types as RFC 2045 reads them where a part leaves them out: a part
// without Content-Type is text/plain in US-ASCII (message/rfc822 inside a
// digest), and a type "text" without its subtype is text/plain.
void completeContentTypes(const vmime::shared_ptr<vmime::bodyPart> &part, bool inDigest)
{
    auto header = part->getHeader();
    auto field = vmime::dynamicCast<vmime::contentTypeField>(
            header->findField(vmime::fields::CONTENT_TYPE));
    if (!field) {
        auto added = vmime::dynamicCast<vmime::contentTypeField>(header->ContentType());
        if (inDigest) {
            added->setValue(vmime::mediaType(vmime::mediaTypes::MESSAGE, vmime::mediaTypes::MESSAGE_RFC822));
        } else {
            added->setValue(vmime::mediaType(vmime::mediaTypes::TEXT, vmime::mediaTypes::TEXT_PLAIN));
            added->setCharset(vmime::charset(vmime::charsets::US_ASCII));
        }
    } else if (auto type = field->getValue<vmime::mediaType>()) {
        // The library fills a missing subtype with "octet-stream".
        if (type->getType() == vmime::mediaTypes::TEXT
                && (type->getSubType().empty()
                    || type->getSubType() == vmime::mediaTypes::APPLICATION_OCTET_STREAM))
            field->setValue(vmime::mediaType(vmime::mediaTypes::TEXT, vmime::mediaTypes::TEXT_PLAIN));
    }
    auto type = header->ContentType()->getValue<vmime::mediaType>();
    const bool digest = type && type->getType() == vmime::mediaTypes::MULTIPART
            && type->getSubType() == vmime::mediaTypes::MULTIPART_DIGEST;
    auto body = part->getBody();
    for (size_t i = 0; i < body->getPartCount(); ++i)
        completeContentTypes(body->getPartAt(i), digest);
}

// An attachment needs a name to be saved or opened under; one that has none
// is named after its type.
QString nameForType(const vmime::mediaType &type)
{
    const QString suffix = QMimeDatabase()
            .mimeTypeForName(QString::fromStdString(type.generate()))
            .preferredSuffix();
    return suffix.isEmpty() ? QStringLiteral("attachment") : QStringLiteral("attachment.") + suffix;
}

Recipient recipientOf(const vmime::mailbox &mbox)
{
    return Recipient(QString::fromStdString(mbox.getEmail().toString()), utf8(mbox.getName()));
}

} // namespace

vmime::shared_ptr<vmime::message> LetterParser::parse(const QByteArray &content)
{
    auto message = vmime::make_shared<vmime::message>();
    const QByteArray bounded = MessageBounds::forParser(withHeaderEnd(content));
    try {
        message->parse(vmime::make_shared<MessageBuffer>(bounded), size_t(bounded.size()));
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        return vmime::make_shared<vmime::message>();
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
        return vmime::make_shared<vmime::message>();
    }
    return message;
}

QByteArray LetterParser::withHeaderEnd(const QByteArray &content)
{
    // A header that runs into the body without the blank line ends at the
    // first line that is neither a field nor a folded continuation; without
    // the blank line the parser would take the whole text as header.
    int position = 0;
    while (position < content.size()) {
        int end = content.indexOf('\n', position);
        if (end < 0)
            end = content.size();
        const QByteArray line = content.mid(position, end - position);
        if (line.isEmpty() || line == "\r")
            return content;
        const int colon = line.indexOf(':');
        bool field = colon > 0;
        for (int i = 0; field && i < colon; ++i)
            field = line.at(i) > ' ' && line.at(i) < 127;
        const bool folded = line.at(0) == ' ' || line.at(0) == '\t';
        if (!field && !(folded && position > 0))
            return content.left(position) + (position > 0 ? "\r\n" : "") + content.mid(position);
        position = end + 1;
    }
    return content;
}

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
        LOG_CAUGHT("vmime::exception", e);
    }
    return bytesAsText(decoded);
}

QString LetterParser::makeLinks(const QString &text)
{
    // Starting only at a word's beginning, with a short scheme: a search that
    // tries every letter of a long word is quadratic in its length.
    static const QRegularExpression pattern(QStringLiteral("\\b\\w{1,32}:///?\\S+"),
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
    QList<Recipient> toList = letter->toList();
    QList<Recipient> copyList = letter->copyList();
    Recipient replyTo = letter->replyTo();
    QString messageId = letter->messageId();
    QStringList references = letter->references();
    QVariantList attachList = letter->attachList();
    QList<bool> htmlList = letter->bodyHtmlList();
    QStringList bodyList = letter->bodyList();
    try {
        // A missing or unreadable file gives an empty message; the parser
        // would still find one empty text part in it.
        if (message->getHeader()->getFieldCount() == 0 && message->getBody()->getPartCount() == 0
                && message->getBody()->getContents()->getLength() == 0)
            return;
        completeContentTypes(vmime::constCast<vmime::message>(message), false);
        vmime::messageParser parser(message);

        if (auto mailboxes = parser.getRecipients().toMailboxList()) {
            for (const auto &mbox : mailboxes->getMailboxList())
                toList << recipientOf(*mbox);
        }
        if (auto mailboxes = parser.getCopyRecipients().toMailboxList()) {
            for (const auto &mbox : mailboxes->getMailboxList())
                copyList << recipientOf(*mbox);
        }
        // What a reply needs: where answers go and the thread's ids.
        auto header = message->getHeader();
        if (auto field = header->findField(vmime::fields::REPLY_TO)) {
            if (auto list = field->getValue<vmime::addressList>()) {
                const auto mailboxes = list->toMailboxList()->getMailboxList();
                if (!mailboxes.empty())
                    replyTo = recipientOf(*mailboxes.front());
            } else if (auto mbox = field->getValue<vmime::mailbox>()) {
                replyTo = recipientOf(*mbox);
            }
        }
        if (auto field = header->findField(vmime::fields::MESSAGE_ID)) {
            if (auto value = field->getValue<vmime::messageId>())
                messageId = QString::fromStdString(value->getId());
        }
        if (auto field = header->findField(vmime::fields::REFERENCES)) {
            if (auto value = field->getValue<vmime::messageIdSequence>()) {
                for (size_t i = 0; i < value->getMessageIdCount(); ++i)
                    references << QString::fromStdString(value->getMessageIdAt(i)->getId());
            }
        }

        for (const auto &attachment : parser.getAttachmentList()) {
            auto handle = vmime::constCast<vmime::attachment>(attachment);
            if (!handle)
                continue;
            auto *item = new Attachment(handle, attachmentParent);
            if (item->name().isEmpty())
                item->setName(nameForType(handle->getType()));
            attachList << QVariant::fromValue<QObject *>(item);
        }

        bool lastPartPlain = false;
        for (const auto &part : parser.getTextPartList()) {
            const bool html = part->getType().getSubType() == vmime::mediaTypes::TEXT_HTML;
            std::vector<vmime::shared_ptr<const vmime::htmlTextPart::embeddedObject>> objects;
            if (html) {
                if (lastPartPlain && !htmlList.isEmpty()) {
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
            if (!htmlList.last()) {
                // A plain body with links becomes escaped HTML; without, it
                // stays text that is never read as markup.
                const QString linked = makeLinks(text);
                htmlList.last() = linked != text;
                text = linked;
            } else {
                text = SafeHtml::stripped(text);
            }
            for (const auto &object : objects) {
                const QString reference = QStringLiteral("cid:") + QString::fromStdString(object->getId());
                if (text.contains(reference))
                    text.replace(reference, inlineUrl(*object));
            }
            bodyList << text;
        }
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    letter->setToList(toList);
    letter->setCopyList(copyList);
    letter->setReplyTo(replyTo);
    letter->setMessageId(messageId);
    letter->setReferences(references);
    letter->setAttachList(attachList);
    letter->setBodyHtmlList(htmlList);
    letter->setBodyList(bodyList);
}
