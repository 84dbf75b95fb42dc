#pragma once

#include <QMetaType>
#include <QString>

// Any thread: a plain value.
// One question a worker puts to the user on behalf of a server: what it
// asks, which server asks it, and the number that its answer carries back,
// so that an answer reaches the one wait that asked and no other.
struct ServerQuestion
{
    enum Kind { Username, Password, Certificate };

    Kind kind = Username;
    int number = 0;          // given by AnswerWait::ask()
    bool incoming = true;    // the account's direction that asks
    QString server;          // the record's address in the settings
    QString text;            // for the user, where the kind does not say it all
};

Q_DECLARE_METATYPE(ServerQuestion)
