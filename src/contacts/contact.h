#pragma once

#include <QString>

// One address of one contact, as the compose form offers it. A contact with
// several addresses gives several records with the same id and name.
struct Contact
{
    QString id;    // the database key as decimal text
    QString name;  // display name
    QString email; // one address
};
