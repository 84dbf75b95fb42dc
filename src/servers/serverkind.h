#pragma once

#include <QObject>

// What a server record is: its direction, protocol, security and login kind.
// Stored in the settings file and used as list indexes: keep the values.
namespace ServerKind {
Q_NAMESPACE

enum Type { INCOMING_TYPE = 0, OUTGOING_TYPE = 1 };
Q_ENUM_NS(Type)
enum Protocol { POP3 = 0, IMAP = 1, SMTP = 2 };
Q_ENUM_NS(Protocol)
enum Ssl { AUTO_SSL = 0, NO_SSL = 1, TLS_SSL = 2, STARTTLS_SSL = 3 };
Q_ENUM_NS(Ssl)
enum Auth { AUTO_AUTH = 0, NO_AUTH = 1, SIMPLE_AUTH = 2, SASL_AUTH = 3 };
Q_ENUM_NS(Auth)

} // namespace ServerKind
