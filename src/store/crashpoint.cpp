#include "crashpoint.h"

#ifdef MAIL_CRASH_POINTS

#include <QByteArray>
#include <QMutex>

#include <unistd.h>

void crashPoint(const char *step)
{
    static const QByteArray target = qgetenv("DREL_CRASH_AT");
    if (target.isEmpty())
        return;
    static QMutex lock;
    static int passed = 0;
    const int colon = target.lastIndexOf(':');
    if (target.left(colon) != step)
        return;
    QMutexLocker locker(&lock);
    if (++passed == target.mid(colon + 1).toInt())
        ::_exit(86);
}

#endif
