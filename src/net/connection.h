#pragma once

#include <QMetaType>
#include <QThread>

#include <vmime/vmime.hpp>

class Letter;

// A handle to a message on the server. It travels by queued signals from the
// connection thread to the store, which reads the message through it.
Q_DECLARE_METATYPE(vmime::shared_ptr<vmime::net::message>)

// Thread: its own (the object moves itself into the thread it runs).
// The account's network worker. toVmimeMessage() uses no connection state and
// may be called from any thread; the store uses it to file sent copies and
// drafts exactly as they are sent.
class Connection : public QThread
{
    Q_OBJECT

public:
    explicit Connection(QObject *parent = nullptr);

    // The MIME message for a letter, with its Message-ID taken from the
    // letter's id. Null when building failed; failures are logged. A letter
    // without recipients fails unless forFiling is set: a draft may be filed
    // before anyone is named, and is then written without a To field.
    static vmime::shared_ptr<vmime::message> toVmimeMessage(Letter *letter, bool forFiling = false);
};
