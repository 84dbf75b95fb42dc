#include "model/attachment.h"
#include "model/letter.h"
#include "testhome.h"

#include <QSignalSpy>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {
vmime::shared_ptr<vmime::attachment> makeHandle(const std::string &data, const std::string &name)
{
    return vmime::make_shared<vmime::defaultAttachment>(
            vmime::make_shared<vmime::stringContentHandler>(data),
            vmime::mediaType("application/octet-stream"), vmime::text(), vmime::word(name));
}
}

class LetterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    }

    void newLetterIsEmpty()
    {
        Letter letter;
        QVERIFY(!letter.parsed());
        QCOMPARE(letter.letterType(), int(Letter::LetterUnseen));
        QCOMPARE(letter.folderType(), int(Letter::IncomingFolder));
        QVERIFY(letter.id().isEmpty());
        QVERIFY(letter.date().isNull());
        QVERIFY(letter.bodyList().isEmpty());
        QVERIFY(letter.attachList().isEmpty());
    }

    void settersEmitOnlyOnChange()
    {
        Letter letter;
        QSignalSpy subject(&letter, &Letter::subjectChanged);
        letter.setSubject(QStringLiteral("Hello"));
        letter.setSubject(QStringLiteral("Hello"));
        QCOMPARE(subject.count(), 1);

        QSignalSpy to(&letter, &Letter::toListChanged);
        letter.setToList({QStringLiteral("a@b.c:::A")});
        letter.setToList({QStringLiteral("a@b.c:::A")});
        letter.setToList({QStringLiteral("a@b.c:::B")});
        QCOMPARE(to.count(), 2);

        QSignalSpy html(&letter, &Letter::bodyHtmlListChanged);
        letter.setBodyHtmlList({true, false});
        letter.setBodyHtmlList({true, false});
        QCOMPARE(html.count(), 1);

        QSignalSpy date(&letter, &Letter::dateChanged);
        const QDateTime when(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC);
        letter.setDate(when);
        letter.setDate(when);
        letter.setDate(QDateTime());
        letter.setDate(QDateTime());
        QCOMPARE(date.count(), 2);

        QSignalSpy type(&letter, &Letter::letterTypeChanged);
        letter.setLetterType(Letter::LetterSeen);
        letter.setLetterType(Letter::LetterSeen);
        QCOMPARE(type.count(), 1);
    }

    void clearEmitsTenSignalsInOrder()
    {
        Letter letter;
        letter.setId(QStringLiteral("id@host"));
        letter.setSubject(QStringLiteral("Subject"));
        letter.setLetterType(Letter::LetterSeenWithAttachment);
        letter.setFolderType(Letter::ArchiveFolder);
        letter.setParsed(true);
        letter.setBodyList({QStringLiteral("body")});

        QStringList order;
        const QMetaObject *meta = letter.metaObject();
        QList<QMetaObject::Connection> connections;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal)
                continue;
            const QString name = QString::fromLatin1(method.name());
            connections << connect(&letter, method, this,
                                   metaObject()->method(metaObject()->indexOfSlot("recordSignal()")));
            m_names.insert(i, name);
        }
        m_order = &order;
        letter.clear();
        m_order = nullptr;
        for (const auto &c : connections)
            disconnect(c);

        QCOMPARE(order, QStringList({"fromChanged", "replyToChanged", "subjectChanged", "dateChanged",
                                     "bodyHtmlListChanged", "bodyListChanged", "toListChanged",
                                     "copyListChanged", "letterTypeChanged", "attachListChanged"}));
        // The id is gone but nobody is told; type, parsed and folder stay.
        QVERIFY(letter.id().isEmpty());
        QVERIFY(letter.subject().isEmpty());
        QVERIFY(letter.bodyList().isEmpty());
        QCOMPARE(letter.letterType(), int(Letter::LetterSeenWithAttachment));
        QCOMPARE(letter.folderType(), int(Letter::ArchiveFolder));
        QVERIFY(letter.parsed());
    }

    void removeAttachmentAt()
    {
        Letter letter;
        auto *first = new Attachment(makeHandle("one", "one.bin"), &letter);
        auto *second = new Attachment(makeHandle("two", "two.bin"), &letter);
        letter.setAttachList({QVariant::fromValue(first), QVariant::fromValue(second)});

        QSignalSpy changed(&letter, &Letter::attachListChanged);
        letter.removeAttachmentAt(-1);
        letter.removeAttachmentAt(2);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(letter.attachList().size(), 2);

        QPointer<Attachment> removed(first);
        letter.removeAttachmentAt(0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(letter.attachList().size(), 1);
        QCOMPARE(Attachment::fromVariant(letter.attachList().at(0)), second);
        // Deleted later, not at once: QML may still hold it during the call.
        QVERIFY(removed);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!removed);
    }

    void setAttachmentsCopiesAndSurvivesTheSource()
    {
        auto source = std::make_unique<Letter>();
        auto *a = new Attachment(makeHandle("alpha", "a.txt"), source.get());
        QObject notAnAttachment;
        const QVariantList list = {QVariant::fromValue(a), QVariant::fromValue(&notAnAttachment),
                                   QVariant(42)};

        Letter copy;
        copy.setAttachList({QVariant::fromValue(a)});
        QSignalSpy changed(&copy, &Letter::attachListChanged);
        copy.setAttachments(list);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(copy.attachList().size(), 1);
        Attachment *made = Attachment::fromVariant(copy.attachList().at(0));
        QVERIFY(made);
        QVERIFY(made != a);
        QCOMPARE(made->parent(), &copy);
        QCOMPARE(made->handle(), a->handle());

        source.reset();
        QCOMPARE(made->name(), QStringLiteral("a.txt"));
        QCOMPARE(made->size(), QStringLiteral("5 B"));
    }

    void prepareNonQtBody()
    {
        Letter letter;
        letter.setBodyList({QStringLiteral("<!--StartFragment-->Hi<!--EndFragment-->"),
                            QStringLiteral("<!--startfragment-->x<!--StartFragment--><!--StartFragment-->")});
        QSignalSpy changed(&letter, &Letter::bodyListChanged);
        letter.prepareNonQtBody();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(letter.bodyList(), QStringList({QStringLiteral("Hi"),
                                                 QStringLiteral("<!--startfragment-->x")}));
    }

public slots:
    void recordSignal()
    {
        if (m_order)
            *m_order << m_names.value(senderSignalIndex());
    }

private:
    QStringList *m_order = nullptr;
    QHash<int, QString> m_names;
};

MAIL_TEST_MAIN(LetterTest)
#include "tst_letter.moc"
