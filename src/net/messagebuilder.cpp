#include "net/connection.h"

#include "base/caughtlog.h"
#include "base/inlineimages.h"
#include "model/attachment.h"
#include "model/letter.h"

#include <QMimeDatabase>
#include <QtDebug>

namespace {
// Without a charset the library labels text with the locale's, which under a
// non-UTF-8 locale turns every non-ASCII letter into "?".
vmime::text utf8Text(const QString &text)
{
    return vmime::text(text.toUtf8().toStdString(), vmime::charset(vmime::charsets::UTF_8));
}
}

vmime::shared_ptr<vmime::message> Connection::toVmimeMessage(Letter *letter, bool forFiling)
{
    vmime::shared_ptr<vmime::message> message;
    if (!letter)
        return message;
    try {
        vmime::messageBuilder builder;

        const QString from = letter->from();
        const QStringList fromParts = from.split(QStringLiteral(" <"));
        if (fromParts.size() == 2 && fromParts.at(1).contains(QLatin1Char('@'))) {
            QString address = fromParts.at(1);
            if (address.endsWith(QLatin1Char('>')))
                address.chop(1);
            builder.setExpeditor(vmime::mailbox(utf8Text(fromParts.at(0)),
                                                vmime::emailAddress(address.toStdString())));
        } else {
            builder.setExpeditor(vmime::mailbox(vmime::emailAddress(from.toStdString())));
        }

        vmime::addressList recipients;
        for (const QString &entry : letter->toList()) {
            const QStringList parts = entry.split(QStringLiteral(":::"));
            const vmime::emailAddress address(parts.at(0).toStdString());
            const QString name = parts.size() > 1 ? parts.at(1) : QString();
            if (name.isEmpty())
                recipients.appendAddress(vmime::make_shared<vmime::mailbox>(address));
            else
                recipients.appendAddress(vmime::make_shared<vmime::mailbox>(
                        utf8Text(name), address));
        }
        // The builder refuses a message without recipients; a filed draft
        // gets a stand-in that is taken out again below.
        const bool standIn = forFiling && recipients.isEmpty();
        if (standIn)
            recipients.appendAddress(vmime::make_shared<vmime::mailbox>(
                    vmime::emailAddress("undisclosed-recipients@drel-mail")));
        builder.setRecipients(recipients);

        builder.setSubject(utf8Text(letter->subject()));

        builder.constructTextPart(vmime::mediaType(vmime::mediaTypes::TEXT,
                                                   vmime::mediaTypes::TEXT_HTML));
        auto textPart = vmime::dynamicCast<vmime::htmlTextPart>(builder.getTextPart());
        // A letter made by the compose form always has a body; one without
        // any gets an empty one rather than no message at all.
        const QStringList bodies = letter->bodyList();
        QString body = bodies.isEmpty() ? QString() : bodies.first();
        body.replace(QChar(0x2029), QStringLiteral("<br>"));
        // A picture quoted from a received letter goes along as one related
        // part, however often the text shows it.
        for (const QString &url : InlineImages::urlsIn(body)) {
            const QByteArray bytes = InlineImages::bytes(url);
            const QString type = QMimeDatabase().mimeTypeForData(bytes).name();
            auto object = textPart->addObject(
                    vmime::make_shared<vmime::stringContentHandler>(bytes.toStdString()),
                    vmime::mediaType(type.toStdString()));
            body.replace(url, QString::fromStdString(object->getReferenceId()));
        }
        textPart->setText(vmime::make_shared<vmime::stringContentHandler>(
                body.toStdString(), vmime::contentHandler::NO_ENCODING));
        textPart->setCharset(vmime::charset(vmime::charsets::UTF_8));

        for (const QVariant &entry : letter->attachList()) {
            Attachment *attachment = Attachment::fromVariant(entry);
            if (attachment && attachment->handle())
                builder.appendAttachment(attachment->handle());
        }

        message = builder.construct();
        if (standIn)
            message->getHeader()->removeField(message->getHeader()->findField(vmime::fields::TO));

        const QString id = letter->id();
        if (!id.isEmpty()) {
            auto field = message->getHeader()->getField(vmime::fields::MESSAGE_ID);
            auto value = field->getValue<vmime::messageId>();
            const int at = id.indexOf(QLatin1Char('@'));
            value->setLeft((at < 0 ? id : id.left(at)).toStdString());
            value->setRight(at < 0 ? std::string("drel-mail") : id.mid(at + 1).toStdString());
        }
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return message;
}
