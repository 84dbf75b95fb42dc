#include "search/letterwords.h"

#include "base/caughtlog.h"
#include "model/attachment.h"
#include "model/messagefiles.h"
#include "search/searchtext.h"
#include "store/letterparser.h"

#include <QStringList>

namespace {

// Beyond this a body is not read further: no one searches a letter by its
// millionth word, and the index stays near the size of the text.
constexpr int MaxBodyText = 1024 * 1024;

} // namespace

LetterWords LetterWords::fromMessage(const QByteArray &content)
{
    LetterWords words;
    const ListFields fields = ListFields::fromMessage(content);
    words.subject = SearchText::forIndex(fields.subject);
    words.sender = SearchText::forIndex(fields.from);
    words.recipients = SearchText::forIndex(fields.recipients);
    words.date = fields.date;

    QStringList names;
    QString body;
    try {
        const vmime::shared_ptr<vmime::message> message = LetterParser::parse(content);
        vmime::messageParser parser(message);
        for (const auto &attachment : parser.getAttachmentList())
            names << Attachment::nameOf(*attachment);
        for (const auto &part : parser.getTextPartList()) {
            if (body.size() >= MaxBodyText)
                break;
            const QString text = LetterParser::partText(*part);
            const bool html = part->getType().getSubType() == vmime::mediaTypes::TEXT_HTML;
            body += (html ? SearchText::htmlText(text) : text).left(MaxBodyText - body.size());
            body += QLatin1Char('\n');
        }
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    words.attachments = SearchText::forIndex(names.join(QLatin1Char(' ')));
    words.body = SearchText::forIndex(body);
    return words;
}
