#include "base/caughtlog.h"

QDebug logCaught(const QString &operation, const char *kind, const char *what)
{
    return qCritical().noquote() << operation + QStringLiteral(": ") + QLatin1String(kind)
            + QLatin1Char(':') << what;
}

QString operationOf(const char *function)
{
    // "QString Class::operation(const QString&) const" -> "Class::operation()";
    // a lambda's text starts with that of the function it stands in.
    QString text = QString::fromLatin1(function);
    const int open = text.indexOf(QLatin1Char('('));
    if (open >= 0)
        text.truncate(open);
    // Spaces inside a template argument of the return type come before the
    // last one, which ends the return type.
    text = text.mid(text.lastIndexOf(QLatin1Char(' ')) + 1);
    return text + QStringLiteral("()");
}
