#pragma once

#include <QDebug>
#include <QString>

// The one form in which a caught exception goes to the critical log:
// "Class::operation(): kind: text", e.g. "Utils::decrypt(): CryptoPP::Exception:
// ...". LOG_CAUGHT takes class and operation from the function it stands in,
// so no catch block spells its own prefix; more can be streamed after it.
QDebug logCaught(const QString &operation, const char *kind, const char *what);
// "Class::operation()" of a Q_FUNC_INFO text.
QString operationOf(const char *function);

#define LOG_CAUGHT(kind, e) logCaught(operationOf(Q_FUNC_INFO), kind, (e).what())
