#include "storefeeder.h"

#include "model/messagefiles.h"
#include "store/cache.h"
#include "store/mailcheck.h"

#include <QtTest>

void feedStore(Cache *cache, const QList<QByteArray> &newestFirst, QStringList ids)
{
    QList<int> numbers;
    for (int i = 0; i < newestFirst.size(); ++i) {
        numbers.append(newestFirst.size() - i);
        if (ids.size() <= i)
            ids.append(ListFields::fromMessage(newestFirst.at(i)).id);
    }
    MailCheck check(cache);
    QObject::connect(
            &check, &MailCheck::fetchMessages, &check,
            [&](const QList<int> &asked, const QStringList &names, const QString &directory) {
                StoredMessages stored;
                for (int i = 0; i < asked.size(); ++i) {
                    const QByteArray content = newestFirst.at(newestFirst.size() - asked.at(i));
                    QString error;
                    QVERIFY2(MessageFiles::writeDurably(directory, {names.at(i), content}, &error),
                             qPrintable(error));
                    stored.append({asked.at(i), ids.value(newestFirst.size() - asked.at(i)),
                                   ListFields::fromMessage(content)});
                }
                QMetaObject::invokeMethod(&check, [&check, stored] { check.onMessagesStored(stored); },
                                          Qt::QueuedConnection);
            });
    QSignalSpy done(&check, &MailCheck::lettersRecieved);
    check.start();
    check.onNewMessageIds(numbers, ids);
    QTRY_COMPARE(done.count(), 1);
    QTRY_VERIFY(check.hasEnded());
}
