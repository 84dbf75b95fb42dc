#pragma once

#include <QByteArray>
#include <QString>

#include <vmime/vmime.hpp>

class Letter;

// Any thread: no state of its own. Turns a letter into the MIME message that
// is sent and filed; the worker sends with it, the store files drafts and
// sent letters with it.
namespace MessageBuilder {

// The MIME message for a letter, with its Message-ID taken from the letter's
// id. Null when building failed; failures are logged. A letter without
// recipients fails unless forFiling is set: a draft may be filed before
// anyone is named, and is then written without a To field.
vmime::shared_ptr<vmime::message> toVmimeMessage(Letter *letter, bool forFiling = false);
// The bytes of a message as they are sent and filed.
QByteArray generate(const vmime::shared_ptr<vmime::message> &message);
// The Message-ID ("left@right") that a letter id gives.
QString messageId(const QString &letterId);
// The first address of the letter that is not plain ASCII, or a null text.
// Such addresses need SMTPUTF8 end to end; they are not sent.
QString unsendableAddress(const Letter *letter);

} // namespace MessageBuilder
