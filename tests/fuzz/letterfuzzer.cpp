// Any bytes as a message: listed from its header as a new letter is, then
// parsed and filled into a letter as when it is opened.
#include "model/letter.h"
#include "model/messagefiles.h"
#include "store/letterparser.h"

#include <QtGlobal>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
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
