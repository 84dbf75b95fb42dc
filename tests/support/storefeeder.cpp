#include "storefeeder.h"

#include "model/messagefiles.h"
#include "store/cache.h"

#include <QtTest>

void feedStore(Cache *cache, const QList<QByteArray> &newestFirst, QStringList ids)
{
    QList<int> numbers;
    for (int i = 0; i < newestFirst.size(); ++i) {
        numbers.append(newestFirst.size() - i);
        if (ids.size() <= i)
            ids.append(ListFields::fromMessage(newestFirst.at(i)).id);
    }
    const auto answer = QObject::connect(
            cache, &Cache::fetchMessages, cache,
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
                QMetaObject::invokeMethod(cache, [cache, stored] { cache->onMessagesStored(stored); },
                                          Qt::QueuedConnection);
            });
    QSignalSpy done(cache, &Cache::lettersRecieved);
    cache->onNewMessageIds(numbers, ids, true);
    QTRY_COMPARE(done.count(), 1);
    QObject::disconnect(answer);
}
