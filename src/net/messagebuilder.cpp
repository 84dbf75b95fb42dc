#include "net/messagebuilder.h"

#include "base/caughtlog.h"
#include "base/inlineimages.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "model/recipient.h"
#include "net/headerwriter.h"
#include "net/messagebody.h"

#include <QMimeDatabase>
#include <QtDebug>

namespace {
// Without a charset the library labels text with the locale's, which under a
// non-UTF-8 locale turns every non-ASCII letter into "?". One word: split
// into words of their own charsets, the text loses its blanks between them.
// Blanks at either end are dropped: a header cannot carry them as typed.
vmime::text utf8Text(const QString &text)
{
    return vmime::text(vmime::word(text.trimmed().toUtf8().toStdString(),
                                   vmime::charset(vmime::charsets::UTF_8)));
}

vmime::emailAddress emailAddress(const QString &address)
{
    return vmime::emailAddress(address.trimmed().toUtf8().toStdString());
}

vmime::shared_ptr<vmime::mailbox> mailbox(const Recipient &recipient)
{
    if (recipient.name().isEmpty())
        return vmime::make_shared<vmime::mailbox>(emailAddress(recipient.address()));
    return vmime::make_shared<vmime::mailbox>(utf8Text(recipient.name()), emailAddress(recipient.address()));
}

vmime::addressList addressList(const QList<Recipient> &recipients)
{
    vmime::addressList list;
    for (const Recipient &recipient : recipients)
        list.appendAddress(mailbox(recipient));
    return list;
}

vmime::shared_ptr<vmime::messageId> messageIdOf(const QString &id)
{
    const int at = id.indexOf(QLatin1Char('@'));
    return vmime::make_shared<vmime::messageId>(
            (at < 0 ? id : id.left(at)).toStdString(),
            at < 0 ? std::string("drel-mail") : id.mid(at + 1).toStdString());
}

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 127)
            return false;
    }
    return true;
}

// The sender as the compose form writes it, "name <address>", or a bare
// address.
Recipient senderOf(const QString &from)
{
    // The last " <" starts the address: a name may hold one, an address
    // cannot.
    const int start = from.lastIndexOf(QStringLiteral(" <"));
    if (start >= 0 && from.indexOf(QLatin1Char('@'), start) > 0) {
        QString address = from.mid(start + 2);
        if (address.endsWith(QLatin1Char('>')))
            address.chop(1);
        return Recipient(address, from.left(start));
    }
    return Recipient(from);
}
} // namespace

QString MessageBuilder::messageId(const QString &letterId)
{
    return letterId.contains(QLatin1Char('@')) ? letterId : letterId + QStringLiteral("@drel-mail");
}

QString MessageBuilder::unsendableAddress(const Letter *letter)
{
    QStringList addresses{senderOf(letter->from()).address()};
    for (const Recipient &recipient : letter->toList() + letter->copyList())
        addresses << recipient.address();
    for (const QString &address : qAsConst(addresses)) {
        if (!isAscii(address))
            return address;
    }
    return QString();
}

vmime::shared_ptr<vmime::message> MessageBuilder::toVmimeMessage(Letter *letter, bool forFiling)
{
    vmime::shared_ptr<vmime::message> message;
    if (!letter)
        return message;
    try {
        vmime::messageBuilder builder;

        builder.setExpeditor(*mailbox(senderOf(letter->from())));

        vmime::addressList recipients = addressList(letter->toList());
        // The builder refuses a message without recipients; a filed draft
        // gets a stand-in that is taken out again below.
        const bool standIn = forFiling && recipients.isEmpty();
        if (standIn)
            recipients.appendAddress(vmime::make_shared<vmime::mailbox>(
                    vmime::emailAddress("undisclosed-recipients@drel-mail")));
        builder.setRecipients(recipients);
        if (!letter->copyList().isEmpty())
            builder.setCopyRecipients(addressList(letter->copyList()));

        builder.setSubject(utf8Text(letter->subject()));

        // Text-only readers get the plain alternative; the HTML is written
        // afresh, without the editor's own markup.
        builder.constructTextPart(vmime::mediaType(vmime::mediaTypes::TEXT,
                                                   vmime::mediaTypes::TEXT_HTML));
        auto textPart = vmime::dynamicCast<vmime::htmlTextPart>(builder.getTextPart());
        // A letter made by the compose form always has a body; one without
        // any gets an empty one rather than no message at all.
        const QStringList bodies = letter->bodyList();
        QString html = bodies.isEmpty() ? QString() : bodies.first();
        html.replace(QChar(0x2029), QStringLiteral("<br>"));
        const MessageBody body(html);
        QString htmlText = body.html();
        // A picture quoted from a received letter goes along as one related
        // part, however often the text shows it.
        for (const QString &url : InlineImages::urlsIn(htmlText)) {
            const QByteArray bytes = InlineImages::bytes(url);
            const QString type = QMimeDatabase().mimeTypeForData(bytes).name();
            auto object = textPart->addObject(
                    vmime::make_shared<vmime::stringContentHandler>(bytes.toStdString()),
                    vmime::mediaType(type.toStdString()));
            htmlText.replace(url, QString::fromStdString(object->getReferenceId()));
        }
        textPart->setCharset(vmime::charset(vmime::charsets::UTF_8));
        textPart->setText(vmime::make_shared<vmime::stringContentHandler>(
                htmlText.toUtf8().toStdString(), vmime::contentHandler::NO_ENCODING));
        textPart->setPlainText(vmime::make_shared<vmime::stringContentHandler>(
                body.plainText().toUtf8().toStdString(), vmime::contentHandler::NO_ENCODING));

        for (const QVariant &entry : letter->attachList()) {
            Attachment *attachment = Attachment::fromVariant(entry);
            if (attachment && attachment->handle())
                builder.appendAttachment(attachment->handle());
        }

        message = builder.construct();
        auto header = message->getHeader();
        if (standIn)
            header->removeField(header->findField(vmime::fields::TO));

        // The answered letter last: In-Reply-To names it, References the
        // whole thread, so that readers can thread the conversation.
        const QStringList references = letter->references();
        if (!references.isEmpty()) {
            vmime::messageIdSequence thread;
            for (const QString &id : references)
                thread.appendMessageId(messageIdOf(id));
            header->References()->setValue(thread);
            vmime::messageIdSequence answered;
            answered.appendMessageId(messageIdOf(references.last()));
            header->InReplyTo()->setValue(answered);
        }

        const QString id = letter->id();
        if (!id.isEmpty())
            header->MessageId()->setValue(messageIdOf(id));
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return message;
}

QByteArray MessageBuilder::generate(const vmime::shared_ptr<vmime::message> &message)
{
    // 7-bit headers whatever the server offers; the same bytes go to the
    // server and into the folder.
    vmime::generationContext context(vmime::generationContext::getDefaultContext());
    context.setInternationalizedEmailSupport(false);
    std::string bytes;
    vmime::utility::outputStreamStringAdapter out(bytes);
    message->generate(context, out);
    out.flush();

    // What the user typed is written again by HeaderWriter (see there why).
    const vmime::charset utf8(vmime::charsets::UTF_8);
    auto header = message->getHeader();
    auto mailbox = [&utf8](const vmime::mailbox &m) {
        return HeaderWriter::Mailbox(QString::fromStdString(m.getName().getConvertedText(utf8)),
                                     QString::fromStdString(m.getEmail().toString()));
    };
    QMap<QByteArray, QByteArray> fields;
    if (auto field = header->findField(vmime::fields::SUBJECT)) {
        if (auto text = field->getValue<vmime::text>())
            fields.insert("subject", HeaderWriter::unstructured("Subject", QString::fromStdString(
                                                                        text->getConvertedText(utf8))));
    }
    if (auto field = header->findField(vmime::fields::FROM)) {
        if (auto value = field->getValue<vmime::mailbox>())
            fields.insert("from", HeaderWriter::mailboxes("From", {mailbox(*value)}));
    }
    for (const char *name : {vmime::fields::TO, vmime::fields::CC}) {
        auto field = header->findField(name);
        auto value = field ? field->getValue<vmime::addressList>() : nullptr;
        if (!value)
            continue;
        QList<HeaderWriter::Mailbox> list;
        for (const auto &m : value->toMailboxList()->getMailboxList())
            list << mailbox(*m);
        fields.insert(QByteArray(name).toLower(), HeaderWriter::mailboxes(name, list));
    }
    return HeaderWriter::replaceFields(QByteArray::fromStdString(bytes), fields);
}
