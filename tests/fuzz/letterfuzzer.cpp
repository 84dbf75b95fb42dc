// Any bytes as a message: listed from its header as a new letter is, then
// parsed and filled into a letter as when it is opened. Where the direct
// reading of a plain header answers, it must give what the mail library
// gives for the same fields.
#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/messagefiles.h"
#include "model/plainheader.h"
#include "store/letterparser.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray describe(const ListFields &fields)
{
    return "id [" + fields.id.toUtf8() + "]\nfrom [" + fields.from.toUtf8() + "]\nsubject ["
            + fields.subject.toUtf8() + "]\nrecipients [" + fields.recipients.toUtf8() + "]\ndate ["
            + fields.date.toString(Qt::ISODateWithMs).toUtf8() + (fields.date.isValid() ? "]\n" : "] invalid\n");
}

void compareReadings(const QByteArray &content)
{
    const QByteArray head = MessageFiles::headerFields(MessageBounds::headerBlock(content),
                                                       {"message-id", "from", "to", "cc", "subject", "date"});
    ListFields plain;
    if (!PlainHeader::read(head, &plain))
        return;
    const ListFields library = ListFields::fromHeaderFields(head);
    if (plain.id == library.id && plain.from == library.from && plain.subject == library.subject
            && plain.recipients == library.recipients && plain.date == library.date
            && plain.date.isValid() == library.date.isValid())
        return;
    std::fprintf(stderr, "The plain reading differs from the library's.\nFields:\n%s\nPlain:\n%s\nLibrary:\n%s",
                 head.constData(), describe(plain).constData(), describe(library).constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    compareReadings(content);
    ListFields::fromMessage(content);
    QObject owner;
    Letter letter;
    LetterParser::fill(&letter, LetterParser::parse(content), &owner);
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The program logs every message the library refuses; here that is most
    // of them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}
